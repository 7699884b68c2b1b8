#pragma once
#include "platform/IMessageBoxes.h"

class QWidget;

namespace platform
{

// Qt message boxes, always shown on the interface thread. A worker thread's
// call waits there for the answer; the interface thread never waits for a
// worker (it runs its event loop instead), so this cannot deadlock.
class QtMessageBoxes : public IMessageBoxes
{
public:
    BoxAnswer Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons) override;
    // Boxes are owned by this window when it is set (the main window).
    static void SetOwner(QWidget* owner);
    static QWidget* Owner();
};

} // namespace platform
