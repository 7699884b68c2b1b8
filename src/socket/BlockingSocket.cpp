#include "BlockingSocket.h"

#include "BlockingSocketException.h"
#include "StopSignal.h"
#include "TlsChannel.h"
#include "TlsContext.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nsSocket
{
namespace
{

// Callers capture errno into code before anything else can change it.
[[noreturn]] void Raise(const wchar_t* message, int code)
{
    throw CBlockingSocketException(message, code);
}

[[noreturn]] void Raise(std::wstring message, int code)
{
    throw CBlockingSocketException(std::move(message), code);
}

[[noreturn]] void RaiseStopped()
{
    throw CBlockingSocketException(L"The wait for the server was stopped.", ECANCELED);
}

sockaddr* AsAddress(sockaddr_in& address)
{
    return reinterpret_cast<sockaddr*>(&address);
}

// What WaitFor returns when the stop signal ended the wait.
constexpr int Stopped = -2;

// Waits at most timeoutSeconds (negative counts as 0) for events on fd, or
// until stopFd (the stop signal, if not negative) becomes readable. Returns
// > 0 when ready, 0 on timeout, Stopped, or -1 with errno set on failure. A
// raised stop wins over readiness. A signal restarts the wait with the time
// left unless interruptible is set.
int WaitUntil(int fd, short events, std::chrono::steady_clock::time_point deadline, bool interruptible,
              int stopFd)
{
    if (fd < 0)
    {
        errno = EBADF; // poll would silently ignore a negative descriptor
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    // poll skips an entry with a negative descriptor, so no signal costs nothing.
    pollfd entries[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
    for (;;)
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int result = ::poll(entries, 2, static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
        if (result > 0 && entries[1].revents != 0)
            return Stopped;
        if (result >= 0 || errno != EINTR || interruptible)
            return result;
    }
}

int WaitFor(int fd, short events, int timeoutSeconds, bool interruptible, int stopFd)
{
    return WaitUntil(fd, events,
                     std::chrono::steady_clock::now() + std::chrono::seconds(std::max(timeoutSeconds, 0)),
                     interruptible, stopFd);
}

std::chrono::steady_clock::time_point DeadlineAfter(int timeoutSeconds)
{
    return std::chrono::steady_clock::now() + std::chrono::seconds(std::max(timeoutSeconds, 0));
}

// OpenSSL's words for the first error it queued, without its codes; empty
// when it queued none. Empties the queue.
std::wstring TlsReason(int& reasonCode)
{
    reasonCode = 0;
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    if (error == 0)
        return {};
    reasonCode = ERR_GET_REASON(error);
    const char* reason = ERR_reason_error_string(error);
    if (reason == nullptr)
    {
        char text[256];
        ERR_error_string_n(error, text, sizeof text);
        return platform::TextCodec::FromLatin1(text);
    }
    return platform::TextCodec::FromLatin1(reason);
}

} // namespace

CBlockingSocket::~CBlockingSocket()
{
    ForceClose();
}

void IBlockingSocket::StartTls(CTlsContext&, const std::string&, const std::string&, const IBlockingSocket*,
                               int)
{
    throw CBlockingSocketException(L"This connection cannot use TLS.", EPROTONOSUPPORT);
}

std::unique_ptr<IBlockingSocket> CBlockingSocket::NewSocket() const
{
    auto socket = std::make_unique<CBlockingSocket>();
    socket->SetStopSignal(m_stopSignal);
    return socket;
}

int CBlockingSocket::StopHandle() const
{
    return m_stopSignal ? m_stopSignal->Handle() : NoHandle;
}

void CBlockingSocket::Create(int type)
{
    const int handle = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (handle < 0)
        Raise(L"Cannot not create socket.", errno);
    ForceClose();
    m_handle = handle;
}

void CBlockingSocket::Connect(const sockaddr_in& address, int timeoutSeconds)
{
    static constexpr const wchar_t* failed = L"Cannot establish a connection to the server.";
    // Connect without blocking, so the wait can be bounded, then go back to
    // blocking mode.
    const int flags = ::fcntl(m_handle, F_GETFL);
    if (flags < 0 || ::fcntl(m_handle, F_SETFL, flags | O_NONBLOCK) < 0)
        Raise(failed, errno);
    int error = 0;
    bool stopped = false;
    if (::connect(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0)
    {
        error = errno;
        if (error == EINPROGRESS)
        {
            const int ready = WaitFor(m_handle, POLLOUT, timeoutSeconds, false, StopHandle());
            stopped = ready == Stopped;
            if (stopped)
                error = ECANCELED;
            else if (ready == 0)
                error = ETIMEDOUT;
            else if (ready < 0)
                error = errno;
            else
            {
                socklen_t length = sizeof error;
                if (::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                    error = errno;
            }
        }
    }
    ::fcntl(m_handle, F_SETFL, flags);
    if (stopped)
        RaiseStopped();
    if (error != 0)
        Raise(failed, error);
}

void CBlockingSocket::Bind(const sockaddr_in& address)
{
    if (::bind(m_handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0)
        Raise(L"Error binding acceptor socket.", errno);
}

void CBlockingSocket::Listen()
{
    if (::listen(m_handle, 5) < 0)
        Raise(L"Error creating listening socket.", errno);
}

void CBlockingSocket::ForceClose() noexcept
{
    // No close_notify: the connection is given up, not ended.
    m_tls.reset();
    m_tlsFailure.reset();
    if (m_handle != NoHandle)
        ::close(m_handle);
    m_handle = NoHandle;
}

bool CBlockingSocket::Accept(IBlockingSocket& target, sockaddr_in& address, int timeoutSeconds)
{
    platform::Services::Activity().Post();
    int handle = NoHandle;
    int error = 0;
    const int ready = WaitFor(m_handle, POLLIN, timeoutSeconds, true, StopHandle());
    if (ready == Stopped)
    {
        AdoptHandleOf(target, NoHandle);
        RaiseStopped();
    }
    if (ready == 0)
        error = ETIMEDOUT;
    else if (ready < 0)
        error = errno;
    else
    {
        socklen_t length = sizeof address;
        handle = ::accept4(m_handle, AsAddress(address), &length, SOCK_CLOEXEC);
        if (handle < 0)
            error = errno;
    }
    AdoptHandleOf(target, handle);
    if (handle != NoHandle)
        return true;
    if (error == EINTR)
        return false;
    Raise(L"Error creating acceptor socket.", error);
}

void CBlockingSocket::Close()
{
    if (m_handle == NoHandle)
        return;
    if (m_tls)
    {
        TlsClose();
        m_tls.reset();
        m_tlsFailure.reset();
    }
    // The descriptor is released even when close reports an error; keeping it
    // would later close whatever reused the number.
    const int result = ::close(m_handle);
    const int error = errno;
    m_handle = NoHandle;
    if (result < 0)
        Raise(L"Unable to close socket.", error);
}

int CBlockingSocket::SendAll(const char* bytes, int length, int timeoutSeconds)
{
    if (m_tls)
        return TlsSend(bytes, length, timeoutSeconds);
    int total = 0;
    do
        total += SendSome(bytes + total, length - total, timeoutSeconds);
    while (total < length);
    return total;
}

int CBlockingSocket::SendSome(const char* bytes, int length, int timeoutSeconds)
{
    static constexpr const wchar_t* failed = L"Unable to send data.";
    platform::Services::Activity().Post();
    if (length < 0)
        Raise(failed, EINVAL);
    const int ready = WaitFor(m_handle, POLLOUT, timeoutSeconds, false, StopHandle());
    if (ready == Stopped)
        RaiseStopped();
    if (ready == 0)
        Raise(L"Unable to send data (send timeout).", ETIMEDOUT);
    if (ready < 0)
        Raise(failed, errno);
    // Without MSG_DONTWAIT a blocking send waits until every byte is queued,
    // which a peer that stops reading would stretch past the timeout.
    const ssize_t sent = ::send(m_handle, bytes, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0)
    {
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return 0;
        Raise(failed, error);
    }
    return static_cast<int>(sent);
}

int CBlockingSocket::Receive(char* buffer, int capacity, int timeoutSeconds)
{
    static constexpr const wchar_t* failed = L"Unable to receive data.";
    if (m_tls)
        return TlsReceive(buffer, capacity, timeoutSeconds);
    platform::Services::Activity().Post();
    if (capacity < 0)
        Raise(failed, EINVAL);
    const int ready = WaitFor(m_handle, POLLIN, timeoutSeconds, false, StopHandle());
    if (ready == Stopped)
        RaiseStopped();
    if (ready == 0)
        Raise(L"Unable to receive data (receive timeout).", ETIMEDOUT);
    if (ready < 0)
        Raise(failed, errno);
    const ssize_t received = ::recv(m_handle, buffer, static_cast<size_t>(capacity), 0);
    if (received < 0)
        Raise(failed, errno);
    return static_cast<int>(received);
}

void CBlockingSocket::LocalAddress(sockaddr_in& address)
{
    socklen_t length = sizeof address;
    if (::getsockname(m_handle, AsAddress(address), &length) < 0)
        Raise(L"getsockname() failed.", errno);
}

void CBlockingSocket::PeerAddress(sockaddr_in& address)
{
    socklen_t length = sizeof address;
    if (::getpeername(m_handle, AsAddress(address), &length) < 0)
        Raise(L"getpeername() failed.", errno);
}

bool CBlockingSocket::IsReadable()
{
    // Bytes OpenSSL has already read in are not on the descriptor any more.
    if (m_tls && SSL_has_pending(m_tls->Native()) == 1)
        return true;
    // Never waits, so the stop signal has nothing to end here.
    const int ready = WaitFor(m_handle, POLLIN, 0, false, NoHandle);
    if (ready < 0)
        Raise(L"select() failed.", errno);
    return ready > 0;
}

sockaddr_in CBlockingSocket::ResolveHost(const std::string& name, unsigned short port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    // getaddrinfo cannot be interrupted: the stop signal does not end a slow
    // name lookup, only the waits that follow it.
    // A name with an embedded NUL would otherwise be looked up cut short.
    const int result = name.find('\0') != std::string::npos
                           ? EAI_NONAME
                           : ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr)
    {
        const int code = result == EAI_SYSTEM ? errno : result;
        if (found != nullptr)
            ::freeaddrinfo(found);
        Raise(L"The host '" + platform::TextCodec::FromLatin1(name) +
                  L"' could not be found. Please make sure you are connected to the Internet and "
                  L"verify that you have entered the server name correctly.",
              code);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return address;
}

std::string CBlockingSocket::ResolveAddress(const sockaddr_in& address)
{
    sockaddr_in lookup{};
    lookup.sin_family = AF_INET;
    lookup.sin_addr = address.sin_addr;
    char host[NI_MAXHOST];
    const int result = ::getnameinfo(reinterpret_cast<const sockaddr*>(&lookup), sizeof lookup, host,
                                     sizeof host, nullptr, 0, NI_NAMEREQD);
    if (result != 0)
        Raise(L"The host could not be found. Please verify that you have entered the server name "
              L"and port correctly and make sure you are connected to the Internet.",
              result == EAI_SYSTEM ? errno : result);
    return host;
}

void CBlockingSocket::AdoptHandle(int handle)
{
    ForceClose();
    m_handle = handle;
}

void CBlockingSocket::StartTls(CTlsContext& context, const std::string& serverName,
                               const std::string& alsoName, const IBlockingSocket* resumeFrom,
                               int timeoutSeconds)
{
    if (m_handle == NoHandle)
        Raise(L"The TLS handshake needs a connection.", ENOTCONN);
    m_tls.reset();
    m_tlsFailure.reset();
    auto channel = std::make_unique<CTlsChannel>(context, m_handle, serverName, alsoName);
    if (resumeFrom != nullptr && resumeFrom->Tls() != nullptr)
        channel->ResumeSessionOf(*resumeFrom->Tls());
    // OpenSSL reads and writes the descriptor itself; the waits stay ours.
    const int flags = ::fcntl(m_handle, F_GETFL);
    if (flags < 0 || ::fcntl(m_handle, F_SETFL, flags | O_NONBLOCK) < 0)
        Raise(L"The TLS handshake with the server failed.", errno);
    m_tls = std::move(channel);
    m_tlsTimeout = timeoutSeconds;
    const Deadline deadline = DeadlineAfter(timeoutSeconds);
    ERR_clear_error();
    for (;;)
    {
        platform::Services::Activity().Post();
        const int result = SSL_connect(m_tls->Native());
        if (result == 1)
            return;
        const int error = SSL_get_error(m_tls->Native(), result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
        {
            m_tls->SetBroken();
            RaiseTls(error, L"The TLS handshake with the server failed");
        }
        WaitForTls(error, deadline, L"The TLS handshake with the server timed out.");
    }
}

void CBlockingSocket::WaitForTls(int sslError, Deadline deadline, const wchar_t* timeoutMessage)
{
    const int ready = WaitUntil(m_handle, sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN, deadline,
                                false, StopHandle());
    if (ready == Stopped)
        RaiseStopped();
    if (ready == 0)
        Raise(timeoutMessage, ETIMEDOUT);
    if (ready < 0)
        Raise(timeoutMessage, errno);
}

void CBlockingSocket::RaiseTls(int sslError, const std::wstring& what)
{
    const int systemError = errno;
    if (m_tls)
        m_tls->SetBroken();
    int reasonCode = 0;
    const std::wstring reason = TlsReason(reasonCode);
    if (m_tls && m_tls->RenegotiationRefused())
        Raise(L"The server asked to renegotiate the TLS session. Renegotiation is refused, so the connection "
              L"was closed.",
              EPROTO);
    if (reasonCode == SSL_R_UNEXPECTED_EOF_WHILE_READING ||
        (sslError == SSL_ERROR_SYSCALL && reason.empty() && systemError == 0))
        Raise(L"The server closed the connection without ending TLS (no close_notify): what arrived may be "
              L"incomplete.",
              EPROTO);
    if (reasonCode == SSL_R_EE_KEY_TOO_SMALL || reasonCode == SSL_R_CA_KEY_TOO_SMALL ||
        reasonCode == SSL_R_CA_MD_TOO_WEAK)
        Raise(L"The server's certificate uses a key or signature too weak for a safe connection (" + reason +
                  L").",
              EPROTO);
    if (!reason.empty())
        Raise(what + L": " + reason + L".", EPROTO);
    if (sslError == SSL_ERROR_SYSCALL && systemError != 0)
        Raise(what + L".", systemError);
    Raise(what + L".", EPROTO);
}

int CBlockingSocket::TlsSend(const char* bytes, int length, int timeoutSeconds)
{
    static constexpr const wchar_t* timedOut = L"Unable to send data (send timeout).";
    if (length < 0)
        Raise(L"Unable to send data.", EINVAL);
    int total = 0;
    ERR_clear_error();
    while (total < length)
    {
        platform::Services::Activity().Post();
        size_t written = 0;
        const int result =
            SSL_write_ex(m_tls->Native(), bytes + total, static_cast<size_t>(length - total), &written);
        if (m_tls->RenegotiationRefused())
            RaiseTls(SSL_ERROR_SSL, L"Unable to send data over TLS");
        if (result == 1)
        {
            total += static_cast<int>(written);
            continue;
        }
        const int error = SSL_get_error(m_tls->Native(), result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            RaiseTls(error, L"Unable to send data over TLS");
        // Each wait has its own full timeout, as for a plain send.
        WaitForTls(error, DeadlineAfter(timeoutSeconds), timedOut);
    }
    return total;
}

int CBlockingSocket::TlsReceive(char* buffer, int capacity, int timeoutSeconds)
{
    static constexpr const wchar_t* timedOut = L"Unable to receive data (receive timeout).";
    platform::Services::Activity().Post();
    if (capacity < 0)
        Raise(L"Unable to receive data.", EINVAL);
    if (m_tlsFailure)
    {
        const CBlockingSocketException failure = *m_tlsFailure;
        m_tlsFailure.reset();
        throw failure;
    }
    if (m_tls->PeerClosed())
        return 0;
    const Deadline deadline = DeadlineAfter(timeoutSeconds);
    ERR_clear_error();
    for (;;)
    {
        size_t received = 0;
        const int result = SSL_read_ex(m_tls->Native(), buffer, static_cast<size_t>(capacity), &received);
        // A server that asked to renegotiate is not talked to any further,
        // whatever it sent beside the request.
        if (m_tls->RenegotiationRefused())
            RaiseTls(SSL_ERROR_SSL, L"Unable to receive data over TLS");
        if (result == 1)
            return static_cast<int>(received + TlsReceiveBuffered(buffer + received, capacity - received));
        const int error = SSL_get_error(m_tls->Native(), result);
        if (error == SSL_ERROR_ZERO_RETURN)
        {
            m_tls->SetPeerClosed();
            return 0;
        }
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            RaiseTls(error, L"Unable to receive data over TLS");
        WaitForTls(error, deadline, timedOut);
    }
}

std::size_t CBlockingSocket::TlsReceiveBuffered(char* buffer, std::size_t capacity)
{
    // A record holds at most 16 KiB; callers move far larger blocks, so the
    // records OpenSSL has already read in are handed over in the same call.
    SSL* ssl = m_tls->Native();
    std::size_t total = 0;
    while (total < capacity && SSL_has_pending(ssl) == 1)
    {
        std::size_t received = 0;
        const int result = SSL_read_ex(ssl, buffer + total, capacity - total, &received);
        try
        {
            if (m_tls->RenegotiationRefused())
                RaiseTls(SSL_ERROR_SSL, L"Unable to receive data over TLS");
            if (result == 1)
            {
                total += received;
                continue;
            }
            const int error = SSL_get_error(ssl, result);
            if (error == SSL_ERROR_ZERO_RETURN)
                m_tls->SetPeerClosed();
            else if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
                RaiseTls(error, L"Unable to receive data over TLS");
        }
        catch (const CBlockingSocketException& failure)
        {
            // The bytes before the failure are delivered; the failure comes
            // with the next receive, so a truncated stream still fails.
            m_tlsFailure = failure;
        }
        break;
    }
    return total;
}

void CBlockingSocket::TlsClose() noexcept
{
    if (m_tls->Broken())
        return;
    SSL* ssl = m_tls->Native();
    const Deadline deadline = DeadlineAfter(m_tlsTimeout);
    ERR_clear_error();
    for (;;)
    {
        const int result = SSL_shutdown(ssl);
        if (result >= 0)
            break;
        const int error = SSL_get_error(ssl, result);
        if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ)
            return;
        try
        {
            WaitForTls(SSL_ERROR_WANT_WRITE, deadline, L"");
        }
        catch (const CBlockingSocketException&)
        {
            return;
        }
    }
    ::shutdown(m_handle, SHUT_WR);
    // Closing while the server still sends (its session tickets may come
    // only after a fast upload was sent) would answer with a reset, and a
    // reset can cost the server the end of the upload: wait for its end.
    char scratch[16384];
    size_t ignored = 0;
    for (std::size_t drained = 0; drained < (std::size_t{1} << 20) && !m_tls->PeerClosed();)
    {
        if (SSL_read_ex(ssl, scratch, sizeof scratch, &ignored) == 1)
        {
            drained += ignored;
            continue;
        }
        const int error = SSL_get_error(ssl, 0);
        if (error == SSL_ERROR_ZERO_RETURN)
            m_tls->SetPeerClosed();
        if (error != SSL_ERROR_WANT_READ)
            break;
        if (WaitUntil(m_handle, POLLIN, deadline, false, StopHandle()) <= 0)
            break;
    }
    ERR_clear_error();
}

} // namespace nsSocket
