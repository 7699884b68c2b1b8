#include "ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support
{
namespace
{

constexpr int PollSliceMs = 20;
// How long the server waits for a client's connection or command before it
// gives up on the script.
constexpr auto WaitLimit = std::chrono::seconds(10);
constexpr size_t MaxLine = 1 << 20;

int ListenOnLoopback(unsigned short& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket() failed");
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    {
        ::close(fd);
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer()
{
    m_listener = ListenOnLoopback(m_port);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    CloseControl();
    if (m_dataListener >= 0)
        ::close(m_dataListener);
    ::close(m_listener);
}

ScriptedFtpServer& ScriptedFtpServer::Add(Step step)
{
    if (m_thread.joinable())
        throw std::logic_error("the script cannot change once the server runs");
    m_steps.push_back(std::move(step));
    return *this;
}

ScriptedFtpServer& ScriptedFtpServer::Greet(const std::string& greeting)
{
    Accept();
    return Send(greeting);
}

ScriptedFtpServer& ScriptedFtpServer::Accept()
{
    return Add({Step::AcceptControl, {}});
}

ScriptedFtpServer& ScriptedFtpServer::On(const std::string& command, const std::string& answer)
{
    Add({Step::Expect, command});
    return answer.empty() ? *this : Send(answer);
}

ScriptedFtpServer& ScriptedFtpServer::OnAny(const std::string& answer)
{
    Add({Step::ExpectAny, {}});
    return answer.empty() ? *this : Send(answer);
}

ScriptedFtpServer& ScriptedFtpServer::Send(const std::string& bytes)
{
    return Add({Step::Write, bytes});
}

ScriptedFtpServer& ScriptedFtpServer::SendPieces(const std::vector<std::string>& pieces,
                                                 std::chrono::milliseconds gap)
{
    for (size_t i = 0; i < pieces.size(); ++i)
    {
        if (i > 0)
            Pause(gap);
        Send(pieces[i]);
    }
    return *this;
}

ScriptedFtpServer& ScriptedFtpServer::Pause(std::chrono::milliseconds delay)
{
    return Add({Step::Sleep, {}, delay});
}

ScriptedFtpServer& ScriptedFtpServer::Drop()
{
    return Add({Step::DropControl, {}});
}

ScriptedFtpServer& ScriptedFtpServer::Passive(const std::string& answerTemplate)
{
    Add({Step::Expect, "PASV"});
    return Add({Step::PassiveListen, answerTemplate});
}

ScriptedFtpServer& ScriptedFtpServer::ExpectPort(const std::string& answer)
{
    Add({Step::PortCommand, {}});
    return Send(answer);
}

ScriptedFtpServer& ScriptedFtpServer::DataSend(const std::string& bytes)
{
    return Add({Step::DataOut, bytes});
}

ScriptedFtpServer& ScriptedFtpServer::DataReceive()
{
    return Add({Step::DataIn, {}});
}

void ScriptedFtpServer::Start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { Run(); });
}

bool ScriptedFtpServer::WaitFinished(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_finishedChanged.wait_for(lock, limit, [this] { return m_finished; });
}

std::vector<std::string> ScriptedFtpServer::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<std::string> ScriptedFtpServer::Mismatches() const
{
    std::lock_guard lock(m_mutex);
    return m_mismatches;
}

std::string ScriptedFtpServer::DataReceived() const
{
    std::lock_guard lock(m_mutex);
    return m_dataReceived;
}

void ScriptedFtpServer::Mismatch(const std::string& what)
{
    std::lock_guard lock(m_mutex);
    m_mismatches.push_back(what);
}

bool ScriptedFtpServer::Sleep(std::chrono::milliseconds delay)
{
    const auto end = std::chrono::steady_clock::now() + delay;
    while (!m_stop && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
            std::chrono::milliseconds(PollSliceMs),
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()) +
                std::chrono::milliseconds(1)));
    return !m_stop;
}

bool ScriptedFtpServer::AcceptOn(int listener, int& accepted)
{
    const auto end = std::chrono::steady_clock::now() + WaitLimit;
    while (!m_stop && std::chrono::steady_clock::now() < end)
    {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, PollSliceMs) > 0)
        {
            accepted = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0)
                return true;
        }
    }
    return false;
}

bool ScriptedFtpServer::ReadLine(std::string& line)
{
    const auto end = std::chrono::steady_clock::now() + WaitLimit;
    for (;;)
    {
        const size_t lf = m_input.find('\n');
        if (lf != std::string::npos)
        {
            line = m_input.substr(0, lf + 1);
            m_input.erase(0, lf + 1);
            return true;
        }
        if (m_control < 0 || m_stop || std::chrono::steady_clock::now() >= end || m_input.size() > MaxLine)
            return false;
        pollfd p{m_control, POLLIN, 0};
        if (::poll(&p, 1, PollSliceMs) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(m_control, buffer, sizeof buffer, 0);
        if (n <= 0)
        {
            if (!m_input.empty())
            {
                line = std::move(m_input);
                m_input.clear();
                return true;
            }
            return false;
        }
        m_input.append(buffer, static_cast<size_t>(n));
    }
}

void ScriptedFtpServer::WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (fd >= 0 && done < bytes.size() && !m_stop)
    {
        // Never block: a client that stops reading must not keep the server
        // from stopping.
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, PollSliceMs) <= 0)
            continue;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EAGAIN)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void ScriptedFtpServer::CloseControl()
{
    if (m_control >= 0)
        ::close(m_control);
    m_control = -1;
    m_input.clear();
}

