#pragma once
#include <string>

namespace platform
{

// Where status pane texts go (the desktop status bar). Called from any thread;
// implementations must not block.
class IStatusOutlet
{
public:
    virtual ~IStatusOutlet() = default;
    virtual void SetPaneText(int pane, const std::wstring& text) = 0;
};

} // namespace platform
