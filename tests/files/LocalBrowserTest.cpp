// The handheld's local folder page as values: rows, order, the chooser's chain
// and navigation, on real folders.
#include "files/LocalBrowser.h"
#include "files/LocalPath.h"
#include "platform/TextCodec.h"
#include "support/FileBytes.h"
#include "support/RecordingShellOpener.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::TextCodec;
using testing::ElementsAre;
using testing_support::WriteFile;

namespace
{
std::vector<std::wstring> Names(const CLocalBrowser& browser)
{
    std::vector<std::wstring> names;
    for (const auto& row : browser.Rows())
        names.push_back(row.name);
    return names;
}

int RowOf(const CLocalBrowser& browser, const std::wstring& name)
{
    for (size_t i = 0; i < browser.Rows().size(); ++i)
        if (browser.Rows()[i].name == name)
            return static_cast<int>(i);
    return -1;
}

class LocalBrowserTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_browser.GoTo(m_root.Path().string())); }

    testing_support::TempFolder m_root{"tessel-local"};
    CLocalBrowser m_browser;
};
} // namespace

TEST(LocalPathTest, CleanJoinParentAndChain)
{
    struct Case
    {
        const char *base, *path, *clean;
    };
    for (const Case& c : {Case{"/a", "b", "/a/b"}, Case{"/a", "/x//y/./z/", "/x/y/z"}, Case{"/a/b", "..", "/a"},
                          Case{"/", "../..", "/"}, Case{"/a", "./", "/a"}, Case{"/a", "b/../../c", "/c"}})
        EXPECT_EQ(LocalPath::Clean(c.base, c.path), c.clean) << c.base << " + " << c.path;
    EXPECT_EQ(LocalPath::Join("/", "a"), "/a");
    EXPECT_EQ(LocalPath::Join("/a", "b"), "/a/b");
    EXPECT_EQ(LocalPath::Parent("/a/b"), "/a");
    EXPECT_EQ(LocalPath::Parent("/a"), "/");
    EXPECT_EQ(LocalPath::Parent("/"), "");
    EXPECT_THAT(LocalPath::Chain("/a/b"), ElementsAre("/", "/a", "/a/b"));
    EXPECT_THAT(LocalPath::Chain("/"), ElementsAre("/"));
    for (const char* bad : {"", ".", "..", "a/b", "/"})
        EXPECT_FALSE(LocalPath::IsOneName(bad)) << bad;
    EXPECT_TRUE(LocalPath::IsOneName("..a"));
}

TEST(LocalBrowserStart, StartsInTheHomeFolderUnread)
{
    testing_support::TempFolder home{"tessel-home"};
    const char* old = std::getenv("HOME");
    const std::string saved = old ? old : "";
    setenv("HOME", (home.Path().string() + "/./").c_str(), 1);
    CLocalBrowser browser;
    if (old)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_EQ(browser.Folder(), home.Path().string());
    EXPECT_TRUE(browser.Rows().empty());
}

