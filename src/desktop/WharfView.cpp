#include "WharfView.h"

#include "ListCtrlEx.h"
#include "WharfDoc.h"
#include "files/RemoteBrowser.h"
#include "files/TextDlg.h"
#include "platform/Services.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "sites/SiteManager.h"

namespace
{
constexpr int KeepAliveMilliseconds = 30000;

void ClearCountPanes()
{
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
}
} // namespace

CWharfView::CWharfView(CWharfDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_model(this), m_folderLabel(new QLabel("Folder:", this)),
      m_folders(new QComboBox(this)), m_go(new QPushButton("Go", this)), m_up(new QPushButton("Up", this)),
      m_list(new CListCtrlEx(this)), m_siteManager(RunSiteManager)
{
    QFont bold = m_folderLabel->font();
    bold.setWeight(QFont::Bold);
    m_folderLabel->setFont(bold);
    m_folders->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_folders->setMaxVisibleItems(20);
    m_list->SetModel(&m_model);
    m_list->m_remote = 1;

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_folderLabel);
    bar->addWidget(m_folders, 1);
    bar->addWidget(m_go);
    bar->addWidget(m_up);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(bar);
    layout->addWidget(m_list, 1);

    connect(m_go, &QPushButton::clicked, this, &CWharfView::OnGo);
    connect(m_up, &QPushButton::clicked, this, &CWharfView::OnUp);
    connect(m_folders, &QComboBox::currentIndexChanged, this, &CWharfView::OnFolderChosen);
    connect(m_list, &CListCtrlEx::OpenRequested, this, &CWharfView::OnOpen);
    connect(m_list, &CListCtrlEx::UpRequested, this, &CWharfView::OnUp);
    connect(m_list, &CListCtrlEx::RefreshRequested, this, &CWharfView::OnRefresh);
    connect(m_list, &CListCtrlEx::GoRequested, this, &CWharfView::OnGo);
    connect(m_list, &CListCtrlEx::ViewModeRequested, this, &CWharfView::SetViewMode);

    m_connectAction = new QAction("Connect...", this);
    m_disconnectAction = new QAction("Disconnect", this);
    m_iconsAction = new QAction("&Icons", this);
    m_listAction = new QAction("&List", this);
    m_detailsAction = new QAction("&Details", this);
    m_tempDirectoryAction = new QAction("Set Temp Directory", this);
    m_newDirectoryAction = new QAction("New Directory...\tIns", this);
    m_renameAction = new QAction("Rename\tF2", this);
    m_deleteAction = new QAction("&Delete\tDel", this);
    m_moveToAction = new QAction("Move To...\tF6", this);
    m_propertiesAction = new QAction("Properties\tF4", this);
    m_copyAction = new QAction("&Copy\tCtrl+C", this);
    m_pasteAction = new QAction("&Paste\tCtrl+V", this);
    m_findAction = new QAction("Find...\t Ctrl+F", this);
    m_chmodAction = new QAction("CHMOD...", this);
    for (QAction* pending : {m_newDirectoryAction, m_renameAction, m_deleteAction, m_moveToAction,
                             m_propertiesAction, m_copyAction, m_pasteAction, m_findAction, m_chmodAction})
        pending->setEnabled(false);
    auto* modes = new QActionGroup(this);
    for (QAction* action : {m_iconsAction, m_listAction, m_detailsAction})
    {
        action->setCheckable(true);
        modes->addAction(action);
    }
    connect(m_connectAction, &QAction::triggered, this, &CWharfView::OnConnect);
    connect(m_disconnectAction, &QAction::triggered, this, &CWharfView::OnDisconnect);
    connect(m_iconsAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::Icons); });
    connect(m_listAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::List); });
    connect(m_detailsAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::Details); });
    connect(m_tempDirectoryAction, &QAction::triggered, this, &CWharfView::OnSetTempDirectory);
    SetViewMode(CListCtrlEx::Details);
    UpdateCommands();

    m_keepAlive.setTimerType(Qt::PreciseTimer);
    m_keepAlive.setInterval(KeepAliveMilliseconds);
    connect(&m_keepAlive, &QTimer::timeout, this, &CWharfView::OnKeepAlive);
    m_keepAlive.start();
}

