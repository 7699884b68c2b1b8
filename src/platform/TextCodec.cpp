#include "TextCodec.h"

namespace platform
{

std::wstring TextCodec::FromLatin1(std::string_view bytes)
{
    std::wstring text(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    return text;
}

std::string TextCodec::ToLatin1(std::wstring_view text)
{
    std::string bytes(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto c = static_cast<unsigned long>(text[i]);
        bytes[i] = c <= 0xFF ? static_cast<char>(c) : '?';
    }
    return bytes;
}

bool TextCodec::FitsLatin1(std::wstring_view text)
{
    for (wchar_t c : text)
        if (static_cast<unsigned long>(c) > 0xFF)
            return false;
    return true;
}

namespace
{
// The length of the valid UTF-8 sequence at bytes[i] and its value; 0 when
// the bytes there are no valid sequence.
size_t Utf8Sequence(std::string_view bytes, size_t i, unsigned long& cp)
{
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    if (b0 < 0x80)
    {
        cp = b0;
        return 1;
    }
    size_t extra = 0;
    unsigned long min = 0;
    if ((b0 & 0xE0) == 0xC0)
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    else
        return 0;
    if (bytes.size() - i <= extra)
        return 0;
    for (size_t k = 1; k <= extra; ++k)
    {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return extra + 1;
}

void AppendUtf8(std::string& bytes, unsigned long cp)
{
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80)
        bytes.push_back(static_cast<char>(cp));
    else if (cp < 0x800)
    {
        bytes.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        bytes.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    else
    {
        bytes.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        bytes.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Wide text of bytes; invalid is what each byte outside a valid sequence becomes.
template <typename Invalid> std::wstring DecodeUtf8(std::string_view bytes, Invalid invalid)
{
    std::wstring text;
    text.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size())
    {
        unsigned long cp = 0;
        const size_t length = Utf8Sequence(bytes, i, cp);
        if (length == 0)
        {
            text.push_back(invalid(static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        text.push_back(static_cast<wchar_t>(cp));
        i += length;
    }
    return text;
}

constexpr unsigned long EscapeBase = 0xDC00;
} // namespace

std::wstring TextCodec::FromUtf8(std::string_view bytes)
{
    return DecodeUtf8(bytes, [](unsigned char) { return static_cast<wchar_t>(0xFFFD); });
}

bool TextCodec::IsUtf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size())
    {
        // ASCII runs are the common case.
        if (static_cast<unsigned char>(bytes[i]) < 0x80)
        {
            ++i;
            continue;
        }
        unsigned long cp = 0;
        const size_t length = Utf8Sequence(bytes, i, cp);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::wstring TextCodec::FromPathBytes(std::string_view bytes)
{
    return DecodeUtf8(bytes, [](unsigned char byte) { return static_cast<wchar_t>(EscapeBase + byte); });
}

std::string TextCodec::ToPathBytes(std::wstring_view path)
{
    std::string bytes;
    bytes.reserve(path.size());
    for (wchar_t wc : path)
    {
        const auto cp = static_cast<unsigned long>(wc);
        if (cp >= EscapeBase + 0x80 && cp <= EscapeBase + 0xFF)
            bytes.push_back(static_cast<char>(cp - EscapeBase));
        else
            AppendUtf8(bytes, cp);
    }
    return bytes;
}

std::string TextCodec::ToUtf8(std::wstring_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t wc : text)
        AppendUtf8(bytes, static_cast<unsigned long>(wc));
    return bytes;
}

std::u16string TextCodec::ToUtf16(std::wstring_view text, std::size_t maxUnits)
{
    std::u16string units;
    for (wchar_t wc : text)
    {
        auto cp = static_cast<unsigned long>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        const std::size_t need = cp >= 0x10000 ? 2 : 1;
        if (units.size() + need > maxUnits)
            break;
        if (need == 2)
        {
            cp -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
        else
        {
            units.push_back(static_cast<char16_t>(cp));
        }
    }
    return units;
}

std::wstring TextCodec::FromUtf16(std::u16string_view units)
{
    std::wstring text;
    text.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        const char16_t u = units[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
        {
            text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        }
        else if (u >= 0xD800 && u <= 0xDFFF)
        {
            text.push_back(static_cast<wchar_t>(0xFFFD));
        }
        else
        {
            text.push_back(static_cast<wchar_t>(u));
        }
    }
    return text;
}

} // namespace platform
