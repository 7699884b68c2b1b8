// The engine's stop (RequestStop from another thread) and its error capture,
// against the scripted server.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/ScriptedFtpServer.h"
#include "support/ScriptedSessionTest.h"
#include "support/TestServices.h"

#include <gmock/gmock.h>

#include <chrono>
#include <functional>
#include <thread>

using nsFTP::CFTPClient;
using testing::ElementsAre;
using testing_support::Boxes;
using testing_support::ScriptedFtpServer;
using Clock = std::chrono::steady_clock;

namespace
{

struct StalledOperation
{
    std::string name;
    bool passive;
    // The script up to the point where the server goes silent.
    std::function<void(ScriptedFtpServer&)> script;
};

TEST(StopTest, StopEndsAStalledListingAtOnceQuietlyAndTheNextLogOnWorks)
{
    const std::vector<StalledOperation> operations = {
        {"receive after 150", true, [](ScriptedFtpServer& s) { s.Passive().On("LIST", "150 ok\r\n"); }},
        {"accept of the active data connection", false,
         [](ScriptedFtpServer& s) { s.ExpectPort().On("LIST", "150 ok\r\n"); }},
        {"reply to PASV", true, [](ScriptedFtpServer& s) { s.On("PASV", ""); }},
    };
    for (const auto& operation : operations)
    {
        SCOPED_TRACE(operation.name);
        testing_support::ResetServices();
        ScriptedFtpServer server;
        server.Greet("220 Scripted\r\n");
        operation.script(server);
        server.Pause(std::chrono::milliseconds(1000));
        server.Greet("220 Again\r\n").On("USER u", "230 In\r\n").On("FEAT", "500 ?\r\n").On("PWD", "257 \"/\"\r\n");
        server.Start();

        CFTPClient client(std::make_unique<nsSocket::CBlockingSocket>());
        nsFTP::CLogonRecord record;
        record.host = L"127.0.0.1";
        record.port = server.Port();
        record.user = L"u";
        client.SetTimeout(30);
        ASSERT_TRUE(client.OpenControlConnection(record.host, record.port));
        nsFTP::Reply greeting;
        ASSERT_TRUE(client.ReadReply(greeting, true));

        Clock::time_point stoppedAt{};
        std::thread stopper(
            [&]
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                stoppedAt = Clock::now();
                client.RequestStop();
            });
        std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
        EXPECT_FALSE(client.ListDirectory(L"", entries, operation.passive));
        const auto ended = Clock::now();
        stopper.join();
        EXPECT_LT(std::chrono::duration<double>(ended - stoppedAt).count(), 1.0);
        EXPECT_EQ(Boxes().Count(), 0u) << testing::PrintToString(Boxes().Texts());
        EXPECT_FALSE(client.IsConnected());
        EXPECT_TRUE(client.StopRequested());

        // Once whoever starts the next work clears the stop, a new logon works.
        client.ClearStop();
        EXPECT_TRUE(client.LogOn(record, 5)) << testing::PrintToString(Boxes().Texts());
        EXPECT_FALSE(client.StopRequested());
    }
}

class ErrorCaptureTest : public testing_support::ScriptedSessionTest
{
};

TEST_F(ErrorCaptureTest, KeepsTheTextsInsteadOfShowingThemAndNests)
{
    server.On("TYPE I", "200 ok\r\n").Passive().On("RETR a", "550 a: No such file\r\n");
    server.Passive().On("RETR b", "550 b: No such file\r\n");
    server.On("DELE c", "550 c: Permission denied\r\n");
    server.Passive().On("RETR d", "550 d: No such file\r\n");
    Connect();
    {
        CFTPClient::ErrorCapture outer(client);
        EXPECT_EQ(client.OpenTransfer(L"a", true, false), nullptr);
        {
            CFTPClient::ErrorCapture inner(client);
            EXPECT_EQ(client.OpenTransfer(L"b", true, false), nullptr);
            EXPECT_THAT(inner.Texts(), ElementsAre(L"550 b: No such file"));
        }
        EXPECT_EQ(client.DeleteFile(L"c"), 1);
        EXPECT_THAT(outer.Texts(), ElementsAre(L"550 a: No such file", L"550 c: Permission denied"));
        EXPECT_EQ(outer.Joined(), L"550 a: No such file\n550 c: Permission denied");
        EXPECT_EQ(Boxes().Count(), 0u);
    }
    // Without a capture the box is shown as ever.
    EXPECT_EQ(client.OpenTransfer(L"d", true, false), nullptr);
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 d: No such file"));
}

} // namespace
