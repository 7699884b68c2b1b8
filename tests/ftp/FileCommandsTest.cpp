// The one-line file commands and their three-way results against the scripted server.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/ScriptedFtpServer.h"
#include "support/ScriptedSessionTest.h"
#include "support/TestServices.h"

#include <functional>
#include <gmock/gmock.h>

using nsFTP::CFTPClient;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing_support::Boxes;
using testing_support::ScriptedFtpServer;

namespace
{

class FileCommandsTest : public testing_support::ScriptedSessionTest
{
};

TEST_F(FileCommandsTest, CurrentDirectoryParsesTheQuotedPathOfPwd)
{
    struct Case
    {
        const char* reply;
        const wchar_t* directory;
    } cases[] = {
        {"257 \"/home/u\" is current\r\n", L"/home/u"},
        {"257 \"/my dir/x\" is current\r\n", L"/my dir/x"},
        {"257 \"/say \"\"hi\"\"\" created\r\n", L"/say \"hi\""},
        {"257 /bare/path and words\r\n", L"/bare/path"},
        {"257 '/single'\r\n", L"/single"},
        {"257-\"/multi\"\r\n257 end\r\n", L"/multi"},
    };
    for (const auto& c : cases)
        server.On("PWD", c.reply).On("CWD ..", "250 ok\r\n");
    Connect();
    for (const auto& c : cases)
    {
        std::wstring directory;
        EXPECT_EQ(client.CurrentDirectory(directory), 0) << c.reply;
        EXPECT_EQ(directory, c.directory);
        // A relative CWD forgets the directory, so the next call asks again.
        EXPECT_EQ(client.ChangeDirectory(L".."), 0);
    }
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_THAT(server.Mismatches(), IsEmpty());
}

TEST_F(FileCommandsTest, AbsoluteCwdIsRememberedWithoutAskingPwdUntilTheConnectionEnds)
{
    server.On("CWD /srv/ftp", "250 ok\r\n").On("CWD /nope", "550 No such directory.\r\n");
    server.Greet("220 Again\r\n").On("PWD", "257 \"/home/u\"\r\n");
    Connect();
    std::wstring directory;
    EXPECT_EQ(client.ChangeDirectory(L"/srv/ftp"), 0);
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/srv/ftp");
    EXPECT_EQ(client.ChangeDirectory(L"/nope"), 1);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 No such directory."));
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/srv/ftp");
    // A new connection starts wherever the server puts it.
    ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", server.Port()));
    nsFTP::Reply greeting;
    ASSERT_TRUE(client.ReadReply(greeting, true));
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/home/u");
    EXPECT_THAT(Commands(), ElementsAre("CWD /srv/ftp\r\n", "CWD /nope\r\n", "PWD\r\n"));
}

TEST_F(FileCommandsTest, TheRememberedDirectoryEndsWithTheConnection)
{
    // Closed by QUIT, by the server (noticed at the next command), and by the
    // client itself as after a stop.
    server.On("CWD /a", "250 ok\r\n").On("QUIT", "221 Bye\r\n");
    server.Greet("220 Again\r\n").On("CWD /b", "250 ok\r\n").On("NOOP", "").Drop();
    server.Greet("220 Again\r\n").On("CWD /c", "250 ok\r\n");
    Connect();
    const std::function<void()> closes[] = {[&] { client.Quit(); },
                                            [&]
                                            {
                                                nsFTP::Reply reply;
                                                client.Execute(L"NOOP", reply, false);
                                            },
                                            [&] { client.CloseControlConnection(); }};
    const wchar_t* const folders[] = {L"/a", L"/b", L"/c"};
    for (int i = 0; i < 3; ++i)
    {
        if (i > 0)
        {
            ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", server.Port()));
            nsFTP::Reply greeting;
            ASSERT_TRUE(client.ReadReply(greeting, true));
        }
        ASSERT_EQ(client.ChangeDirectory(folders[i]), 0);
        closes[i]();
        ASSERT_FALSE(client.IsConnected()) << i;
        std::wstring directory;
        EXPECT_EQ(client.CurrentDirectory(directory), -1) << i;
        EXPECT_EQ(directory, L"") << i;
    }
}

TEST_F(FileCommandsTest, PwdWithoutADirectoryOrRefusedLeavesTheCacheEmpty)
{
    server.On("PWD", "257\r\n").On("PWD", "550 Denied\r\n").On("PWD", "257 \"/finally\"\r\n");
    Connect();
    std::wstring directory = L"unchanged";
    EXPECT_EQ(client.CurrentDirectory(directory), -1);
    EXPECT_EQ(client.CurrentDirectory(directory), 1);
    EXPECT_EQ(directory, L"unchanged");
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"257", L"550 Denied"));
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/finally");
}

