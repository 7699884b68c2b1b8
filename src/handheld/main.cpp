#include "SkiffApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("skiff");
    QApplication::setApplicationDisplayName("Tessel FTP Client");
    // The desktop entry's name, so Wayland compositors match the window to it.
    QGuiApplication::setDesktopFileName("tessel-ftp-client-skiff");
    nsHandheld::CSkiffApp skiff;
    if (!skiff.InitInstance())
        return 1;
    return application.exec();
}
