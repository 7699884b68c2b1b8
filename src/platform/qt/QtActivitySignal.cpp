#include "QtActivitySignal.h"

#include <QMetaObject>

namespace platform
{

void QtActivitySignal::SetTarget(QObject* target)
{
    std::lock_guard lock(m_mutex);
    m_target = target;
    m_queued->store(false);
}

void QtActivitySignal::Post()
{
    std::lock_guard lock(m_mutex);
    if (!m_target || m_queued->exchange(true))
        return;
    QObject* target = m_target.data();
    QMetaObject::invokeMethod(
        target,
        [queued = m_queued, target]
        {
            queued->store(false);
            QMetaObject::invokeMethod(target, "RestartKeepAlive", Qt::DirectConnection);
        },
        Qt::QueuedConnection);
}

} // namespace platform
