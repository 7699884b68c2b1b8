// Logon against the scripted server: every row of the logon table, direct and
// through a proxy, and the ways a logon can fail.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"

#include <gmock/gmock.h>

using nsFTP::CFTPClient;
using nsFTP::CLogonRecord;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing_support::Boxes;
using testing_support::ScriptedFtpServer;

namespace
{

using Exchange = std::pair<std::string, std::string>;

struct Dialogue
{
    std::string name;
    int type;
    // Commands the client must send, each with the server's answer.
    std::vector<Exchange> exchanges;
    bool loggedOn;
    // The only error box expected, if any.
    std::wstring box;
};

std::ostream& operator<<(std::ostream& out, const Dialogue& d)
{
    return out << d.name;
}

// The record every dialogue uses; for proxy types the server under test is
// the proxy and the real server is h:2121.
CLogonRecord Record(int type, unsigned short serverPort)
{
    CLogonRecord record;
    record.user = L"u";
    record.password = L"p";
    record.account = L"a";
    record.firewallUser = L"fu";
    record.firewallPassword = L"fp";
    record.FirewallType = type;
    if (type == 0)
    {
        record.host = L"127.0.0.1";
        record.port = serverPort;
    }
    else
    {
        record.host = L"h";
        record.port = 2121;
        record.firewallHost = L"127.0.0.1";
        record.firewallPort = serverPort;
    }
    return record;
}

// Servers without FEAT answer 500; the logon goes on without a word.
const Exchange Feat{"FEAT", "500 FEAT not understood\r\n"};
const Exchange Pwd{"PWD", "257 \"/home/u\" is the current directory\r\n"};

std::vector<Dialogue> Dialogues()
{
    return {
        {"Direct_UserAlone", 0, {{"USER u", "230 In\r\n"}, Feat, Pwd}, true, L""},
        {"Direct_UserPassAccount",
         0,
         {{"USER u", "331 Pw\r\n"}, {"PASS p", "332 Acct\r\n"}, {"ACCT a", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"Direct_AccountAnsweredWith3",
         0,
         {{"USER u", "331 Pw\r\n"}, {"PASS p", "332 Acct\r\n"}, {"ACCT a", "331 more\r\n"}},
         false,
         L"Logon failed."},
        {"Direct_PasswordRefused",
         0,
         {{"USER u", "331 Pw\r\n"}, {"PASS p", "530 Login incorrect.\r\n"}},
         false,
         L"530 Login incorrect."},
        {"Direct_PreliminaryReplyFails", 0, {{"USER u", "120 later\r\n"}}, false, L"120 later"},
        {"Site_FullPath",
         1,
         {{"USER fu", "331 Pw\r\n"},
          {"PASS fp", "230 Proxy ok\r\n"},
          {"SITE h:2121", "331 Connected, user?\r\n"},
          {"USER u", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "230 In\r\n"},
          Feat, Pwd},
         true,
         L""},
        {"Site_ProxyUserAloneThenSite",
         1,
         {{"USER fu", "230 Proxy ok\r\n"}, {"SITE h:2121", "331 user?\r\n"}, {"USER u", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"Site_Answered2Fails",
         1,
         {{"USER fu", "331 Pw\r\n"}, {"PASS fp", "230 ok\r\n"}, {"SITE h:2121", "200 SITE ok\r\n"}},
         false,
         L"Logon failed."},
        {"Site_ProxyPasswordAnswered3Fails",
         1,
         {{"USER fu", "331 Pw\r\n"}, {"PASS fp", "332 ?\r\n"}},
         false,
         L"Logon failed."},
        {"UserAfterLogon",
         2,
         {{"USER fu", "331 Pw\r\n"},
          {"PASS fp", "230 ok\r\n"},
          {"USER u@h:2121", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "230 In\r\n"},
          Feat, Pwd},
         true,
         L""},
        {"UserAfterLogon_Direct2",
         2,
         {{"USER fu", "230 ok\r\n"}, {"USER u@h:2121", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"ProxyOpen_Open2",
         3,
         {{"OPEN h:2121", "220 Connected\r\n"},
          {"USER u", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "230 In\r\n"},
          Feat, Pwd},
         true,
         L""},
        {"ProxyOpen_Open3",
         3,
         {{"OPEN h:2121", "331 Connected\r\n"}, {"USER u", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"ProxyOpen_AccountAnswered3Fails",
         3,
         {{"OPEN h:2121", "220 ok\r\n"},
          {"USER u", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "332 ?\r\n"}},
         false,
         L"Logon failed."},
        {"Transparent",
         4,
         {{"USER fu", "331 Pw\r\n"},
          {"PASS fp", "230 ok\r\n"},
          {"USER u", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "230 In\r\n"},
          Feat, Pwd},
         true,
         L""},
        {"Transparent_Short", 4, {{"USER fu", "230 ok\r\n"}, {"USER u", "230 In\r\n"}, Feat, Pwd}, true, L""},
        {"UserWithNoLogon",
         5,
         {{"USER u@h:2121", "331 Pw\r\n"}, {"PASS p", "332 Acct\r\n"}, {"ACCT a", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"UserWithNoLogon_Short", 5, {{"USER u@h:2121", "230 In\r\n"}, Feat, Pwd}, true, L""},
        {"FireIdAtHost",
         6,
         {{"USER fu@h:2121", "331 Pw\r\n"},
          {"PASS fp", "230 ok\r\n"},
          {"USER u", "331 Pw\r\n"},
          {"PASS p", "332 Acct\r\n"},
          {"ACCT a", "230 In\r\n"},
          Feat, Pwd},
         true,
         L""},
        {"FireIdAtHost_Short",
         6,
         {{"USER fu@h:2121", "230 ok\r\n"}, {"USER u", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"RemoteIdAtHostFireId",
         7,
         {{"USER u@h:2121 fu", "331 Pw\r\n"}, {"PASS p", "332 Acct\r\n"}, {"ACCT a", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"RemoteIdAtHostFireId_User2Fails",
         7,
         {{"USER u@h:2121 fu", "230 already\r\n"}},
         false,
         L"Logon failed."},
        {"RemoteIdAtFireIdAtHost",
         8,
         {{"USER u@fu@h:2121", "331 Pw\r\n"}, {"PASS p@fp", "332 Acct\r\n"}, {"ACCT a", "230 In\r\n"}, Feat, Pwd},
         true,
         L""},
        {"RemoteIdAtFireIdAtHost_Short", 8, {{"USER u@fu@h:2121", "230 In\r\n"}, Feat, Pwd}, true, L""},
        {"RemoteIdAtFireIdAtHost_Refused",
         8,
         {{"USER u@fu@h:2121", "331 Pw\r\n"}, {"PASS p@fp", "421 Service not available\r\n"}},
         false,
         L"421 Service not available"},
    };
}

class LogonTableTest : public testing::TestWithParam<Dialogue>
{
};

TEST_P(LogonTableTest, SendsTheRowsCommandsAndEndsAsTheTableSays)
{
    const Dialogue& d = GetParam();
    ScriptedFtpServer server;
    server.Greet("220 Scripted\r\n");
    for (const auto& [command, answer] : d.exchanges)
        server.On(command, answer);
    server.On("QUIT", "221 Bye\r\n");
    server.Start();

    {
        CFTPClient client(std::make_unique<nsSocket::CBlockingSocket>());
        EXPECT_EQ(client.LogOn(Record(d.type, server.Port()), 2), d.loggedOn);
        std::wstring directory;
        if (d.loggedOn)
        {
            // PWD was asked once at logon; the answer is cached.
            EXPECT_EQ(client.CurrentDirectory(directory), 0);
            EXPECT_EQ(directory, L"/home/u");
        }
        EXPECT_EQ(client.LogonRecord().FirewallType, d.type);
        if (d.box.empty())
            EXPECT_EQ(Boxes().Count(), 0u) << testing::PrintToString(Boxes().Texts());
        else
            EXPECT_THAT(Boxes().Texts(), ElementsAre(d.box));
        // A failed logon leaves the connection open; the destructor says QUIT.
        EXPECT_TRUE(client.IsConnected());
    }
    ASSERT_TRUE(server.WaitFinished());
    EXPECT_THAT(server.Mismatches(), testing::IsEmpty());
    std::vector<std::string> expected;
    for (const auto& exchange : d.exchanges)
        expected.push_back(exchange.first + "\r\n");
    expected.push_back("QUIT\r\n");
    EXPECT_THAT(server.Received(), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(AllFirewallTypes, LogonTableTest, testing::ValuesIn(Dialogues()),
                         [](const auto& info) { return info.param.name; });

class LogonTest : public testing::Test
{
protected:
    CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
    ScriptedFtpServer server;
};

TEST_F(LogonTest, EveryReplyIsPostedToTheStatusPane)
{
    server.Greet("220-Hello\r\n220 there\r\n").On("USER anonymous", "331 Pw\r\n").On("PASS ", "230 In\r\n");
    server.On("FEAT", "500 What?\r\n").On("PWD", "257 \"/\"\r\n").Start();
    CLogonRecord record = Record(0, server.Port());
    record.user = L"anonymous";
    record.password.clear();
    ASSERT_TRUE(client.LogOn(record, 2));
    std::vector<std::wstring> panes;
    for (const auto& [pane, text] : testing_support::Status().Texts())
        if (pane == 0)
            panes.push_back(text);
    EXPECT_THAT(panes, ElementsAre(L"220-Hello\r\n220 there", L"331 Pw", L"230 In", L"500 What?", L"257 \"/\""));
    // An empty password still sends the command word and its space.
    EXPECT_EQ(server.Received().at(1), "PASS \r\n");
    EXPECT_EQ(client.Timeout(), 2u);
}

TEST_F(LogonTest, ProxyIsToldTheBareHostOnTheDefaultPort)
{
    server.Greet("220 Proxy\r\n").On("USER u@h", "230 In\r\n").On("FEAT", "500 ?\r\n");
    server.On("PWD", "257 \"/\"\r\n").Start();
    CLogonRecord record = Record(5, server.Port());
    record.port = 21;
    EXPECT_TRUE(client.LogOn(record, 2));
    EXPECT_THAT(server.Mismatches(), testing::IsEmpty());
}

TEST_F(LogonTest, RefusedPwdFailsTheLogon)
{
    server.Greet("220 x\r\n").On("USER u", "230 In\r\n").On("FEAT", "500 ?\r\n");
    server.On("PWD", "550 No directory for you\r\n").Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 2));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"550 No directory for you"));
    std::wstring directory;
    // The cache stays empty, so the next question goes to the server again
    // (which, past its script, refuses).
    EXPECT_EQ(client.CurrentDirectory(directory), 1);
    EXPECT_EQ(server.Received().back(), "PWD\r\n");
    EXPECT_EQ(server.Received().size(), 4u);
}

TEST_F(LogonTest, GreetingThatIsNotPositiveIsShown)
{
    server.Greet("421 Too many users\r\n").Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 1));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"421 Too many users"));
    EXPECT_TRUE(server.Received().empty());
}

TEST_F(LogonTest, GarbageGreetingIsShownAsItCame)
{
    server.Greet("SSH-2.0-OpenSSH_9.2\r\n").Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 1));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"SSH-2.0-OpenSSH_9.2"));
}

TEST_F(LogonTest, GreetingThatNeverComesTimesOut)
{
    server.Accept().Pause(std::chrono::milliseconds(3000)).Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 1));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"Unable to receive data (receive timeout).")));
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(LogonTest, ServerThatClosesWithoutGreetingIsReported)
{
    server.Accept().Drop().Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 1));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"The server closed the connection."));
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(LogonTest, ServerThatClosesMidReplyFailsTheLogon)
{
    server.Greet("220 x\r\n").On("USER u", "331-Password\r\n331-is needed").Drop().Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 1));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"The server closed the connection."));
}

