#pragma once

struct ssl_ctx_st;

namespace nsSocket
{

// The client side of TLS for one engine: TLS 1.2 or later, the system's trust
// store (OpenSSL's default paths, which ca-certificates fills; SSL_CERT_FILE
// and SSL_CERT_DIR point elsewhere), no renegotiation, and a verification
// that records every problem of the server's chain instead of stopping at the
// first, so the user can be told all of them and decide. Sessions of the
// control connection are resumed by its data connections.
class CTlsContext
{
public:
    // Raises CBlockingSocketException when OpenSSL cannot make a context.
    CTlsContext();
    ~CTlsContext();
    CTlsContext(const CTlsContext&) = delete;
    CTlsContext& operator=(const CTlsContext&) = delete;

    ssl_ctx_st* Native() const { return m_context; }

private:
    ssl_ctx_st* m_context = nullptr;
};

} // namespace nsSocket
