#pragma once
#include <string>
#include <string_view>

namespace platform
{

// Conversions between the core's wide strings and bytes.
// Latin-1: one byte per character 0-255, the form the control connection and
// listings use, so a name read from a server goes back to it byte for byte.
// UTF-8: local paths and text for the console and the settings file.
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
};

} // namespace platform
