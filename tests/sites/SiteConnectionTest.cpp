// The site connection against a real pyftpdlib server (logon, initial
// directory, keep-alive, logout, pass-throughs) and, where the exact bytes
// matter, against the scripted server.
#include "sites/SiteConnection.h"
#include "platform/Services.h"
#include "sites/SiteOptions.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedFtpServer.h"
#include "support/TempFolder.h"
#include "support/TestPki.h"
#include "support/TestServices.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <optional>
#include <sstream>
#include <thread>

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing_support::Boxes;
using testing_support::PyFtpdOptions;
using testing_support::PyFtpdServer;
using testing_support::ScriptedFtpServer;
namespace fs = std::filesystem;

namespace
{

// The commands the server logged, in order ("<- " lines), without arguments
// of PASS, which pyftpdlib hides.
std::vector<std::string> Commands(const PyFtpdServer& server)
{
    std::vector<std::string> commands;
    std::istringstream log(server.Log());
    std::string line;
    while (std::getline(log, line))
    {
        const auto at = line.find("] <- ");
        if (at != std::string::npos)
            commands.push_back(line.substr(at + 5));
    }
    return commands;
}

// Status texts other than the server replies of pane 0.
std::vector<std::pair<int, std::wstring>> CountPaneTexts()
{
    std::vector<std::pair<int, std::wstring>> texts;
    // Pane 0 is the prompt, and the security pane has tests of its own.
    for (const auto& text : testing_support::Status().Texts())
        if (text.first >= 1 && text.first <= 3)
            texts.push_back(text);
    return texts;
}

size_t CountOf(const std::vector<std::string>& commands, const std::string& command)
{
    return std::count(commands.begin(), commands.end(), command);
}

SiteRecord SiteFor(const PyFtpdServer& server)
{
    SiteRecord site;
    site.SetLabel(L"Test");
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(std::wstring(server.User().begin(), server.User().end()));
    site.SetPassword(std::wstring(server.Password().begin(), server.Password().end()));
    site.SetTimeout(5);
    return site;
}

// Where the server says the session is, asked outside the engine's cache.
std::wstring ServerDirectory(CSiteConnection& connection)
{
    nsFTP::Reply reply;
    if (!connection.Engine().Execute(L"PWD", reply, true))
        return L"(no reply)";
    const std::wstring text = reply.text;
    const auto open = text.find(L'"');
    const auto close = text.find(L'"', open + 1);
    return open == std::wstring::npos || close == std::wstring::npos
               ? text
               : text.substr(open + 1, close - open - 1);
}

class SiteConnectionTest : public testing::Test
{
protected:
    static PyFtpdOptions Options()
    {
        PyFtpdOptions options;
        options.anonymous = true;
        options.home = "/home/u";
        return options;
    }

    void Connect(CSiteConnection& connection, const SiteRecord& site)
    {
        ASSERT_TRUE(connection.Connect(site)) << testing::PrintToString(Boxes().Texts()) << server.Log();
    }

    fs::path Root() const { return server.Root(); }

