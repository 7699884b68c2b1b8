#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nsFTP
{
class CNameCodec;
}

namespace nsCli
{

// ftp://[user[:password]@]host[:port][/path], as typed on the command line;
// ftpes:// is the same with explicit FTP over TLS required.
// User, password and path are percent-decoded. In the path, and in the other
// paths a command takes (see DecodePath), a percent escape is a byte of the
// remote name as it stands (caf%C3%A9 is the UTF-8 name "café", caf%E9 the
// Latin-1 one), and text written out is typed text, which the site's names
// codec writes (UTF-8, or Latin-1 on a site set to it). The path is held in
// the engine's wire form, one character per byte.
class CFtpUrl
{
public:
    std::wstring host;
    std::uint16_t port = 21;
    bool hasUser = false;
    std::wstring user;
    std::wstring password;
    // The path after the host's '/', in wire form, relative to the folder the logon leads
    // to (as curl and RFC 1738 read it); one that starts with %2F or a second
    // '/' is absolute. Empty for the logon folder itself.
    std::wstring path;
    // The URL was ftpes://.
    bool explicitTls = false;

    // False with a one-line reason when the text is no usable FTP URL.
    // The path's typed text is written by names.
    static bool Parse(std::string_view text, CFtpUrl& url, std::string& error,
                      const nsFTP::CNameCodec& names);

    // A path as a command takes it (a URL's path, a --site path, mv's new
    // path) to wire form: each percent escape one byte, the text between
    // escapes written by names where it is UTF-8 (bytes that are not UTF-8
    // kept as they are). False with a one-line reason for a bad escape, text
    // the encoding cannot write, or a line break or zero byte.
    static bool DecodePath(std::string_view text, const nsFTP::CNameCodec& names, std::wstring& wire,
                           std::string& error);
    // A wire-form path as DecodePath takes it back: its bytes percent-encoded
    // but for letters, digits, "-._~" and "/"; a leading "/" as %2F, so the
    // path stays absolute after "ftp://host/". What ls prints as "Url".
    static std::string EncodePath(std::wstring_view wire);
    // Other command-line text for the server (the SITE text): written by
    // names where it is UTF-8, else its bytes. False when names cannot write it.
    static bool TypedText(std::string_view bytes, const nsFTP::CNameCodec& names, std::wstring& wire);

    // Command-line text as engine characters: valid UTF-8 becomes the
    // characters it spells, anything else one character per byte. For the
    // user, password and proxy texts.
    static std::wstring EngineText(std::string_view bytes);
    // False when the text would break a command line (CR, LF or NUL).
    static bool IsSafeText(std::wstring_view text);
};

} // namespace nsCli
