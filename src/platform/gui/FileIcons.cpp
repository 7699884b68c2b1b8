#include "FileIcons.h"

#include "platform/qt/CaseFold.h"

#include <QApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QStyle>

namespace platform
{

QIcon FileIcons::Folder()
{
    static const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    return icon;
}

QIcon FileIcons::ForFileName(const QString& name)
{
    static const QIcon generic = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    static QHash<QString, QIcon> byType;
    static const QMimeDatabase mimeTypes;
    const int dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return generic;
    const QString suffix = QString::fromStdWString(platform::CaseFold::Fold(name.mid(dot).toStdWString()));
    auto it = byType.constFind(suffix);
    if (it != byType.constEnd())
        return *it;
    const QMimeType type = mimeTypes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), generic));
    byType.insert(suffix, icon);
    return icon;
}

} // namespace platform