    PyFtpdServer server{Options()};
};

TEST_F(SiteConnectionTest, StartsEmptyAndDisconnected)
{
    CSiteConnection connection;
    EXPECT_FALSE(connection.IsConnected());
    // Cleared, not the record defaults (which would say port 21, keep-alive 1).
    SiteRecord zero;
    zero.Clear();
    EXPECT_TRUE(connection.CurrentSite() == zero);
    EXPECT_EQ(connection.HomeDirectory(), L"");
    EXPECT_EQ(connection.Logon().user, L"anonymous");
    EXPECT_EQ(connection.Logon().port, 21);
    EXPECT_EQ(connection.Sites().Count(), 0);
    // Nothing to send while disconnected.
    connection.KeepAliveTick();
    connection.Disconnect();
    connection.GoToInitialDirectory(L"pub");
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(SiteConnectionTest, UserLogonCopiesTheSiteAndLearnsTheHome)
{
    CSiteConnection connection;
    SiteRecord site = SiteFor(server);
    site.SetKeepAlive(0);
    testing_support::Status().Clear();
    Connect(connection, site);
    // The counts of the last listing are gone before the new one is made.
    EXPECT_THAT(CountPaneTexts(), ElementsAre(std::pair{1, std::wstring()}, std::pair{2, std::wstring()},
                                              std::pair{3, std::wstring()}));
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_TRUE(connection.CurrentSite() == site);
    EXPECT_EQ(connection.HomeDirectory(), L"/home/u");
    EXPECT_EQ(connection.Logon().user, L"tessel");
    EXPECT_EQ(connection.Logon().password, L"tessel-secret");
    EXPECT_EQ(connection.Engine().Timeout(), 5u);
    EXPECT_FALSE(connection.Engine().RestartAllowed());
    EXPECT_THAT(Commands(server), Contains("USER tessel"));
}

TEST_F(SiteConnectionTest, AnonymousFlagWinsOverFilledLoginAndPassword)
{
    CSiteConnection connection;
    SiteRecord site = SiteFor(server);
    site.SetAnonymous(1);
    site.SetPassword(L"wrong");
    Connect(connection, site);
    EXPECT_EQ(connection.Logon().user, L"anonymous");
    const std::wstring placeholder = connection.Logon().password;
    EXPECT_EQ(placeholder, CSiteConnection::AnonymousPassword);
    EXPECT_EQ(placeholder.size(), 18u);
    const auto at = placeholder.find(L'@');
    ASSERT_NE(at, std::wstring::npos);
    EXPECT_GT(at, 0u);
    EXPECT_NE(placeholder.find(L'.', at), std::wstring::npos);
    EXPECT_THAT(Commands(server), Contains("USER anonymous"));
    EXPECT_THAT(Commands(server), testing::Not(Contains("USER tessel")));
}

TEST_F(SiteConnectionTest, PortAbove65535KeepsItsLow16Bits)
{
    CSiteConnection connection;
    SiteRecord site = SiteFor(server);
    site.SetPort(65536 + server.Port());
    Connect(connection, site);
    EXPECT_EQ(connection.Logon().port, server.Port());
    // The site is copied as it was given.
    EXPECT_EQ(connection.CurrentSite().Port(), 65536 + server.Port());
}

TEST_F(SiteConnectionTest, RefusedLogonLeavesTheConnectionClosedAndTheOldSite)
{
    CSiteConnection connection;
    SiteRecord good = SiteFor(server);
    good.SetLabel(L"Good");
    Connect(connection, good);

    SiteRecord bad = SiteFor(server);
    bad.SetLabel(L"Bad");
    bad.SetPassword(L"wrong");
    Boxes().Clear();
    EXPECT_FALSE(connection.Connect(bad));
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], testing::StartsWith(L"530"));
    // Nobody is logged on, so the site connection must not look connected
    // (the keep-alive would talk to a server that never let us in).
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(connection.CurrentSite().Label(), L"Good");
    EXPECT_EQ(connection.HomeDirectory(), L"/home/u");
    EXPECT_EQ(connection.Logon().password, L"wrong");
    // The good site's session was ended by QUIT, and so was the refused one.
    EXPECT_EQ(CountOf(Commands(server), "QUIT"), 2u) << server.Log();

    Connect(connection, good);
    EXPECT_TRUE(connection.IsConnected());
}

TEST_F(SiteConnectionTest, InitialDirectoryIsTakenRelativeToTheHome)
{
    fs::create_directories(Root() / "home/u/pub/x");
    fs::create_directories(Root() / "home/u/ser2");
    fs::create_directories(Root() / "home/u/home/user2");
    CSiteConnection connection;
    Connect(connection, SiteFor(server));

    const std::vector<std::pair<std::wstring, std::wstring>> examples = {
        {L"pub", L"/home/u/pub"},
        {L"/home/u/pub", L"/home/u/pub"},
        {L"\\pub\\x", L"/home/u/pub/x"},
        {L"/pub", L"/home/u/pub"},
        {L"  pub/x \t", L"/home/u/pub/x"},
        {L"/HOME/U/pub", L"/home/u/pub"},
        {L"   ", L"/home/u"},
        {L"", L"/home/u"},
        {L"/home/u", L"/home/u"},
        // The home is a prefix only as whole folders.
        {L"/home/user2", L"/home/u/home/user2"},
    };
    for (const auto& [directory, expected] : examples)
    {
        ASSERT_EQ(connection.Engine().ChangeDirectory(L"/home/u"), 0);
        connection.GoToInitialDirectory(directory);
        EXPECT_EQ(ServerDirectory(connection), expected) << testing::PrintToString(directory);
    }
    EXPECT_EQ(Boxes().Count(), 0u) << testing::PrintToString(Boxes().Texts());

    // A refused directory ends at home, with the server's refusal shown once.
    ASSERT_EQ(connection.Engine().ChangeDirectory(L"/home/u/pub"), 0);
    connection.GoToInitialDirectory(L"missing");
    EXPECT_EQ(ServerDirectory(connection), L"/home/u");
    ASSERT_EQ(Boxes().Count(), 1u);
    EXPECT_THAT(Boxes().Texts()[0], testing::StartsWith(L"550"));
}