CWharfView::~CWharfView() = default;

CSiteConnection& CWharfView::Connection()
{
    return m_doc.Connection();
}

bool CWharfView::RunSiteManager(CSiteConnection& connection, QWidget* parent, std::wstring& title)
{
    CSiteManager manager(connection, parent);
    if (manager.exec() != QDialog::Accepted)
        return false;
    title = manager.ResultText();
    return true;
}

void CWharfView::SetKeepAlivePeriod(int milliseconds)
{
    m_keepAlive.setInterval(milliseconds);
    m_keepAlive.start();
}

void CWharfView::RestartKeepAlive()
{
    m_keepAlive.start();
}

void CWharfView::OnKeepAlive()
{
    CSiteConnection& connection = Connection();
    if (connection.IsConnected() && connection.CurrentSite().KeepAlive() != 0)
        connection.KeepAliveTick();
}

void CWharfView::UpdateCommands()
{
    const bool connected = Connection().IsConnected();
    m_connectAction->setEnabled(!connected);
    m_disconnectAction->setEnabled(connected);
    m_iconsAction->setChecked(m_list->Mode() == CListCtrlEx::Icons);
    m_listAction->setChecked(m_list->Mode() == CListCtrlEx::List);
    m_detailsAction->setChecked(m_list->Mode() == CListCtrlEx::Details);
}

void CWharfView::OnConnect()
{
    if (Connection().IsConnected())
        OnDisconnect();
    ClearCountPanes();
    Connection().Browser().Refresh(m_folders, &m_model);
    std::wstring title;
    const bool connected = m_siteManager && m_siteManager(Connection(), window(), title);
    if (connected && Connection().IsConnected())
    {
        m_doc.SetTitle(title);
        Connection().Browser().Refresh(m_folders, &m_model);
        m_list->m_connected = 1;
    }
    UpdateCommands();
}

void CWharfView::OnDisconnect()
{
    {
        const QSignalBlocker quiet(m_folders);
        m_folders->clear();
    }
    m_model.Clear();
    // The document's reset logs out and sets "Disconnected".
    Connection().Disconnect();
    ClearCountPanes();
    m_doc.ResetContents();
    m_list->m_connected = 0;
    UpdateCommands();
}

void CWharfView::OnGo()
{
    Connection().Browser().EnterPath(m_folders, &m_model, window());
    UpdateCommands();
}

void CWharfView::OnUp()
{
    Connection().Browser().Up(m_folders, &m_model);
    UpdateCommands();
}

void CWharfView::OnRefresh()
{
    Connection().Browser().Refresh(m_folders, &m_model);
    UpdateCommands();
}

void CWharfView::OnFilterChanged()
{
    // The rows of a closed connection are stale; the list stays empty.
    if (!Connection().IsConnected())
        return;
    Connection().Browser().Fill(nullptr, &m_model);
}

void CWharfView::OnOpen()
{
    if (!Connection().IsConnected())
        return;
    const int listRow = m_list->FirstSelectedListRow();
    Connection().Browser().OpenRow(m_model.RowIndex(listRow), m_folders, &m_model, window());
    UpdateCommands();
}

void CWharfView::OnFolderChosen()
{
    if (!Connection().IsConnected())
        return;
    Connection().Browser().FolderChosen(m_folders, &m_model);
    UpdateCommands();
}

void CWharfView::OnSetTempDirectory()
{
    CTextDlg prompt(L"Set Temp Directory", TemporaryDirectory(), window());
    if (prompt.exec() != QDialog::Accepted)
        return;
    if (!prompt.m_text.empty())
        QDir().mkpath(QString::fromStdWString(prompt.m_text));
    if (!SetTemporaryDirectory(prompt.m_text))
        platform::Services::ShowError(L"The folder name is too long.");
}

void CWharfView::SetViewMode(int mode)
{
    m_list->SetViewMode(mode);
    UpdateCommands();
}
