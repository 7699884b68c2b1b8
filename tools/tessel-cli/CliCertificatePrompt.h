#pragma once
#include "platform/ICertificatePrompt.h"

#include <cstdio>
#include <string>

namespace nsCli
{

// tessel-cli's answer to a certificate that fails the check: trusted only when
// its SHA-256 fingerprint is the one given with --trust-fingerprint; otherwise
// refused, with the certificate and how to trust it on stderr.
class CCliCertificatePrompt : public platform::ICertificatePrompt
{
public:
    // fingerprint: hex digits, upper case, no colons; empty when none was given.
    CCliCertificatePrompt(std::string fingerprint, std::FILE* err)
        : m_fingerprint(std::move(fingerprint)), m_err(err)
    {
    }
    bool TrustCertificate(const platform::CertificateQuestion& question) override;

private:
    std::string m_fingerprint;
    std::FILE* m_err;
};

} // namespace nsCli
