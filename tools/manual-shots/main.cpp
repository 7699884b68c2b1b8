// manual-shots: the screenshots of the user manual, taken from the real wharf
// and skiff under the offscreen platform against a real FTP server on loopback, and the
// application icon rendered as a PNG. Run at build time.
#include "ManualShots.h"
#include "ShotServer.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{
constexpr int ServerStartSeconds = 30;
// A build step must never hang: past this the tool gives up.
constexpr unsigned WholeRunSeconds = 180;

void OnAlarm(int)
{
    static const char text[] = "manual-shots: gave up after 180 seconds\n";
    [[maybe_unused]] const ssize_t ignored = ::write(2, text, sizeof text - 1);
    ::_exit(1);
}

int Usage()
{
    std::fputs("usage: manual-shots --python PYTHON --server demo_server.py --icon ICON.svg "
               "OUTPUT-DIR\n",
               stderr);
    return 2;
}

int Fail(const QString& text)
{
    std::fprintf(stderr, "manual-shots: %s\n", qPrintable(text));
    return 1;
}

bool RenderIcon(const QString& svg, const QString& png, int size)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return false;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image.save(png, "PNG");
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::signal(SIGALRM, OnAlarm);
    ::alarm(WholeRunSeconds);
    QApplication application(argc, argv);
    // The pictures show what most readers see, not the bare C locale of a build machine.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setApplicationName("wharf");
    QApplication::setApplicationDisplayName("Tessel FTP Client");

    QString python, script, icon;
    QStringList positional;
    const QStringList args = application.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--python" && i + 1 < args.size())
            python = args[++i];
        else if (args[i] == "--server" && i + 1 < args.size())
            script = args[++i];
        else if (args[i] == "--icon" && i + 1 < args.size())
            icon = args[++i];
        else if (args[i].startsWith("--"))
            return Usage();
        else
            positional << args[i];
    }
    if (positional.size() != 1 || python.isEmpty() || script.isEmpty() || icon.isEmpty())
        return Usage();
    const QDir output(positional[0]);
    if (!output.mkpath("."))
        return Fail("cannot create " + output.path());
    if (!RenderIcon(icon, output.filePath("tessel-ftp-client.png"), 256))
        return Fail("cannot render the icon " + icon);

    CShotServer server(python, script);
    if (!server.Start(ServerStartSeconds))
        return Fail(server.Error());
    QTemporaryDir settings;
    if (!settings.isValid())
        return Fail("cannot make a temporary folder for the settings");
    CManualShots shots(output.path(), settings.filePath("FTPClient.ini"));
    const bool done = shots.Prepare(server.Port()) && shots.ShootSiteManager() &&
                      shots.ShootSiteProperties() && shots.ShootProxy() && shots.ShootMainWindow() &&
                      shots.ShootAttributes() && shots.ShootProperties() && shots.ShootFind() &&
                      shots.ShootFilter() && shots.ShootSkiff();
    if (!done)
        return Fail(shots.Error());
    return 0;
}
