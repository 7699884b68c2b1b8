#include "VsftpdServer.h"

#include "TestPki.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support
{
namespace
{

const char* Program()
{
    return ::access("/usr/sbin/vsftpd", X_OK) == 0 ? "/usr/sbin/vsftpd" : "/usr/bin/vsftpd";
}

unsigned short FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Reads the greeting: listening is not enough, a session that cannot start
// shows only then. The banner must be this server's own: another server may
// have taken the port first.
bool Greets(unsigned short port, const std::string& banner)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    timeval wait{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    bool greeted = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    {
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        greeted = n > 3 && buffer[0] == '2' &&
                  std::string(buffer, static_cast<size_t>(n)).find(banner) != std::string::npos;
    }
    ::close(fd);
    return greeted;
}

} // namespace

bool VsftpdServer::Available()
{
    return ::access("/usr/sbin/vsftpd", X_OK) == 0 || ::access("/usr/bin/vsftpd", X_OK) == 0;
}

VsftpdServer::VsftpdServer(const TestIdentity* identity)
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tessel-vsftpd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a folder for vsftpd");
    m_workFolder = pattern;
    m_root = m_workFolder + "/root";
    fs::create_directories(m_root + "/up");
    fs::create_directory(m_workFolder + "/empty");
    // The session's user must reach the files; vsftpd refuses a writable
    // anonymous root, so uploads go one folder down.
    ::chmod(m_workFolder.c_str(), 0755);
    ::chmod((m_workFolder + "/empty").c_str(), 0755);
    ::chmod(m_root.c_str(), 0755);
    ::chmod((m_root + "/up").c_str(), 0777);
    // The free port may be taken by someone else before vsftpd binds it:
    // then vsftpd ends at once, and another port is tried.
    bool serving = false;
    for (int attempt = 0; attempt < 5 && !serving; ++attempt)
    {
        m_port = FreePort();
        WriteConfig(identity);
        serving = Launch();
    }
    if (!serving)
    {
        const std::string text = Log();
        Stop();
        throw std::runtime_error("vsftpd did not start:\n" + text);
    }
}

void VsftpdServer::WriteConfig(const TestIdentity* identity)
{
    std::ofstream config(m_workFolder + "/vsftpd.conf");
    config
        << "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=" << m_port
        << "\nbackground=NO\nanonymous_enable=YES\nlocal_enable=NO\nanon_root=" << m_root
        << "\nno_anon_password=YES\nwrite_enable=YES\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
           "anon_other_write_enable=YES\nanon_umask=022\nsecure_chroot_dir="
        << m_workFolder << "/empty\nseccomp_sandbox=NO\npasv_enable=YES\npasv_address=127.0.0.1\n"
        << "port_enable=YES\nconnect_from_port_20=NO\nxferlog_enable=NO\nvsftpd_log_file=" << m_workFolder
        << "/server.log\nftpd_banner=" << Banner() << "\n";
    if (::geteuid() == 0)
        config << "run_as_launching_user=NO\nftp_username=ftp\n";
    else
        config << "run_as_launching_user=YES\n";
    if (identity != nullptr)
        config << "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                  "require_ssl_reuse=YES\nssl_ciphers=HIGH\nrsa_cert_file="
               << identity->certFile << "\nrsa_private_key_file=" << identity->keyFile << "\n";
    config.close();
    // vsftpd wants its configuration owned by the one who starts it and not
    // writable by others.
    ::chmod((m_workFolder + "/vsftpd.conf").c_str(), 0600);
}

std::string VsftpdServer::Banner() const
{
    return "Tessel test server " + std::filesystem::path(m_workFolder).filename().string();
}

bool VsftpdServer::Launch()
{
    const std::string conf = m_workFolder + "/vsftpd.conf";
    const std::string out = m_workFolder + "/stderr.log";
    std::vector<std::string> args = {Program(), conf};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        m_pid = -1;
    bool serving = false;
    for (int i = 0; i < 100 && m_pid > 0 && !serving; ++i)
    {
        serving = Greets(m_port, Banner());
        if (!serving)
        {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_pid = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    if (!serving)
        StopProcess();
    return serving;
}

VsftpdServer::~VsftpdServer()
{
    Stop();
}

std::string VsftpdServer::Log() const
{
    std::ostringstream text;
    for (const char* name : {"/stderr.log", "/server.log"})
    {
        std::ifstream file(m_workFolder + name);
        text << file.rdbuf();
    }
    return text.str();
}

void VsftpdServer::Stop() noexcept
{
    StopProcess();
    if (!m_workFolder.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_workFolder, ignored);
        m_workFolder.clear();
    }
}

void VsftpdServer::StopProcess() noexcept
{
    if (m_pid > 0)
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 300 && !ended; ++i)
        {
            ended = ::waitpid(m_pid, &status, WNOHANG) == m_pid;
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended)
        {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }
}

} // namespace testing_support
