#include "WharfView.h"

#include "DialogBarEx.h"
#include "WharfDoc.h"
#include "files/RemoteBrowser.h"
#include "files/dialogs/FindDlg.h"
#include "files/dialogs/UploadDlg.h"
#include "platform/Services.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/SiteManager.h"
#include "widgets/ListCtrlEx.h"
#include "widgets/TextDlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{

void ClearCountPanes()
{
    for (int pane = 1; pane <= 3; ++pane)
        platform::Services::SetStatusText(pane, L"");
}
} // namespace

CWharfView::CWharfView(CWharfDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_model(this), m_folderLabel(new QLabel("Folder:", this)),
      m_folders(new QComboBox(this)), m_go(new QPushButton("Go", this)), m_up(new QPushButton("Up", this)),
      m_list(new CListCtrlEx(this)), m_keepAlive(doc.Connection(), doc.Call()), m_dialogs(this),
      m_commands(doc.Connection(), doc.Call(), doc.Browser(), m_dialogs),
      m_exchange(doc, *m_list, m_model, this)
{
    SetSiteManagerRunner({});
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
    connect(m_list, &CListCtrlEx::NewDirectoryRequested, this, &CWharfView::OnNewDirectory);
    connect(m_list, &CListCtrlEx::RenameRequested, this, &CWharfView::OnRename);
    connect(m_list, &CListCtrlEx::DeleteRequested, this, &CWharfView::OnDelete);
    connect(m_list, &CListCtrlEx::MoveToRequested, this, &CWharfView::OnMoveTo);
    connect(m_list, &CListCtrlEx::PropertiesRequested, this, &CWharfView::OnProperties);
    // The commands follow the selection at once, not only when a menu opens.
    connect(m_list->Selection(), &QItemSelectionModel::selectionChanged, this, &CWharfView::UpdateCommands);

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
    // Window-wide keys; a text field that has the focus takes its own copy
    // and paste keys first.
    m_copyAction->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    m_pasteAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    m_findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    const std::pair<CListCtrlEx::ContextCommand, QAction*> offered[] = {
        {CListCtrlEx::CopyCommand, m_copyAction},
        {CListCtrlEx::PasteCommand, m_pasteAction},
        {CListCtrlEx::NewDirectoryCommand, m_newDirectoryAction},
        {CListCtrlEx::RenameCommand, m_renameAction},
        {CListCtrlEx::DeleteCommand, m_deleteAction},
        {CListCtrlEx::MoveToCommand, m_moveToAction},
        {CListCtrlEx::ChmodCommand, m_chmodAction},
        {CListCtrlEx::PropertiesCommand, m_propertiesAction}};
    for (const auto& [command, action] : offered)
        m_list->SetContextAction(command, action);
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
    connect(m_newDirectoryAction, &QAction::triggered, this, &CWharfView::OnNewDirectory);
    connect(m_renameAction, &QAction::triggered, this, &CWharfView::OnRename);
    connect(m_deleteAction, &QAction::triggered, this, &CWharfView::OnDelete);
    connect(m_moveToAction, &QAction::triggered, this, &CWharfView::OnMoveTo);
    connect(m_chmodAction, &QAction::triggered, this, &CWharfView::OnChmod);
    connect(m_propertiesAction, &QAction::triggered, this, &CWharfView::OnProperties);
    connect(m_findAction, &QAction::triggered, this, &CWharfView::OnFind);
    connect(m_copyAction, &QAction::triggered, this, &CWharfView::OnCopy);
    connect(m_pasteAction, &QAction::triggered, this, &CWharfView::OnPaste);
    m_list->SetPasteOffered([this] { return m_exchange.ClipboardHasFiles(); });
    connect(m_list, &CListCtrlEx::DragRequested, this,
            [this]
            {
                if (MayRun(Needs::SomeRows))
                    m_exchange.DragOut(SelectedRows());
            });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CWharfView::UpdateCommands);
    SetViewMode(CListCtrlEx::Details);
    Browser().SetChangedHandler([this] { OnBrowserChanged(); });
    Browser().SetShellOpener(&m_desktopOpener);
    // Opening a file downloads it behind the job's progress dialog.
    Browser().SetDownloadRunner(
        [this](CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
               const std::wstring& localFolder)
        {
            return CUploadDlg::DownloadOne(connection, remotePath, row.name, row.size, row.modified,
                                           localFolder, window());
        });
    connect(&m_doc.Call(), &CEngineCall::Stopped, this, &CWharfView::OnStopped);
    connect(&m_doc.Call(), &CEngineCall::WaitShown, this, &CWharfView::UpdateCommands);
    connect(&m_doc.Call(), &CEngineCall::Finished, this, &CWharfView::UpdateCommands);
    UpdateCommands();
}

