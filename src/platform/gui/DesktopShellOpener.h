#pragma once
#include "platform/IShellOpener.h"

#include <QUrl>

namespace platform
{

// Hands the file to the desktop (xdg-open and friends) through QDesktopServices.
class DesktopShellOpener : public IShellOpener
{
public:
    bool Open(const std::wstring& path) override;
    // The file:// URL of a path held as TextCodec::FromPathBytes gives it:
    // the path's bytes percent-encoded, so a name that is not UTF-8 names
    // the same file on disk.
    static QUrl UrlFor(const std::wstring& path);
};

} // namespace platform
