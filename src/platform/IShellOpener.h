#pragma once
#include <string>

namespace platform
{

// Opens a local file with the program the desktop associates with it.
class IShellOpener
{
public:
    virtual ~IShellOpener() = default;
    // False when nothing could be started for the file.
    virtual bool Open(const std::wstring& path) = 0;
};

} // namespace platform
