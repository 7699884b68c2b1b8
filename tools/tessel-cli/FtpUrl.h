#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nsCli
{

// ftp://[user[:password]@]host[:port][/path], as typed on the command line;
// ftpes:// is the same with explicit FTP over TLS required.
// User, password and path are percent-decoded. Text the engine sends keeps
// the engine's one-character-per-byte form: valid UTF-8 becomes the characters
// it spells (so names the tool printed go back unchanged), anything else one
// character per byte.
class CFtpUrl
{
public:
    std::wstring host;
    std::uint16_t port = 21;
    bool hasUser = false;
    std::wstring user;
    std::wstring password;
    // The path after the host's '/', relative to the folder the logon leads
    // to (as curl and RFC 1738 read it); one that starts with %2F or a second
    // '/' is absolute. Empty for the logon folder itself.
    std::wstring path;
    // The URL was ftpes://.
    bool explicitTls = false;

    // False with a one-line reason when the text is no usable FTP URL.
    static bool Parse(std::string_view text, CFtpUrl& url, std::string& error);

    // Command-line text as engine characters (see above).
    static std::wstring EngineText(std::string_view bytes);
    // False when the text would break a command line (CR, LF or NUL).
    static bool IsSafeText(std::wstring_view text);
};

} // namespace nsCli
