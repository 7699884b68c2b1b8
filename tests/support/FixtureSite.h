#pragma once
#include "sites/SiteRecord.h"
#include "support/PyFtpdServer.h"

namespace testing_support
{

// A site record that logs on to the fixture server with its user. Header-only,
// since only the tests that link the site library use it.
inline SiteRecord FixtureSite(const PyFtpdServer& server, int timeout = 10)
{
    SiteRecord site;
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(std::wstring(server.User().begin(), server.User().end()));
    site.SetPassword(std::wstring(server.Password().begin(), server.Password().end()));
    site.SetTimeout(timeout);
    return site;
}

} // namespace testing_support
