#include "DesktopShellOpener.h"

#include "platform/TextCodec.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QUrl>

namespace platform
{

QUrl DesktopShellOpener::UrlFor(const std::wstring& path)
{
    // Built from the bytes: a name that is not UTF-8 would not survive a
    // trip through QString (QUrl::toPercentEncoding takes one, and turns
    // such a byte into U+FFFD).
    const std::string bytes = TextCodec::ToPathBytes(path);
    const QByteArray encoded = QByteArray::fromStdString(bytes).toPercentEncoding(QByteArrayLiteral("/"));
    return QUrl::fromEncoded(QByteArrayLiteral("file://") + encoded, QUrl::StrictMode);
}

bool DesktopShellOpener::Open(const std::wstring& path)
{
    return QDesktopServices::openUrl(UrlFor(path));
}

} // namespace platform