CWharfView::~CWharfView()
{
    Browser().SetChangedHandler({});
}

CSiteConnection& CWharfView::Connection()
{
    return m_doc.Connection();
}

CRemoteBrowser& CWharfView::Browser()
{
    return m_doc.Browser();
}

void CWharfView::SetSiteManagerRunner(SiteManagerRunner runner)
{
    if (!runner)
        runner = [this](CSiteConnection& connection, QWidget* parent, std::wstring& title)
        { return CSiteManager::Run(connection, parent, &m_doc.Call(), title); };
    m_siteManager = std::move(runner);
}

void CWharfView::SetKeepAlivePeriod(int milliseconds)
{
    m_keepAlive.SetPeriod(milliseconds);
}

void CWharfView::RestartKeepAlive()
{
    m_keepAlive.Restart();
}

bool CWharfView::EngineReady()
{
    return !m_doc.Call().Busy() && Connection().IsConnected();
}

void CWharfView::UpdateCommands()
{
    const bool busy = m_doc.Call().Busy();
    const bool connected = !busy && Connection().IsConnected();
    m_connectAction->setEnabled(!busy && !connected);
    m_disconnectAction->setEnabled(connected);
    m_newDirectoryAction->setEnabled(MayRun(Needs::Connection));
    for (QAction* one : {m_renameAction, m_propertiesAction})
        one->setEnabled(MayRun(Needs::OneRow));
    for (QAction* some : {m_deleteAction, m_moveToAction, m_chmodAction, m_copyAction})
        some->setEnabled(MayRun(Needs::SomeRows));
    m_pasteAction->setEnabled(!busy && m_exchange.MayPaste());
    m_findAction->setEnabled(MayRun(Needs::Connection));
    for (QWidget* control :
         {static_cast<QWidget*>(m_folders), static_cast<QWidget*>(m_go), static_cast<QWidget*>(m_up)})
        control->setEnabled(!busy);
    m_iconsAction->setChecked(m_list->Mode() == CListCtrlEx::Icons);
    m_listAction->setChecked(m_list->Mode() == CListCtrlEx::List);
    m_detailsAction->setChecked(m_list->Mode() == CListCtrlEx::Details);
}

bool CWharfView::MayRun(Needs needs)
{
    if (!EngineReady())
        return false;
    const int selected = m_list->SelectedCount();
    return needs == Needs::Connection || (needs == Needs::OneRow ? selected == 1 : selected > 0);
}

std::vector<int> CWharfView::SelectedRows() const
{
    std::vector<int> rows;
    for (const int listRow : m_list->SelectedListRows())
        if (const int row = m_model.RowIndex(listRow); row >= 0)
            rows.push_back(row);
    return rows;
}

// Keys, menus, the toolbar and the context menu all come here, so the keys
// keep the same rules as the menus: after Disconnect they do nothing.
void CWharfView::RunFileCommand(Needs needs, void (CRemoteCommands::*command)(const std::vector<int>&))
{
    if (!MayRun(needs))
        return;
    (m_commands.*command)(SelectedRows());
    UpdateCommands();
}

void CWharfView::OnNewDirectory()
{
    RunFileCommand(Needs::Connection, &CRemoteCommands::NewDirectory);
}

void CWharfView::OnRename()
{
    RunFileCommand(Needs::OneRow, &CRemoteCommands::Rename);
}

void CWharfView::OnDelete()
{
    RunFileCommand(Needs::SomeRows, &CRemoteCommands::Delete);
}

void CWharfView::OnMoveTo()
{
    RunFileCommand(Needs::SomeRows, &CRemoteCommands::MoveTo);
}

void CWharfView::OnChmod()
{
    RunFileCommand(Needs::SomeRows, &CRemoteCommands::Chmod);
}

void CWharfView::OnProperties()
{
    RunFileCommand(Needs::OneRow, &CRemoteCommands::Properties);
}

