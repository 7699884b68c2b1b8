#include "MainFrame.h"

#include "DialogBarEx.h"
#include "ToolBarEx.h"
#include "WharfDoc.h"
#include "WharfView.h"
#include "WindowPlacement.h"
#include "platform/Services.h"
#include "sites/SiteConnection.h"
#include "widgets/EngineCall.h"
#include "widgets/ListCtrlEx.h"
#include "widgets/SvgIcon.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolButton>

using platform::Services;

namespace
{
constexpr int IdleTextMilliseconds = 15000;

QList<QRect> ScreenRects()
{
    QList<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens())
        rects.push_back(screen->geometry());
    return rects;
}
} // namespace

const std::wstring CMainFrame::LayoutKey = L"SOFTWARE\\FTPClient\\Layout";

CMainFrame::CMainFrame(CWharfDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_view(new CWharfView(doc, this)), m_toolBar(new CToolBarEx(this)),
      m_filterBar(new CDialogBarEx(this)), m_opener(&m_desktopOpener)
{
    setCentralWidget(m_view);

    // Panes 1 to 3 are as wide as their longest usual text.
    static const char* const widthTexts[4] = {
        "", "Directories:          ", "Files:          ", "                   bytes"};
    for (int pane = 0; pane < 4; ++pane)
    {
        m_panes[pane] = new QLabel(this);
        if (pane == 0)
            statusBar()->addWidget(m_panes[pane], 1);
        else
        {
            m_panes[pane]->setMinimumWidth(
                QFontMetrics(m_panes[pane]->font()).horizontalAdvance(widthTexts[pane]));
            m_panes[pane]->setFrameShape(QFrame::Panel);
            m_panes[pane]->setFrameShadow(QFrame::Sunken);
            statusBar()->addPermanentWidget(m_panes[pane]);
        }
    }

    m_security = new QLabel(this);
    m_security->setObjectName("security");
    m_security->hide();
    statusBar()->addPermanentWidget(m_security);

    CreateMenus();
    CreateBars();
    CreateWaitIndicator();
    m_view->SetFilterBar(m_filterBar);

    connect(&doc, &CWharfDoc::TitleChanged, this,
            [this](const QString& title) { setWindowTitle(TitleFor(title)); });
    setWindowTitle(TitleFor(QString::fromStdWString(doc.Title())));

    // A status text stays at most this long before the idle text replaces it.
    m_idleText.setInterval(IdleTextMilliseconds);
    connect(&m_idleText, &QTimer::timeout, this, [] { Services::SetStatusText(0, L"Ready"); });
    m_idleText.start();
    setGeometry(DefaultX, DefaultY, DefaultWidth, DefaultHeight);
}

void CMainFrame::CreateWaitIndicator()
{
    // Shown while the window waits for the server: what it waits for, a busy
    // bar and Stop (Esc does the same).
    m_waitText = new QLabel(this);
    m_waitBar = new QProgressBar(this);
    m_waitBar->setRange(0, 0);
    m_waitBar->setMaximumWidth(80);
    m_waitBar->setTextVisible(false);
    m_stopButton = new QToolButton(this);
    m_stopButton->setText("Stop");
    m_stopButton->setToolTip("Stop waiting for the server (Esc)");
    // Before the count panes, after pane 0 (the only widget that is not permanent).
    int place = 1;
    for (QWidget* part : {static_cast<QWidget*>(m_waitText), static_cast<QWidget*>(m_waitBar),
                          static_cast<QWidget*>(m_stopButton)})
    {
        statusBar()->insertPermanentWidget(place++, part);
        part->hide();
    }
    CEngineCall& call = m_doc.Call();
    connect(m_stopButton, &QToolButton::clicked, &call, &CEngineCall::Stop);
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setContext(Qt::WindowShortcut);
    m_stopShortcut->setEnabled(false);
    connect(m_stopShortcut, &QShortcut::activated, &call, &CEngineCall::Stop);
    connect(&call, &CEngineCall::WaitShown, this,
            [this](bool shown, const QString& what)
            {
                m_waitText->setText(what + "...");
                for (QWidget* part : {static_cast<QWidget*>(m_waitText), static_cast<QWidget*>(m_waitBar),
                                      static_cast<QWidget*>(m_stopButton)})
                    part->setVisible(shown);
            });
    // Esc stops as soon as the work starts, before the indicator shows.
    connect(&call, &CEngineCall::Started, this, [this] { m_stopShortcut->setEnabled(true); });
    connect(&call, &CEngineCall::Finished, this,
            [this]
            {
                m_stopShortcut->setEnabled(false);
                // A close asked for during the wait happens now.
                if (m_closeWhenIdle)
                    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            });
}

bool CMainFrame::Waiting() const
{
    return m_doc.Call().Busy();
}

void CMainFrame::CreateMenus()
{
    CWharfView& view = *m_view;

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(view.ConnectAction());
    file->addAction(view.DisconnectAction());
    file->addSeparator();
    file->addActions(
        {view.NewDirectoryAction(), view.RenameAction(), view.DeleteAction(), view.MoveToAction()});
    file->addSeparator();
    file->addAction(view.PropertiesAction());
    file->addSeparator();
    m_exitAction = file->addAction("E&xit");
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->addActions({view.CopyAction(), view.PasteAction()});
    edit->addSeparator();
    edit->addAction(view.FindAction());

    QMenu* look = menuBar()->addMenu("&View");
    look->addActions({view.IconsAction(), view.ListAction(), view.DetailsAction()});
    look->addSeparator();
    QMenu* bars = look->addMenu("&Tollbars");
    m_toolBarAction = bars->addAction("&Toolbar");
    m_filterAction = bars->addAction("&Filter");
    m_statusBarAction = bars->addAction("&Status Bar");
    for (QAction* toggle : {m_toolBarAction, m_filterAction, m_statusBarAction})
    {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }

    QMenu* tools = menuBar()->addMenu("&Tools");
    tools->addActions({view.ChmodAction(), view.TempDirectoryAction()});

    QMenu* help = menuBar()->addMenu("&Help");
    m_overviewAction = help->addAction("Overview of Tessel FTP Client (PDF)");
    m_manualAction = help->addAction("Tessel FTP Client Manual");
    help->addSeparator();
    m_aboutAction = help->addAction("&About Tessel FTP Client...");
    connect(m_overviewAction, &QAction::triggered, this, [this] { m_help.Open("ftp.pdf", *m_opener); });
    connect(m_manualAction, &QAction::triggered, this, [this] { m_help.Open("ftp.html", *m_opener); });

    for (QMenu* menu : {file, edit, look, tools, help})
        connect(menu, &QMenu::aboutToShow, m_view, &CWharfView::UpdateCommands);
}

void CMainFrame::CreateBars()
{
    CWharfView& view = *m_view;
    CToolBarEx::Label(view.ConnectAction(), "Connect", "connect");
    CToolBarEx::Label(view.DisconnectAction(), "Disconnect", "disconnect");
    CToolBarEx::Label(view.CopyAction(), "Copy", "copy");
    CToolBarEx::Label(view.PasteAction(), "Paste", "paste");
    CToolBarEx::Label(view.NewDirectoryAction(), "New", "newdir");
    CToolBarEx::Label(view.RenameAction(), "Rename", "rename");
    CToolBarEx::Label(view.DeleteAction(), "Delete", "delete");
    CToolBarEx::Label(view.PropertiesAction(), "Properties", "properties");
    CToolBarEx::Label(view.ChmodAction(), "CHMOD", "chmod");
    CToolBarEx::Label(view.FindAction(), "Find", "find");
    CToolBarEx::Label(m_filterAction, "Filter", "filter");
    CToolBarEx::Label(m_aboutAction, "About", "about");
    m_toolBar->SetButtons({view.ConnectAction(), view.DisconnectAction(), nullptr, view.CopyAction(),
                           view.PasteAction(), nullptr, view.NewDirectoryAction(), view.RenameAction(),
                           view.DeleteAction(), nullptr, view.PropertiesAction(), nullptr, view.ChmodAction(),
                           view.FindAction(), m_filterAction, nullptr, m_aboutAction});
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_filterBar);

    // The toggles drive the bars; a bar hidden some other way (the window's
    // own bar menu) takes its check mark along.
    connect(m_toolBarAction, &QAction::toggled, m_toolBar, &QWidget::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, m_toolBarAction, &QAction::setChecked);
    connect(m_filterAction, &QAction::toggled, m_filterBar, &QWidget::setVisible);
    connect(m_filterBar, &QToolBar::visibilityChanged, m_filterAction, &QAction::setChecked);
    connect(m_statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);
    connect(m_filterBar, &CDialogBarEx::HideRequested, this, [this] { m_filterAction->setChecked(false); });
    connect(m_filterBar, &CDialogBarEx::Changed, m_view, &CWharfView::OnFilterChanged);
}

