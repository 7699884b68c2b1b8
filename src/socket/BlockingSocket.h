#pragma once
#include "BlockingSocketException.h"
#include "IBlockingSocket.h"
#include "TlsChannel.h"

#include <chrono>
#include <optional>

namespace nsSocket
{

// IBlockingSocket over POSIX sockets. Waits use poll, so any descriptor
// number works; sends never raise SIGPIPE. The descriptor is close-on-exec so
// programs started to open downloaded files do not inherit connections.
// A wait ends with ECANCELED ("The wait for the server was stopped.") as soon
// as the stop signal is raised.
//
// After StartTls the descriptor is non-blocking and every transfer goes
// through OpenSSL; a stream the server ends without close_notify is an error,
// never a short file.
class CBlockingSocket : public IBlockingSocket
{
public:
    CBlockingSocket() = default;
    // Closes a descriptor that is still held.
    ~CBlockingSocket() override;
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    std::unique_ptr<IBlockingSocket> NewSocket() const override;
    void SetStopSignal(std::shared_ptr<CStopSignal> signal) override { m_stopSignal = std::move(signal); }
    void Create(int type) override;
    void Connect(const sockaddr_in& address, int timeoutSeconds) override;
    void Bind(const sockaddr_in& address) override;
    void Listen() override;
    void ForceClose() noexcept override;
    bool Accept(IBlockingSocket& target, sockaddr_in& address, int timeoutSeconds) override;
    void Close() override;
    int SendAll(const char* bytes, int length, int timeoutSeconds) override;
    // One send of as much as the socket takes now, after waiting at most the
    // timeout for room. May return less than length.
    int SendSome(const char* bytes, int length, int timeoutSeconds);
    int Receive(char* buffer, int capacity, int timeoutSeconds) override;
    void LocalAddress(sockaddr_in& address) override;
    void PeerAddress(sockaddr_in& address) override;
    int Handle() const override { return m_handle; }
    bool IsReadable() override;
    sockaddr_in ResolveHost(const std::string& name, unsigned short port) override;
    std::string ResolveAddress(const sockaddr_in& address) override;
    void StartTls(CTlsContext& context, const std::string& serverName, const std::string& alsoName,
                  const IBlockingSocket* resumeFrom, int timeoutSeconds) override;
    const CTlsChannel* Tls() const override { return m_tls.get(); }

protected:
    void AdoptHandle(int handle) override;

private:
    using Deadline = std::chrono::steady_clock::time_point;
    int StopHandle() const;
    // Waits for what OpenSSL asked for (ssl error WANT_READ or WANT_WRITE);
    // raises the timeout message, or the stop, when the deadline passes first.
    void WaitForTls(int sslError, Deadline deadline, const wchar_t* timeoutMessage);
    // Raises the failure of the last TLS call with OpenSSL's reason.
    [[noreturn]] void RaiseTls(int sslError, const std::wstring& what);
    int TlsSend(const char* bytes, int length, int timeoutSeconds);
    int TlsReceive(char* buffer, int capacity, int timeoutSeconds);
    // Adds, without waiting, what OpenSSL has already read from the socket.
    std::size_t TlsReceiveBuffered(char* buffer, std::size_t capacity);
    // Sends close_notify (waiting at most the handshake's timeout for room).
    void TlsClose() noexcept;

    int m_handle = NoHandle;
    std::unique_ptr<CTlsChannel> m_tls;
    // A failure met after bytes were received, raised by the next receive.
    std::optional<CBlockingSocketException> m_tlsFailure;
    int m_tlsTimeout = 10;
    std::shared_ptr<CStopSignal> m_stopSignal;
};

} // namespace nsSocket