TEST_F(LogonTest, ConnectionRefusedIsShown)
{
    unsigned short port;
    {
        // A port nobody listens on: take one and let it go.
        ScriptedFtpServer gone;
        port = gone.Port();
    }
    EXPECT_FALSE(client.LogOn(Record(0, port), 1));
    EXPECT_THAT(Boxes().Texts(), ElementsAre(HasSubstr(L"Cannot establish a connection to the server.")));
}

TEST_F(LogonTest, UnknownFirewallTypeIsRefusedWithoutConnecting)
{
    server.Start();
    EXPECT_FALSE(client.LogOn(Record(9, server.Port()), 1));
    EXPECT_FALSE(client.LogOn(Record(-1, server.Port()), 1));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(Boxes().Count(), 2u);
}

TEST_F(LogonTest, ASecondLogonQuitsTheFirstConnection)
{
    server.Greet("220 one\r\n").On("USER u", "530 No\r\n").On("QUIT", "221 Bye\r\n");
    server.Greet("220 two\r\n").On("USER u", "230 In\r\n").On("FEAT", "500 ?\r\n");
    server.On("PWD", "257 \"/\"\r\n").Start();
    EXPECT_FALSE(client.LogOn(Record(0, server.Port()), 2));
    EXPECT_TRUE(client.LogOn(Record(0, server.Port()), 2));
    EXPECT_THAT(server.Mismatches(), testing::IsEmpty());
}

