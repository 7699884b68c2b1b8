#pragma once
#include "Encryption.h"

#include <cstdint>
#include <string>

namespace nsFTP
{

// One logon: the server, the user on it and the proxy in front of it.
class CLogonRecord
{
public:
    std::wstring host;
    std::uint16_t port = 21;
    std::wstring user = L"anonymous";
    std::wstring password;
    std::wstring account;
    std::wstring firewallHost;
    std::wstring firewallUser;
    std::wstring firewallPassword;
    std::uint16_t firewallPort = 21;
    // Logon style 0-8, see CFTPClient::LogOn.
    std::int32_t FirewallType = 0;
    Encryption encryption = Encryption::Plain;
    // The SHA-256 fingerprint of a certificate the user chose to trust for
    // this site although it failed the check (any case, colons or not).
    std::string trustedFingerprint;

    // How a proxy is told the real server: the host, or host:port when the
    // port is not the default.
    std::wstring RemoteHostText() const;
    // Whether the logon sends a password of the user's (the server's or the
    // proxy's), not only the anonymous placeholder.
    bool SendsPassword() const;
};

} // namespace nsFTP
