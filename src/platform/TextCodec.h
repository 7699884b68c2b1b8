#pragma once
#include <string>
#include <string_view>

namespace platform
{

// Conversions between the core's wide strings and bytes.
// Latin-1: one byte per character 0-255, the form the control connection and
// listings use, so a name read from a server goes back to it byte for byte.
// UTF-8: text for the console and the settings file.
// Path bytes: local paths, which on Linux are bytes that need not be UTF-8.
// Names for people come from nsFTP::CNameCodec, which builds on these.
class TextCodec
{
public:
    static std::wstring FromLatin1(std::string_view bytes);
    // Characters above 255 have no Latin-1 byte; they become '?'.
    static std::string ToLatin1(std::wstring_view text);
    static bool FitsLatin1(std::wstring_view text);

    // Invalid sequences become U+FFFD.
    static std::wstring FromUtf8(std::string_view bytes);
    static std::string ToUtf8(std::wstring_view text);
    // Strict: no overlong forms, no surrogates, nothing past U+10FFFF.
    static bool IsUtf8(std::string_view bytes);

    // Local paths as wide text that keeps every byte. UTF-8 sequences become
    // the characters they spell; each byte of anything else becomes
    // U+DC80-U+DCFF (U+DC00 + the byte), which no valid UTF-8 can spell, so
    // ToPathBytes(FromPathBytes(b)) == b for all bytes b. Paths that are UTF-8
    // read exactly as FromUtf8 reads them.
    static std::wstring FromPathBytes(std::string_view bytes);
    static std::string ToPathBytes(std::wstring_view path);

    // UTF-16 code units, as stored site records and settings hold them.
    // Characters outside the BMP take two units and are never split when the
    // text is cut to maxUnits; unpaired surrogates read as U+FFFD.
    static std::u16string ToUtf16(std::wstring_view text, std::size_t maxUnits = std::u16string::npos);
    static std::wstring FromUtf16(std::u16string_view units);
};

} // namespace platform