int ScriptedFtpServer::OpenData()
{
    int fd = -1;
    if (m_dataListener >= 0)
    {
        const bool ok = AcceptOn(m_dataListener, fd);
        ::close(m_dataListener);
        m_dataListener = -1;
        return ok ? fd : -1;
    }
    if (!m_haveActiveAddress)
        return -1;
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(m_activeAddress);
    address.sin_port = htons(m_activePort);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

void ScriptedFtpServer::Run()
{
    for (const Step& step : m_steps)
    {
        if (m_stop)
            break;
        switch (step.kind)
        {
        case Step::AcceptControl:
            CloseControl();
            if (!AcceptOn(m_listener, m_control))
                Mismatch("no client connected");
            break;
        case Step::Expect:
        case Step::ExpectAny:
        case Step::PortCommand:
        {
            std::string line;
            if (!ReadLine(line))
            {
                Mismatch("connection closed or silent while expecting " +
                         (step.kind == Step::Expect ? step.text : std::string("a command")));
                CloseControl();
                break;
            }
            {
                std::lock_guard lock(m_mutex);
                m_received.push_back(line);
            }
            std::string command = line;
            while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
                command.pop_back();
            if (step.kind == Step::Expect && command != step.text)
                Mismatch("expected '" + step.text + "', got '" + command + "'");
            if (step.kind == Step::PortCommand)
            {
                unsigned h1, h2, h3, h4, p1, p2;
                if (std::sscanf(command.c_str(), "PORT %u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) == 6)
                {
                    m_haveActiveAddress = true;
                    m_activeAddress = (h1 << 24) | (h2 << 16) | (h3 << 8) | h4;
                    m_activePort = static_cast<unsigned short>(p1 * 256 + p2);
                }
                else
                    Mismatch("expected a PORT command, got '" + command + "'");
            }
            break;
        }
        case Step::Write:
            WriteAll(m_control, step.text);
            break;
        case Step::Sleep:
            Sleep(step.delay);
            break;
        case Step::DropControl:
            CloseControl();
            break;
        case Step::PassiveListen:
        {
            if (m_dataListener >= 0)
                ::close(m_dataListener);
            m_dataListener = ListenOnLoopback(m_dataListenerPort);
            m_haveActiveAddress = false;
            const std::string numbers = "127,0,0,1," + std::to_string(m_dataListenerPort / 256) + "," +
                                        std::to_string(m_dataListenerPort % 256);
            std::string answer = step.text;
            size_t at = answer.find("%s");
            if (at != std::string::npos)
                answer.replace(at, 2, numbers);
            at = answer.find("%p");
            if (at != std::string::npos)
                answer.replace(at, 2,
                               std::to_string(m_dataListenerPort / 256) + "," +
                                   std::to_string(m_dataListenerPort % 256));
            WriteAll(m_control, answer);
            break;
        }
        case Step::DataOut:
        {
            const int fd = OpenData();
            if (fd < 0)
            {
                Mismatch("no data connection");
                break;
            }
            WriteAll(fd, step.text);
            ::close(fd);
            break;
        }
        case Step::DataIn:
        {
            const int fd = OpenData();
            if (fd < 0)
            {
                Mismatch("no data connection");
                break;
            }
            const auto end = std::chrono::steady_clock::now() + WaitLimit;
            while (!m_stop && std::chrono::steady_clock::now() < end)
            {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, PollSliceMs) <= 0)
                    continue;
                char buffer[8192];
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                std::lock_guard lock(m_mutex);
                m_dataReceived.append(buffer, static_cast<size_t>(n));
            }
            ::close(fd);
            break;
        }
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_finishedChanged.notify_all();

    // Past the script: record and refuse whatever still comes; a client that
    // connects again finds the door closed at once.
    while (!m_stop)
    {
        if (m_control >= 0)
        {
            std::string line;
            if (ReadLine(line))
            {
                {
                    std::lock_guard lock(m_mutex);
                    m_received.push_back(line);
                }
                WriteAll(m_control, "502 Not scripted.\r\n");
                continue;
            }
            if (!m_stop)
            {
                pollfd p{m_control, POLLIN, 0};
                // Only a closed connection ends the conversation; a silent one is waited on.
                if (::poll(&p, 1, 0) > 0)
                {
                    char c;
                    if (::recv(m_control, &c, 1, MSG_PEEK) <= 0)
                        CloseControl();
                }
            }
            continue;
        }
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, PollSliceMs) > 0)
        {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

} // namespace testing_support
