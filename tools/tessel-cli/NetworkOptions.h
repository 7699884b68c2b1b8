#pragma once
#include "ftp/Encryption.h"
#include "ftp/NameCodec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nsCli
{

// The options every network command takes: data connection mode, timeout,
// the proxy in front of the server, and the encoding of names.
class CNetworkOptions
{
public:
    bool passive = true;
    unsigned timeout = 30;
    int proxyMode = 0;
    bool haveProxy = false;
    std::wstring proxyHost;
    std::uint16_t proxyPort = 21;
    std::wstring proxyUser;
    std::wstring proxyPassword;
    // --site LABEL: a stored site gives the server, logon, mode, timeout and
    // proxy, so none of the options above may be given with it.
    bool haveSite = false;
    std::wstring site;
    bool haveConnectionOption = false;
    // --encoding auto|utf-8|latin-1: how the server's names are read and
    // typed paths written (nsFTP::CNameCodec). Without it, a stored site's
    // own choice, else Auto.
    bool haveEncoding = false;
    nsFTP::NameEncoding encoding = nsFTP::NameEncoding::Auto;
    // --encryption; without it ftp:// URLs log on in plain FTP, as ever, and
    // ftpes:// ones require TLS.
    bool haveEncryption = false;
    nsFTP::Encryption encryption = nsFTP::Encryption::Plain;
    // --trust-fingerprint: the SHA-256 fingerprint (hex, colons optional, any
    // case) of a certificate to accept although it fails the check.
    std::string trustFingerprint;

    // Takes the options out of args, leaving the positional arguments in
    // order ("--" ends the options). False with a one-line reason on a bad
    // option or value, or a proxy mode and proxy address that do not agree.
    static bool Take(std::vector<std::string>& args, CNetworkOptions& options, std::string& error);

    // Help text, one option a line.
    static const char* Help();
};

} // namespace nsCli
