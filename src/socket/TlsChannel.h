#pragma once
#include "CertificateInfo.h"

#include <memory>
#include <string>

struct ssl_st;
struct x509_store_ctx_st;

namespace nsSocket
{

class CTlsContext;

// One TLS client connection over a socket's descriptor: the OpenSSL object,
// what its verification found and whether the server tried to renegotiate.
// The socket drives it (its waits honour the timeout and the stop signal).
class CTlsChannel
{
public:
    // serverName is what the certificate must name (a host name or an IPv4
    // address); alsoName, when not empty, is a second acceptable name (the
    // server behind a proxy).
    CTlsChannel(CTlsContext& context, int descriptor, const std::string& serverName,
                const std::string& alsoName = {});
    ~CTlsChannel();
    CTlsChannel(const CTlsChannel&) = delete;
    CTlsChannel& operator=(const CTlsChannel&) = delete;

    ssl_st* Native() const { return m_ssl; }
    // Offers the session of another channel (a data connection resuming the
    // control connection's). Before the handshake.
    void ResumeSessionOf(const CTlsChannel& other);

    // After the handshake.
    std::string Protocol() const;
    std::string Cipher() const;
    bool SessionReused() const;
    // The server's certificate with what the check found; empty fingerprint
    // when the server sent none.
    CCertificateInfo PeerCertificate() const;
    std::string PeerFingerprint() const;

    // Set by OpenSSL's callbacks.
    bool RenegotiationRefused() const { return m_renegotiationRefused; }
    // The peer's close_notify arrived: a clean end of the stream.
    bool PeerClosed() const { return m_peerClosed; }
    void SetPeerClosed() { m_peerClosed = true; }
    // A failed channel sends no close_notify.
    bool Broken() const { return m_broken; }
    void SetBroken() { m_broken = true; }

private:
    static void InfoCallback(const ssl_st* ssl, int where, int value);
    static int VerifyCallback(int preverified, x509_store_ctx_st* store);
    friend class CTlsContext;

    ssl_st* m_ssl = nullptr;
    std::string m_serverName;
    std::string m_alsoName;
    // Every problem the verification met, in the order met.
    unsigned m_verifyErrors = 0;
    std::vector<std::wstring> m_otherReasons;
    bool m_renegotiationRefused = false;
    bool m_peerClosed = false;
    bool m_broken = false;
};

} // namespace nsSocket
