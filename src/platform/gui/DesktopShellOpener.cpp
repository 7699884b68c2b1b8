#include "DesktopShellOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace platform
{

bool DesktopShellOpener::Open(const std::wstring& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdWString(path)));
}

} // namespace platform
