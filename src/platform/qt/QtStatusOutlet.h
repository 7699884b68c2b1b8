#pragma once
#include "platform/IStatusOutlet.h"

#include <QObject>
#include <QPointer>
#include <mutex>

namespace platform
{

// Status texts reach the status bar through a queued call of the target's
// slot SetPaneText(int, QString), so any thread may set them without waiting.
class QtStatusOutlet : public IStatusOutlet
{
public:
    void SetTarget(QObject* target);
    void SetPaneText(int pane, const std::wstring& text) override;

private:
    std::mutex m_mutex;
    QPointer<QObject> m_target;
};

} // namespace platform
