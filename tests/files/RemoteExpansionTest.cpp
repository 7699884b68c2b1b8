#include "files/TransferList.h"
#include "sites/SiteConnection.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TestServices.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace
{
class RemoteExpansion : public testing::Test
{
protected:
    void SetUp() override
    {
        SiteRecord site = testing_support::FixtureSite(m_server, 5);
        ASSERT_TRUE(m_connection.Connect(site)) << m_server.Log();
    }
    void File(const std::string& relative, size_t bytes)
    {
        const fs::path path = fs::path(m_server.Root()) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << std::string(bytes, 'x');
    }
    std::vector<std::wstring> RelativePaths(const CTransferList& list) const
    {
        std::vector<std::wstring> paths;
        for (const auto& item : list.Items())
            paths.push_back(item.relativePath);
        return paths;
    }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
};
} // namespace

TEST_F(RemoteExpansion, PickedFolderExpandsBreadthFirstWithFullSourcePaths)
{
    File("f/a", 1);
    File("f/b", 2);
    File("f/s/x", 3);
    CTransferList list(&m_connection);
    list.Add(0, true, L"f", L"/f", 0);
    list.ExpandRemote();
    EXPECT_EQ(RelativePaths(list), (std::vector<std::wstring>{L"f", L"f/a", L"f/b", L"f/s", L"f/s/x"}));
    EXPECT_EQ(list.Items()[4].sourcePath, L"/f/s/x");
    EXPECT_EQ(list.Items()[4].size, 3);
    EXPECT_EQ(list.FileCount(), 3);
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());
}

TEST_F(RemoteExpansion, LinksBackToAnAncestorAreNotFollowedAndAMissingFolderStaysUnexpanded)
{
    File("f/a", 1);
    fs::create_directory_symlink("..", fs::path(m_server.Root()) / "f/up");
    fs::create_directory_symlink(".", fs::path(m_server.Root()) / "f/self");
    CTransferList list(&m_connection);
    list.Add(0, true, L"f", L"/f", 0);
    list.Add(0, true, L"gone", L"/gone", 0);
    list.ExpandRemote();
    const auto paths = RelativePaths(list);
    // Whatever the server shows for the links, the list stays finite and small.
    EXPECT_LE(paths.size(), 6u);
    EXPECT_EQ(paths[2], L"f/a");
    EXPECT_FALSE(list.Items()[1].expanded);
}
