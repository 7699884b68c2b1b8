#pragma once
#include <string>
#include <vector>

namespace platform
{

// A server certificate that failed the check, as the user is shown it.
struct CertificateQuestion
{
    // The host the client connected to.
    std::wstring host;
    std::wstring subject;
    std::wstring issuer;
    std::wstring validFrom;
    std::wstring validUntil;
    // SHA-256, upper-case hex pairs joined by colons.
    std::wstring fingerprint;
    // What failed, one sentence each.
    std::vector<std::wstring> problems;

    // All of the above as lines of text.
    std::wstring Text() const;
};

// Asks whether to trust a server certificate that failed the check ("Trust
// this certificate" / Cancel). Each program answers its own way (a dialog on
// the interface thread, a fingerprint given on the command line); callable
// from any thread, since the worker that logs on asks.
class ICertificatePrompt
{
public:
    virtual ~ICertificatePrompt() = default;
    // True: trust it (and remember it for the site).
    virtual bool TrustCertificate(const CertificateQuestion& question) = 0;
};

} // namespace platform
