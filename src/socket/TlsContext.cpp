#include "TlsContext.h"

#include "BlockingSocketException.h"
#include "TlsChannel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace nsSocket
{

CTlsContext::CTlsContext()
{
    m_context = SSL_CTX_new(TLS_client_method());
    if (m_context == nullptr)
        throw CBlockingSocketException(L"TLS cannot be used: OpenSSL could not set up a context.", ENOMEM);
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    // A renegotiation would let a server change the peer under an
    // established session; the clients people use refuse it too.
    SSL_CTX_set_options(m_context, SSL_OP_NO_RENEGOTIATION);
    // Large writes go out in as few calls as OpenSSL allows.
    SSL_CTX_set_mode(m_context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Reads take whatever the socket holds, several records at a time, instead
    // of a record's header and body in two calls each; the buffer matches the
    // jobs' 256 KiB blocks, so a block is mostly one read from the socket.
    SSL_CTX_set_read_ahead(m_context, 1);
    SSL_CTX_set_default_read_buffer_len(m_context, 256 * 1024);
    // A missing trust store only means that every certificate is asked about.
    SSL_CTX_set_default_verify_paths(m_context);
    ERR_clear_error();
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, &CTlsChannel::VerifyCallback);
}

CTlsContext::~CTlsContext()
{
    SSL_CTX_free(m_context);
}

} // namespace nsSocket
