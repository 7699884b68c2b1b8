#include "IniDocument.h"

#include <limits>

namespace platform
{
namespace
{

constexpr std::string_view kBytesStart = "@ByteArray(";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Strict UTF-8: false for anything that is not a shortest-form scalar value.
bool NextCodePoint(std::string_view text, std::size_t& i, char32_t& c)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80)
    {
        c = b0;
        ++i;
        return true;
    }
    int length = 0;
    char32_t value = 0;
    if ((b0 & 0xE0) == 0xC0)
        length = 2, value = b0 & 0x1F;
    else if ((b0 & 0xF0) == 0xE0)
        length = 3, value = b0 & 0x0F;
    else if ((b0 & 0xF8) == 0xF0)
        length = 4, value = b0 & 0x07;
    else
        return false;
    if (i + static_cast<std::size_t>(length) > text.size())
        return false;
    for (int k = 1; k < length; ++k)
    {
        const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80)
            return false;
        value = value << 6 | (b & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    c = value;
    i += static_cast<std::size_t>(length);
    return true;
}

// Key text: valid UTF-8 without control characters.
bool IsKeyText(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();)
    {
        char32_t c = 0;
        if (!NextCodePoint(text, i, c) || c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

// The one text a value stands for, escapes and quotes resolved. An unquoted
// ';' starts a comment, as in Qt's reader; an unquoted ',' would make a list.
bool Unescape(std::string_view raw, std::u32string& out)
{
    out.clear();
    out.reserve(raw.size());
    bool quoted = false;
    std::size_t i = 0;
    while (i < raw.size())
    {
        char32_t c = static_cast<unsigned char>(raw[i]);
        if (c < 0x80)
            ++i;
        else if (!NextCodePoint(raw, i, c))
            return false;
        if (c == '"')
        {
            quoted = !quoted;
            continue;
        }
        if (!quoted && c == ';')
        {
            // The blanks before the comment are no part of the value.
            while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
                out.pop_back();
            break;
        }
        if (!quoted && c == ',')
            return false;
        if (c != '\\')
        {
            out.push_back(c);
            continue;
        }
        if (i >= raw.size())
            return false;
        const char e = raw[i++];
        switch (e)
        {
        case 'a':
            out.push_back(U'\a');
            break;
        case 'b':
            out.push_back(U'\b');
            break;
        case 'f':
            out.push_back(U'\f');
            break;
        case 'n':
            out.push_back(U'\n');
            break;
        case 'r':
            out.push_back(U'\r');
            break;
        case 't':
            out.push_back(U'\t');
            break;
        case 'v':
            out.push_back(U'\v');
            break;
        case '"':
        case '\'':
        case '?':
        case '\\':
            out.push_back(static_cast<char32_t>(e));
            break;
        case 'x':
        {
            // As many hex digits as follow.
            char32_t value = 0;
            std::size_t digits = 0;
            for (; i < raw.size() && HexDigit(static_cast<unsigned char>(raw[i])) >= 0; ++i, ++digits)
            {
                value = value * 16 + static_cast<char32_t>(HexDigit(static_cast<unsigned char>(raw[i])));
                if (value > 0x10FFFF)
                    return false;
            }
            if (digits == 0)
                return false;
            out.push_back(value);
            break;
        }
        default:
            if (e < '0' || e > '7')
                return false;
            {
                char32_t value = static_cast<char32_t>(e - '0');
                for (; i < raw.size() && raw[i] >= '0' && raw[i] <= '7'; ++i)
                {
                    value = value * 8 + static_cast<char32_t>(raw[i] - '0');
                    if (value > 0x10FFFF)
                        return false;
                }
                out.push_back(value);
            }
        }
    }
    return !quoted;
}

// What Qt's writer makes of a text whose characters are all below 256:
// controls and everything from 0x7F up as escapes, a hex digit right after a
// numeric escape escaped too, and quotes around text holding ';', ',' or '='
// or starting or ending with a space.
std::string Escape(std::u32string_view text)
{
    static const char hex[] = "0123456789abcdef";
    auto hexEscape = [](std::string& out, char32_t c)
    {
        out += "\\x";
        if (c >= 16)
            out += hex[(c >> 4) & 15];
        out += hex[c & 15];
    };
    std::string out;
    out.reserve(text.size() * 2 + 2);
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (const char32_t c : text)
    {
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && HexDigit(c) >= 0)
        {
            hexEscape(out, c);
            continue;
        }
        escapeNextIfDigit = false;
        switch (c)
        {
        case 0:
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(c);
            break;
        default:
            if (c <= 0x1F || c >= 0x7F)
            {
                hexEscape(out, c);
                escapeNextIfDigit = true;
            }
            else
            {
                out += static_cast<char>(c);
            }
        }
    }
    if (needsQuotes || (!out.empty() && (out.front() == ' ' || out.back() == ' ')))
        out = '"' + out + '"';
    return out;
}

} // namespace

std::string IniDocument::CanonicalPath(std::string_view key)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= key.size(); ++i)
    {
        if (i < key.size() && key[i] != '\\' && key[i] != '/')
            continue;
        if (i > start)
            parts.push_back(key.substr(start, i - start));
        start = i + 1;
    }
    std::string path;
    for (std::size_t p = 0; p < parts.size(); ++p)
    {
        // Each part must come back as itself from the line Serialize makes of
        // it: "[first]" and "rest=value", or "[General]" and "only=value".
        const std::string_view part = parts[p];
        if (Trim(part) != part || part.find_first_of("[]=") != std::string_view::npos ||
            part.front() == ';' || part.front() == '#')
            return {};
        if (p > 0)
            path += '\\';
        for (const char c : part)
            path += p + 1 < parts.size() ? LowerAscii(c) : c;
        if (p == 0 && parts.size() > 1 && path == "general")
            return {};
    }
    return path;
}

