// FTP over TLS against real servers: vsftpd (require_ssl_reuse: every data
// connection must resume the control connection's session) and pyftpdlib's
// TLS handler, passive and active, byte for byte.
#include "ftp/FTPClient.h"
#include "socket/BlockingSocket.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestPki.h"
#include "support/TestServices.h"
#include "support/VsftpdServer.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <sstream>

using nsFTP::CFTPClient;
using nsFTP::CLogonRecord;
using nsFTP::Encryption;
using testing::HasSubstr;
using testing_support::Boxes;
namespace fs = std::filesystem;

namespace
{

struct Pki
{
    testing_support::TempFolder folder{"tessel-pki"};
    testing_support::TestPki pki{folder.Path().string()};
    testing_support::TestIdentity server = pki.Issue("server");
    Pki()
    {
        ::setenv("SSL_CERT_FILE", pki.CaFile().c_str(), 1);
        // vsftpd, run as user ftp, reads the files as root before it drops
        // privileges; the folder stays private.
    }
};

Pki& Certificates()
{
    static Pki pki;
    return pki;
}

std::string Content(size_t size)
{
    std::string content(size, '\0');
    for (size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>((i * 7919 + i / 4093) % 251);
    return content;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct Setup
{
    bool vsftpd;
    bool passive;
};

class TlsRealServerTest : public testing::TestWithParam<Setup>
{
protected:
    void SetUp() override
    {
        CLogonRecord record;
        record.host = L"127.0.0.1";
        record.encryption = Encryption::Require;
        if (GetParam().vsftpd)
        {
            if (!testing_support::VsftpdServer::Available())
                GTEST_SKIP() << "vsftpd is not installed";
            vsftpd = std::make_unique<testing_support::VsftpdServer>(&Certificates().server);
            record.port = vsftpd->Port();
            record.user = L"anonymous";
            record.password = L"guest@tessel.local";
            root = fs::path(vsftpd->Root());
            folder = L"up/";
        }
        else
        {
            testing_support::PyFtpdOptions options;
            options.tlsCert = Certificates().server.certFile;
            options.tlsKey = Certificates().server.keyFile;
            options.tlsRequired = true;
            pyftpd = std::make_unique<testing_support::PyFtpdServer>(options);
            record.port = pyftpd->Port();
            record.user = L"tessel";
            record.password = L"tessel-secret";
            root = fs::path(pyftpd->Root());
        }
        ASSERT_TRUE(client.LogOn(record, 10)) << Log();
    }

    std::string Log() const
    {
        std::string boxes;
        for (const auto& text : Boxes().Texts())
            boxes += std::string(text.begin(), text.end()) + "\n";
        return boxes + (vsftpd ? vsftpd->Log() : pyftpd ? pyftpd->Log() : "");
    }

    bool Put(const std::wstring& path, const std::string& bytes)
    {
        auto data = client.OpenTransfer(path, GetParam().passive, true);
        if (!data)
            return false;
        int sent = 0;
        for (size_t at = 0; at < bytes.size(); at += 65536)
        {
            const int piece = static_cast<int>(std::min<size_t>(65536, bytes.size() - at));
            if (!client.WriteTransferChunk(*data, bytes.data() + at, piece, sent))
                return false;
        }
        return client.CloseTransfer(std::move(data));
    }

    bool Get(const std::wstring& path, std::string& bytes)
    {
        auto data = client.OpenTransfer(path, GetParam().passive, false);
        if (!data)
            return false;
        char buffer[65536];
        int count = 0;
        bytes.clear();
        while (client.ReadTransferChunk(*data, buffer, sizeof buffer, count))
        {
            if (count == 0)
                return client.CloseTransfer(std::move(data));
            bytes.append(buffer, static_cast<size_t>(count));
        }
        client.CloseTransfer(std::move(data), false);
        return false;
    }

    std::unique_ptr<testing_support::VsftpdServer> vsftpd;
    std::unique_ptr<testing_support::PyFtpdServer> pyftpd;
    fs::path root;
    std::wstring folder;
    CFTPClient client{std::make_unique<nsSocket::CBlockingSocket>()};
};

TEST_P(TlsRealServerTest, LogsOnListsUploadsAndDownloadsOverTls)
{
    EXPECT_TRUE(client.Security().encrypted);
    EXPECT_THAT(client.Security().protocol, HasSubstr("TLSv1."));
    const std::string bytes = Content(700 * 1024 + 17);
    // Two transfers each way: the second resumes the session as the first did.
    for (const wchar_t* name : {L"one.bin", L"two.bin"})
    {
        ASSERT_TRUE(Put(folder + name, bytes)) << Log();
        const std::string stored = ReadFile(root / (folder + name));
        ASSERT_EQ(stored.size(), bytes.size());
        EXPECT_TRUE(stored == bytes);
        std::string got;
        ASSERT_TRUE(Get(folder + name, got)) << Log();
        ASSERT_EQ(got.size(), bytes.size());
        EXPECT_TRUE(got == bytes);
    }
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
    ASSERT_TRUE(client.ListDirectory(folder, entries, GetParam().passive)) << Log();
    std::vector<std::wstring> names;
    for (const auto& entry : entries)
        names.push_back(entry->Name);
    EXPECT_THAT(names, testing::UnorderedElementsAre(L"one.bin", L"two.bin"));
    EXPECT_EQ(Boxes().Count(), 0u) << Log();
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsRealServerTest,
                         testing::Values(Setup{true, true}, Setup{true, false}, Setup{false, true},
                                         Setup{false, false}),
                         [](const testing::TestParamInfo<Setup>& info)
                         {
                             return std::string(info.param.vsftpd ? "vsftpd" : "pyftpdlib") +
                                    (info.param.passive ? "Passive" : "Active");
                         });

} // namespace
