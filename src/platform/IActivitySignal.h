#pragma once

namespace platform
{

// "A socket is about to wait": restarts the user interface's idle keep-alive
// timer. Posted from any thread, never blocks.
class IActivitySignal
{
public:
    virtual ~IActivitySignal() = default;
    virtual void Post() = 0;
};

} // namespace platform