IniDocument IniDocument::Parse(std::string_view text)
{
    IniDocument document;
    std::map<std::string, std::string_view> lineOf;
    std::string section;
    std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (pos < text.size())
    {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::string_view trimmed = Trim(line);
        if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#')
            continue;
        if (trimmed.front() == '[')
        {
            const std::string_view name = trimmed.size() > 2 && trimmed.back() == ']'
                                              ? Trim(trimmed.substr(1, trimmed.size() - 2))
                                              : "";
            if (name.empty() || !IsKeyText(name) || name.find_first_of("[]=") != std::string_view::npos)
            {
                // The lines after it stay in the section before: a new file has
                // none, and each of its lines names its whole path.
                document.m_damaged.emplace_back(line);
                continue;
            }
            std::string lower;
            for (const char c : name)
                lower += LowerAscii(c);
            section = lower == "general" ? std::string() : std::string(name) + '\\';
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        const std::string_view key = Trim(trimmed.substr(0, equals == std::string_view::npos ? 0 : equals));
        std::string path = equals == std::string_view::npos || !IsKeyText(key)
                               ? std::string()
                               : CanonicalPath(section + std::string(key));
        if (path.empty())
        {
            document.m_damaged.emplace_back(line);
            continue;
        }
        // A key given twice: the last line counts, as in Qt's reader.
        if (const auto earlier = lineOf.find(path); earlier != lineOf.end())
            document.m_damaged.emplace_back(earlier->second);
        lineOf[path] = line;
        document.m_entries[std::move(path)] = std::string(Trim(trimmed.substr(equals + 1)));
    }
    return document;
}

std::string IniDocument::Serialize() const
{
    std::size_t size = 0;
    for (const auto& [path, raw] : m_entries)
        size += 2 * path.size() + raw.size() + 4;
    std::string text;
    text.reserve(size + 32);
    bool first = true;
    for (const auto& [path, raw] : m_entries)
    {
        // The first component is the section, as Qt writes it; a path of one
        // component is in the general section.
        const std::size_t slash = path.find('\\');
        const std::string header =
            "[" + (slash == std::string::npos ? std::string("General") : path.substr(0, slash)) + "]\n";
        text += header;
        if (first)
            text += header;
        first = false;
        text += slash == std::string::npos ? path : path.substr(slash + 1);
        text += '=';
        text += raw;
        text += '\n';
    }
    return text;
}

const std::string* IniDocument::Find(const std::string& path) const
{
    const auto found = m_entries.find(path);
    return found == m_entries.end() ? nullptr : &found->second;
}

void IniDocument::Set(const std::string& path, std::string raw)
{
    m_entries[path] = std::move(raw);
}

bool IniDocument::Erase(const std::string& path)
{
    return m_entries.erase(path) != 0;
}

std::string IniDocument::EncodeBytes(const std::vector<std::uint8_t>& bytes)
{
    std::u32string text(kBytesStart.begin(), kBytesStart.end());
    text.append(bytes.begin(), bytes.end());
    text.push_back(U')');
    return Escape(text);
}

bool IniDocument::DecodeBytes(std::string_view raw, std::vector<std::uint8_t>& bytes)
{
    std::u32string text;
    if (!Unescape(raw, text) || text.size() < kBytesStart.size() + 1 || text.back() != U')' ||
        !std::equal(kBytesStart.begin(), kBytesStart.end(), text.begin()))
        return false;
    std::vector<std::uint8_t> decoded;
    decoded.reserve(text.size() - kBytesStart.size() - 1);
    for (std::size_t i = kBytesStart.size(); i + 1 < text.size(); ++i)
    {
        if (text[i] > 0xFF)
            return false;
        decoded.push_back(static_cast<std::uint8_t>(text[i]));
    }
    bytes = std::move(decoded);
    return true;
}

std::string IniDocument::EncodeNumber(std::uint32_t value)
{
    return std::to_string(value);
}

bool IniDocument::DecodeNumber(std::string_view raw, std::uint32_t& value)
{
    std::u32string text;
    if (!Unescape(raw, text))
        return false;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    std::size_t end = text.size();
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    const bool negative = i < end && text[i] == '-';
    if (i < end && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i == end)
        return false;
    long long number = 0;
    for (; i < end; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + static_cast<long long>(text[i] - '0');
        if (number > std::numeric_limits<std::uint32_t>::max())
            return false;
    }
    if (negative)
        number = -number;
    if (number < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::uint32_t>(number);
    return true;
}

} // namespace platform
