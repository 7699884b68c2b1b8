#include "LogonTarget.h"

#include "FtpUrl.h"
#include "NetworkOptions.h"

namespace nsCli
{

CLogonTarget CLogonTarget::FromUrl(const CFtpUrl& url, const CNetworkOptions& options)
{
    CLogonTarget target;
    target.record.host = url.host;
    target.record.port = url.port;
    if (url.hasUser)
    {
        target.record.user = url.user;
        target.record.password = url.password;
    }
    else
    {
        target.record.user = L"anonymous";
        // Servers that want an address as the anonymous password accept this form.
        target.record.password = L"tessel@";
    }
    target.record.FirewallType = options.proxyMode;
    target.record.firewallHost = options.proxyHost;
    target.record.firewallPort = options.proxyPort;
    target.record.firewallUser = options.proxyUser;
    target.record.firewallPassword = options.proxyPassword;
    target.passive = options.passive;
    target.timeout = options.timeout;
    target.path = url.path;
    return target;
}

} // namespace nsCli
