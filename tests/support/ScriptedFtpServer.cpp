#include "ScriptedFtpServer.h"

#include "TestPki.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
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

// TLS descriptors wait in short slices, so the server notices a stop.
void UseShortWaits(int fd)
{
    timeval slice{0, PollSliceMs * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
}

bool Retry(ssl_st* ssl, int result)
{
    const int error = SSL_get_error(ssl, result);
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
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
    for (auto& [key, context] : m_contexts)
        SSL_CTX_free(context);
}

ScriptedFtpServer& ScriptedFtpServer::StartTls(const TestIdentity& identity, bool tls12Only)
{
    Step step{Step::TlsControl, identity.certFile + "\n" + identity.keyFile};
    step.flag = tls12Only;
    return Add(step);
}

ScriptedFtpServer& ScriptedFtpServer::DataTls(const TestIdentity& identity, bool tls12Only)
{
    Step step{Step::TlsData, identity.certFile + "\n" + identity.keyFile};
    step.flag = tls12Only;
    return Add(step);
}

ScriptedFtpServer& ScriptedFtpServer::DataSendTruncated(const std::string& bytes)
{
    return Add({Step::DataOutTruncated, bytes});
}

ScriptedFtpServer& ScriptedFtpServer::Renegotiate()
{
    return Add({Step::RenegotiateControl, {}});
}

ssl_ctx_st* ScriptedFtpServer::Context(const std::string& identity, bool tls12Only)
{
    const std::string key = identity + (tls12Only ? "\n1.2" : "");
    if (auto found = m_contexts.find(key); found != m_contexts.end())
        return found->second;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    // Weak test keys must load; judging them is the client's business.
    SSL_CTX_set_security_level(context, 0);
    if (tls12Only)
        SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
    const size_t split = identity.find('\n');
    if (SSL_CTX_use_certificate_file(context, identity.substr(0, split).c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, identity.substr(split + 1).c_str(), SSL_FILETYPE_PEM) != 1)
        Mismatch("cannot load the test certificate");
    const unsigned char id[] = "scripted";
    SSL_CTX_set_session_id_context(context, id, sizeof id - 1);
    m_contexts[key] = context;
    return context;
}

ssl_st* ScriptedFtpServer::AcceptTls(int fd, const std::string& identity, bool tls12Only)
{
    UseShortWaits(fd);
    SSL* ssl = SSL_new(Context(identity, tls12Only));
    SSL_set_fd(ssl, fd);
    const auto end = std::chrono::steady_clock::now() + WaitLimit;
    for (;;)
    {
        const int result = SSL_accept(ssl);
        if (result == 1)
            return ssl;
        if (!Retry(ssl, result) || m_stop || std::chrono::steady_clock::now() >= end)
            break;
    }
    ERR_clear_error();
    SSL_free(ssl);
    return nullptr;
}

int ScriptedFtpServer::TlsRead(ssl_st* ssl, char* buffer, int size)
{
    const auto end = std::chrono::steady_clock::now() + WaitLimit;
    for (;;)
    {
        const int result = SSL_read(ssl, buffer, size);
        if (result > 0)
            return result;
        if (!Retry(ssl, result) || m_stop || std::chrono::steady_clock::now() >= end)
        {
            ERR_clear_error();
            return 0;
        }
    }
}

void ScriptedFtpServer::TlsWriteAll(ssl_st* ssl, const std::string& bytes)
{
    size_t done = 0;
    while (ssl != nullptr && done < bytes.size() && !m_stop)
    {
        const int result = SSL_write(ssl, bytes.data() + done, static_cast<int>(bytes.size() - done));
        if (result > 0)
            done += static_cast<size_t>(result);
        else if (!Retry(ssl, result))
        {
            ERR_clear_error();
            return;
        }
    }
}

void ScriptedFtpServer::SendData(const std::string& bytes, bool closeNotify)
{
    const int fd = OpenData();
    if (fd < 0)
    {
        Mismatch("no data connection");
        return;
    }
    if (m_dataIdentity.empty())
        WriteAll(fd, bytes);
    else if (SSL* ssl = AcceptTls(fd, m_dataIdentity, m_dataTls12Only))
    {
        TlsWriteAll(ssl, bytes);
        if (closeNotify)
            SSL_shutdown(ssl);
        SSL_free(ssl);
    }
    else
        Mismatch("no TLS on the data connection");
    ::close(fd);
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
        char buffer[4096];
        ssize_t n = 0;
        if (m_controlSsl != nullptr)
            n = TlsRead(m_controlSsl, buffer, sizeof buffer);
        else
        {
            pollfd p{m_control, POLLIN, 0};
            if (::poll(&p, 1, PollSliceMs) <= 0)
                continue;
            n = ::recv(m_control, buffer, sizeof buffer, 0);
        }
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
    if (fd >= 0 && fd == m_control && m_controlSsl != nullptr)
    {
        TlsWriteAll(m_controlSsl, bytes);
        return;
    }
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
    if (m_controlSsl != nullptr)
    {
        // No close_notify: the destructor runs on the test's thread, where a
        // write to a gone client would raise SIGPIPE.
        SSL_free(m_controlSsl);
        m_controlSsl = nullptr;
    }
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
    // OpenSSL writes with write(): a client that has gone must not end the
    // test program. Only this thread's SIGPIPE is held back, so the
    // client's own sends are still tested for raising none.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
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
        case Step::DataOutTruncated:
            SendData(step.text, step.kind == Step::DataOut);
            break;
        case Step::TlsControl:
            if (m_control < 0 || !m_input.empty())
                Mismatch("no control connection to start TLS on, or commands arrived in the clear");
            else if ((m_controlSsl = AcceptTls(m_control, step.text, step.flag)) == nullptr)
                Mismatch("the TLS handshake on the control connection failed");
            break;
        case Step::TlsData:
            m_dataIdentity = step.text;
            m_dataTls12Only = step.flag;
            break;
        case Step::RenegotiateControl:
            if (m_controlSsl == nullptr || SSL_renegotiate(m_controlSsl) != 1)
                Mismatch("cannot ask for a renegotiation");
            else
                SSL_do_handshake(m_controlSsl);
            ERR_clear_error();
            break;
        case Step::DataIn:
        {
            const int fd = OpenData();
            if (fd < 0)
            {
                Mismatch("no data connection");
                break;
            }
            if (!m_dataIdentity.empty())
            {
                if (SSL* ssl = AcceptTls(fd, m_dataIdentity, m_dataTls12Only))
                {
                    char buffer[8192];
                    int n;
                    while ((n = TlsRead(ssl, buffer, sizeof buffer)) > 0)
                    {
                        std::lock_guard lock(m_mutex);
                        m_dataReceived.append(buffer, static_cast<size_t>(n));
                    }
                    SSL_shutdown(ssl);
                    SSL_free(ssl);
                }
                else
                    Mismatch("no TLS on the data connection");
                ::close(fd);
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
