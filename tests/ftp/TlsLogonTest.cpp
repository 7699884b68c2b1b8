// FTP over TLS against the scripted server: AUTH refusals, injected replies,
// the certificate check and its question, and the attacks on data connections.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/ScriptedFtpServer.h"
#include "support/TempFolder.h"
#include "support/TestPki.h"
#include "support/TestServices.h"

#include <chrono>
#include <cstdlib>
#include <gmock/gmock.h>
#include <memory>
#include <thread>

using nsFTP::CFTPClient;
using nsFTP::CLogonRecord;
using nsFTP::Encryption;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing_support::Boxes;
using testing_support::CertificatePrompt;
using testing_support::ScriptedFtpServer;
using testing_support::TestIdentity;
using testing_support::TestPki;

namespace
{

// One authority and the certificates of every case, made once; the client
// trusts the authority through SSL_CERT_FILE.
struct Certificates
{
    testing_support::TempFolder folder{"tessel-pki"};
    TestPki pki{folder.Path().string()};
    TestIdentity good = pki.Issue("good");
    TestIdentity other = pki.Issue("other");
    TestIdentity selfSigned = pki.Issue("self", {.selfSigned = true});
    TestIdentity expired = pki.Issue("expired", {.expired = true});
    TestIdentity wrongHost = pki.Issue("wrong", {.hosts = {"elsewhere.example"}});
    TestIdentity weak = pki.Issue("weak", {.rsaBits = 1024});