TEST(SiteConnectionRootHome, HomeEndingInSlashGetsNoSecondSlash)
{
    PyFtpdServer server;
    fs::create_directories(fs::path(server.Root()) / "pub");
    CSiteConnection connection;
    ASSERT_TRUE(connection.Connect(SiteFor(server))) << server.Log();
    EXPECT_EQ(connection.HomeDirectory(), L"/");
    connection.GoToInitialDirectory(L"pub");
    EXPECT_EQ(ServerDirectory(connection), L"/pub");
    EXPECT_THAT(Commands(server), Contains("CWD /pub"));
    EXPECT_THAT(Commands(server), testing::Not(Contains("CWD //pub")));
}

TEST(InitialDirectoryTarget, WithoutAHomeTheTextHangsFromTheRoot)
{
    // What a failed PWD after logon leaves.
    EXPECT_EQ(CSiteConnection::InitialDirectoryTarget(L"", L"/pub"), L"/pub");
    EXPECT_EQ(CSiteConnection::InitialDirectoryTarget(L"", L"pub\\x"), L"/pub/x");
    EXPECT_EQ(CSiteConnection::InitialDirectoryTarget(L"", L" / "), L"");
}

TEST_F(SiteConnectionTest, DisconnectAndDestroySendQuitAndClearTheCountPanes)
{
    {
        CSiteConnection connection;
        Connect(connection, SiteFor(server));
        testing_support::Status().Clear();
        connection.Disconnect();
        EXPECT_FALSE(connection.IsConnected());
        EXPECT_THAT(CountPaneTexts(), ElementsAre(std::pair{1, std::wstring()}, std::pair{2, std::wstring()},
                                                  std::pair{3, std::wstring()}));
        EXPECT_EQ(CountOf(Commands(server), "QUIT"), 1u);

        Connect(connection, SiteFor(server));
        testing_support::Status().Clear();
    }
    EXPECT_EQ(CountOf(Commands(server), "QUIT"), 2u) << server.Log();
    EXPECT_THAT(CountPaneTexts(), ElementsAre(std::pair{1, std::wstring()}, std::pair{2, std::wstring()},
                                              std::pair{3, std::wstring()}));
    EXPECT_EQ(Boxes().Count(), 0u) << testing::PrintToString(Boxes().Texts());
}

TEST_F(SiteConnectionTest, KeepAliveSendsPwdOnlyWhenAskedAndNotBusy)
{
    CSiteConnection connection;
    SiteRecord site = SiteFor(server);
    site.SetKeepAlive(0);
    Connect(connection, site);
    const size_t afterLogon = CountOf(Commands(server), "PWD");
    connection.KeepAliveTick();
    EXPECT_EQ(CountOf(Commands(server), "PWD"), afterLogon);

    site.SetKeepAlive(1);
    Connect(connection, site);
    const size_t afterSecondLogon = CountOf(Commands(server), "PWD");
    connection.KeepAliveTick();
    EXPECT_EQ(CountOf(Commands(server), "PWD"), afterSecondLogon + 1);
    {
        CSiteConnection::BusyScope busy(connection);
        EXPECT_TRUE(connection.IsBusy());
        connection.KeepAliveTick();
    }
    EXPECT_EQ(CountOf(Commands(server), "PWD"), afterSecondLogon + 1);
    EXPECT_FALSE(connection.IsBusy());
    connection.KeepAliveTick();
    EXPECT_EQ(CountOf(Commands(server), "PWD"), afterSecondLogon + 2);
    EXPECT_EQ(Boxes().Count(), 0u);
}

