#pragma once
#include "platform/gui/QtCertificatePrompt.h"
#include "platform/gui/QtMessageBoxes.h"
#include "platform/qt/QtActivitySignal.h"
#include "platform/qt/QtStatusOutlet.h"

#include <QString>
#include <memory>

class CMainFrame;
class CWharfDoc;
class CWharfView;

namespace platform
{
class QSettingsStore;
}

// The desktop program: installs the platform services, makes the document,
// the main window and its view, shows the window and opens the Site Manager.
class CWharfApp
{
public:
    // An empty path uses the user's settings file.
    explicit CWharfApp(QString settingsPath = {});
    ~CWharfApp();
    CWharfApp(const CWharfApp&) = delete;
    CWharfApp& operator=(const CWharfApp&) = delete;

    // False when the window could not be made. postConnect opens the Site
    // Manager as soon as the event loop runs.
    bool InitInstance(bool postConnect = true);
    void OnAbout();

    CWharfDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }
    CWharfView* View() const;

private:
    QString m_settingsPath;
    std::unique_ptr<platform::QSettingsStore> m_settings;
    platform::QtMessageBoxes m_boxes;
    platform::QtCertificatePrompt m_certificatePrompt;
    platform::QtStatusOutlet m_status;
    platform::QtActivitySignal m_activity;
    std::unique_ptr<CWharfDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
