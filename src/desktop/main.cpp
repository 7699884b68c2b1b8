#include "WharfApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("wharf");
    QApplication::setApplicationDisplayName("Tessel FTP Client");
    CWharfApp wharf;
    if (!wharf.InitInstance())
        return 1;
    return application.exec();
}