TEST_F(SiteConnectionTest, PassThroughsUseTheSitesDataModeAndReachTheServer)
{
    fs::create_directories(Root() / "home/u/d");
    std::ofstream(Root() / "home/u/a.txt") << "alpha";
    std::ofstream(Root() / "home/u/d/gone.txt") << "x";
    CSiteConnection connection;
    SiteRecord site = SiteFor(server);

    for (int passive : {1, 0})
    {
        site.SetPassive(passive);
        Connect(connection, site);
        std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
        ASSERT_TRUE(connection.List(L"/home/u", records)) << server.Log();
        std::vector<std::wstring> names;
        for (const auto& record : records)
            names.push_back(record->Name);
        std::sort(names.begin(), names.end());
        EXPECT_THAT(names, ElementsAre(L"a.txt", L"d"));
        auto data = connection.OpenTransfer(L"a.txt", false);
        ASSERT_TRUE(data) << server.Log();
        char bytes[16];
        int count = 0;
        std::string got;
        while (connection.Engine().ReadTransferChunk(*data, bytes, sizeof bytes, count) && count > 0)
            got.append(bytes, count);
        EXPECT_TRUE(connection.Engine().CloseTransfer(std::move(data)));
        EXPECT_EQ(got, "alpha");
    }
    const auto commands = Commands(server);
    EXPECT_EQ(CountOf(commands, "PASV"), 2u) << server.Log();
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                            [](const std::string& c) { return c.rfind("PORT ", 0) == 0; }),
              2);

    EXPECT_TRUE(connection.MakeDirectory(L"new", true));
    EXPECT_TRUE(fs::is_directory(Root() / "home/u/new"));
    EXPECT_FALSE(connection.MakeDirectory(L"new", false));
    EXPECT_EQ(Boxes().Count(), 0u) << "a quiet refusal shows nothing";
    connection.RenameFile(L"a.txt", L"b.txt");
    EXPECT_TRUE(fs::exists(Root() / "home/u/b.txt"));
    connection.DeleteFile(L"d/gone.txt");
    connection.RemoveDirectory(L"d");
    EXPECT_FALSE(fs::exists(Root() / "home/u/d"));

    EXPECT_TRUE(connection.ChangeDirectory(L"new"));
    EXPECT_EQ(connection.CurrentDirectory(), L"/home/u/new");
    EXPECT_FALSE(connection.ChangeDirectory(L"missing"));
}

TEST_F(SiteConnectionTest, StoredSiteIsFoundByLabelAndOpensInItsDirectory)
{
    fs::create_directories(Root() / "home/u/pub");
    SiteRecord site = SiteFor(server);
    site.SetLabel(L"Work Server");
    site.SetDirectory(L"pub");
    SiteRecord group;
    group.SetLabel(L"Servers");
    group.SetGroupId(0);
    {
        CSiteList stored;
        ASSERT_EQ(stored.AddSite(site), 0);
        ASSERT_EQ(stored.AddSite(group), 1);
    }

    CSiteConnection connection;
    EXPECT_FALSE(connection.ConnectStoredSite(L"Nowhere"));
    EXPECT_FALSE(connection.ConnectStoredSite(L"servers"));
    EXPECT_THAT(Boxes().Texts(),
                ElementsAre(L"No site is labelled \"Nowhere\".", L"\"Servers\" is a group, not a site."));
    EXPECT_FALSE(connection.IsConnected());

    ASSERT_TRUE(connection.ConnectStoredSite(L"WORK SERVER")) << server.Log();
    EXPECT_EQ(connection.CurrentSite().Label(), L"Work Server");
    EXPECT_EQ(ServerDirectory(connection), L"/home/u/pub");
    EXPECT_EQ(connection.Sites().Count(), 2);
}

// ---- Exact bytes, against the scripted server ----