void CWharfView::OnFind()
{
    if (!MayRun(Needs::Connection))
        return;
    CFindDlg dialog(Connection(), Browser(), m_dialogs, window());
    // Goto: the found entry alone selected in the list, scrolled into view.
    dialog.SetRowSelector([this](int rowIndex) { m_list->SelectOnly(m_model.ListRowOf(rowIndex)); });
    dialog.SetCopyHandler([this](const std::vector<BrowserRow>& found) { m_exchange.CopyRows(found); });
    connect(&dialog, &CFindDlg::ConnectionClosed, this, &CWharfView::OnStopped);
    dialog.exec();
    if (dialog.Deleted() && EngineReady())
        Browser().Refresh();
    UpdateCommands();
}

void CWharfView::OnCopy()
{
    if (!MayRun(Needs::SomeRows))
        return;
    m_exchange.Copy(SelectedRows());
    UpdateCommands();
}

// Into the selected folder row, else the current folder.
void CWharfView::OnPaste()
{
    if (!m_exchange.MayPaste())
        return;
    const int listRow = m_list->FirstSelectedListRow();
    m_exchange.Paste(Browser().SelectedDirectoryOrCurrent(listRow < 0 ? -1 : m_model.RowIndex(listRow)));
    UpdateCommands();
}

void CWharfView::OnConnect()
{
    if (m_doc.Call().Busy())
        return;
    if (Connection().IsConnected())
        OnDisconnect();
    ClearCountPanes();
    std::wstring title;
    const bool connected = m_siteManager && m_siteManager(Connection(), window(), title);
    if (connected && Connection().IsConnected())
    {
        m_doc.SetTitle(title);
        m_list->m_connected = 1;
        Browser().Refresh();
    }
    UpdateCommands();
}

void CWharfView::OnDisconnect()
{
    if (m_doc.Call().Busy())
        return;
    // The document's reset logs out (on the worker), empties the rows and
    // says "Disconnected".
    m_doc.ResetContents();
    ClearCountPanes();
    m_list->m_connected = 0;
    UpdateCommands();
}

void CWharfView::OnStopped()
{
    m_doc.ResetContents();
    ClearCountPanes();
    m_list->m_connected = 0;
    UpdateCommands();
}

void CWharfView::OnGo()
{
    if (!EngineReady())
        return;
    // Preset as people read it; the parts left alone keep their bytes.
    CTextDlg prompt(L"Enter Path", Browser().ShowPath(Browser().Folder()), window());
    if (prompt.exec() != QDialog::Accepted || !EngineReady())
        return;
    Browser().GoToTypedPath(prompt.m_text);
    UpdateCommands();
}

void CWharfView::OnUp()
{
    if (!EngineReady())
        return;
    Browser().Up();
    UpdateCommands();
}

void CWharfView::OnRefresh()
{
    if (!EngineReady())
        return;
    Browser().Refresh();
    UpdateCommands();
}

void CWharfView::OnFilterChanged()
{
    // The rows of a closed connection are stale; the list stays empty.
    if (!m_doc.Call().Busy() && !Connection().IsConnected())
        return;
    Browser().SetFilter(m_filterBar ? m_filterBar->Filter() : BrowserFilter{});
}

void CWharfView::OnOpen()
{
    if (!EngineReady())
        return;
    const int listRow = m_list->FirstSelectedListRow();
    Browser().OpenRow(m_model.RowIndex(listRow));
    UpdateCommands();
}

void CWharfView::OnFolderChosen()
{
    if (!EngineReady() || m_folders->currentIndex() < 0)
        return;
    // A refused folder leaves the chooser showing where the list still is.
    // The entry's own bytes, not its text: a name that is not UTF-8 reads
    // one way and is reached only by what the server sent.
    if (!Browser().GoTo(m_folders->currentData().toString().toStdWString()))
        FillFolders();
    UpdateCommands();
}

void CWharfView::OnBrowserChanged()
{
    FillFolders();
    FillList();
    // A new list has no selection.
    UpdateCommands();
}

void CWharfView::FillFolders()
{
    const QSignalBlocker quiet(m_folders);
    m_folders->clear();
    int selected = -1;
    for (const auto& folder : Browser().FolderChoices(selected))
        m_folders->addItem(QString::fromStdWString(Browser().ShowPath(folder)),
                           QString::fromStdWString(folder));
    m_folders->setCurrentIndex(selected);
}

void CWharfView::FillList()
{
    const BrowserShown& shown = Browser().Shown();
    if (m_filterBar)
        m_filterBar->SetTypes(shown.types);
    m_model.SetRows(&Browser().Rows(), shown.visible);
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
