#include "SkiffView.h"

#include "SkiffDoc.h"
#include "files/LocalBrowser.h"
#include "files/LocalPath.h"
#include "files/RemoteBrowser.h"
#include "files/TransferList.h"
#include "files/dialogs/FindDlg.h"
#include "files/dialogs/UploadDlg.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/SiteManager.h"
#include "widgets/ListCtrlEx.h"
#include "widgets/TextDlg.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QStackedWidget>
#include <QVBoxLayout>

using platform::Services;
using platform::TextCodec;

namespace nsHandheld
{

namespace
{
// The page chooser's entries past the pages.
enum
{
    SeparatorChoice = 2,
    GoChoice = 3,
    UpChoice = 4
};

QComboBox* FolderChooser(QWidget* parent)
{
    auto* chooser = new QComboBox(parent);
    // A long path must not widen the window past a small screen.
    chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chooser->setMinimumContentsLength(4);
    chooser->setMaxVisibleItems(12);
    return chooser;
}
} // namespace

const QStringList CSkiffView::PageChoices = {"FTP Files", "Local Files", "-----", "Go...", "Up"};

CSkiffView::CSkiffView(CSkiffDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_pages(new QComboBox(this)), m_remoteFolders(FolderChooser(this)),
      m_localFolders(FolderChooser(this)), m_lists(new QStackedWidget(this)), m_remoteModel(this),
      m_localModel(this, CBrowserListModel::SizeColumn + 1), m_remoteList(new CListCtrlEx(this)),
      m_localList(new CListCtrlEx(this)), m_copyList(std::make_unique<CTransferList>(&doc.Connection())),
      m_keepAlive(doc.Connection(), doc.Call()), m_dialogs(this),
      m_remoteCommands(doc.Connection(), doc.Call(), doc.Browser(), m_dialogs),
      m_localCommands(doc.Local(), m_dialogs)
{
    SetSiteManagerRunner({});
    m_pages->addItems(PageChoices);
    QFont bold = m_pages->font();
    bold.setWeight(QFont::Bold);
    m_pages->setFont(bold);
    m_pages->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_connectAction = new QAction("Connect...", this);
    m_disconnectAction = new QAction("Disconnect", this);
    m_newDirectoryAction = new QAction("New Directory...", this);
    m_renameAction = new QAction("Rename", this);
    m_deleteAction = new QAction("Delete", this);
    m_moveToAction = new QAction("Move To...", this);
    m_propertiesAction = new QAction("Properties", this);
    m_chmodAction = new QAction("CHMOD...", this);
    m_copyAction = new QAction("Copy", this);
    m_pasteAction = new QAction("Paste", this);
    m_findAction = new QAction("Find...", this);
    m_iconsAction = new QAction("Icons", this);
    m_listAction = new QAction("List", this);
    m_detailsAction = new QAction("Details", this);
    m_tempDirectoryAction = new QAction("Set Temp Directory", this);
    // The only keys: Copy and Paste, window-wide.
    m_copyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_pasteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    auto* modes = new QActionGroup(this);
    for (QAction* action : {m_iconsAction, m_listAction, m_detailsAction})
    {
        action->setCheckable(true);
        modes->addAction(action);
    }

    SetUpList(*m_remoteList, m_remoteModel, true);
    SetUpList(*m_localList, m_localModel, false);
    m_lists->addWidget(m_remoteList);
    m_lists->addWidget(m_localList);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(3);
    bar->addWidget(m_remoteFolders, 1);
    bar->addWidget(m_localFolders, 1);
    bar->addWidget(m_pages);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(m_lists, 1);

    connect(m_pages, &QComboBox::activated, this, &CSkiffView::OnPageChosen);
    connect(m_remoteFolders, &QComboBox::currentIndexChanged, this, &CSkiffView::OnRemoteFolderChosen);
    connect(m_localFolders, &QComboBox::currentIndexChanged, this, &CSkiffView::OnLocalFolderChosen);
    connect(m_remoteList, &CListCtrlEx::OpenRequested, this, &CSkiffView::OnRemoteOpen);
    connect(m_localList, &CListCtrlEx::OpenRequested, this, &CSkiffView::OnLocalOpen);
    connect(m_connectAction, &QAction::triggered, this, &CSkiffView::OnConnect);
    connect(m_disconnectAction, &QAction::triggered, this, &CSkiffView::OnDisconnect);
    connect(m_newDirectoryAction, &QAction::triggered, this, &CSkiffView::OnNewDirectory);
    connect(m_renameAction, &QAction::triggered, this, &CSkiffView::OnRename);
    connect(m_deleteAction, &QAction::triggered, this, &CSkiffView::OnDelete);
    connect(m_moveToAction, &QAction::triggered, this, &CSkiffView::OnMoveTo);
    connect(m_propertiesAction, &QAction::triggered, this, &CSkiffView::OnProperties);
    connect(m_chmodAction, &QAction::triggered, this, &CSkiffView::OnChmod);
    connect(m_copyAction, &QAction::triggered, this, &CSkiffView::OnCopy);
    connect(m_pasteAction, &QAction::triggered, this, &CSkiffView::OnPaste);
    connect(m_findAction, &QAction::triggered, this, &CSkiffView::OnFind);
    connect(m_iconsAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::Icons); });
    connect(m_listAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::List); });
    connect(m_detailsAction, &QAction::triggered, this, [this] { SetViewMode(CListCtrlEx::Details); });
    connect(m_tempDirectoryAction, &QAction::triggered, this, &CSkiffView::OnSetTempDirectory);

    Browser().SetChangedHandler([this] { OnRemoteChanged(); });
    Browser().SetShellOpener(&m_desktopOpener);
    Browser().SetDownloadRunner(
        [this](CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
               const std::wstring& localFolder)
        {
            return CUploadDlg::DownloadOne(connection, remotePath, row.name, row.size, row.modified,
                                           localFolder, window());
        });
    Local().SetChangedHandler([this] { OnLocalChanged(); });
    Local().SetShellOpener(&m_desktopOpener);
    connect(&m_doc.Call(), &CEngineCall::Stopped, this, &CSkiffView::OnStopped);
    connect(&m_doc.Call(), &CEngineCall::Started, this, &CSkiffView::UpdateCommands);
    connect(&m_doc.Call(), &CEngineCall::Finished, this, &CSkiffView::UpdateCommands);

    // The local page lists its folder from the start; the remote page waits
    // for a connection.
    FillRemoteFolders();
    Local().Refresh();
    SetPage(RemotePage);
}

