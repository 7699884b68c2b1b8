#pragma once
#include <cstdint>
#include <string>

// One entry of the current remote folder as the browser list shows it.
struct BrowserRow
{
    // Links count as folders here: they are entered like one.
    bool isDirectory = false;
    bool isLink = false;
    // Bytes as listed; -1 when the listing gave none.
    std::int64_t size = 0;
    // Seconds since 1970: the listed wall-clock time read as local time, so
    // showing it as local time gives back what the server listed. 0: unknown.
    std::int64_t modified = 0;
    // The remote folder that holds the entry. path, name and displayName are
    // in wire form, one character per byte as the server sent them: they go
    // back to the server as they are (see nsFTP::CNameCodec).
    std::wstring path;
    // For a link, the part before " -> ".
    std::wstring name;
    // The name as listed, a link's " -> target" included.
    std::wstring displayName;
    // name and displayName as people read them (CNameCodec::Show of the
    // site): what the list shows, sorts and filters by, and prompts offer.
    std::wstring nameText;
    std::wstring displayText;
    std::wstring attributes;
    std::wstring owner;
};