TEST_F(LogonTest, ReplyArrivingInPiecesAndTogetherIsReadCorrectly)
{
    server.Greet("22").Pause(std::chrono::milliseconds(50)).Send("0 ready\r\n");
    server.On("USER u", "");
    server.SendPieces({"331-Please", " send\r\n331", " password\r\n"});
    // Two replies in one write: the second is the answer to FEAT.
    server.On("PASS p", "230 In\r\n500 No FEAT here\r\n").On("PWD", "257 \"/srv\"\r\n").Start();
    ASSERT_TRUE(client.LogOn(Record(0, server.Port()), 2));
    std::wstring directory;
    EXPECT_EQ(client.CurrentDirectory(directory), 0);
    EXPECT_EQ(directory, L"/srv");
}

// RFC 2640: UTF-8 is asked for where FEAT offers it (Auto) or the site says
// UTF-8; a Latin-1 site never asks. Neither a refused FEAT nor a refused OPTS
// shows anything or stops the logon, and the FEAT reply stays for later.
TEST_F(LogonTest, FeatThenOptsUtf8AsTheSitesEncodingAsks)
{
    const std::string offers = "211-Features:\r\n MDTM\r\n utf8\r\n REST STREAM\r\n211 End\r\n";
    const std::string lacks = "211-Features:\r\n SIZE\r\n211 End\r\n";
    struct Case
    {
        const char* what;
        nsFTP::NameEncoding encoding;
        std::string feat;
        const char* opts; // the answer to OPTS UTF8 ON; null when it must not be sent
        bool enabled;
    };
    const Case cases[] = {
        {"Auto, offered", nsFTP::NameEncoding::Auto, offers, "200 UTF8 set to on\r\n", true},
        {"Auto, offered, refused", nsFTP::NameEncoding::Auto, offers, "501 No\r\n", false},
        {"Auto, not offered", nsFTP::NameEncoding::Auto, lacks, nullptr, false},
        {"Auto, no FEAT", nsFTP::NameEncoding::Auto, "500 Unknown command\r\n", nullptr, false},
        {"UTF-8, not offered", nsFTP::NameEncoding::Utf8, "502 Not implemented\r\n", "200 OK\r\n", true},
        {"Latin-1, offered", nsFTP::NameEncoding::Latin1, offers, nullptr, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        testing_support::ResetServices();
        ScriptedFtpServer server;
        server.Greet("220 x\r\n").On("USER u", "230 In\r\n").On("FEAT", c.feat);
        if (c.opts)
            server.On("OPTS UTF8 ON", c.opts);
        server.On("PWD", "257 \"/h\"\r\n").Start();
        CFTPClient client(std::make_unique<nsSocket::CBlockingSocket>());
        client.SetNameCodec(nsFTP::CNameCodec(c.encoding));
        ASSERT_TRUE(client.LogOn(Record(0, server.Port()), 2));
        EXPECT_THAT(server.Mismatches(), testing::IsEmpty());
        EXPECT_EQ(Boxes().Count(), 0u);
        EXPECT_EQ(client.Utf8Enabled(), c.enabled);
        EXPECT_EQ(client.HasFeature(L"UTF8"), c.feat == offers);
        EXPECT_EQ(client.HasFeature(L"REST"), c.feat == offers);
        EXPECT_EQ(client.FeatureReply().Code() == L"211", c.feat[0] == '2');
    }
}

} // namespace