CSkiffView::~CSkiffView()
{
    Browser().SetChangedHandler({});
    Browser().SetShellOpener(nullptr);
    Local().SetChangedHandler({});
    Local().SetShellOpener(nullptr);
}

void CSkiffView::SetUpList(CListCtrlEx& list, CBrowserListModel& model, bool remote)
{
    list.SetModel(&model);
    list.m_remote = remote ? 1 : 0;
    list.m_connected = 0;
    // The widths of a small screen: Name 150, Time 110, the rest 80 and 60.
    list.SetColumnWidth(CBrowserListModel::NameColumn, 150);
    list.SetLongPressMenu(true);
    list.SetViewMode(CListCtrlEx::Details);
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
        list.SetContextAction(command, action);
    // Paste is offered on the page the copy did not come from.
    const Page page = remote ? RemotePage : LocalPage;
    list.SetPasteOffered([this, page] { return m_copySource != NoPage && m_copySource != page; });
    connect(&list, &CListCtrlEx::ViewModeRequested, this, &CSkiffView::SetViewMode);
    connect(list.Selection(), &QItemSelectionModel::selectionChanged, this, &CSkiffView::UpdateCommands);
}

CSiteConnection& CSkiffView::Connection()
{
    return m_doc.Connection();
}

CRemoteBrowser& CSkiffView::Browser()
{
    return m_doc.Browser();
}

CLocalBrowser& CSkiffView::Local()
{
    return m_doc.Local();
}

CListCtrlEx& CSkiffView::CurrentList()
{
    return m_page == LocalPage ? *m_localList : *m_remoteList;
}

CBrowserListModel& CSkiffView::CurrentModel()
{
    return m_page == LocalPage ? m_localModel : m_remoteModel;
}

void CSkiffView::SetSiteManagerRunner(SiteManagerRunner runner)
{
    if (!runner)
        runner = [this](CSiteConnection& connection, QWidget* parent, std::wstring& title)
        { return CSiteManager::Run(connection, parent, &m_doc.Call(), title); };
    m_siteManager = std::move(runner);
}

void CSkiffView::SetKeepAlivePeriod(int milliseconds)
{
    m_keepAlive.SetPeriod(milliseconds);
}

void CSkiffView::RestartKeepAlive()
{
    m_keepAlive.Restart();
}

