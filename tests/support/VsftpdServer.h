#pragma once
#include <string>
#include <sys/types.h>

namespace testing_support
{

struct TestIdentity;

// A real vsftpd on a free loopback port, anonymous, serving a fresh folder
// (Root()) whose up/ takes uploads and new folders; with an identity it
// speaks only FTP over TLS (ssl_enable, require_ssl_reuse: every data
// connection must resume the control connection's session). Started as the
// test's own child and stopped by its PID. Started by root, its sessions run
// as user ftp. Throws std::runtime_error with the log when it cannot serve.
class VsftpdServer
{
public:
    explicit VsftpdServer(const TestIdentity* identity);
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    unsigned short Port() const { return m_port; }
    // The served folder; uploads go below Root()/up.
    const std::string& Root() const { return m_root; }
    std::string Log() const;

    // Whether vsftpd is installed (tests skip without it).
    static bool Available();

private:
    void WriteConfig(const TestIdentity* identity);
    // Starts vsftpd on m_port; false (and no process) when it does not greet.
    bool Launch();
    // Stop ends the process and removes the folder; StopProcess only ends it.
    void Stop() noexcept;
    void StopProcess() noexcept;
    // The greeting that tells this server from whatever else holds the port.
    std::string Banner() const;

    std::string m_workFolder;
    std::string m_root;
    pid_t m_pid = -1;
    unsigned short m_port = 0;
};

} // namespace testing_support
