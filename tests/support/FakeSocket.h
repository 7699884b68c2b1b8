#pragma once
#include "socket/IBlockingSocket.h"

#include <deque>
#include <string>
#include <vector>

namespace testing_support
{

// An in-memory socket whose far end is a script: each Receive takes the next
// queued event (bytes, the peer's close, or a timeout); when nothing is queued
// Receive raises the timeout at once. Everything sent is recorded.
class FakeSocket : public nsSocket::IBlockingSocket
{
public:
    // A descriptor number no real socket of the test has.
    static constexpr int FakeHandle = 1000;

    void QueueReceive(std::string bytes);
    void QueuePeerClose();
    void QueueReceiveTimeout();

    // The next call of that kind raises the socket layer's message.
    void FailConnect() { m_failConnect = true; }
    void FailSend() { m_failSend = true; }
    void FailClose() { m_failClose = true; }
    // Names that ResolveHost cannot find.
    void SetUnknownHost(std::string name) { m_unknownHost = std::move(name); }

    const std::string& Sent() const { return m_sent; }
    int ConnectCount() const { return m_connectCount; }
    const sockaddr_in& ConnectedTo() const { return m_connectedTo; }
    int LastTimeout() const { return m_lastTimeout; }
    int ReceiveCount() const { return m_receiveCount; }
    size_t QueuedEvents() const { return m_events.size(); }

    std::unique_ptr<nsSocket::IBlockingSocket> NewSocket() const override;
    void Create(int type) override;
    void Connect(const sockaddr_in& address, int timeoutSeconds) override;
    void Bind(const sockaddr_in& address) override;
    void Listen() override;
    void ForceClose() noexcept override;
    bool Accept(nsSocket::IBlockingSocket& target, sockaddr_in& address, int timeoutSeconds) override;
    void Close() override;
    int SendAll(const char* bytes, int length, int timeoutSeconds) override;
    int Receive(char* buffer, int capacity, int timeoutSeconds) override;
    void LocalAddress(sockaddr_in& address) override;
    void PeerAddress(sockaddr_in& address) override;
    int Handle() const override { return m_handle; }
    bool IsReadable() override;
    sockaddr_in ResolveHost(const std::string& name, unsigned short port) override;
    std::string ResolveAddress(const sockaddr_in& address) override;

protected:
    void AdoptHandle(int handle) override { m_handle = handle; }

private:
    struct Event
    {
        enum Kind
        {
            Bytes,
            PeerClose,
            Timeout
        } kind;
        std::string bytes;
    };

    int m_handle = NoHandle;
    std::deque<Event> m_events;
    std::string m_sent;
    bool m_failConnect = false;
    bool m_failSend = false;
    bool m_failClose = false;
    std::string m_unknownHost;
    int m_connectCount = 0;
    sockaddr_in m_connectedTo{};
    int m_lastTimeout = -1;
    int m_receiveCount = 0;
};

} // namespace testing_support