void CSkiffView::SetPage(int page)
{
    if (page != RemotePage && page != LocalPage)
        return;
    m_page = static_cast<Page>(page);
    const bool remote = m_page == RemotePage;
    m_remoteFolders->setVisible(remote);
    m_localFolders->setVisible(!remote);
    m_lists->setCurrentWidget(remote ? static_cast<QWidget*>(m_remoteList) : m_localList);
    {
        const QSignalBlocker quiet(m_pages);
        m_pages->setCurrentIndex(m_page);
    }
    // The list shown takes the keyboard, so keys act on what is seen.
    CurrentList().CurrentView()->setFocus();
    UpdateCommands();
}

void CSkiffView::OnPageChosen(int index)
{
    switch (index)
    {
    case RemotePage:
    case LocalPage:
        SetPage(index);
        break;
    case GoChoice:
        OnGo();
        break;
    case UpChoice:
        OnUp();
        break;
    default:
        break;
    }
    const QSignalBlocker quiet(m_pages);
    m_pages->setCurrentIndex(m_page);
}

bool CSkiffView::EngineReady()
{
    return !m_doc.Call().Busy() && Connection().IsConnected();
}

bool CSkiffView::MayRun(Needs needs)
{
    if (m_doc.Call().Busy() || (m_page == RemotePage && !Connection().IsConnected()))
        return false;
    const int selected = CurrentList().SelectedCount();
    return needs == Needs::Page || (needs == Needs::OneRow ? selected == 1 : selected > 0);
}

bool CSkiffView::MayPaste()
{
    return EngineReady() && m_copySource != m_page;
}

void CSkiffView::UpdateCommands()
{
    const bool busy = m_doc.Call().Busy();
    const bool connected = !busy && Connection().IsConnected();
    m_connectAction->setEnabled(!busy && !Connection().IsConnected());
    m_disconnectAction->setEnabled(connected);
    m_newDirectoryAction->setEnabled(MayRun(Needs::Page));
    for (QAction* one : {m_renameAction, m_propertiesAction})
        one->setEnabled(MayRun(Needs::OneRow));
    for (QAction* some : {m_deleteAction, m_moveToAction, m_copyAction})
        some->setEnabled(MayRun(Needs::SomeRows));
    m_chmodAction->setEnabled(m_page == RemotePage && MayRun(Needs::SomeRows));
    m_pasteAction->setEnabled(MayPaste());
    // The search needs a server that is there.
    m_findAction->setEnabled(connected);
    for (QWidget* control : {static_cast<QWidget*>(m_pages), static_cast<QWidget*>(m_remoteFolders),
                             static_cast<QWidget*>(m_localFolders)})
        control->setEnabled(!busy);
    const int mode = CurrentList().Mode();
    m_iconsAction->setChecked(mode == CListCtrlEx::Icons);
    m_listAction->setChecked(mode == CListCtrlEx::List);
    m_detailsAction->setChecked(mode == CListCtrlEx::Details);
}

std::vector<int> CSkiffView::SelectedRows(Page page) const
{
    const CListCtrlEx& list = page == LocalPage ? *m_localList : *m_remoteList;
    const CBrowserListModel& model = page == LocalPage ? m_localModel : m_remoteModel;
    std::vector<int> rows;
    for (const int listRow : list.SelectedListRows())
        if (const int row = model.RowIndex(listRow); row >= 0)
            rows.push_back(row);
    return rows;
}

void CSkiffView::OnNewDirectory()
{
    if (!MayRun(Needs::Page))
        return;
    if (m_page == RemotePage)
        m_remoteCommands.NewDirectory(SelectedRows(RemotePage));
    else
        m_localCommands.NewDirectory(SelectedRows(LocalPage));
    UpdateCommands();
}

void CSkiffView::OnRename()
{
    if (!MayRun(Needs::OneRow))
        return;
    if (m_page == RemotePage)
        m_remoteCommands.Rename(SelectedRows(RemotePage));
    else
        m_localCommands.Rename(SelectedRows(LocalPage));
    UpdateCommands();
}

void CSkiffView::OnDelete()
{
    if (!MayRun(Needs::SomeRows))
        return;
    if (m_page == RemotePage)
        m_remoteCommands.Delete(SelectedRows(RemotePage));
    else
        m_localCommands.Delete(SelectedRows(LocalPage));
    UpdateCommands();
}

