#pragma once
#include "sites/SiteOptions.h"
#include "sites/SiteRecord.h"

#include <string>

namespace nsCli
{

class CFtpUrl;
class CNetworkOptions;

// Where a network command logs on and what it works on: a site (a stored one,
// or one made from the URL and the options) and the remote path. Every way of
// naming a server ends here, and every command logs on to it as the programs
// log on to a site.
class CLogonTarget
{
public:
    SiteRecord site;
    // The site's options: encryption, trusted certificate, encoding of names.
    SiteOptions options;
    std::wstring path;
    // --trust-fingerprint, normalised; empty when not given.
    std::string trustFingerprint;

    // Anonymous (with a mail-style password) when the URL names no user.
    // False with a one-line reason when a text does not fit a site record.
    static bool FromUrl(const CFtpUrl& url, const CNetworkOptions& options, CLogonTarget& target,
                        std::string& error);
    // The stored site with its options, and a path in wire form.
    static CLogonTarget FromSite(const SiteRecord& site, const SiteOptions& options,
                                 const std::wstring& path);
};

} // namespace nsCli
