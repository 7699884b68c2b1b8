#pragma once
#include <memory>
#include <netinet/in.h>
#include <string>

namespace nsSocket
{

class CStopSignal;
class CTlsChannel;
class CTlsContext;

// A blocking IPv4 TCP socket whose waits are bounded by a timeout in whole
// seconds. Every failure is raised as CBlockingSocketException. Accept, SendAll
// and Receive post the activity signal before they wait. A socket that honours
// a stop signal ends any wait of Connect, Accept, SendAll and Receive as soon
// as the signal is raised.
class IBlockingSocket
{
public:
    // The handle of a socket object that holds no descriptor.
    static constexpr int NoHandle = -1;

    virtual ~IBlockingSocket() = default;

    // A new socket object of the same concrete kind, holding no descriptor
    // (and the same stop signal).
    virtual std::unique_ptr<IBlockingSocket> NewSocket() const = 0;
    // Sockets that cannot be stopped (test doubles) ignore the signal.
    virtual void SetStopSignal(std::shared_ptr<CStopSignal>) {}
    virtual void Create(int type) = 0;
    // Bounded by the timeout (non-blocking connect underneath).
    virtual void Connect(const sockaddr_in& address, int timeoutSeconds) = 0;
    virtual void Bind(const sockaddr_in& address) = 0;
    virtual void Listen() = 0;
    // Closes the descriptor if there is one, ignoring failure; never raises.
    virtual void ForceClose() noexcept = 0;
    // Waits at most the timeout for a connection and hands its descriptor to
    // target. False when the wait was interrupted (EINTR).
    virtual bool Accept(IBlockingSocket& target, sockaddr_in& address, int timeoutSeconds) = 0;
    virtual void Close() = 0;
    virtual int SendAll(const char* bytes, int length, int timeoutSeconds) = 0;
    // 0 means that the peer closed the connection.
    virtual int Receive(char* buffer, int capacity, int timeoutSeconds) = 0;
    virtual void LocalAddress(sockaddr_in& address) = 0;
    // The peer's address of a connected socket.
    virtual void PeerAddress(sockaddr_in& address) = 0;
    // The descriptor, or NoHandle.
    virtual int Handle() const = 0;
    bool HasHandle() const { return Handle() != NoHandle; }
    // True when data (or the peer's close) is waiting; never waits itself.
    virtual bool IsReadable() = 0;
    virtual sockaddr_in ResolveHost(const std::string& name, unsigned short port) = 0;
    virtual std::string ResolveAddress(const sockaddr_in& address) = 0;

    // Makes the connected socket the client end of a TLS connection: the
    // handshake, bounded by the timeout, and the certificate check, whose
    // findings Tls() then tells (they do not fail the handshake). resumeFrom
    // offers that socket's session (a data connection resuming the control
    // connection's). From then on sends, receives and Close go through TLS,
    // and Close sends close_notify. Raises with OpenSSL's reason on failure.
    // Sockets that cannot speak TLS (test doubles) refuse.
    virtual void StartTls(CTlsContext& context, const std::string& serverName, const std::string& alsoName,
                          const IBlockingSocket* resumeFrom, int timeoutSeconds);
    // The TLS connection after StartTls; null while the socket is plain.
    virtual const CTlsChannel* Tls() const { return nullptr; }

protected:
    // Lets Accept hand a descriptor to a target of the same concrete kind.
    virtual void AdoptHandle(int handle) = 0;
    static void AdoptHandleOf(IBlockingSocket& target, int handle) { target.AdoptHandle(handle); }
};

} // namespace nsSocket
