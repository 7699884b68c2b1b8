#pragma once
#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <functional>
#include <string>
#include <vector>

// What wharf offers a file manager, one object per offer (a Copy or a drag),
// never reused, so a later offer cannot change what an earlier one holds.
//
// A Copy offers files that are already on the disk (staged): text/uri-list,
// the gnome and mate lists and the marker. A drag offers remote entries that
// do not exist locally yet: the marker, X Direct Save (answered when the
// target asks, from the destination it wrote back) and the D-Bus service and
// object that Dolphin and Plasma call with the destination folder.
class CMyDataSource : public QMimeData
{
    Q_OBJECT
public:
    static const QString UriListFormat;
    static const QString GnomeFormat;
    static const QString MateFormat;
    // The private marker: "wharf", this process's id and a random token.
    static const QString MarkerFormat;
    static const QString DirectSaveFormat;
    static const QString ArkServiceFormat;
    static const QString ArkPathFormat;

    // Staged files, by their paths' bytes.
    explicit CMyDataSource(const std::vector<std::string>& paths);
    // A drag. directSave answers a request for XdndDirectSave0 ("S", "F" or
    // nothing while the target has written no destination yet); the ark
    // formats are offered when a service is given.
    using DirectSaveAnswer = std::function<QByteArray()>;
    CMyDataSource(DirectSaveAnswer directSave, const QString& arkService, const QString& arkPath);

    const std::vector<std::string>& Paths() const { return m_paths; }

    // This process's marker; the token is drawn once per process.
    static QByteArray OwnMarker();
    // The data carries this process's marker: it is wharf's own Copy or drag.
    static bool IsOwn(const QMimeData* data);

protected:
    QVariant retrieveData(const QString& format, QMetaType type) const override;

private:
    std::vector<std::string> m_paths;
    DirectSaveAnswer m_directSave;
};