QString CMainFrame::TitleFor(const QString& documentTitle)
{
    return documentTitle.isEmpty() ? QString("Tessel FTP Client") : documentTitle + " - Tessel FTP Client";
}

QString CMainFrame::PaneText(int pane) const
{
    return pane >= 0 && pane < 4 ? m_panes[pane]->text() : QString();
}

void CMainFrame::ShowSecurity(const QString& text)
{
    m_security->setToolTip(text);
    m_security->setAccessibleName(text);
    if (text.isEmpty())
    {
        m_security->setProperty("state", QString());
        m_security->hide();
        return;
    }
    const bool encrypted = text.startsWith(QStringLiteral("Encrypted"));
    m_security->setProperty("state", encrypted ? QStringLiteral("encrypted") : QStringLiteral("plain"));
    const int size = QFontMetrics(m_security->font()).height();
    m_security->setPixmap(CSvgIcon::Render(encrypted ? QStringLiteral(":/status/lock.svg")
                                                     : QStringLiteral(":/status/unlocked.svg"),
                                           {size})
                              .pixmap(size, size));
    m_security->show();
}

void CMainFrame::SetPaneText(int pane, const QString& text)
{
    if (pane == CSiteConnection::SecurityPane)
    {
        ShowSecurity(text);
        return;
    }
    if (pane == 0 && m_prompting)
        m_beforePrompt = text;
    else if (pane >= 0 && pane < 4)
        m_panes[pane]->setText(text);
}

