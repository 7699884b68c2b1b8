#include "LogonRecord.h"

namespace nsFTP
{

std::wstring CLogonRecord::RemoteHostText() const
{
    if (port == 21)
        return host;
    return host + L":" + std::to_wstring(port);
}

bool CLogonRecord::SendsPassword() const
{
    const bool anonymous = user == L"anonymous" || user == L"ftp";
    // Types 1, 2, 4, 6 and 8 log on to the proxy with its password.
    const bool proxyPassword =
        FirewallType == 1 || FirewallType == 2 || FirewallType == 4 || FirewallType == 6 || FirewallType == 8;
    return (!anonymous && !password.empty()) || (proxyPassword && !firewallPassword.empty());
}

} // namespace nsFTP
