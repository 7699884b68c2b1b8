#pragma once
#include "ISystemErrors.h"

namespace platform
{

// errno and strerror.
class PosixSystemErrors : public ISystemErrors
{
public:
    int LastError() const override;
    void SetLastError(int code) override;
    std::wstring Text(int code) const override;
};

} // namespace platform
