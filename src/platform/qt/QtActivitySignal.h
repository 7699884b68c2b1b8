#pragma once
#include "platform/IActivitySignal.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>
#include <mutex>

namespace platform
{

// Socket activity restarts the keep-alive timer: a queued call of the
// target's slot RestartKeepAlive(), from whatever thread waits on a socket.
// Posts that come while one is still queued are folded into it, so a busy
// transfer never floods the event queue.
class QtActivitySignal : public IActivitySignal
{
public:
    void SetTarget(QObject* target);
    void Post() override;

private:
    std::mutex m_mutex;
    QPointer<QObject> m_target;
    // Shared with the queued call, which may run after this object is gone.
    std::shared_ptr<std::atomic<bool>> m_queued = std::make_shared<std::atomic<bool>>(false);
};

} // namespace platform
