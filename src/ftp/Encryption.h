#pragma once
#include <string>

namespace nsFTP
{

// How a logon protects the connection (explicit FTP over TLS, RFC 4217).
enum class Encryption
{
    // Plain FTP only: passwords and files go in the clear.
    Plain,
    // AUTH TLS when the server offers it, plain FTP when it refuses.
    Auto,
    // AUTH TLS or no logon at all.
    Require
};

// "plain", "auto", "require": the form stored with a site and given to tessel-cli.
inline const char* EncryptionName(Encryption encryption)
{
    switch (encryption)
    {
    case Encryption::Auto:
        return "auto";
    case Encryption::Require:
        return "require";
    default:
        return "plain";
    }
}

inline bool ParseEncryption(const std::string& name, Encryption& encryption)
{
    for (const Encryption candidate : {Encryption::Plain, Encryption::Auto, Encryption::Require})
        if (name == EncryptionName(candidate))
        {
            encryption = candidate;
            return true;
        }
    return false;
}

} // namespace nsFTP
