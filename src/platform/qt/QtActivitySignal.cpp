#include "QtActivitySignal.h"

#include <QMetaObject>

namespace platform
{

void QtActivitySignal::SetTarget(QObject* target)
{
    std::lock_guard lock(m_mutex);
    m_target = target;
}

void QtActivitySignal::Post()
{
    std::lock_guard lock(m_mutex);
    if (m_target)
        QMetaObject::invokeMethod(m_target.data(), "RestartKeepAlive", Qt::QueuedConnection);
}

} // namespace platform
