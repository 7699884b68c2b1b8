#include "TlsChannel.h"

#include "BlockingSocketException.h"
#include "TlsContext.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

namespace nsSocket
{
namespace
{

using Problem = CCertificateInfo::Problem;

unsigned Bit(Problem problem)
{
    return 1u << static_cast<unsigned>(problem);
}

Problem ProblemOf(int error)
{
    switch (error)
    {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        return Problem::SelfSigned;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return Problem::UnknownIssuer;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return Problem::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return Problem::NotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return Problem::WrongHost;
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
    case X509_V_ERR_CA_MD_TOO_WEAK:
        return Problem::WeakKey;
    default:
        return Problem::Other;
    }
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE when the
// server has gone; this one sends with MSG_NOSIGNAL, as every plain send here.
int Descriptor(BIO* bio)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

bool Retryable(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int BioWrite(BIO* bio, const char* data, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t sent = ::send(Descriptor(bio), data, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (sent < 0 && Retryable(errno))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int BioRead(BIO* bio, char* data, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t received = ::recv(Descriptor(bio), data, static_cast<size_t>(length), 0);
    if (received < 0 && Retryable(errno))
        BIO_set_retry_read(bio);
    else if (received == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF); // how OpenSSL tells an end without close_notify
    return static_cast<int>(received);
}

long BioControl(BIO* bio, int command, long, void* pointer)
{
    switch (command)
    {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0 ? 1 : 0;
    case BIO_C_GET_FD:
        if (pointer != nullptr)
            *static_cast<int*>(pointer) = Descriptor(bio);
        return Descriptor(bio);
    default:
        return 0;
    }
}

int BioCreate(BIO* bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod()
{
    static BIO_METHOD* method = []
    {
        BIO_METHOD* made =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "tessel socket");
        BIO_meth_set_write(made, BioWrite);
        BIO_meth_set_read(made, BioRead);
        BIO_meth_set_ctrl(made, BioControl);
        BIO_meth_set_create(made, BioCreate);
        return made;
    }();
    return method;
}

bool IsAddress(const std::string& name)
{
    in_addr address{};
    return inet_pton(AF_INET, name.c_str(), &address) == 1;
}

// The name goes into the check as an address or as a host name, whichever it is.
void AddExpectedName(ssl_st* ssl, const std::string& name, bool first)
{
    if (name.empty())
        return;
    if (IsAddress(name))
    {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), name.c_str());
        return;
    }
    if (first)
        SSL_set1_host(ssl, name.c_str());
    else
        SSL_add1_host(ssl, name.c_str());
}

} // namespace

CTlsChannel::CTlsChannel(CTlsContext& context, int descriptor, const std::string& serverName,
                         const std::string& alsoName)
    : m_serverName(serverName), m_alsoName(alsoName)
{
    m_ssl = SSL_new(context.Native());
    BIO* bio = m_ssl != nullptr && SocketMethod() != nullptr ? BIO_new(SocketMethod()) : nullptr;
    if (bio != nullptr)
    {
        BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor)));
        SSL_set_bio(m_ssl, bio, bio);
    }
    else
    {
        SSL_free(m_ssl);
        m_ssl = nullptr;
        ERR_clear_error();
        throw CBlockingSocketException(L"TLS cannot be used: OpenSSL could not set up a connection.", ENOMEM);
    }
    SSL_set_app_data(m_ssl, this);
    SSL_set_info_callback(m_ssl, &CTlsChannel::InfoCallback);
    // Server name indication carries host names only, never addresses.
    if (!serverName.empty() && !IsAddress(serverName))
        SSL_set_tlsext_host_name(m_ssl, serverName.c_str());
    AddExpectedName(m_ssl, serverName, true);
    // OpenSSL would want an address and a host name both to match; a second
    // name is only taken beside a first of the same kind.
    if (!serverName.empty() && !IsAddress(serverName) && !IsAddress(alsoName))
        AddExpectedName(m_ssl, alsoName, false);
    SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
}

CTlsChannel::~CTlsChannel()
{
    SSL_free(m_ssl);
}

void CTlsChannel::ResumeSessionOf(const CTlsChannel& other)
{
    SSL_SESSION* session = SSL_get1_session(other.m_ssl);
    if (session == nullptr)
        return;
    SSL_set_session(m_ssl, session);
    SSL_SESSION_free(session);
}

std::string CTlsChannel::Protocol() const
{
    return SSL_get_version(m_ssl);
}

std::string CTlsChannel::Cipher() const
{
    const char* name = SSL_get_cipher_name(m_ssl);
    return name ? name : "";
}

bool CTlsChannel::SessionReused() const
{
    return SSL_session_reused(m_ssl) == 1;
}

CCertificateInfo CTlsChannel::PeerCertificate() const
{
    X509* certificate = SSL_get1_peer_certificate(m_ssl);
    if (certificate == nullptr)
        return {};
    CCertificateInfo info = CCertificateInfo::Of(certificate);
    X509_free(certificate);
    for (unsigned kind = 0; kind <= static_cast<unsigned>(Problem::Other); ++kind)
        if ((m_verifyErrors & (1u << kind)) != 0)
            info.problems.push_back(static_cast<Problem>(kind));
    info.otherReasons = m_otherReasons;
    return info;
}

std::string CTlsChannel::PeerFingerprint() const
{
    X509* certificate = SSL_get1_peer_certificate(m_ssl);
    if (certificate == nullptr)
        return {};
    std::string fingerprint = CCertificateInfo::Fingerprint(certificate);
    X509_free(certificate);
    return fingerprint;
}

void CTlsChannel::InfoCallback(const ssl_st* ssl, int where, int value)
{
    // The refusal is a warning alert of ours; the server may not insist, but
    // a server that asks is told so rather than left to a vague failure.
    if ((where & SSL_CB_WRITE_ALERT) != 0 && (value & 0xff) == SSL_AD_NO_RENEGOTIATION)
        if (auto* channel = static_cast<CTlsChannel*>(SSL_get_app_data(ssl)))
            channel->m_renegotiationRefused = true;
}

int CTlsChannel::VerifyCallback(int preverified, x509_store_ctx_st* store)
{
    if (preverified == 1)
        return 1;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* channel = ssl ? static_cast<CTlsChannel*>(SSL_get_app_data(ssl)) : nullptr;
    if (channel != nullptr)
    {
        const int error = X509_STORE_CTX_get_error(store);
        const Problem problem = ProblemOf(error);
        channel->m_verifyErrors |= Bit(problem);
        if (problem == Problem::Other)
        {
            const std::string reason = X509_verify_cert_error_string(error);
            channel->m_otherReasons.emplace_back(reason.begin(), reason.end());
        }
    }
    // Go on: the engine decides once it knows every problem.
    return 1;
}

} // namespace nsSocket
