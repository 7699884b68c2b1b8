#pragma once
#include "platform/IActivitySignal.h"

#include <QObject>
#include <QPointer>
#include <mutex>

namespace platform
{

// Socket activity restarts the keep-alive timer: a queued call of the
// target's slot RestartKeepAlive(), from whatever thread waits on a socket.
class QtActivitySignal : public IActivitySignal
{
public:
    void SetTarget(QObject* target);
    void Post() override;

private:
    std::mutex m_mutex;
    QPointer<QObject> m_target;
};

} // namespace platform