TEST(SiteConnectionScripted, ProxyFieldsGoToTheLogonOnlyWithAProxyMode)
{
    ScriptedFtpServer server;
    server.Greet("220 proxy\r\n")
        .On("OPEN ftp.example:2121", "220 connected\r\n")
        .On("USER u", "331 password\r\n")
        .On("PASS p", "230 in\r\n")
        .On("FEAT", "500 no\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .Start();

    SiteRecord site;
    site.SetHost(L"ftp.example");
    site.SetPort(2121);
    site.SetLogin(L"u");
    site.SetPassword(L"p");
    site.SetProxyHost(L"127.0.0.1");
    site.SetProxyPort(server.Port());
    site.SetProxyUser(L"fu");
    site.SetProxyPassword(L"fp");
    site.SetTimeout(5);

    // Mode 0 ignores whatever the proxy fields hold.
    const nsFTP::CLogonRecord direct = CSiteConnection::LogonFor(site);
    EXPECT_EQ(direct.FirewallType, 0);
    EXPECT_EQ(direct.firewallHost, L"");
    EXPECT_EQ(direct.firewallUser, L"");
    EXPECT_EQ(direct.firewallPort, 21);
    EXPECT_EQ(direct.account, L"");

    site.SetProxyMode(3);
    CSiteConnection connection;
    ASSERT_TRUE(connection.Connect(site)) << testing::PrintToString(Boxes().Texts());
    ASSERT_TRUE(server.WaitFinished());
    EXPECT_THAT(server.Mismatches(), IsEmpty());
    EXPECT_EQ(connection.Logon().FirewallType, 3);
    EXPECT_EQ(connection.Logon().firewallUser, L"fu");
    EXPECT_EQ(connection.Logon().firewallPassword, L"fp");
    EXPECT_EQ(connection.Logon().firewallPort, server.Port());
}

// The site's encoding reaches the logon (OPTS UTF8) and its typed folder:
// UTF-8 unless the site says Latin-1, and a home folder whose name is not
// UTF-8 keeps its own bytes in front of it.
TEST(SiteConnectionScripted, TheSitesEncodingDecidesOptsUtf8AndHowItsFolderIsSent)
{
    struct Case
    {
        nsFTP::NameEncoding encoding;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {nsFTP::NameEncoding::Auto,
         {"USER u", "FEAT", "OPTS UTF8 ON", "PWD", "CWD /h\xE9/R\xC3\xA9pertoire"}},
        {nsFTP::NameEncoding::Latin1, {"USER u", "FEAT", "PWD", "CWD /h\xE9/R\xE9pertoire"}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(nsFTP::CNameCodec::Name(c.encoding));
        ScriptedFtpServer server;
        server.Greet("220 hi\r\n")
            .On("USER u", "230 in\r\n")
            .On("FEAT", "211-Features\r\n UTF8\r\n211 End\r\n");
        if (c.encoding == nsFTP::NameEncoding::Auto)
            server.On("OPTS UTF8 ON", "200 Always in UTF8 mode.\r\n");
        server.On("PWD", "257 \"/h\xE9\"\r\n").On(c.sent.back(), "250 OK\r\n").Start();
        SiteRecord site;
        site.SetHost(L"127.0.0.1");
        site.SetPort(server.Port());
        site.SetLogin(L"u");
        site.SetTimeout(5);
        SiteOptions options;
        options.SetEncoding(c.encoding);
        CSiteConnection connection;
        ASSERT_TRUE(connection.Connect(site, options));
        EXPECT_EQ(connection.Names().Encoding(), c.encoding);
        connection.GoToInitialDirectory(L"/h\u00E9/R\u00E9pertoire");
        ASSERT_TRUE(server.WaitFinished());
        EXPECT_THAT(server.Mismatches(), IsEmpty());
        std::vector<std::string> expected;
        for (const auto& command : c.sent)
            expected.push_back(command + "\r\n");
        EXPECT_THAT(server.Received(), testing::ElementsAreArray(expected));
    }
}

TEST(SiteConnectionScripted, TimeoutsThatCannotBeWaitedOnFallBackToTenSeconds)
{
    SiteRecord site;
    site.SetTimeout(0);
    EXPECT_EQ(CSiteConnection::TimeoutFor(site), 10u);
    site.SetTimeout(-5);
    EXPECT_EQ(CSiteConnection::TimeoutFor(site), 10u);
    site.SetTimeout(7);
    EXPECT_EQ(CSiteConnection::TimeoutFor(site), 7u);
}

TEST(SiteConnectionScripted, KeepAliveWithTheFlagClearSendsNothing)
{
    ScriptedFtpServer server;
    server.Greet("220 hi\r\n")
        .On("USER u", "331 password\r\n")
        .On("PASS p", "230 in\r\n")
        .On("FEAT", "500 no\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .Start();
    SiteRecord site;
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(L"u");
    site.SetPassword(L"p");
    site.SetTimeout(5);
    site.SetKeepAlive(0);
    CSiteConnection connection;
    ASSERT_TRUE(connection.Connect(site));
    connection.KeepAliveTick();
    connection.KeepAliveTick();
    EXPECT_EQ(server.Received().size(), 4u);

    site.SetKeepAlive(1);
    // The flag of the connected site counts, not of a record edited since.
    connection.KeepAliveTick();
    EXPECT_EQ(server.Received().size(), 4u);
}

TEST(SiteConnectionScripted, BusyScopeWaitsForAKeepAliveUnderWay)
{
    ScriptedFtpServer server;
    server.Greet("220 hi\r\n")
        .On("USER u", "230 in\r\n")
        .On("FEAT", "500 no\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .On("PWD", "")
        .Pause(std::chrono::milliseconds(300))
        .Send("257 \"/\"\r\n")
        .Start();
    SiteRecord site;
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(L"u");
    site.SetTimeout(5);
    CSiteConnection connection;
    ASSERT_TRUE(connection.Connect(site));

    std::wstring jobReply;
    std::thread job(
        [&]
        {
            // Once the probe is out, a job taking the engine must wait for its
            // reply; otherwise the job would read the probe's 257 as its own.
            for (int i = 0; i < 500 && server.Received().size() < 4; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            CSiteConnection::BusyScope busy(connection);
            nsFTP::Reply reply;
            connection.Engine().Execute(L"NOOP", reply, false);
            jobReply = reply.Code();
        });
    connection.KeepAliveTick();
    job.join();
    EXPECT_EQ(jobReply, L"502");
    EXPECT_THAT(server.Received(), ElementsAre("USER u\r\n", "FEAT\r\n", "PWD\r\n", "PWD\r\n", "NOOP\r\n"));
    EXPECT_EQ(Boxes().Count(), 0u);
}

} // namespace

// What protects the connection, as both programs read it (Security) and the
// status bar shows it (pane 4), for each encryption choice against a server
// with TLS and one without. A site stored before encryption existed (no
// option) logs on in plain FTP, as it always did.
TEST(SiteConnectionSecurity, EachEncryptionChoiceGivesItsConnectionAndItsStatusText)
{
    testing_support::TempFolder folder("tessel-pki");
    testing_support::TestPki pki(folder.Path().string());
    ::setenv("SSL_CERT_FILE", pki.CaFile().c_str(), 1);
    const auto identity = pki.Issue("server");
    PyFtpdOptions tlsOptions;
    tlsOptions.tlsCert = identity.certFile;
    tlsOptions.tlsKey = identity.keyFile;
    PyFtpdServer tls(tlsOptions);
    PyFtpdServer plain;
    struct Case
    {
        const PyFtpdServer* server;
        std::optional<nsFTP::Encryption> encryption; // none: stored before encryption existed
        bool connects;
        const wchar_t* status;
    };
    for (const Case& c : {Case{&tls, nsFTP::Encryption::Require, true, L"Encrypted: TLSv1."},
                          Case{&tls, nsFTP::Encryption::Auto, true, L"Encrypted: TLSv1."},
                          Case{&tls, std::nullopt, true, L"Not encrypted"},
                          Case{&plain, nsFTP::Encryption::Auto, true, L"Not encrypted"},
                          Case{&plain, nsFTP::Encryption::Require, false, L""}})
    {
        SCOPED_TRACE(c.encryption ? nsFTP::EncryptionName(*c.encryption) : "stored before");
        testing_support::ResetServices();
        SiteOptions options;
        if (c.encryption)
            options.SetEncryption(*c.encryption);
        CSiteConnection connection;
        EXPECT_EQ(connection.Connect(testing_support::FixtureSite(*c.server), options), c.connects);
        EXPECT_THAT(platform::Services::StatusText(CSiteConnection::SecurityPane),
                    testing::StartsWith(c.status));
        EXPECT_EQ(connection.Security().encrypted, std::wstring(c.status).starts_with(L"Encrypted"));
        connection.Disconnect();
        EXPECT_EQ(platform::Services::StatusText(CSiteConnection::SecurityPane), L"");
        EXPECT_FALSE(connection.Security().encrypted);
    }
}
