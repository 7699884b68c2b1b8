#pragma once
#include <cstdint>
#include <string>

// What the properties dialog shows of one entry.
struct FileProperties
{
    // A file of this computer (the check boxes show) or of the server (the
    // attribute and owner texts show).
    bool local = false;
    bool isDirectory = false;
    std::wstring name;
    // The folder that holds the entry.
    std::wstring path;
    // "1.50 Kb (1536 bytes)"; empty when the size is unknown.
    std::wstring sizeText;
    // Seconds as the list's Time column takes them; 0: unknown.
    std::int64_t modified = 0;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    std::wstring attributes;
    std::wstring owner;
};
