#pragma once
#include "platform/gui/QtMessageBoxes.h"
#include "platform/qt/QtActivitySignal.h"

#include <QString>
#include <memory>

namespace platform
{
class QSettingsStore;
}

namespace nsHandheld
{

class CMainFrame;
class CSkiffDoc;
class CSkiffView;

// The small-screen program: chooses the handheld form of the dialogs,
// installs the platform services (message boxes, settings, activity; no
// status outlet, as there is no status bar), makes the document and the
// window, shows it at the screen's size or 360 by 640, and opens the Site
// Manager.
class CSkiffApp
{
public:
    // An empty path uses the user's settings file, which wharf shares.
    explicit CSkiffApp(QString settingsPath = {});
    ~CSkiffApp();
    CSkiffApp(const CSkiffApp&) = delete;
    CSkiffApp& operator=(const CSkiffApp&) = delete;

    // False when the window could not be made. postConnect opens the Site
    // Manager as soon as the event loop runs.
    bool InitInstance(bool postConnect = true);
    void OnAbout();

    CSkiffDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }
    CSkiffView* View() const;

private:
    QString m_settingsPath;
    std::unique_ptr<platform::QSettingsStore> m_settings;
    platform::QtMessageBoxes m_boxes;
    platform::QtActivitySignal m_activity;
    std::unique_ptr<CSkiffDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};

} // namespace nsHandheld
