#include "NameCodec.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <vector>

using platform::TextCodec;

namespace nsFTP
{

namespace
{
bool IsAscii(std::wstring_view text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0 && c < 0x80; });
}

std::vector<std::wstring_view> Parts(std::wstring_view path)
{
    std::vector<std::wstring_view> parts;
    size_t start = 0;
    for (;;)
    {
        const size_t slash = path.find(L'/', start);
        parts.push_back(path.substr(start, slash == std::wstring_view::npos ? std::wstring_view::npos
                                                                            : slash - start));
        if (slash == std::wstring_view::npos)
            return parts;
        start = slash + 1;
    }
}

std::wstring Hex(unsigned long value, int digits)
{
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring text(static_cast<size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = hex[value & 0xF];
    return text;
}
} // namespace

void CNameCodec::DecodePart(std::wstring_view part, std::wstring& text) const
{
    // Characters past 255 are no wire form: text already, taken as it is.
    if (m_encoding == NameEncoding::Latin1 || IsAscii(part) || !TextCodec::FitsLatin1(part))
    {
        text.append(part);
        return;
    }
    const std::string bytes = TextCodec::ToLatin1(part);
    if (TextCodec::IsUtf8(bytes))
        text += TextCodec::FromUtf8(bytes);
    else
        text.append(part); // one character per byte is the Latin-1 reading
}

std::wstring CNameCodec::Decode(std::wstring_view wire) const
{
    // Most names are ASCII, which every reading leaves as it is.
    if (m_encoding == NameEncoding::Latin1 || IsAscii(wire))
        return std::wstring(wire);
    std::wstring text;
    text.reserve(wire.size());
    bool first = true;
    for (const std::wstring_view part : Parts(wire))
    {
        if (!first)
            text.push_back(L'/');
        first = false;
        DecodePart(part, text);
    }
    return text;
}

bool CNameCodec::NeedsMakingVisible(wchar_t c)
{
    const auto u = static_cast<unsigned long>(c);
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

std::wstring CNameCodec::MakeVisible(std::wstring text)
{
    if (std::none_of(text.begin(), text.end(), NeedsMakingVisible))
        return text;
    std::wstring shown;
    shown.reserve(text.size() + 8);
    for (const wchar_t c : text)
    {
        const auto u = static_cast<unsigned long>(c);
        if (!NeedsMakingVisible(c))
            shown.push_back(c);
        else if (u < 0x20)
            shown.push_back(static_cast<wchar_t>(0x2400 + u));
        else if (u == 0x7F)
            shown.push_back(L'\u2421');
        else if (u <= 0x9F)
            shown += L"\\x" + Hex(u, 2);
        else
            shown += L"\\u" + Hex(u, 4);
    }
    return shown;
}

std::wstring CNameCodec::Show(std::wstring_view wire) const
{
    return MakeVisible(Decode(wire));
}

std::wstring CNameCodec::ShowReply(std::wstring_view wire) const
{
    std::wstring shown;
    size_t start = 0;
    for (;;)
    {
        const size_t end = wire.find(L"\r\n", start);
        shown += Show(wire.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
        if (end == std::wstring_view::npos)
            return shown;
        shown += L"\r\n";
        start = end + 2;
    }
}

bool CNameCodec::Encode(std::wstring_view typed, std::wstring& wire) const
{
    if (m_encoding == NameEncoding::Latin1)
    {
        if (!TextCodec::FitsLatin1(typed))
            return false;
        wire.assign(typed);
        return true;
    }
    wire = IsAscii(typed) ? std::wstring(typed) : TextCodec::FromLatin1(TextCodec::ToUtf8(typed));
    return true;
}

bool CNameCodec::EncodeEdited(std::wstring_view typed, std::wstring_view presetWire, std::wstring& wire) const
{
    const auto typedParts = Parts(typed);
    const auto presetParts = Parts(presetWire);
    std::wstring result;
    bool kept = true;
    for (size_t i = 0; i < typedParts.size(); ++i)
    {
        if (i > 0)
            result.push_back(L'/');
        // Only while every part before it was kept: the same folder.
        kept = kept && i < presetParts.size() && Show(presetParts[i]) == typedParts[i];
        if (kept)
        {
            result.append(presetParts[i]);
            continue;
        }
        std::wstring part;
        if (!Encode(typedParts[i], part))
            return false;
        result += part;
    }
    wire = std::move(result);
    return true;
}

std::wstring CNameCodec::CannotEncodeText(std::wstring_view typed)
{
    return L"\"" + MakeVisible(std::wstring(typed)) +
           L"\" cannot be written in Latin-1, the encoding chosen for this site.";
}

std::wstring CNameCodec::ShowLocalBytes(std::string_view bytes)
{
    return CNameCodec(NameEncoding::Auto).Show(TextCodec::FromLatin1(bytes));
}

std::wstring CNameCodec::ShowLocal(std::wstring_view path)
{
    return ShowLocalBytes(TextCodec::ToPathBytes(path));
}

const char* CNameCodec::Name(NameEncoding encoding)
{
    switch (encoding)
    {
    case NameEncoding::Utf8:
        return "utf-8";
    case NameEncoding::Latin1:
        return "latin-1";
    default:
        return "auto";
    }
}

bool CNameCodec::Parse(std::string_view text, NameEncoding& encoding)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (lower == "auto")
        encoding = NameEncoding::Auto;
    else if (lower == "utf-8" || lower == "utf8")
        encoding = NameEncoding::Utf8;
    else if (lower == "latin-1" || lower == "latin1")
        encoding = NameEncoding::Latin1;
    else
        return false;
    return true;
}

} // namespace nsFTP
