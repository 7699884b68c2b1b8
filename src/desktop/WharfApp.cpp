#include "WharfApp.h"

#include "FileExchange.h"
#include "MainFrame.h"
#include "WharfDoc.h"
#include "WharfView.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "widgets/AboutDlg.h"
#include "widgets/SvgIcon.h"

#include <QAction>
#include <QGuiApplication>
#include <QMetaObject>

using platform::Services;

CWharfApp::CWharfApp(QString settingsPath) : m_settingsPath(std::move(settingsPath)) {}

CWharfApp::~CWharfApp()
{
    // Nothing may post to the window once it is gone; the document's
    // connection still says goodbye to the server on its way out.
    m_status.SetTarget(nullptr);
    m_activity.SetTarget(nullptr);
    m_frame.reset();
    m_doc.reset();
    if (m_settings)
    {
        Services::SetStatusOutlet(nullptr);
        Services::SetActivity(nullptr);
        Services::SetMessageBoxes(nullptr);
        Services::SetCertificatePrompt(nullptr);
        Services::SetSettings(nullptr);
        platform::QtMessageBoxes::SetOwner(nullptr);
    }
}

bool CWharfApp::InitInstance(bool postConnect)
{
    m_settings = m_settingsPath.isEmpty() ? std::make_unique<platform::QSettingsStore>()
                                          : std::make_unique<platform::QSettingsStore>(m_settingsPath);
    Services::SetSettings(m_settings.get());
    Services::SetMessageBoxes(&m_boxes);
    Services::SetCertificatePrompt(&m_certificatePrompt);
    Services::SetStatusOutlet(&m_status);
    Services::SetActivity(&m_activity);
    // Staging folders of Copies whose program has ended are not needed by anyone.
    CFileExchange::SweepStaging();

    QGuiApplication::setWindowIcon(
        CSvgIcon::Render(QStringLiteral(":/icons/tessel-ftp-client.svg"), {16, 24, 32, 48, 64, 128, 256}));
    m_doc = std::make_unique<CWharfDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    m_doc->ResetContents();
    platform::QtMessageBoxes::SetOwner(m_frame.get());
    m_status.SetTarget(m_frame.get());
    m_activity.SetTarget(&m_frame->View());
    for (int pane = 1; pane <= 3; ++pane)
        Services::SetStatusText(pane, L"");
    QObject::connect(m_frame->AboutAction(), &QAction::triggered, m_frame.get(), [this] { OnAbout(); });

    // The window comes up where it was left, with the bars it had.
    m_frame->SaveRestoreLayout(false);
    m_frame->show();
    if (postConnect)
        QMetaObject::invokeMethod(&m_frame->View(), "OnConnect", Qt::QueuedConnection);
    return true;
}

CWharfView* CWharfApp::View() const
{
    return m_frame ? &m_frame->View() : nullptr;
}

void CWharfApp::OnAbout()
{
    CAboutDlg about(m_frame.get());
    about.exec();
}
