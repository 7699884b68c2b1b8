#include "PyFtpdServer.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_support
{
namespace
{

constexpr int StartSeconds = 30;

// Reads the port line the server prints once it listens; 0 when it does not
// come in time.
unsigned short ReadPort(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(StartSeconds);
    std::string line;
    while (line.find('\n') == std::string::npos && line.size() < 64)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            return 0;
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 0;
        line.append(buffer, static_cast<size_t>(n));
    }
    const unsigned long port = std::strtoul(line.c_str(), nullptr, 10);
    return port > 0 && port < 65536 ? static_cast<unsigned short>(port) : 0;
}

} // namespace

PyFtpdServer::PyFtpdServer(PyFtpdOptions options) : m_options(std::move(options))
{
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "tessel-ftpd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a folder for the FTP server");
    m_workFolder = pattern;
    if (m_options.root.empty())
    {
        m_options.root = m_workFolder + "/root";
        fs::create_directory(m_options.root);
    }
    const std::string log = m_workFolder + "/server.log";
    const std::string script = std::string(TESSEL_SOURCE_DIR) + "/tests/support/pyftpd_server.py";
    const std::string parent = std::to_string(::getpid());

    std::vector<std::string> args = {"/usr/bin/python3", script,     m_options.root, m_options.user,
                                     m_options.password, "--parent", parent};
    if (m_options.anonymous)
        args.push_back("--anonymous");
    if (!m_options.home.empty())
    {
        fs::create_directories(fs::path(m_options.root) / fs::path(m_options.home).relative_path());
        args.push_back("--home");
        args.push_back(m_options.home);
    }
    if (m_options.encoding != "utf-8")
    {
        args.push_back("--encoding");
        args.push_back(m_options.encoding);
    }
    if (!m_options.tlsCert.empty())
    {
        args.insert(args.end(), {"--tls-cert", m_options.tlsCert, "--tls-key", m_options.tlsKey});
        if (m_options.tlsRequired)
            args.push_back("--tls-required");
    }
    if (m_options.throttle > 0)
    {
        args.push_back("--throttle");
        args.push_back(std::to_string(m_options.throttle));
    }
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
    {
        Stop();
        throw std::runtime_error("cannot create a pipe for the FTP server");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0)
        m_pid = -1;
    else
        m_port = ReadPort(out[0]);
    ::close(out[0]);
    if (m_port == 0)
    {
        const std::string text = Log();
        Stop();
        throw std::runtime_error("pyftpdlib server did not start:\n" + text);
    }
}

PyFtpdServer::~PyFtpdServer()
{
    Stop();
}

std::string PyFtpdServer::Log() const
{
    std::ifstream file(m_workFolder + "/server.log");
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void PyFtpdServer::Stop() noexcept
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
    if (!m_workFolder.empty())
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_workFolder, ignored);
        m_workFolder.clear();
    }
}

} // namespace testing_support
