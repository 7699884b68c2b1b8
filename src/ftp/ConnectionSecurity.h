#pragma once
#include <string>

namespace nsFTP
{

// What protects the control connection of a logon, for the lock of the
// status bar (both programs read it through the site connection).
struct ConnectionSecurity
{
    // The control connection (and so every data connection) runs over TLS.
    bool encrypted = false;
    // A plain logon that sent a password (not the anonymous placeholder).
    bool passwordInClear = false;
    std::string protocol; // "TLSv1.3"
    std::string cipher;   // "TLS_AES_256_GCM_SHA384"

    friend bool operator==(const ConnectionSecurity&, const ConnectionSecurity&) = default;
};

} // namespace nsFTP
