#include "CliCertificatePrompt.h"

#include "platform/TextCodec.h"
#include "socket/CertificateInfo.h"

namespace nsCli
{

bool CCliCertificatePrompt::TrustCertificate(const platform::CertificateQuestion& question)
{
    const std::string seen =
        nsSocket::CCertificateInfo::NormalFingerprint(platform::TextCodec::ToUtf8(question.fingerprint));
    if (!m_fingerprint.empty() && seen == m_fingerprint)
        return true;
    std::fprintf(m_err, "tessel-cli: the server's certificate could not be verified:\n%s\n",
                 platform::TextCodec::ToUtf8(question.Text()).c_str());
    if (m_fingerprint.empty())
        std::fprintf(m_err,
                     "tessel-cli: refused. If this is the server's certificate, run again with "
                     "--trust-fingerprint %s\n",
                     platform::TextCodec::ToUtf8(question.fingerprint).c_str());
    else
        std::fprintf(m_err,
                     "tessel-cli: refused: its fingerprint is not the one given with --trust-fingerprint\n");
    return false;
}

} // namespace nsCli
