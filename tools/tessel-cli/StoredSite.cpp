#include "StoredSite.h"

#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteConnection.h"
#include "sites/SiteList.h"

namespace nsCli
{

platform::QSettingsStore& SettingsFile()
{
    static platform::QSettingsStore store;
    platform::Services::SetSettings(&store);
    return store;
}

bool FindStoredSite(const std::wstring& label, SiteRecord& site, SiteOptions& options, std::string& error)
{
    SettingsFile();
    CSiteList sites;
    sites.LoadSites();
    const SiteRecord* found = sites.FindSite(label);
    if (!found)
    {
        error = "no site is labelled '" + platform::TextCodec::ToUtf8(label) + "'";
        return false;
    }
    if (found->IsGroup())
    {
        error = "'" + platform::TextCodec::ToUtf8(found->Label()) + "' is a group, not a site";
        return false;
    }
    site = *found;
    const SiteOptions* stored = sites.OptionsAt(sites.FindIndex(label));
    options = stored ? *stored : SiteOptions();
    return true;
}

std::unique_ptr<CSiteConnection> ConnectStoredSite(const std::wstring& label)
{
    SettingsFile();
    auto connection = std::make_unique<CSiteConnection>();
    if (!connection->ConnectStoredSite(label))
        return nullptr;
    return connection;
}

} // namespace nsCli
