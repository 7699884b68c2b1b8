#pragma once
#include "platform/ICertificatePrompt.h"

namespace platform
{

// Asks on the interface thread, in a warning box owned by the main window:
// the host, what failed, the certificate's subject, issuer, validity and
// SHA-256 fingerprint, and the buttons "Trust this certificate" and Cancel
// (the default). A worker's call waits there for the answer.
class QtCertificatePrompt : public ICertificatePrompt
{
public:
    bool TrustCertificate(const CertificateQuestion& question) override;
};

} // namespace platform
