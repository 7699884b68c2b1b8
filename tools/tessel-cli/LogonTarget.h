#pragma once
#include "ftp/LogonRecord.h"

#include <string>

namespace nsCli
{

class CFtpUrl;
class CNetworkOptions;

// Where a network command logs on and what it works on: the logon record,
// the data connection mode, the timeout and the remote path. Every way of
// naming a server (a URL today) ends here, so the commands need not care.
class CLogonTarget
{
public:
    nsFTP::CLogonRecord record;
    bool passive = true;
    unsigned timeout = 30;
    std::wstring path;

    // Anonymous (with a mail-style password) when the URL names no user.
    static CLogonTarget FromUrl(const CFtpUrl& url, const CNetworkOptions& options);
};

} // namespace nsCli
