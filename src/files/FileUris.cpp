#include "FileUris.h"

#include <unistd.h>

namespace
{
bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// The path of a file URI of this machine, decoded; the root itself only when
// allowRoot is set.
bool DecodePath(std::string_view uri, std::string_view hostName, std::string& path, bool allowRoot)
{
    if (uri.size() < 5 || !SameIgnoringCase(uri.substr(0, 5), "file:"))
        return false;
    std::string_view rest = uri.substr(5);
    if (rest.substr(0, 2) == "//")
    {
        rest.remove_prefix(2);
        const size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return false;
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !SameIgnoringCase(host, "localhost") &&
            !(!hostName.empty() && SameIgnoringCase(host, hostName)))
            return false;
        rest.remove_prefix(slash);
    }
    if (rest.empty() || rest[0] != '/')
        return false;

    std::string decoded;
    decoded.reserve(rest.size());
    for (size_t i = 0; i < rest.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(rest[i]);
        // A query or fragment has no place in a file's path: names holding
        // these characters come encoded.
        if (c == '?' || c == '#' || c < 0x20 || c == 0x7F)
            return false;
        if (c != '%')
        {
            // Repeated separators are one.
            if (c == '/' && !decoded.empty() && decoded.back() == '/')
                continue;
            decoded += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= rest.size())
            return false;
        const int high = HexValue(rest[i + 1]), low = HexValue(rest[i + 2]);
        if (high < 0 || low < 0)
            return false;
        const int byte = high * 16 + low;
        // NUL ends a name early and an encoded "/" makes two names of one:
        // either way the file meant is not the file that would be read.
        if (byte == 0 || byte == '/')
            return false;
        decoded += static_cast<char>(byte);
        i += 2;
    }
    while (decoded.size() > 1 && decoded.back() == '/')
        decoded.pop_back();
    if (decoded == "/")
    {
        if (!allowRoot)
            return false;
        path = decoded;
        return true;
    }
    // "." and ".." would name another file than the last part says.
    size_t start = 1;
    while (start <= decoded.size())
    {
        size_t end = decoded.find('/', start);
        if (end == std::string::npos)
            end = decoded.size();
        const std::string_view part = std::string_view(decoded).substr(start, end - start);
        if (part == "." || part == "..")
            return false;
        start = end + 1;
    }
    path = std::move(decoded);
    return true;
}

// Lines ended by LF, a CR before it dropped; the last line needs no end.
template <typename Each> void ForEachLine(std::string_view text, Each each)
{
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!each(line))
            return;
        start = end + 1;
    }
}

void ParseLines(std::string_view text, std::string_view hostName, CFileUris::Parsed& parsed)
{
    ForEachLine(text,
                [&](std::string_view line)
                {
                    if (line.empty() || line[0] == '#')
                        return true;
                    std::string path;
                    if (CFileUris::ToPath(line, hostName, path))
                        parsed.paths.push_back(std::move(path));
                    else
                        parsed.skipped.emplace_back(line);
                    return parsed.paths.size() + parsed.skipped.size() < CFileUris::MaxEntries;
                });
}
} // namespace

std::string CFileUris::FromPath(std::string_view path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + path.size() * 3);
    for (const char c : path)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (Unreserved(byte) || byte == '/')
            uri += c;
        else
        {
            uri += '%';
            uri += hex[byte >> 4];
            uri += hex[byte & 15];
        }
    }
    return uri;
}

std::string CFileUris::UriList(const std::vector<std::string>& paths)
{
    std::string list;
    for (const auto& path : paths)
        list += FromPath(path) + "\r\n";
    return list;
}

std::string CFileUris::CopiedFiles(const std::vector<std::string>& paths)
{
    std::string list = "copy";
    for (const auto& path : paths)
        list += "\n" + FromPath(path);
    return list;
}

CFileUris::Parsed CFileUris::ParseUriList(std::string_view text, std::string_view hostName)
{
    Parsed parsed;
    ParseLines(text, hostName, parsed);
    return parsed;
}

CFileUris::Parsed CFileUris::ParseCopiedFiles(std::string_view text, std::string_view hostName)
{
    Parsed parsed;
    const size_t end = text.find('\n');
    std::string_view first = text.substr(0, end);
    if (!first.empty() && first.back() == '\r')
        first.remove_suffix(1);
    if (first != "copy" && first != "cut")
        return parsed;
    parsed.cut = first == "cut";
    if (end != std::string_view::npos)
        ParseLines(text.substr(end + 1), hostName, parsed);
    return parsed;
}

bool CFileUris::ToPath(std::string_view uri, std::string_view hostName, std::string& path)
{
    return DecodePath(uri, hostName, path, false);
}

bool CFileUris::DirectSaveFolder(std::string_view value, std::string_view hostName, std::string& folder)
{
    // Some targets hand back a C string with whatever followed it.
    value = value.substr(0, value.find('\0'));
    // Only the folder counts; the name part is the target's echo of ours.
    const size_t slash = value.rfind('/');
    if (slash == std::string_view::npos)
        return false;
    return DecodePath(value.substr(0, slash + 1), hostName, folder, true);
}

std::string CFileUris::HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}
