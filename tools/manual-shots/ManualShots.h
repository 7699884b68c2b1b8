#pragma once
#include "desktop/WharfApp.h"
#include "platform/ConsoleMessageBoxes.h"

#include <QString>

class QWidget;

// Takes the manual's screenshots from the real wharf under the offscreen
// platform: the Site Manager, Site Properties, the proxy dialog, the main
// window connected to a server, the attributes and properties dialogs, the
// Find dialog, the filter bar in use, and skiff's window. Any step that
// cannot be done is an error with its reason; no picture is left out quietly.
class CManualShots
{
public:
    // The settings file is the program's whole memory of sites and layout.
    CManualShots(QString outputFolder, const QString& settingsPath);

    // Stores the sample sites, the demo one at 127.0.0.1 with that port.
    bool Prepare(quint16 port);
    bool ShootSiteManager();
    bool ShootSiteProperties();
    bool ShootProxy();
    // Connects and shows the server's root folder.
    bool ShootMainWindow();
    // The CHMOD dialog for a folder of the root, and the properties of a file
    // there, as the file commands open them.
    bool ShootAttributes();
    bool ShootProperties();
    // The Find dialog after a search from the root folder.
    bool ShootFind();
    // Types into the filter bar of the main window.
    bool ShootFilter();
    // skiff's window at 360x640 on the server's root folder.
    bool ShootSkiff();

    const QString& Error() const { return m_error; }

private:
    bool Save(QWidget& widget, const QString& name);
    // Selects the row of that name in the main window's list.
    bool SelectRow(const QString& name);
    bool Fail(const QString& text);

    QString m_output;
    CWharfApp m_app;
    platform::ConsoleMessageBoxes m_boxes;
    quint16 m_port = 0;
    QString m_error;
};
