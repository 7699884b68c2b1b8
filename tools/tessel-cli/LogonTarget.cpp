#include "LogonTarget.h"

#include "FtpUrl.h"
#include "NetworkOptions.h"

namespace nsCli
{

bool CLogonTarget::FromUrl(const CFtpUrl& url, const CNetworkOptions& options, CLogonTarget& target,
                           std::string& error)
{
    SiteRecord& site = target.site;
    site.Initialise();
    site.SetHost(url.host);
    site.SetPort(url.port);
    site.SetLogin(url.hasUser ? url.user : L"anonymous");
    // Servers that want an address as the anonymous password accept this form.
    site.SetPassword(url.hasUser ? url.password : L"tessel@");
    site.SetPassive(options.passive ? 1 : 0);
    site.SetTimeout(static_cast<int>(options.timeout));
    site.SetKeepAlive(0);
    site.SetProxyMode(options.proxyMode);
    if (options.proxyMode != 0)
    {
        site.SetProxyHost(options.proxyHost);
        site.SetProxyPort(options.proxyPort);
        site.SetProxyUser(options.proxyUser);
        site.SetProxyPassword(options.proxyPassword);
    }
    // A site record holds 95 characters a text; a cut password would only
    // fail the logon later, and less clearly.
    const bool fits = site.Host() == url.host && site.Login() == (url.hasUser ? url.user : L"anonymous") &&
                      (!url.hasUser || site.Password() == url.password) &&
                      (options.proxyMode == 0 ||
                       (site.ProxyHost() == options.proxyHost && site.ProxyUser() == options.proxyUser &&
                        site.ProxyPassword() == options.proxyPassword));
    if (!fits)
    {
        error = "a host, user or password is longer than " + std::to_string(SiteRecord::MaxTextLength) +
                " characters";
        return false;
    }
    if (url.explicitTls && options.haveEncryption && options.encryption != nsFTP::Encryption::Require)
    {
        error = "an ftpes:// URL requires TLS; --encryption " +
                std::string(nsFTP::EncryptionName(options.encryption)) + " contradicts it";
        return false;
    }
    target.options = SiteOptions();
    target.options.SetEncryption(options.haveEncryption ? options.encryption
                                 : url.explicitTls      ? nsFTP::Encryption::Require
                                                        : nsFTP::Encryption::Plain);
    target.options.SetEncoding(options.encoding);
    target.trustFingerprint = options.trustFingerprint;
    target.path = url.path;
    return true;
}

CLogonTarget CLogonTarget::FromSite(const SiteRecord& site, const SiteOptions& options,
                                    const std::wstring& path)
{
    CLogonTarget target;
    target.site = site;
    target.options = options;
    target.path = path;
    return target;
}

} // namespace nsCli
