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
    // The remote folder that holds the entry.
    std::wstring path;
    // For a link, the part before " -> ".
    std::wstring name;
    // The name as listed, a link's " -> target" included.
    std::wstring displayName;
    std::wstring attributes;
    std::wstring owner;
};
