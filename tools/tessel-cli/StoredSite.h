#pragma once
#include <memory>
#include <string>

class CSiteConnection;
class SiteOptions;
class SiteRecord;

namespace platform
{
class QSettingsStore;
}

namespace nsCli
{

// The user's settings file ($XDG_CONFIG_HOME/FTPClient/FTPClient.ini, the one
// the programs use), made the process's settings store on first use.
platform::QSettingsStore& SettingsFile();

// The stored site (not a group) with that label, ignoring case; false with
// a one-line reason otherwise.
bool FindStoredSite(const std::wstring& label, SiteRecord& site, SiteOptions& options, std::string& error);

// For --site LABEL: a site connection logged on to the stored site and in its
// directory, as the Site Manager would leave it. Null when that failed; the
// reason has gone to stderr.
std::unique_ptr<CSiteConnection> ConnectStoredSite(const std::wstring& label);

} // namespace nsCli
