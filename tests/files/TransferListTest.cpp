#include "files/TransferList.h"
#include "files/RemotePath.h"
#include "platform/TextCodec.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
// A scratch folder removed at the end of the test.
class LocalTree : public testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tessel-list-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
    }
    void TearDown() override { fs::remove_all(m_root); }

    void File(const std::string& relative, size_t bytes)
    {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative) << std::string(bytes, 'x');
    }
    std::wstring Path(const std::string& relative) const
    {
        return platform::TextCodec::FromUtf8((m_root / relative).string());
    }
    std::vector<std::wstring> RelativePaths(const CTransferList& list) const
    {
        std::vector<std::wstring> paths;
        for (const auto& item : list.Items())
            paths.push_back(item.relativePath);
        return paths;
    }

    fs::path m_root;
};
} // namespace

TEST_F(LocalTree, ExpandsBreadthFirstWithCountsAndIndexes)
{
    File("f/b", 2);
    File("f/a", 1);
    File("f/s/x", 3);
    fs::create_directories(m_root / "f/empty");
    File("g/y", 5);
    File("top.txt", 7);

    CTransferList list;
    list.Add(0, true, L"f", Path("f"), 0);
    list.Add(7, false, L"top.txt", Path("top.txt"), 0);
    list.Add(0, true, L"g", Path("g"), 0);
    list.ExpandLocal();

    EXPECT_EQ(RelativePaths(list), (std::vector<std::wstring>{L"f", L"top.txt", L"g", L"f/a", L"f/b",
                                                              L"f/empty", L"f/s", L"g/y", L"f/s/x"}));
    EXPECT_EQ(list.ItemCount(), 9);
    EXPECT_EQ(list.FileCount(), 5);
    EXPECT_EQ(list.TotalBytes(), 7 + 1 + 2 + 5 + 3);
    const auto& items = list.Items();
    EXPECT_EQ(items[3].sourcePath, Path("f/a"));
    EXPECT_EQ(items[3].size, 1);
    EXPECT_EQ(items[8].itemIndex, 8);
    EXPECT_EQ(items[8].fileIndex, 4);
    for (const auto& item : items)
        EXPECT_EQ(item.expanded, item.isDirectory) << platform::TextCodec::ToUtf8(item.relativePath);
}

TEST_F(LocalTree, AFolderThatCannotBeReadStaysUnexpandedAndTheWalkGoesOn)
{
    File("ok/a", 1);
    CTransferList list;
    list.Add(0, true, L"missing", Path("missing"), 0);
    list.Add(0, true, L"ok", Path("ok"), 0);
    list.ExpandLocal();
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_FALSE(list.Items()[0].expanded);
    EXPECT_EQ(list.Items()[2].relativePath, L"ok/a");
}

TEST_F(LocalTree, ALinkBackToAnAncestorIsListedButNotFollowed)
{
    File("f/a", 1);
    fs::create_directory_symlink(m_root / "f", m_root / "f/loop");
    fs::create_directory_symlink(m_root, m_root / "f/up");
    CTransferList list;
    list.Add(0, true, L"f", Path("f"), 0);
    list.ExpandLocal();
    EXPECT_EQ(RelativePaths(list), (std::vector<std::wstring>{L"f", L"f/a", L"f/loop", L"f/up"}));
}

TEST_F(LocalTree, DescentStopsAtTheDepthLimit)
{
    std::string deep = "d";
    for (int i = 1; i < CTransferList::MaxDepth + 5; ++i)
        deep += "/d";
    fs::create_directories(m_root / deep);
    CTransferList list;
    list.Add(0, true, L"d", Path("d"), 0);
    list.ExpandLocal();
    EXPECT_EQ(list.ItemCount(), CTransferList::MaxDepth);
}

TEST_F(LocalTree, CancelStopsTheExpansion)
{
    File("f/a", 1);
    std::atomic<bool> cancel{true};
    CTransferList list;
    list.Add(0, true, L"f", Path("f"), 0);
    list.ExpandLocal(&cancel);
    EXPECT_EQ(list.ItemCount(), 1);
}

TEST(TransferList, FirstAndNextSkipFoldersAndItemsAppendedBehindTheCursor)
{
    CTransferList list;
    list.Add(1, false, L"a", L"/a", 0);
    list.Add(0, true, L"d", L"/d", 0);
    list.Add(2, false, L"b", L"/b", 0);
    ASSERT_EQ(list.First(true)->relativePath, L"a");
    EXPECT_EQ(list.Next(true)->relativePath, L"b");
    // b was the last item when the cursor reached it: c is not walked to.
    list.Add(3, false, L"c", L"/c", 0);
    EXPECT_EQ(list.Next(true), nullptr);
    EXPECT_EQ(list.First(false)->relativePath, L"a");
    EXPECT_EQ(list.Next(false)->relativePath, L"d");
    // An unknown size (-1) does not lower the total.
    list.Add(-1, false, L"e", L"/e", 0);
    EXPECT_EQ(list.TotalBytes(), 6);
    list.Clear();
    EXPECT_EQ(list.First(false), nullptr);
    EXPECT_EQ(list.ItemCount(), 0);
    EXPECT_EQ(list.TotalBytes(), 0);
}

TEST(TransferList, ExpandRemoteWithoutAConnectionChangesNothing)
{
    CTransferList list;
    list.Add(0, true, L"f", L"/f", 0);
    list.ExpandRemote();
    EXPECT_EQ(list.ItemCount(), 1);
    EXPECT_FALSE(list.Items()[0].expanded);
}

TEST(RemotePath, JoinNormalizeAndLinks)
{
    EXPECT_EQ(RemotePath::Join(L"/pub", L"a"), L"/pub/a");
    EXPECT_EQ(RemotePath::Join(L"/", L"a"), L"/a");
    EXPECT_EQ(RemotePath::Join(L"C:\\t\\", L"a", L'\\'), L"C:\\t\\a");
    EXPECT_EQ(RemotePath::Join(L"", L"a"), L"/a");
    EXPECT_EQ(RemotePath::LinkName(L"lib -> usr/lib", true), L"lib");
    EXPECT_EQ(RemotePath::LinkName(L"a -> b", false), L"a -> b");
    EXPECT_EQ(RemotePath::LinkTarget(L"lib -> usr/lib"), L"usr/lib");
    EXPECT_EQ(RemotePath::Normalize(L"/x/y", L"../z/./w//"), L"/x/z/w");
    EXPECT_EQ(RemotePath::Normalize(L"/x", L"/../.."), L"/");
    EXPECT_TRUE(RemotePath::IsSelfOrAncestor(L"/x", L"/x/up"));
    EXPECT_TRUE(RemotePath::IsSelfOrAncestor(L"/", L"/x"));
    EXPECT_FALSE(RemotePath::IsSelfOrAncestor(L"/x", L"/xy"));
}

TEST(RemotePath, OnlyPlainNamesAreSafeAsLocalPathComponents)
{
    EXPECT_TRUE(RemotePath::IsSafeLocalName(L"report 2024.txt"));
    EXPECT_TRUE(RemotePath::IsSafeLocalName(L"caf\u00E9"));
    for (const std::wstring& bad : std::vector<std::wstring>{L"", L".", L"..", L"a/b", L"../x", L"a\nb",
                                                             std::wstring(L"a\0b", 3), L"\x7F"})
        EXPECT_FALSE(RemotePath::IsSafeLocalName(bad));
}