void CSkiffView::OnMoveTo()
{
    if (!MayRun(Needs::SomeRows))
        return;
    if (m_page == RemotePage)
        m_remoteCommands.MoveTo(SelectedRows(RemotePage));
    else
        m_localCommands.MoveTo(SelectedRows(LocalPage));
    UpdateCommands();
}

void CSkiffView::OnProperties()
{
    if (!MayRun(Needs::OneRow))
        return;
    if (m_page == RemotePage)
        m_remoteCommands.Properties(SelectedRows(RemotePage));
    else
        m_localCommands.Properties(SelectedRows(LocalPage));
    UpdateCommands();
}

void CSkiffView::OnChmod()
{
    if (m_page != RemotePage || !MayRun(Needs::SomeRows))
        return;
    m_remoteCommands.Chmod(SelectedRows(RemotePage));
    UpdateCommands();
}

void CSkiffView::CopyRemoteRows(const std::vector<BrowserRow>& rows)
{
    m_copyList->Clear();
    m_copySource = RemotePage;
    for (const auto& row : rows)
        m_copyList->AddRow(row);
    UpdateCommands();
}

void CSkiffView::OnCopy()
{
    if (!MayRun(Needs::SomeRows))
        return;
    const std::vector<int> picked = SelectedRows(m_page);
    if (m_page == RemotePage)
    {
        std::vector<BrowserRow> rows;
        for (const int index : picked)
            rows.push_back(Browser().Rows()[index]);
        CopyRemoteRows(rows);
        return;
    }
    m_copyList->Clear();
    m_copySource = LocalPage;
    for (const int index : picked)
    {
        std::wstring why;
        if (!m_copyList->AddLocal(Local().PathOf(index), why))
        {
            // A copy list with holes would paste less than was picked.
            m_copyList->Clear();
            m_copySource = NoPage;
            Services::ShowError(L"\"" + Local().Rows()[index].nameText + L"\" cannot be copied:\n" + why);
            break;
        }
    }
    UpdateCommands();
}

void CSkiffView::OnPaste()
{
    if (!MayPaste())
        return;
    // The copy list stays as it is, so the same files can be pasted again.
    auto list = std::make_unique<CTransferList>(&Connection());
    for (const auto& item : m_copyList->Items())
    {
        list->Add(item.size, item.isDirectory, item.relativePath, item.sourcePath, item.modified);
        list->LastAdded().isLink = item.isLink;
        list->LastAdded().remoteName = item.remoteName;
    }
    if (m_page == LocalPage)
    {
        m_dialogs.RunJob(std::move(list), Local().FolderText(), JobKind::Download);
        Local().Refresh();
    }
    else
    {
        const int listRow = m_remoteList->FirstSelectedListRow();
        const std::wstring target =
            Browser().SelectedDirectoryOrCurrent(listRow < 0 ? -1 : m_remoteModel.RowIndex(listRow));
        m_dialogs.RunJob(std::move(list), target, JobKind::Upload);
        Browser().Refresh();
    }
    UpdateCommands();
}

void CSkiffView::OnFind()
{
    if (!EngineReady())
        return;
    CFindDlg dialog(Connection(), Browser(), m_dialogs, window());
    // Goto: the server's page shown, the found entry alone selected.
    dialog.SetRowSelector(
        [this](int rowIndex)
        {
            SetPage(RemotePage);
            m_remoteList->SelectOnly(m_remoteModel.ListRowOf(rowIndex));
        });
    // Copy Selected: the results are the copy list, pasted on the local page.
    dialog.SetCopyHandler([this](const std::vector<BrowserRow>& found) { CopyRemoteRows(found); });
    connect(&dialog, &CFindDlg::ConnectionClosed, this, &CSkiffView::OnStopped);
    dialog.exec();
    if (dialog.Deleted() && EngineReady())
        Browser().Refresh();
    UpdateCommands();
}

void CSkiffView::ForgetRemoteCopies()
{
    if (m_copySource != RemotePage)
        return;
    m_copyList->Clear();
    m_copySource = NoPage;
}

void CSkiffView::OnConnect()
{
    if (m_doc.Call().Busy())
        return;
    if (Connection().IsConnected())
        OnDisconnect();
    // Whatever happens now, the connection the copies came from is gone.
    ForgetRemoteCopies();
    std::wstring title;
    const bool connected = m_siteManager && m_siteManager(Connection(), window(), title);
    if (connected && Connection().IsConnected())
    {
        m_doc.SetTitle(title);
        m_remoteList->m_connected = 1;
        Browser().Refresh();
    }
    UpdateCommands();
}

