#include "MyDataSource.h"

#include "files/FileUris.h"

#include <random>
#include <unistd.h>

const QString CMyDataSource::UriListFormat = QStringLiteral("text/uri-list");
const QString CMyDataSource::GnomeFormat = QStringLiteral("x-special/gnome-copied-files");
const QString CMyDataSource::MateFormat = QStringLiteral("x-special/mate-copied-files");
const QString CMyDataSource::MarkerFormat = QStringLiteral("Wharf_CFM");
const QString CMyDataSource::DirectSaveFormat = QStringLiteral("XdndDirectSave0");
const QString CMyDataSource::ArkServiceFormat = QStringLiteral("application/x-kde-ark-dndextract-service");
const QString CMyDataSource::ArkPathFormat = QStringLiteral("application/x-kde-ark-dndextract-path");

namespace
{
QByteArray Bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

CMyDataSource::CMyDataSource(const std::vector<std::string>& paths) : m_paths(paths)
{
    // Everything is rendered now: the files are complete before they are offered.
    setData(UriListFormat, Bytes(CFileUris::UriList(paths)));
    const QByteArray copied = Bytes(CFileUris::CopiedFiles(paths));
    setData(GnomeFormat, copied);
    setData(MateFormat, copied);
    setData(MarkerFormat, OwnMarker());
}

CMyDataSource::CMyDataSource(DirectSaveAnswer directSave, const QString& arkService, const QString& arkPath)
    : m_directSave(std::move(directSave))
{
    setData(MarkerFormat, OwnMarker());
    if (m_directSave)
        // A placeholder: the answer comes from retrieveData when asked.
        setData(DirectSaveFormat, QByteArray());
    if (!arkService.isEmpty() && !arkPath.isEmpty())
    {
        setData(ArkServiceFormat, arkService.toUtf8());
        setData(ArkPathFormat, arkPath.toUtf8());
    }
}

QByteArray CMyDataSource::OwnMarker()
{
    static const QByteArray marker = []
    {
        std::random_device random;
        QByteArray token;
        for (int i = 0; i < 4; ++i)
            token += QByteArray::number(static_cast<quint32>(random()), 16).rightJustified(8, '0');
        return "wharf " + QByteArray::number(static_cast<qint64>(getpid())) + " " + token;
    }();
    return marker;
}

bool CMyDataSource::IsOwn(const QMimeData* data)
{
    return data && data->hasFormat(MarkerFormat) && data->data(MarkerFormat) == OwnMarker();
}

QVariant CMyDataSource::retrieveData(const QString& format, QMetaType type) const
{
    if (format == DirectSaveFormat && m_directSave)
        return m_directSave();
    return QMimeData::retrieveData(format, type);
}
