// demo-site port LABEL                          prints the port of the saved site; exit 3 when none
// demo-site add LABEL HOST PORT USER PASSWORD   saves the site unless one of that label exists
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteList.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

using platform::TextCodec;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    platform::QSettingsStore store;
    if (!store.IsWritable())
    {
        std::fprintf(stderr, "demo-site: cannot write %s\n", store.FilePath().toLocal8Bit().constData());
        return 1;
    }
    platform::Services::SetSettings(&store);
    CSiteList sites(store);
    sites.LoadSites();

    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "port" && argc == 3)
    {
        const SiteRecord* site = sites.FindSite(TextCodec::FromUtf8(argv[2]));
        if (!site)
            return 3;
        std::printf("%d\n", site->Port());
        return 0;
    }
    if (command == "add" && argc == 7)
    {
        const std::wstring label = TextCodec::FromUtf8(argv[2]);
        if (sites.FindSite(label))
        {
            std::printf("kept\n");
            return 0;
        }
        SiteRecord site;
        site.SetLabel(label);
        site.SetHost(TextCodec::FromUtf8(argv[3]));
        site.SetPort(std::atoi(argv[4]));
        site.SetLogin(TextCodec::FromUtf8(argv[5]));
        site.SetPassword(TextCodec::FromUtf8(argv[6]));
        site.SetTimeout(10);
        if (sites.AddSite(site) < 0)
            return 1;
        std::printf("added\n");
        return 0;
    }
    std::fprintf(stderr, "usage: demo-site port LABEL | demo-site add LABEL HOST PORT USER PASSWORD\n");
    return 2;
}
