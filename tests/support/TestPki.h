#pragma once
#include <string>
#include <vector>

namespace testing_support
{

// A certificate and its key, as files (for vsftpd and pyftpdlib) and as the
// SHA-256 fingerprint the client shows.
struct TestIdentity
{
    std::string certFile;
    std::string keyFile;
    std::string fingerprint; // upper-case hex pairs joined by colons
};

// A certificate authority made at test time, and server certificates it signs
// (or that sign themselves), written to a folder of the caller's. Point
// SSL_CERT_FILE at CaFile() to make the client trust the authority.
class TestPki
{
public:
    struct Options
    {
        // DNS names and IPv4 addresses the certificate is for.
        std::vector<std::string> hosts = {"localhost", "127.0.0.1"};
        bool selfSigned = false;
        // Valid until yesterday.
        bool expired = false;
        // An RSA key of this many bits instead of P-256 (e.g. 1024: too weak).
        int rsaBits = 0;
    };

    explicit TestPki(const std::string& folder);
    ~TestPki();
    TestPki(const TestPki&) = delete;
    TestPki& operator=(const TestPki&) = delete;

    const std::string& CaFile() const { return m_caFile; }
    TestIdentity Issue(const std::string& stem, const Options& options);
    TestIdentity Issue(const std::string& stem) { return Issue(stem, Options()); }

private:
    std::string m_folder;
    std::string m_caFile;
    void* m_caKey = nullptr;  // EVP_PKEY
    void* m_caCert = nullptr; // X509
};

} // namespace testing_support