    Certificates() { ::setenv("SSL_CERT_FILE", pki.CaFile().c_str(), 1); }
};

std::string Narrow(const std::wstring& text)
{
    return {text.begin(), text.end()};
}

// "AB:CD" as "abcd": how a fingerprint may be remembered.
std::string Lower(const std::string& fingerprint)
{
    std::string text;
    for (char c : fingerprint)
        if (c != ':')
            text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

Certificates& Pki()
{
    static Certificates certificates;
    return certificates;
}

class TlsLogonTest : public testing::Test
{
protected:
    CLogonRecord Record(Encryption encryption = Encryption::Require) const
    {
        CLogonRecord record;
        record.host = L"127.0.0.1";
        record.port = server.Port();
        record.user = L"u";
        record.password = L"p";
        record.encryption = encryption;
        return record;
    }

    // Greeting, AUTH TLS and the handshake with the identity.
    void Secure(const TestIdentity& identity, bool tls12Only = false)
    {
        server.Greet("220 Scripted\r\n").On("AUTH TLS", "234 Go ahead.\r\n").StartTls(identity, tls12Only);
    }

    // The rest of a logon once the control connection is protected.
    void LogonSteps()
    {
        server.On("USER u", "331 Password.\r\n")
            .On("PASS p", "230 Welcome.\r\n")
            .On("PBSZ 0", "200 PBSZ=0\r\n")
            .On("PROT P", "200 Protection set.\r\n")
            .On("FEAT", "500 ?\r\n")
            .On("PWD", "257 \"/\"\r\n");
    }

    bool LogOn(const CLogonRecord& record)
    {
        server.Start();
        return client.LogOn(record, 3);
    }

    std::string BoxText() const
    {
        std::string all;
        for (const auto& text : Boxes().Texts())
            all += std::string(text.begin(), text.end()) + "\n";
        return all;
    }

    ScriptedFtpServer server;
    CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
};

TEST_F(TlsLogonTest, ARefusedAuthTlsEndsARequiredLogonBeforeUserAndGoesPlainWhenOnlyPreferred)
{
    struct Case
    {
        const char* reply;
        Encryption encryption;
        bool logsOn;
    };
    for (const Case& c : {Case{"500 Unknown command.\r\n", Encryption::Require, false},
                          Case{"534 Policy forbids TLS.\r\n", Encryption::Require, false},
                          Case{"431 TLS unavailable.\r\n", Encryption::Require, false},
                          Case{"500 Unknown command.\r\n", Encryption::Auto, true}})
    {
        SCOPED_TRACE(c.reply);
        testing_support::ResetServices();
        ScriptedFtpServer plain;
        plain.Greet("220 Plain only\r\n").On("AUTH TLS", c.reply);
        if (c.logsOn)
            plain.On("USER u", "331 Password.\r\n")
                .On("PASS p", "230 Welcome.\r\n")
                .On("FEAT", "500 ?\r\n")
                .On("PWD", "257 \"/\"\r\n");
        plain.Start();
        CFTPClient engine(std::make_unique<nsSocket::CBlockingSocket>());
        CLogonRecord record = Record(c.encryption);
        record.port = plain.Port();
        EXPECT_EQ(engine.LogOn(record, 3), c.logsOn);
        if (!c.logsOn)
        {
            plain.WaitFinished();
            for (const auto& line : plain.Received())
            {
                EXPECT_THAT(line, Not(HasSubstr("USER")));
                EXPECT_THAT(line, Not(HasSubstr("PASS")));
            }
            EXPECT_THAT(BoxText(), HasSubstr("before the user name and password were sent"));
            EXPECT_FALSE(engine.IsConnected());
        }
        else
        {
            EXPECT_FALSE(engine.Security().encrypted);
            EXPECT_TRUE(engine.Security().passwordInClear);
            EXPECT_TRUE(plain.Mismatches().empty());
        }
    }
}

TEST_F(TlsLogonTest, ARepliesInjectedAfterAuthTlsAreDroppedAndTheLogonRunsOverTls)
{
    // The injected 230 would make the client skip PASS if it were read as the reply to USER.
    server.Greet("220 Scripted\r\n")
        .On("AUTH TLS", "234 Go ahead.\r\n230 Injected: logged in.\r\n")
        .StartTls(Pki().good);
    LogonSteps();
    ASSERT_TRUE(LogOn(Record())) << BoxText();
    EXPECT_TRUE(server.WaitFinished());
    EXPECT_TRUE(server.Mismatches().empty()) << server.Mismatches().front();
    EXPECT_TRUE(client.Security().encrypted);
    EXPECT_FALSE(client.Security().passwordInClear);
    EXPECT_THAT(client.Security().protocol, HasSubstr("TLS"));
    EXPECT_TRUE(CertificatePrompt().Questions().empty());
}

TEST_F(TlsLogonTest, ACertificateThatFailsTheCheckIsAskedAboutOrRefusedWithItsOwnReason)
{
    struct Case
    {
        const char* name;
        const TestIdentity* identity;
        bool answer;
        std::string remembered;
        bool logsOn;
        bool asked;
        std::string says; // in the question's problems or the error box
    };
    const Certificates& p = Pki();
    const Case cases[] = {
        {"chain of a trusted authority", &p.good, false, "", true, false, ""},
        {"self-signed, cancelled", &p.selfSigned, false, "", false, true, "self-signed"},
        {"self-signed, trusted", &p.selfSigned, true, "", true, true, "self-signed"},
        {"self-signed, remembered in any case without colons", &p.selfSigned, false,
         Lower(p.selfSigned.fingerprint), true, false, ""},
        {"self-signed, another remembered", &p.selfSigned, true, p.other.fingerprint, false, false,
         p.other.fingerprint},
        {"expired", &p.expired, false, "", false, true, "expired on"},
        {"wrong host", &p.wrongHost, false, "", false, true, "is for elsewhere.example, not for 127.0.0.1"},
        {"weak key", &p.weak, true, "", false, false, "too weak"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        testing_support::ResetServices();
        CertificatePrompt().SetAnswer(c.answer);
        ScriptedFtpServer tls;
        tls.Greet("220 Scripted\r\n").On("AUTH TLS", "234 Go ahead.\r\n").StartTls(*c.identity);
        if (c.logsOn)
            tls.On("USER u", "230 Welcome.\r\n")
                .On("PBSZ 0", "200 PBSZ=0\r\n")
                .On("PROT P", "200 Protection set.\r\n")
                .On("FEAT", "500 ?\r\n")
                .On("PWD", "257 \"/\"\r\n");
        tls.Start();
        CFTPClient engine(std::make_unique<nsSocket::CBlockingSocket>());
        CLogonRecord record = Record();
        record.port = tls.Port();
        record.trustedFingerprint = c.remembered;
        EXPECT_EQ(engine.LogOn(record, 3), c.logsOn) << BoxText();
        const auto questions = CertificatePrompt().Questions();
        ASSERT_EQ(questions.size(), c.asked ? 1u : 0u);
        std::string said = BoxText();
        if (c.asked)
        {
            EXPECT_EQ(Narrow(questions[0].fingerprint), c.identity->fingerprint);
            EXPECT_EQ(questions[0].host, L"127.0.0.1");
            EXPECT_THAT(Narrow(questions[0].subject), HasSubstr("Tessel tests"));
            EXPECT_FALSE(questions[0].validUntil.empty());
            for (const auto& problem : questions[0].problems)
                said += Narrow(problem) + "\n";
        }
        EXPECT_THAT(said, HasSubstr(c.says));
        if (!c.remembered.empty() && !c.logsOn)
            EXPECT_THAT(said, HasSubstr(c.identity->fingerprint)) << "both fingerprints are named";
        EXPECT_EQ(engine.NewlyTrustedFingerprint(), c.asked && c.answer ? c.identity->fingerprint : "");
        if (c.logsOn)
        {
            EXPECT_TRUE(tls.WaitFinished());
            EXPECT_TRUE(engine.Security().encrypted);
        }
        else
            EXPECT_FALSE(engine.IsConnected());
    }
}

TEST_F(TlsLogonTest, DataConnectionsRunOverTlsInBothModesAndMustShowTheControlConnectionsCertificate)
{
    Secure(Pki().good);
    LogonSteps();
    server.DataTls(Pki().good)
        .Passive()
        .On("LIST", "150 Here it comes.\r\n")
        .DataSend("-rw-r--r-- 1 u g 3 Jan 01 2026 one.txt\r\n")
        .Send("226 Done.\r\n")
        .ExpectPort()
        .On("LIST", "150 Here it comes.\r\n")
        .DataSend("-rw-r--r-- 1 u g 3 Jan 01 2026 two.txt\r\n")
        .Send("226 Done.\r\n")
        .DataTls(Pki().other)
        .Passive()
        .On("LIST", "150 Here it comes.\r\n")
        .DataSend("-rw-r--r-- 1 u g 3 Jan 01 2026 evil.txt\r\n")
        .Send("226 Done.\r\n");
    ASSERT_TRUE(LogOn(Record())) << BoxText();
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
    ASSERT_TRUE(client.ListDirectory(L"", entries, true)) << BoxText();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->Name, L"one.txt");
    ASSERT_TRUE(client.ListDirectory(L"", entries, false)) << BoxText();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->Name, L"two.txt");

    EXPECT_FALSE(client.ListDirectory(L"", entries, true));
    EXPECT_THAT(BoxText(), HasSubstr("another certificate than the control connection"));
    EXPECT_EQ(entries[0]->Name, L"two.txt") << "nothing of the refused connection is used";
    EXPECT_TRUE(client.IsConnected());
}

TEST_F(TlsLogonTest, ADownloadWhoseTlsStreamEndsWithoutCloseNotifyFails)
{
    Secure(Pki().good);
    LogonSteps();
    server.DataTls(Pki().good)
        .On("TYPE I", "200 Type I.\r\n")
        .Passive()
        .On("RETR f", "150 Here it comes.\r\n")
        // Many records: the client reads several at once, and the cut still shows.
        .DataSendTruncated(std::string(300 * 1024 + 5, 'x'))
        .Send("226 Done.\r\n");
    ASSERT_TRUE(LogOn(Record())) << BoxText();
    auto data = client.OpenTransfer(L"f", true, false);
    ASSERT_NE(data, nullptr) << BoxText();
    char buffer[65536];
    int count = 0;
    size_t total = 0;
    bool ok = true;
    while ((ok = client.ReadTransferChunk(*data, buffer, sizeof buffer, count)) && count > 0)
        total += static_cast<size_t>(count);
    EXPECT_FALSE(ok) << "a truncated stream is never a complete file";
    EXPECT_EQ(total, 300u * 1024 + 5);
    EXPECT_THAT(BoxText(), HasSubstr("without ending TLS"));
    client.CloseTransfer(std::move(data), false);
}

TEST_F(TlsLogonTest, ARenegotiationIsRefusedWithItsOwnMessage)
{
    Secure(Pki().good, true);
    server.On("USER u", "331 Password.\r\n")
        .On("PASS p", "230 Welcome.\r\n")
        .On("PBSZ 0", "200 PBSZ=0\r\n")
        .On("PROT P", "200 Protection set.\r\n")
        .On("FEAT", "500 ?\r\n")
        .On("PWD", "")
        .Renegotiate()
        .Send("257 \"/\"\r\n");
    EXPECT_FALSE(LogOn(Record()));
    EXPECT_THAT(BoxText(), HasSubstr("asked to renegotiate"));
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(TlsLogonTest, EveryProxyTypeLogsOnOverTlsThroughAProxyThatAcceptsAuthTls)
{
    // The replies that walk each type's logon to its end.
    const std::vector<std::vector<const char*>> replies = {
        {"230"}, {"331", "230", "331", "230"}, {"331", "230", "230"}, {"230", "230"}, {"331", "230", "230"},
        {"230"}, {"331", "230", "230"},        {"331", "230"},        {"230"}};
    for (int type = 0; type < 9; ++type)
    {
        SCOPED_TRACE("proxy type " + std::to_string(type));
        testing_support::ResetServices();
        ScriptedFtpServer proxy;
        proxy.Greet("220 Proxy\r\n").On("AUTH TLS", "234 Go ahead.\r\n").StartTls(Pki().good);
        for (const char* reply : replies[static_cast<size_t>(type)])
            proxy.OnAny(std::string(reply) + " Next.\r\n");
        proxy.On("PBSZ 0", "200 PBSZ=0\r\n")
            .On("PROT P", "200 Protection set.\r\n")
            .On("FEAT", "500 ?\r\n")
            .On("PWD", "257 \"/\"\r\n");
        proxy.Start();
        CFTPClient engine(std::make_unique<nsSocket::CBlockingSocket>());
        CLogonRecord record = Record();
        record.host = L"ftp.example";
        record.firewallHost = L"127.0.0.1";
        record.firewallPort = proxy.Port();
        record.firewallUser = L"fu";
        record.firewallPassword = L"fp";
        record.FirewallType = type;
        if (type == 0)
        {
            record.host = L"127.0.0.1";
            record.port = proxy.Port();
        }
        EXPECT_TRUE(engine.LogOn(record, 3)) << BoxText();
        EXPECT_TRUE(proxy.WaitFinished());
        EXPECT_TRUE(proxy.Mismatches().empty());
        EXPECT_TRUE(engine.Security().encrypted);
        EXPECT_TRUE(CertificatePrompt().Questions().empty()) << "the proxy's own certificate passes";
    }
}

TEST_F(TlsLogonTest, AServerThatNeverHandshakesIsLeftAtTheTimeoutOrAtOnceOnStop)
{
    for (const bool stop : {false, true})
    {
        SCOPED_TRACE(stop ? "stop" : "timeout");
        testing_support::ResetServices();
        ScriptedFtpServer silent;
        silent.Greet("220 Scripted\r\n").On("AUTH TLS", "234 Go ahead.\r\n").Pause(std::chrono::seconds(4));
        silent.Start();
        CFTPClient engine(std::make_unique<nsSocket::CBlockingSocket>());
        CLogonRecord record = Record();
        record.port = silent.Port();
        std::thread stopper;
        if (stop)
            stopper = std::thread(
                [&]
                {
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    engine.RequestStop();
                });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(engine.LogOn(record, stop ? 30 : 1));
        const auto took = std::chrono::steady_clock::now() - start;
        if (stopper.joinable())
            stopper.join();
        EXPECT_LT(took, std::chrono::seconds(3));
        EXPECT_FALSE(engine.IsConnected());
        if (stop)
            EXPECT_EQ(Boxes().Count(), 0u) << "whoever stopped knows why";
        else
            EXPECT_THAT(BoxText(), HasSubstr("handshake with the server timed out"));
    }
}

} // namespace
