// Logon and the one-line commands against a real pyftpdlib server.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/PyFtpdServer.h"
#include "support/TestServices.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <sys/stat.h>

using nsFTP::CFTPClient;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;
using testing_support::Boxes;
using testing_support::PyFtpdServer;
namespace fs = std::filesystem;

namespace
{

class RealServerTest : public testing::Test
{
protected:
    nsFTP::CLogonRecord Record() const
    {
        nsFTP::CLogonRecord record;
        record.host = L"127.0.0.1";
        record.port = server.Port();
        record.user = std::wstring(server.User().begin(), server.User().end());
        record.password = std::wstring(server.Password().begin(), server.Password().end());
        return record;
    }

    void LogOn()
    {
        ASSERT_TRUE(client.LogOn(Record(), 5)) << testing::PrintToString(Boxes().Texts()) << server.Log();
        testing_support::ResetServices();
    }

    fs::path Root() const { return server.Root(); }

    PyFtpdServer server;
    CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
};

TEST_F(RealServerTest, LogsOnAndLearnsTheHomeDirectory)
{
    LogOn();
    std::wstring directory;
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/");
    EXPECT_EQ(client.KeepAlive(), 0);
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_EQ(client.Quit(), 0);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(RealServerTest, WrongPasswordShowsTheServersRefusal)
{
    auto record = Record();
    record.password = L"wrong";
    EXPECT_FALSE(client.LogOn(record, 5));
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], StartsWith(L"530"));
    // A failed logon leaves the connection open for the next LogOn to QUIT.
    EXPECT_TRUE(client.IsConnected());
    EXPECT_TRUE(client.LogOn(Record(), 5));
}

TEST_F(RealServerTest, DirectoriesAreMadeEnteredAndRemoved)
{
    LogOn();
    EXPECT_EQ(client.MakeDirectory(L"/my dir", true), 0);
    EXPECT_TRUE(fs::is_directory(Root() / "my dir"));
    EXPECT_EQ(client.ChangeDirectory(L"my dir"), 0);
    std::wstring directory;
    // A relative CWD makes the engine ask the server, which knows the full path.
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/my dir");
    EXPECT_EQ(client.ChangeDirectory(L"/"), 0);
    EXPECT_EQ(client.RemoveDirectory(L"/my dir"), 0);
    EXPECT_FALSE(fs::exists(Root() / "my dir"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(RealServerTest, RefusalsShowTheServersOwnText)
{
    LogOn();
    EXPECT_EQ(client.ChangeDirectory(L"/missing"), 1);
    EXPECT_EQ(client.DeleteFile(L"/missing.txt"), 1);
    EXPECT_EQ(client.RenameFile(L"/missing.txt", L"/other.txt"), 1);
    ASSERT_EQ(Boxes().Count(), 3u);
    for (const auto& text : Boxes().Texts())
        EXPECT_THAT(text, StartsWith(L"550 "));
    // Creating what exists is quiet when asked to be.
    ASSERT_EQ(client.MakeDirectory(L"/d", true), 0);
    Boxes().Clear();
    EXPECT_EQ(client.MakeDirectory(L"/d", false), 1);
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(RealServerTest, FilesAreRenamedChangedAndDeleted)
{
    std::ofstream(Root() / "a.txt") << "hello";
    LogOn();
    EXPECT_EQ(client.RenameFile(L"/a.txt", L"/b.txt"), 0);
    EXPECT_TRUE(fs::exists(Root() / "b.txt"));
    EXPECT_FALSE(fs::exists(Root() / "a.txt"));
    EXPECT_EQ(client.SiteCommand(L"CHMOD 600 /b.txt"), 0);
    struct stat info
    {
    };
    ASSERT_EQ(::stat((Root() / "b.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(client.DeleteFile(L"/b.txt"), 0);
    EXPECT_FALSE(fs::exists(Root() / "b.txt"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(RealServerTest, InjectedCommandNeverReachesTheServer)
{
    std::ofstream(Root() / "keep.txt") << "x";
    LogOn();
    EXPECT_EQ(client.MakeDirectory(L"/new\r\nDELE /keep.txt", true), -1);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"line break")));
    EXPECT_TRUE(fs::exists(Root() / "keep.txt"));
    // The connection is still in step: the next command gets its own reply.
    EXPECT_EQ(client.KeepAlive(), 0);
    EXPECT_EQ(client.DeleteFile(L"/keep.txt"), 0);
}

TEST_F(RealServerTest, UnknownSiteCommandIsRefused)
{
    LogOn();
    EXPECT_EQ(client.SiteCommand(L"FROBNICATE"), 1);
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], StartsWith(L"5"));
}

} // namespace
