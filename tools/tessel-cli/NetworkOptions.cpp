#include "NetworkOptions.h"

#include "FtpUrl.h"
#include "platform/TextCodec.h"
#include "socket/CertificateInfo.h"

#include <charconv>

namespace nsCli
{

namespace
{

bool ParseNumber(const std::string& text, unsigned long low, unsigned long high, unsigned long& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

bool ParseProxyAddress(const std::string& text, CNetworkOptions& options, std::string& error)
{
    const size_t colon = text.rfind(':');
    const std::string host = text.substr(0, colon);
    if (colon != std::string::npos)
    {
        unsigned long port = 0;
        if (!ParseNumber(text.substr(colon + 1), 1, 65535, port))
        {
            error = "the proxy port must be a number from 1 to 65535";
            return false;
        }
        options.proxyPort = static_cast<std::uint16_t>(port);
    }
    if (host.empty() || host.find_first_of(std::string_view(" \r\n\0", 4)) != std::string::npos)
    {
        error = "--proxy wants HOST or HOST:PORT";
        return false;
    }
    options.proxyHost = CFtpUrl::EngineText(host);
    options.haveProxy = true;
    return true;
}

} // namespace

const char* CNetworkOptions::Help()
{
    return "options:\n"
           "  --active              the server connects to us for data (default: passive)\n"
           "  --timeout SECONDS     longest wait for the server, 1-86400 (default 30)\n"
           "  --proxy-mode N        proxy logon style 0-8 (0: no proxy)\n"
           "  --proxy HOST[:PORT]   the proxy to log on through (port 21 by default)\n"
           "  --proxy-user U        user name on the proxy\n"
           "  --proxy-password P    password on the proxy\n"
           "  --encoding E          names on the server: auto (UTF-8 where valid, else Latin-1;\n"
           "                        typed text goes out as UTF-8), utf-8 or latin-1\n"
           "  --encryption E        require (AUTH TLS or no logon), auto (TLS when the server offers\n"
           "                        it) or plain (default for ftp://; ftpes:// URLs require TLS)\n"
           "  --trust-fingerprint H accept the server's certificate although it fails the check when\n"
           "                        its SHA-256 fingerprint is H (hex, colons optional, any case)\n"
           "  --site LABEL          log on as the stored site LABEL does (see 'tessel-cli sites');\n"
           "                        the URL is then a path, relative to the site's directory\n";
}

bool CNetworkOptions::Take(std::vector<std::string>& args, CNetworkOptions& options, std::string& error)
{
    options = CNetworkOptions();
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-')
        {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }
        if (arg == "--active")
        {
            options.passive = false;
            options.haveConnectionOption = true;
            continue;
        }
        if (arg == "--encoding")
        {
            if (i + 1 >= args.size())
            {
                error = "--encoding needs a value";
                return false;
            }
            if (!nsFTP::CNameCodec::Parse(args[++i], options.encoding))
            {
                error = "--encoding wants auto, utf-8 or latin-1";
                return false;
            }
            options.haveEncoding = true;
            continue;
        }
        if (arg == "--site")
        {
            if (i + 1 >= args.size())
            {
                error = "--site needs a value";
                return false;
            }
            options.site = platform::TextCodec::FromUtf8(args[++i]);
            options.haveSite = true;
            continue;
        }
        if (arg == "--trust-fingerprint")
        {
            const std::string hex = i + 1 < args.size()
                                        ? nsSocket::CCertificateInfo::NormalFingerprint(args[i + 1])
                                        : std::string();
            if (hex.size() != 64)
            {
                error = "--trust-fingerprint wants a SHA-256 fingerprint: 64 hex digits, colons optional";
                return false;
            }
            options.trustFingerprint = hex;
            ++i;
            continue;
        }
        if (arg != "--timeout" && arg != "--proxy-mode" && arg != "--proxy" && arg != "--proxy-user" &&
            arg != "--proxy-password" && arg != "--encryption")
        {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size())
        {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        options.haveConnectionOption = true;
        unsigned long number = 0;
        if (arg == "--timeout")
        {
            if (!ParseNumber(value, 1, 86400, number))
            {
                error = "--timeout wants seconds from 1 to 86400";
                return false;
            }
            options.timeout = static_cast<unsigned>(number);
        }
        else if (arg == "--proxy-mode")
        {
            if (!ParseNumber(value, 0, 8, number))
            {
                error = "--proxy-mode wants a number from 0 to 8";
                return false;
            }
            options.proxyMode = static_cast<int>(number);
        }
        else if (arg == "--encryption")
        {
            if (!nsFTP::ParseEncryption(value, options.encryption))
            {
                error = "--encryption wants require, auto or plain";
                return false;
            }
            options.haveEncryption = true;
        }
        else if (arg == "--proxy")
        {
            if (!ParseProxyAddress(value, options, error))
                return false;
        }
        else
        {
            std::wstring& target = arg == "--proxy-user" ? options.proxyUser : options.proxyPassword;
            target = CFtpUrl::EngineText(value);
            if (!CFtpUrl::IsSafeText(target))
            {
                error = arg + " holds a line break";
                return false;
            }
        }
    }
    if (options.haveSite && options.haveConnectionOption)
    {
        error = "--site takes the stored site's own mode, timeout, proxy and encryption";
        return false;
    }
    if (options.proxyMode != 0 && !options.haveProxy)
    {
        error = "--proxy-mode " + std::to_string(options.proxyMode) + " needs --proxy HOST[:PORT]";
        return false;
    }
    if (options.proxyMode == 0 && options.haveProxy)
    {
        error = "--proxy needs --proxy-mode 1-8 to say how to log on through it";
        return false;
    }
    args = std::move(positional);
    return true;
}

} // namespace nsCli