TEST_F(LocalBrowserTest, RowsAreFoldersFirstByNameWithoutDotEntriesAnd64BitSizes)
{
    WriteFile(m_root / "b.txt", "bb");
    WriteFile(m_root / "A.txt", "a");
    fs::create_directories(m_root / "zdir");
    fs::create_directories(m_root / "Cdir");
    fs::create_directory_symlink(m_root / "zdir", m_root / "link");
    fs::create_symlink(m_root / "nowhere", m_root / "dangling");
    // A sparse file past 4 GiB keeps its whole size.
    const int fd = ::open((m_root / "big.img").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
    ::close(fd);

    ASSERT_TRUE(m_browser.Refresh());
    EXPECT_THAT(Names(m_browser), ElementsAre(L"Cdir", L"link", L"zdir", L"A.txt", L"b.txt", L"big.img", L"dangling"));
    const auto& link = m_browser.Rows()[RowOf(m_browser, L"link")];
    EXPECT_TRUE(link.isDirectory);
    EXPECT_TRUE(link.isLink);
    EXPECT_FALSE(m_browser.Rows()[RowOf(m_browser, L"dangling")].isDirectory);
    EXPECT_EQ(m_browser.Rows()[RowOf(m_browser, L"big.img")].size, 5LL << 30);
    EXPECT_EQ(m_browser.Rows()[RowOf(m_browser, L"b.txt")].size, 2);
    EXPECT_EQ(m_browser.PathOf(RowOf(m_browser, L"b.txt")), (m_root / "b.txt").string());
}

TEST_F(LocalBrowserTest, NavigationKeepsTheFolderCleanAndTheChainFollows)
{
    fs::create_directories(m_root / "a" / "b");
    const std::string root = m_root.Path().string();

    EXPECT_TRUE(m_browser.GoTo("a//./b/"));
    EXPECT_EQ(m_browser.Folder(), root + "/a/b");
    int selected = -1;
    const auto choices = m_browser.FolderChoices(selected);
    ASSERT_GE(choices.size(), 3u);
    EXPECT_EQ(choices.front(), L"/");
    EXPECT_EQ(choices[selected], TextCodec::FromUtf8(root + "/a/b"));
    EXPECT_EQ(choices[selected - 1], TextCodec::FromUtf8(root + "/a"));

    EXPECT_TRUE(m_browser.ChooseFolder(selected - 1));
    EXPECT_EQ(m_browser.Folder(), root + "/a");
    EXPECT_TRUE(m_browser.Up());
    EXPECT_EQ(m_browser.Folder(), root);
    EXPECT_TRUE(m_browser.GoToTypedPath(TextCodec::FromUtf8(root + "/a/")));
    EXPECT_EQ(m_browser.Folder(), root + "/a");
    EXPECT_TRUE(m_browser.GoToTypedPath(L".."));
    EXPECT_EQ(m_browser.Folder(), root);
    for (const wchar_t* nothing : {L"", L"  ", L"."})
    {
        m_browser.GoToTypedPath(nothing);
        EXPECT_EQ(m_browser.Folder(), root);
    }
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());

    // A folder that cannot be read is told and the browser stays.
    EXPECT_FALSE(m_browser.GoToTypedPath(L"missing"));
    EXPECT_EQ(m_browser.Folder(), root);
    ASSERT_EQ(testing_support::Boxes().Count(), 1u);
    EXPECT_NE(testing_support::Boxes().Texts()[0].find(TextCodec::FromUtf8(root + "/missing")), std::wstring::npos);

    ASSERT_TRUE(m_browser.GoTo("/"));
    EXPECT_FALSE(m_browser.Up());
    EXPECT_EQ(m_browser.Folder(), "/");
    EXPECT_EQ(m_browser.FolderChoices(selected).size(), 1u);
    EXPECT_EQ(selected, 0);
}

TEST_F(LocalBrowserTest, OpeningEntersFoldersAndHandsFilesToTheShell)
{
    WriteFile(m_root / "Music" / "song.ogg", "x");
    WriteFile(m_root / "notes.txt", "n");
    fs::create_directory_symlink(m_root / "Music", m_root / "tunes");
    platform::RecordingShellOpener opener;
    m_browser.SetShellOpener(&opener);
    int changes = 0;
    m_browser.SetChangedHandler([&] { ++changes; });
    ASSERT_TRUE(m_browser.Refresh());

    EXPECT_EQ(m_browser.SelectedFolderOrCurrent(RowOf(m_browser, L"notes.txt")), m_root.Path().string());
    EXPECT_EQ(m_browser.SelectedFolderOrCurrent(RowOf(m_browser, L"Music")), (m_root / "Music").string());
    EXPECT_EQ(m_browser.SelectedFolderOrCurrent(-1), m_root.Path().string());

    m_browser.OpenRow(RowOf(m_browser, L"notes.txt"));
    EXPECT_THAT(opener.Opened(), ElementsAre(TextCodec::FromUtf8((m_root / "notes.txt").string())));
    EXPECT_EQ(m_browser.Folder(), m_root.Path().string());

    m_browser.OpenRow(RowOf(m_browser, L"tunes"));
    EXPECT_EQ(m_browser.Folder(), (m_root / "tunes").string());
    EXPECT_THAT(Names(m_browser), ElementsAre(L"song.ogg"));
    EXPECT_EQ(changes, 2);
    m_browser.SetShellOpener(nullptr);
}

TEST_F(LocalBrowserTest, AFolderThatCannotBeReadAnyMoreShowsNoRows)
{
    WriteFile(m_root / "gone" / "f.txt", "f");
    ASSERT_TRUE(m_browser.GoTo("gone"));
    ASSERT_EQ(m_browser.Rows().size(), 1u);
    fs::remove_all(m_root / "gone");
    EXPECT_FALSE(m_browser.Refresh());
    EXPECT_TRUE(m_browser.Rows().empty());
    EXPECT_EQ(m_browser.Folder(), (m_root / "gone").string());
}
