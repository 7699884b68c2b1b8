#pragma once
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace testing_support
{

// A client connected to the scripted server and greeted, with a one-second
// timeout. Header-only: only tests that link the engine use it.
class ScriptedSessionTest : public testing::Test
{
protected:
    ScriptedSessionTest() { server.Greet("220 Scripted\r\n"); }

    // Starts the server with the script laid out so far and connects.
    void Connect()
    {
        server.Start();
        client.SetTimeout(1);
        ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", server.Port()));
        nsFTP::Reply greeting;
        ASSERT_TRUE(client.ReadReply(greeting, true));
        ResetServices();
    }

    // Every command the server received, once the script has run out.
    std::vector<std::string> Commands()
    {
        EXPECT_TRUE(server.WaitFinished());
        return server.Received();
    }

    ScriptedFtpServer server;
    nsFTP::CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
};

} // namespace testing_support
