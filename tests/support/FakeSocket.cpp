#include "FakeSocket.h"

#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "socket/BlockingSocketException.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>

namespace testing_support
{

using nsSocket::CBlockingSocketException;

void FakeSocket::QueueReceive(std::string bytes)
{
    m_events.push_back({Event::Bytes, std::move(bytes)});
}
void FakeSocket::QueuePeerClose()
{
    m_events.push_back({Event::PeerClose, {}});
}
void FakeSocket::QueueReceiveTimeout()
{
    m_events.push_back({Event::Timeout, {}});
}

std::unique_ptr<nsSocket::IBlockingSocket> FakeSocket::NewSocket() const
{
    return std::make_unique<FakeSocket>();
}

void FakeSocket::Create(int)
{
    m_handle = FakeHandle;
}

void FakeSocket::Connect(const sockaddr_in& address, int timeoutSeconds)
{
    ++m_connectCount;
    m_lastTimeout = timeoutSeconds;
    m_connectedTo = address;
    if (m_failConnect)
    {
        m_failConnect = false;
        throw CBlockingSocketException(L"Cannot establish a connection to the server.", ECONNREFUSED);
    }
}

void FakeSocket::Bind(const sockaddr_in&) {}
void FakeSocket::Listen() {}

void FakeSocket::ForceClose() noexcept
{
    m_handle = NoHandle;
}

bool FakeSocket::Accept(nsSocket::IBlockingSocket&, sockaddr_in&, int)
{
    throw CBlockingSocketException(L"Error creating acceptor socket.", EINVAL);
}

void FakeSocket::Close()
{
    if (m_handle == NoHandle)
        return;
    if (m_failClose)
    {
        m_failClose = false;
        throw CBlockingSocketException(L"Unable to close socket.", EIO);
    }
    m_handle = NoHandle;
}

int FakeSocket::SendAll(const char* bytes, int length, int timeoutSeconds)
{
    platform::Services::Activity().Post();
    m_lastTimeout = timeoutSeconds;
    if (m_failSend)
    {
        m_failSend = false;
        throw CBlockingSocketException(L"Unable to send data.", EPIPE);
    }
    m_sent.append(bytes, static_cast<size_t>(length));
    return length;
}

int FakeSocket::Receive(char* buffer, int capacity, int timeoutSeconds)
{
    platform::Services::Activity().Post();
    ++m_receiveCount;
    m_lastTimeout = timeoutSeconds;
    if (m_events.empty())
        throw CBlockingSocketException(L"Unable to receive data (receive timeout).", ETIMEDOUT);
    Event& next = m_events.front();
    if (next.kind == Event::Timeout)
    {
        m_events.pop_front();
        throw CBlockingSocketException(L"Unable to receive data (receive timeout).", ETIMEDOUT);
    }
    if (next.kind == Event::PeerClose)
        return 0; // a closed peer stays closed
    const size_t count = std::min(next.bytes.size(), static_cast<size_t>(capacity));
    std::memcpy(buffer, next.bytes.data(), count);
    next.bytes.erase(0, count);
    if (next.bytes.empty())
        m_events.pop_front();
    return static_cast<int>(count);
}

void FakeSocket::LocalAddress(sockaddr_in& address)
{
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
}

void FakeSocket::PeerAddress(sockaddr_in& address)
{
    address = m_connectedTo;
}

bool FakeSocket::IsReadable()
{
    return !m_events.empty();
}

sockaddr_in FakeSocket::ResolveHost(const std::string& name, unsigned short port)
{
    if (name == m_unknownHost)
        throw CBlockingSocketException(L"The host '" + platform::TextCodec::FromLatin1(name) +
                                           L"' could not be found. Please make sure you are connected to the "
                                           L"Internet and verify that you have entered the server name "
                                           L"correctly.",
                                       0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::string FakeSocket::ResolveAddress(const sockaddr_in&)
{
    return "localhost";
}

} // namespace testing_support
