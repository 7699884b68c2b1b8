#pragma once
#include <string>

namespace platform
{

// The calling thread's last system error and the system's text for a code.
class ISystemErrors
{
public:
    virtual ~ISystemErrors() = default;
    virtual int LastError() const = 0;
    virtual void SetLastError(int code) = 0;
    // Empty when the system has no text for the code.
    virtual std::wstring Text(int code) const = 0;
};

} // namespace platform
