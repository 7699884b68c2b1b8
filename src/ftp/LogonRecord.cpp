#include "LogonRecord.h"

namespace nsFTP
{

std::wstring CLogonRecord::RemoteHostText() const
{
    if (port == 21)
        return host;
    return host + L":" + std::to_wstring(port);
}

} // namespace nsFTP
