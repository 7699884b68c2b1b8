#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

// The D-Bus drop convention of Dolphin and the Plasma desktop, which archive
// managers use to learn where dropped entries go: the drag names a service
// and an object path, and after the drop the file manager calls
// extractSelectedFilesTo with the destination folder. Each offer gets an
// object path of its own, so a late call for an old drag finds nothing.
class CArkDropService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.ark.DndExtract")
public:
    // The session bus when the desktop has one (DBUS_SESSION_BUS_ADDRESS), else none.
    static QDBusConnection SessionBus();

    explicit CArkDropService(QDBusConnection bus, QObject* parent = nullptr);
    ~CArkDropService() override;

    // Listens at a fresh object path until Withdraw; destination is called
    // with the folder as the file manager gave it. False without a bus.
    bool Offer(std::function<void(const QString&)> destination);
    void Withdraw();
    // The service and object path a drag names; empty while nothing is offered.
    QString Service() const;
    QString Path() const { return m_path; }

public slots:
    Q_SCRIPTABLE void extractSelectedFilesTo(const QString& path);

private:
    QDBusConnection m_bus;
    QString m_path;
    int m_offers = 0;
    std::function<void(const QString&)> m_destination;
};