void CSkiffView::OnDisconnect()
{
    if (m_doc.Call().Busy())
        return;
    // The document's reset logs out (on the worker), empties the remote rows
    // and says "Disconnected".
    m_doc.ResetContents();
    m_remoteList->m_connected = 0;
    ForgetRemoteCopies();
    UpdateCommands();
}

void CSkiffView::OnStopped()
{
    m_doc.ResetContents();
    m_remoteList->m_connected = 0;
    ForgetRemoteCopies();
    UpdateCommands();
}

void CSkiffView::OnGo()
{
    if (m_page == RemotePage)
    {
        if (!EngineReady())
            return;
        CTextDlg prompt(L"Enter Path", Browser().Folder(), window());
        if (prompt.exec() == QDialog::Accepted && EngineReady())
            Browser().GoToTypedPath(prompt.m_text);
    }
    else
    {
        if (m_doc.Call().Busy())
            return;
        CTextDlg prompt(L"Enter Path", Local().FolderText(), window());
        if (prompt.exec() == QDialog::Accepted)
            Local().GoToTypedPath(prompt.m_text);
    }
    UpdateCommands();
}

void CSkiffView::OnUp()
{
    // By the path on both pages: the remote chooser puts the home folder first.
    if (m_page == RemotePage)
    {
        if (EngineReady())
            Browser().Up();
    }
    else if (!m_doc.Call().Busy())
        Local().Up();
    UpdateCommands();
}

void CSkiffView::OnRemoteOpen()
{
    if (!EngineReady())
        return;
    const int listRow = m_remoteList->FirstSelectedListRow();
    Browser().OpenRow(m_remoteModel.RowIndex(listRow));
    UpdateCommands();
}

void CSkiffView::OnLocalOpen()
{
    if (m_doc.Call().Busy())
        return;
    const int listRow = m_localList->FirstSelectedListRow();
    Local().OpenRow(m_localModel.RowIndex(listRow));
    UpdateCommands();
}

void CSkiffView::OnRemoteFolderChosen()
{
    if (!EngineReady() || m_remoteFolders->currentIndex() < 0)
        return;
    // A refused folder leaves the chooser showing where the list still is.
    if (!Browser().GoTo(m_remoteFolders->currentText().toStdWString()))
        FillRemoteFolders();
    m_remoteList->CurrentView()->setFocus();
    UpdateCommands();
}

void CSkiffView::OnLocalFolderChosen()
{
    if (m_doc.Call().Busy() || m_localFolders->currentIndex() < 0)
        return;
    if (!Local().ChooseFolder(m_localFolders->currentIndex()))
        FillLocalFolders();
    m_localList->CurrentView()->setFocus();
    UpdateCommands();
}

void CSkiffView::OnRemoteChanged()
{
    FillRemoteFolders();
    m_remoteModel.SetRows(&Browser().Rows(), Browser().Shown().visible);
    UpdateCommands();
}

void CSkiffView::OnLocalChanged()
{
    FillLocalFolders();
    std::vector<int> all(Local().Rows().size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    m_localModel.SetRows(&Local().Rows(), std::move(all));
    UpdateCommands();
}

void CSkiffView::FillRemoteFolders()
{
    const QSignalBlocker quiet(m_remoteFolders);
    m_remoteFolders->clear();
    int selected = -1;
    for (const auto& folder : Browser().FolderChoices(selected))
        m_remoteFolders->addItem(QString::fromStdWString(folder));
    m_remoteFolders->setCurrentIndex(selected);
}

void CSkiffView::FillLocalFolders()
{
    const QSignalBlocker quiet(m_localFolders);
    m_localFolders->clear();
    int selected = -1;
    for (const auto& folder : Local().FolderChoices(selected))
        m_localFolders->addItem(QString::fromStdWString(folder));
    m_localFolders->setCurrentIndex(selected);
}

void CSkiffView::OnSetTempDirectory()
{
    CTextDlg prompt(L"Set Temp Directory", TemporaryDirectory(), window());
    if (prompt.exec() != QDialog::Accepted)
        return;
    if (!prompt.m_text.empty())
        QDir().mkpath(QString::fromStdWString(prompt.m_text));
    if (!SetTemporaryDirectory(prompt.m_text))
        Services::ShowError(L"The folder name is too long.");
}

void CSkiffView::SetViewMode(int mode)
{
    CurrentList().SetViewMode(mode);
    UpdateCommands();
}

} // namespace nsHandheld
