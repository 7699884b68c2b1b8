// What reaches the wire for a command, and what never may.
#include "ftp/FTPClient.h"
#include "support/FakeSocket.h"
#include "support/TestServices.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>

using nsFTP::CFTPClient;
using nsFTP::Reply;
using testing::HasSubstr;
using testing_support::Boxes;
using testing_support::FakeSocket;

namespace
{

class CommandEncodingTest : public testing::Test
{
protected:
    CommandEncodingTest()
    {
        auto socket = std::make_unique<FakeSocket>();
        fake = socket.get();
        client = std::make_unique<CFTPClient>(std::move(socket));
        fake->Create(1);
    }
    ~CommandEncodingTest() override { fake->ForceClose(); }

    FakeSocket* fake;
    std::unique_ptr<CFTPClient> client;
};

TEST_F(CommandEncodingTest, LatinOneCharactersGoOutOneBytePerCharacterWithCrLf)
{
    ASSERT_TRUE(client->SendCommand(L"CWD caf\u00E9 \u00FF", true));
    EXPECT_EQ(fake->Sent(), "CWD caf\xE9 \xFF\r\n");
}

TEST_F(CommandEncodingTest, CommandBeyondLatinOneGoesOutAsUtf8AsAWhole)
{
    ASSERT_TRUE(client->SendCommand(L"DELE \u00E9\u20AC", true));
    EXPECT_EQ(fake->Sent(), "DELE \xC3\xA9\xE2\x82\xAC\r\n");
}

TEST_F(CommandEncodingTest, LineBreaksAndZerosAreNeverSent)
{
    const std::wstring hostile[] = {L"x\r\nDELE y", L"x\nDELE y", L"x\rDELE y", std::wstring(L"x\0y", 3)};
    for (const auto& name : hostile)
    {
        Boxes().Clear();
        EXPECT_EQ(client->DeleteFile(name), -1);
        EXPECT_EQ(client->RenameFile(name, L"b"), -1);
        EXPECT_EQ(client->RenameFile(L"a", name), -1);
        EXPECT_EQ(client->MakeDirectory(name, false), -1);
        EXPECT_EQ(fake->Sent(), "");
        ASSERT_EQ(Boxes().Count(), 4u);
        EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"line break"));
    }
    // The connection itself is still fine.
    EXPECT_TRUE(client->IsConnected());
}

TEST_F(CommandEncodingTest, SendFailureIsShownAndDropsTheConnection)
{
    fake->FailSend();
    Reply reply;
    EXPECT_FALSE(client->Execute(L"NOOP", reply, true));
    EXPECT_FALSE(client->IsConnected());
    EXPECT_THAT(Boxes().Texts(), testing::ElementsAre(HasSubstr(L"Unable to send data.\n\nError code: ")));
}

TEST_F(CommandEncodingTest, TypeAndPortCommandsAreSpeltOut)
{
    using nsFTP::Representation;
    for (int i = 0; i < 6; ++i)
        fake->QueueReceive("200 ok\r\n");
    EXPECT_EQ(client->SetRepresentation({Representation::ASCII, Representation::NonPrint}), 0);
    EXPECT_EQ(client->SetRepresentation({Representation::ASCII, Representation::Telnet}), 0);
    EXPECT_EQ(client->SetRepresentation({Representation::EBCDIC, Representation::CarriageControl}), 0);
    EXPECT_EQ(client->SetRepresentation({Representation::Image, Representation::Telnet}), 0);
    EXPECT_EQ(client->SetRepresentation({Representation::Local, 0}), 0);
    EXPECT_EQ(client->SetRepresentation({7, 0}), -1);
    EXPECT_EQ(client->SendPort(L"10.0.0.5", 5001), 0);
    EXPECT_EQ(fake->Sent(),
              "TYPE A\r\nTYPE A T\r\nTYPE E C\r\nTYPE I\r\nTYPE L 0\r\nPORT 10,0,0,5,19,137\r\n");
    EXPECT_EQ(CFTPClient::DataCommandText(nsFTP::LIST, L""), L"LIST");
    EXPECT_EQ(CFTPClient::DataCommandText(nsFTP::NLST, L"/a b"), L"NLST /a b");
    EXPECT_EQ(CFTPClient::DataCommandText(nsFTP::APPE, L""), L"APPE ");
    EXPECT_EQ(CFTPClient::DataCommandText(static_cast<nsFTP::DataCommand>(9), L"x"), L"");
}

TEST(ControlConnectionTest, ConnectIsBoundedByTheClientTimeout)
{
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    CFTPClient client(std::move(socket));
    client.SetTimeout(7);
    ASSERT_TRUE(client.OpenControlConnection(L"10.1.2.3", 2121));
    EXPECT_EQ(fake->LastTimeout(), 7);
    EXPECT_EQ(ntohl(fake->ConnectedTo().sin_addr.s_addr), 0x0A010203u);
    EXPECT_EQ(ntohs(fake->ConnectedTo().sin_port), 2121);
    fake->ForceClose();
}

TEST(ControlConnectionTest, FailedConnectAndUnknownHostAreShownAndLeaveNoConnection)
{
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    CFTPClient client(std::move(socket));
    fake->FailConnect();
    EXPECT_FALSE(client.OpenControlConnection(L"127.0.0.1", 21));
    EXPECT_FALSE(client.IsConnected());
    fake->SetUnknownHost("nowhere.invalid");
    EXPECT_FALSE(client.OpenControlConnection(L"nowhere.invalid", 21));
    EXPECT_FALSE(client.IsConnected());
    ASSERT_EQ(Boxes().Count(), 2u);
    EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"Cannot establish a connection to the server."));
    EXPECT_THAT(Boxes().Texts()[1], HasSubstr(L"'nowhere.invalid'"));
}

TEST(ControlConnectionTest, HostNamesWithZerosOrLineBreaksAreRefused)
{
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    CFTPClient client(std::move(socket));
    EXPECT_FALSE(client.OpenControlConnection(std::wstring(L"evil.example\0.good.example", 25), 21));
    EXPECT_FALSE(client.OpenControlConnection(L"host\r\n", 21));
    EXPECT_FALSE(client.OpenControlConnection(L"", 21));
    EXPECT_EQ(fake->ConnectCount(), 0);
    EXPECT_EQ(Boxes().Count(), 3u);
    EXPECT_THAT(Boxes().Texts()[0], HasSubstr(L"'evil.example' is not valid"));
}

TEST(ControlConnectionTest, FailingCloseIsSilentAndStillDisconnects)
{
    auto socket = std::make_unique<FakeSocket>();
    FakeSocket* fake = socket.get();
    CFTPClient client(std::move(socket));
    ASSERT_TRUE(client.OpenControlConnection(L"127.0.0.1", 21));
    fake->FailClose();
    client.CloseControlConnection();
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST(LogonRecordTest, ProxiesAreToldThePortOnlyWhenItIsNotTheDefault)
{
    nsFTP::CLogonRecord record;
    record.host = L"h";
    EXPECT_EQ(record.RemoteHostText(), L"h");
    record.port = 2121;
    EXPECT_EQ(record.RemoteHostText(), L"h:2121");
    EXPECT_EQ(record.user, L"anonymous");
    EXPECT_EQ(record.firewallPort, 21);
}

} // namespace