TEST_F(FileCommandsTest, RenameSendsRntoOnlyAfterAPositiveIntermediateRnfr)
{
    server.On("RNFR a", "350 Ready\r\n").On("RNTO b", "250 Renamed\r\n");
    server.On("RNFR missing", "550 No such file\r\n");
    server.On("RNFR odd", "250 What?\r\n");
    server.On("RNFR c", "350 Ready\r\n").On("RNTO d", "553 Not allowed\r\n");
    Connect();
    EXPECT_EQ(client.RenameFile(L"a", L"b"), 0);
    EXPECT_EQ(client.RenameFile(L"missing", L"x"), 1);
    EXPECT_EQ(client.RenameFile(L"odd", L"x"), -1);
    EXPECT_EQ(client.RenameFile(L"c", L"d"), 1);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 No such file", L"250 What?", L"553 Not allowed"));
    EXPECT_THAT(Commands(), ElementsAre("RNFR a\r\n", "RNTO b\r\n", "RNFR missing\r\n", "RNFR odd\r\n",
                                        "RNFR c\r\n", "RNTO d\r\n"));
}

TEST_F(FileCommandsTest, MakeDirectoryIsQuietOnlyWhenAskedTo)
{
    server.On("MKD /exists", "550 Exists\r\n")
        .On("MKD /exists", "550 Exists\r\n")
        .On("MKD /new", "257 \"/new\"\r\n");
    Connect();
    EXPECT_EQ(client.MakeDirectory(L"/exists", false), 1);
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_EQ(client.MakeDirectory(L"/exists", true), 1);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 Exists"));
    EXPECT_EQ(client.MakeDirectory(L"/new", true), 0);
}

TEST_F(FileCommandsTest, QuietMakeDirectoryStillShowsALostConnection)
{
    server.Drop();
    Connect();
    EXPECT_EQ(client.MakeDirectory(L"/x", false), -1);
    EXPECT_EQ(Boxes().Count(), 1u);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(FileCommandsTest, SimpleCommandsClassifyTheirReplies)
{
    server.On("RMD /d", "250 Removed\r\n")
        .On("DELE /f", "450 Busy\r\n")
        .On("SITE CHMOD 644 /f", "200 ok\r\n");
    server.On("DELE /g", "150 Odd\r\n").On("SITE HELP", "garbage without code\r\n");
    Connect();
    EXPECT_EQ(client.RemoveDirectory(L"/d"), 0);
    EXPECT_EQ(client.DeleteFile(L"/f"), 1);
    EXPECT_EQ(client.SiteCommand(L"CHMOD 644 /f"), 0);
    EXPECT_EQ(client.DeleteFile(L"/g"), -1);
    EXPECT_EQ(client.SiteCommand(L"HELP"), -1);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"450 Busy", L"150 Odd", L"garbage without code"));
}

TEST_F(FileCommandsTest, KeepAliveIsQuietAndLeavesTheCacheAlone)
{
    server.On("CWD /a", "250 ok\r\n").On("PWD", "257 \"/elsewhere\"\r\n").On("PWD", "530 Not logged in\r\n");
    Connect();
    ASSERT_EQ(client.ChangeDirectory(L"/a"), 0);
    testing_support::ResetServices();
    EXPECT_EQ(client.KeepAlive(), 0);
    EXPECT_EQ(client.KeepAlive(), 1);
    std::wstring directory;
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/a");
    EXPECT_EQ(Boxes().Count(), 0u);
    EXPECT_TRUE(testing_support::Status().Texts().empty());
}

TEST_F(FileCommandsTest, KeepAliveOnAServerThatWentAwayIsSilentAndDisconnects)
{
    server.Drop();
    Connect();
    ASSERT_TRUE(server.WaitFinished());
    EXPECT_EQ(client.KeepAlive(), -1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(FileCommandsTest, StalledServerTimesOutAfterTheClientTimeout)
{
    server.On("CWD /slow", "").Pause(std::chrono::milliseconds(3000));
    Connect();
    EXPECT_EQ(client.ChangeDirectory(L"/slow"), -1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"Unable to receive data (receive timeout).")));
}

TEST_F(FileCommandsTest, TricklingServerCannotHoldTheClientPastItsTimeout)
{
    server.On("CWD /slow", "")
        .SendPieces({"2", "5", "0", " ", "o", "k", "a", "y", "\r\n"}, std::chrono::milliseconds(400));
    Connect();
    // The whole reply takes over three seconds; the client gives up after one.
    EXPECT_EQ(client.ChangeDirectory(L"/slow"), -1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"Unable to receive data (receive timeout).")));
}

TEST(ClientLifetimeTest, DestroyingAConnectedClientSaysQuit)
{
    ScriptedFtpServer server;
    server.Greet("220 hi\r\n").On("QUIT", "221 Bye\r\n").Start();
    {
        CFTPClient client(std::make_unique<nsSocket::CBlockingSocket>());
        ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", server.Port()));
    }
    ASSERT_TRUE(server.WaitFinished());
    EXPECT_THAT(server.Received(), ElementsAre("QUIT\r\n"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(FileCommandsTest, QuitClosesTheConnection)
{
    server.On("QUIT", "221 Goodbye\r\n");
    Connect();
    EXPECT_EQ(client.Quit(), 0);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(FileCommandsTest, QuitAnsweredWithARefusalStillDisconnects)
{
    server.On("QUIT", "500 What\r\n");
    Connect();
    EXPECT_EQ(client.Quit(), 1);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"500 What"));
}

} // namespace