void CMainFrame::ShowPrompt(const QString& prompt)
{
    if (!prompt.isEmpty())
    {
        if (!m_prompting)
            m_beforePrompt = m_panes[0]->text();
        m_prompting = true;
        m_panes[0]->setText(prompt);
    }
    else if (m_prompting)
    {
        m_prompting = false;
        m_panes[0]->setText(m_beforePrompt);
    }
}

bool CMainFrame::event(QEvent* event)
{
    // Pane 0 is a label of our own, not the bar's message area.
    if (event->type() == QEvent::StatusTip)
    {
        ShowPrompt(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::SetIdlePeriod(int milliseconds)
{
    m_idleText.setInterval(milliseconds);
    m_idleText.start();
}

void CMainFrame::SetShellOpener(platform::IShellOpener* opener)
{
    m_opener = opener ? opener : &m_desktopOpener;
}

bool CMainFrame::SaveRestoreLayout(bool save)
{
    if (save)
        return SaveLayout();
    // A settings file that cannot be written still gives the window its place.
    RestoreLayout();
    return true;
}

bool CMainFrame::SaveLayout()
{
    const std::uint32_t show = isMinimized()   ? CWindowPlacement::ShowMinimized
                               : isMaximized() ? CWindowPlacement::ShowMaximized
                                               : CWindowPlacement::ShowNormal;
    QRect normal = show != CWindowPlacement::ShowNormal || isFullScreen() ? normalGeometry() : geometry();
    if (!normal.isValid())
        normal = geometry();
    // One change: another program's sites saved meanwhile stay, and a file
    // that cannot be written is told once, not once per value.
    const platform::ChangeResult result = Services::Settings().Change(
        [&](platform::ISettingsStore& values)
        {
            if (!values.OpenKey(LayoutKey, true))
                return false;
            values.WriteBinary(LayoutKey, L"Main", CWindowPlacement::FromRect(normal, show).Encode());
            values.WriteUInt32(LayoutKey, L"ToolBar", m_toolBar->isHidden() ? 0 : 1);
            values.WriteUInt32(LayoutKey, L"Filter", m_filterBar->isHidden() ? 0 : 1);
            values.WriteUInt32(LayoutKey, L"StatusBar", statusBar()->isHidden() ? 0 : 1);
            m_view->List().SaveLook(values, LayoutKey);
            return true;
        });
    if (result.status == platform::ChangeResult::Failed)
        Services::ShowError(result.error);
    return result.status == platform::ChangeResult::Stored;
}

void CMainFrame::RestoreLayout()
{
    platform::ISettingsStore& store = Services::Settings();
    // Whatever state the window was closed in, it comes back in its normal
    // placement; a record that is malformed or puts the window out of reach
    // gives the default.
    std::optional<QRect> placed;
    std::vector<std::uint8_t> data;
    if (store.ReadBinary(LayoutKey, L"Main", data, CWindowPlacement::RecordSize) == platform::ReadResult::Ok)
        if (const auto placement = CWindowPlacement::Decode(data))
            placed = placement->NormalRect(ScreenRects());
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    setGeometry(placed.value_or(QRect(DefaultX, DefaultY, DefaultWidth, DefaultHeight)));

    const std::pair<const wchar_t*, QAction*> bars[] = {
        {L"ToolBar", m_toolBarAction}, {L"Filter", m_filterAction}, {L"StatusBar", m_statusBarAction}};
    for (const auto& [name, toggle] : bars)
    {
        std::uint32_t shown = 1;
        if (store.ReadUInt32(LayoutKey, name, shown) == platform::ReadResult::Ok)
            toggle->setChecked(shown != 0);
    }
    m_view->List().RestoreLook(store, LayoutKey);
    m_view->UpdateCommands();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The window waits for the server: the wait is stopped, and the window
    // closes once the work has ended.
    if (Waiting())
    {
        m_closeWhenIdle = true;
        m_doc.Call().Stop();
        event->ignore();
        return;
    }
    m_closeWhenIdle = false;
    // The layout is written while every part of the window is still there.
    SaveRestoreLayout(true);
    m_doc.ResetContents();
    QMainWindow::closeEvent(event);
}
