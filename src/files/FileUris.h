#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Lists of local files as Linux file managers hand them over: text/uri-list
// and the "copy"/"cut" lists of x-special/gnome-copied-files and
// x-special/mate-copied-files. Paths are bytes, as the file system has them;
// URIs are made from those bytes and never pass through a text conversion,
// so every name survives the trip whatever its encoding.
class CFileUris
{
public:
    // file:// and the path, every byte outside the unreserved set and "/"
    // percent-encoded.
    static std::string FromPath(std::string_view path);
    // text/uri-list: one URI a line, each line ended by CR LF.
    static std::string UriList(const std::vector<std::string>& paths);
    // The gnome and mate lists: "copy", then one URI a line, LF between the
    // lines and none after the last.
    static std::string CopiedFiles(const std::vector<std::string>& paths);

    struct Parsed
    {
        // Local paths, in the order given.
        std::vector<std::string> paths;
        // URIs that name no local file here (another host, sftp:, trash:,
        // a name holding %00 or %2F...), as given.
        std::vector<std::string> skipped;
        // The list was a "cut"; it is still only ever copied.
        bool cut = false;
    };
    // Comment lines (#) and empty lines are left out; CR LF and LF both end a line.
    static Parsed ParseUriList(std::string_view text, std::string_view hostName);
    // "copy" or "cut", then the URIs; anything else in the first line gives nothing.
    static Parsed ParseCopiedFiles(std::string_view text, std::string_view hostName);

    // A file URI of this machine (no host, "localhost" or hostName) as a
    // path: absolute, without "." or ".." parts or a "/" at its end, and no
    // name holding NUL or an encoded "/". False for anything else.
    static bool ToPath(std::string_view uri, std::string_view hostName, std::string& path);
    // The folder of a destination an X Direct Save target wrote back (a file
    // URI of the file it wants). The value may end in a NUL and garbage.
    static bool DirectSaveFolder(std::string_view value, std::string_view hostName, std::string& folder);

    // This machine's name, for the checks above.
    static std::string HostName();
    // A list longer than this is cut there: a clipboard cannot make a paste
    // walk without end.
    static constexpr std::size_t MaxEntries = 100000;
};
