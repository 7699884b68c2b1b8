#include "FtpUrl.h"

#include "ftp/NameCodec.h"
#include "platform/TextCodec.h"

#include <algorithm>

namespace nsCli
{

namespace
{

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool PercentDecode(std::string_view text, std::string& bytes)
{
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            bytes.push_back(text[i]);
            continue;
        }
        if (text.size() - i < 3)
            return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

bool DecodePart(std::string_view text, std::wstring& out, const char* what, std::string& error)
{
    std::string bytes;
    if (!PercentDecode(text, bytes))
    {
        error = std::string("bad percent escape in the ") + what;
        return false;
    }
    out = CFtpUrl::EngineText(bytes);
    if (!CFtpUrl::IsSafeText(out))
    {
        error = std::string("the ") + what + " holds a line break or a zero byte";
        return false;
    }
    return true;
}

} // namespace

std::wstring CFtpUrl::EngineText(std::string_view bytes)
{
    return platform::TextCodec::IsUtf8(bytes) ? platform::TextCodec::FromUtf8(bytes)
                                              : platform::TextCodec::FromLatin1(bytes);
}

bool CFtpUrl::TypedText(std::string_view bytes, const nsFTP::CNameCodec& names, std::wstring& wire)
{
    if (!platform::TextCodec::IsUtf8(bytes))
    {
        wire = platform::TextCodec::FromLatin1(bytes);
        return true;
    }
    return names.Encode(platform::TextCodec::FromUtf8(bytes), wire);
}

bool CFtpUrl::DecodePath(std::string_view text, const nsFTP::CNameCodec& names, std::wstring& wire,
                         std::string& error)
{
    std::wstring result;
    size_t i = 0;
    while (i < text.size())
    {
        if (text[i] == '%')
        {
            const int high = text.size() - i >= 3 ? HexValue(text[i + 1]) : -1;
            const int low = text.size() - i >= 3 ? HexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
            {
                error = "bad percent escape in the path";
                return false;
            }
            result.push_back(static_cast<wchar_t>(high * 16 + low));
            i += 3;
            continue;
        }
        const size_t escape = std::min(text.find('%', i), text.size());
        std::wstring part;
        if (!TypedText(text.substr(i, escape - i), names, part))
        {
            error = platform::TextCodec::ToUtf8(nsFTP::CNameCodec::CannotEncodeText(
                platform::TextCodec::FromUtf8(text.substr(i, escape - i))));
            return false;
        }
        result += part;
        i = escape;
    }
    if (!IsSafeText(result))
    {
        error = "the path holds a line break or a zero byte";
        return false;
    }
    wire = std::move(result);
    return true;
}

std::string CFtpUrl::EncodePath(std::wstring_view wire)
{
    static const char hex[] = "0123456789ABCDEF";
    const std::string bytes = platform::TextCodec::ToLatin1(wire);
    std::string encoded;
    encoded.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || (c == '/' && i > 0);
        if (plain)
            encoded.push_back(static_cast<char>(c));
        else
        {
            encoded.push_back('%');
            encoded.push_back(hex[c >> 4]);
            encoded.push_back(hex[c & 0xF]);
        }
    }
    return encoded;
}

bool CFtpUrl::IsSafeText(std::wstring_view text)
{
    return text.find_first_of(std::wstring_view(L"\r\n\0", 3)) == std::wstring_view::npos;
}

bool CFtpUrl::Parse(std::string_view text, CFtpUrl& url, std::string& error, const nsFTP::CNameCodec& names)
{
    url = CFtpUrl();
    const auto startsWith = [&text](std::string_view scheme)
    {
        return text.size() >= scheme.size() && std::equal(scheme.begin(), scheme.end(), text.begin(),
                                                          [](char a, char b) { return a == (b | 0x20); });
    };
    if (startsWith("ftpes://"))
    {
        url.explicitTls = true;
        text.remove_prefix(8);
    }
    else if (startsWith("ftp://"))
        text.remove_prefix(6);
    else
    {
        error = "the URL does not start with ftp:// or ftpes://";
        return false;
    }
    const size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    if (path.find_first_of("?#") != std::string_view::npos)
    {
        error = "queries and fragments are not part of an FTP URL; escape '?' and '#' as %3F and %23";
        return false;
    }

    // The last '@' ends the user part, so an unescaped '@' in a user name still works.
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
    {
        const std::string_view userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        const size_t colon = userInfo.find(':');
        if (!DecodePart(userInfo.substr(0, colon), url.user, "user name", error))
            return false;
        if (colon != std::string_view::npos &&
            !DecodePart(userInfo.substr(colon + 1), url.password, "password", error))
            return false;
        if (url.user.empty())
        {
            error = "the user name is empty";
            return false;
        }
        url.hasUser = true;
    }

    std::string_view host = authority;
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos)
    {
        host = authority.substr(0, colon);
        const std::string_view digits = authority.substr(colon + 1);
        unsigned long port = 0;
        if (digits.empty() || digits.size() > 5)
            port = 0;
        else
            for (char c : digits)
                port = (c >= '0' && c <= '9') ? port * 10 + static_cast<unsigned long>(c - '0') : 100000;
        if (port == 0 || port > 65535)
        {
            error = "the port must be a number from 1 to 65535";
            return false;
        }
        url.port = static_cast<std::uint16_t>(port);
    }
    if (host.empty())
    {
        error = "the URL names no host";
        return false;
    }
    for (char c : host)
    {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || std::string_view("[]%\\:?#").find(c) != std::string_view::npos)
        {
            error = "the host name is not valid (IPv4 addresses and host names only)";
            return false;
        }
    }
    url.host = platform::TextCodec::FromUtf8(host);
    return DecodePath(path, names, url.path, error);
}

} // namespace nsCli
