#include "BlockingSocket.h"

#include "BlockingSocketException.h"
#include "StopSignal.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
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
int WaitFor(int fd, short events, int timeoutSeconds, bool interruptible, int stopFd)
{
    if (fd < 0)
    {
        errno = EBADF; // poll would silently ignore a negative descriptor
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(std::max(timeoutSeconds, 0));
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

} // namespace

CBlockingSocket::~CBlockingSocket()
{
    ForceClose();
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

} // namespace nsSocket
