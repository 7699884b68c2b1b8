#pragma once
#include <string>

namespace platform
{

// Opens a local file with the program the desktop associates with it.
class IShellOpener
{
public:
    virtual ~IShellOpener() = default;
    // The path holds the file's bytes as TextCodec::FromPathBytes gives
    // them, so a name that is not UTF-8 still names the file. False when
    // nothing could be started for the file.
    virtual bool Open(const std::wstring& path) = 0;
};

} // namespace platform
