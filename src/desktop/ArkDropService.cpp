#include "ArkDropService.h"

#include <cstdlib>

QDBusConnection CArkDropService::SessionBus()
{
    // Without an address the bus library may start a bus of its own for the
    // display, which would outlive the program: only a bus the desktop runs
    // is used.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return QDBusConnection(QString());
    return QDBusConnection::sessionBus();
}

CArkDropService::CArkDropService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus))
{
}

CArkDropService::~CArkDropService()
{
    Withdraw();
}

bool CArkDropService::Offer(std::function<void(const QString&)> destination)
{
    Withdraw();
    if (!m_bus.isConnected())
        return false;
    const QString path = QStringLiteral("/org/tessel/wharf/DndExtract/%1").arg(++m_offers);
    if (!m_bus.registerObject(path, this, QDBusConnection::ExportScriptableSlots))
        return false;
    m_path = path;
    m_destination = std::move(destination);
    return true;
}

void CArkDropService::Withdraw()
{
    if (m_path.isEmpty())
        return;
    m_bus.unregisterObject(m_path);
    m_path.clear();
    m_destination = {};
}

QString CArkDropService::Service() const
{
    return m_path.isEmpty() ? QString() : m_bus.baseService();
}

void CArkDropService::extractSelectedFilesTo(const QString& path)
{
    // The caller waits for the answer: only the destination is taken here.
    if (m_destination)
        m_destination(path);
}
