#include "DesktopShellOpener.h"

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>

namespace platform
{

bool DesktopShellOpener::Open(const std::wstring& path)
{
    // Built from the bytes, percent-encoded: a name that is not UTF-8 would
    // not survive a trip through QString.
    const std::string bytes = TextCodec::ToPathBytes(path);
    const QByteArray encoded =
        QUrl::toPercentEncoding(QByteArray::fromStdString(bytes), QByteArrayLiteral("/"));
    return QDesktopServices::openUrl(
        QUrl::fromEncoded(QByteArrayLiteral("file://") + encoded, QUrl::StrictMode));
}

} // namespace platform
