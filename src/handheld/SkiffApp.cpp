#include "SkiffApp.h"

#include "MainFrame.h"
#include "SkiffDoc.h"
#include "SkiffView.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "widgets/AboutDlg.h"
#include "widgets/DialogProfile.h"
#include "widgets/SvgIcon.h"

#include <QAction>
#include <QGuiApplication>
#include <QMetaObject>

using platform::Services;

namespace nsHandheld
{

CSkiffApp::CSkiffApp(QString settingsPath) : m_settingsPath(std::move(settingsPath)) {}

CSkiffApp::~CSkiffApp()
{
    // Nothing may post to the window once it is gone; the document's
    // connection still says goodbye to the server on its way out.
    m_activity.SetTarget(nullptr);
    m_frame.reset();
    m_doc.reset();
    if (m_settings)
    {
        Services::SetActivity(nullptr);
        Services::SetMessageBoxes(nullptr);
        Services::SetSettings(nullptr);
        platform::QtMessageBoxes::SetOwner(nullptr);
    }
}

bool CSkiffApp::InitInstance(bool postConnect)
{
    // Before any dialog is made.
    CDialogProfile::Set(CDialogProfile::Handheld);
    m_settings = m_settingsPath.isEmpty() ? std::make_unique<platform::QSettingsStore>()
                                          : std::make_unique<platform::QSettingsStore>(m_settingsPath);
    Services::SetSettings(m_settings.get());
    Services::SetMessageBoxes(&m_boxes);
    // No status bar: the counts of the remote folder are shown nowhere.
    Services::SetStatusOutlet(nullptr);
    Services::SetActivity(&m_activity);

    QGuiApplication::setWindowIcon(
        CSvgIcon::Render(QStringLiteral(":/icons/tessel-ftp-client.svg"), {16, 24, 32, 48, 64, 128, 256}));
    m_doc = std::make_unique<CSkiffDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    m_doc->ResetContents();
    platform::QtMessageBoxes::SetOwner(m_frame.get());
    m_activity.SetTarget(&m_frame->View());
    QObject::connect(m_frame->AboutAction(), &QAction::triggered, m_frame.get(), [this] { OnAbout(); });

    m_frame->PlaceOnScreen();
    m_frame->show();
    if (postConnect)
        QMetaObject::invokeMethod(&m_frame->View(), "OnConnect", Qt::QueuedConnection);
    return true;
}

CSkiffView* CSkiffApp::View() const
{
    return m_frame ? &m_frame->View() : nullptr;
}

void CSkiffApp::OnAbout()
{
    CAboutDlg about(m_frame.get());
    about.exec();
}

} // namespace nsHandheld
