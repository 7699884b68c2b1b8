#pragma once
#include "platform/IShellOpener.h"

namespace platform
{

// Hands the file to the desktop (xdg-open and friends) through QDesktopServices.
class DesktopShellOpener : public IShellOpener
{
public:
    bool Open(const std::wstring& path) override;
};

} // namespace platform
