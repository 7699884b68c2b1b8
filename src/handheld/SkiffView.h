#pragma once
#include "files/LocalCommands.h"
#include "files/RemoteCommands.h"
#include "files/dialogs/CommandDialogs.h"
#include "platform/gui/DesktopShellOpener.h"
#include "widgets/BrowserListModel.h"
#include "widgets/KeepAlive.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CListCtrlEx;
class CLocalBrowser;
class CRemoteBrowser;
class CSiteConnection;
class CTransferList;
class QAction;
class QComboBox;
class QStackedWidget;

namespace nsHandheld
{

class CSkiffDoc;

// The two-page view of skiff: the page chooser switches one window between
// the server's files ("FTP Files") and this device's ("Local Files"), each
// page with its folder chooser and list. Holds every command that acts on a
// page, the copy list that carries files from one page to the other, and the
// keep-alive timer.
//
// Commands act on the page shown, whatever has the keyboard focus.
class CSkiffView : public QWidget
{
    Q_OBJECT
public:
    enum Page
    {
        RemotePage = 0,
        LocalPage = 1,
        NoPage = -1
    };
    // The page chooser's entries, in order.
    static const QStringList PageChoices;

    explicit CSkiffView(CSkiffDoc& doc, QWidget* parent = nullptr);
    ~CSkiffView() override;

    // Opens the Site Manager on the connection; true when it connected, with
    // the title text of the site. Tests put their own in; an empty one
    // brings back the Site Manager.
    using SiteManagerRunner = std::function<bool(CSiteConnection&, QWidget* parent, std::wstring& title)>;
    void SetSiteManagerRunner(SiteManagerRunner runner);

    // 30 seconds unless a test wants it shorter.
    void SetKeepAlivePeriod(int milliseconds);
    bool KeepAliveActive() const { return m_keepAlive.Active(); }
    int KeepAlivePeriod() const { return m_keepAlive.Period(); }

    CSiteConnection& Connection();
    CRemoteBrowser& Browser();
    CLocalBrowser& Local();
    CCommandDialogs& Dialogs() { return m_dialogs; }

    QComboBox& Pages() { return *m_pages; }
    QComboBox& RemoteFolders() { return *m_remoteFolders; }
    QComboBox& LocalFolders() { return *m_localFolders; }
    CListCtrlEx& RemoteList() { return *m_remoteList; }
    CListCtrlEx& LocalList() { return *m_localList; }
    CBrowserListModel& RemoteModel() { return m_remoteModel; }
    CBrowserListModel& LocalModel() { return m_localModel; }
    // The page shown, its list and its model.
    Page CurrentPage() const { return m_page; }
    CListCtrlEx& CurrentList();
    CBrowserListModel& CurrentModel();
    // The page the copy list was taken from; NoPage before the first Copy,
    // and again once a copy from the server is forgotten with its connection.
    Page CopySource() const { return m_copySource; }
    const CTransferList& CopyList() const { return *m_copyList; }
    // Puts rows of the server's into the copy list, as Copy on the remote page does.
    void CopyRemoteRows(const std::vector<BrowserRow>& rows);

    QAction* ConnectAction() const { return m_connectAction; }
    QAction* DisconnectAction() const { return m_disconnectAction; }
    QAction* NewDirectoryAction() const { return m_newDirectoryAction; }
    QAction* RenameAction() const { return m_renameAction; }
    QAction* DeleteAction() const { return m_deleteAction; }
    QAction* MoveToAction() const { return m_moveToAction; }
    QAction* PropertiesAction() const { return m_propertiesAction; }
    QAction* ChmodAction() const { return m_chmodAction; }
    QAction* CopyAction() const { return m_copyAction; }
    QAction* PasteAction() const { return m_pasteAction; }
    QAction* FindAction() const { return m_findAction; }
    QAction* IconsAction() const { return m_iconsAction; }
    QAction* ListAction() const { return m_listAction; }
    QAction* DetailsAction() const { return m_detailsAction; }
    QAction* TempDirectoryAction() const { return m_tempDirectoryAction; }

    // Connected and no engine work running.
    bool EngineReady();
    // Sets every command's enabled state from the page, the connection, the
    // engine's work, the selection and the copy source.
    void UpdateCommands();
    // The rows (indexes into the page's browser rows) selected on a page, in list order.
    std::vector<int> SelectedRows(Page page) const;

public slots:
    void SetPage(int page);
    void OnConnect();
    void OnDisconnect();
    void OnNewDirectory();
    void OnRename();
    void OnDelete();
    void OnMoveTo();
    void OnProperties();
    void OnChmod();
    void OnCopy();
    void OnPaste();
    void OnFind();
    // "Go..." and "Up" of the page chooser, for the page shown.
    void OnGo();
    void OnUp();
    void OnSetTempDirectory();
    void SetViewMode(int mode);
    // Socket activity: the idle period starts again.
    void RestartKeepAlive();

private:
    enum class Needs
    {
        Page,
        OneRow,
        SomeRows
    };
    // The shown page's rule: the remote page needs the connection, both need
    // the rows the command works on.
    bool MayRun(Needs needs);
    bool MayPaste();
    void OnPageChosen(int index);
    void OnRemoteOpen();
    void OnLocalOpen();
    void OnRemoteFolderChosen();
    void OnLocalFolderChosen();
    void OnRemoteChanged();
    void OnLocalChanged();
    void FillRemoteFolders();
    void FillLocalFolders();
    void OnStopped();
    // The connection changed: files copied from the server are not this one's.
    void ForgetRemoteCopies();
    void SetUpList(CListCtrlEx& list, CBrowserListModel& model, bool remote);

    CSkiffDoc& m_doc;
    QComboBox* m_pages;
    QComboBox* m_remoteFolders;
    QComboBox* m_localFolders;
    QStackedWidget* m_lists;
    CBrowserListModel m_remoteModel;
    CBrowserListModel m_localModel;
    CListCtrlEx* m_remoteList;
    CListCtrlEx* m_localList;
    std::unique_ptr<CTransferList> m_copyList;
    Page m_copySource = NoPage;
    Page m_page = RemotePage;
    CKeepAlive m_keepAlive;
    SiteManagerRunner m_siteManager;
    platform::DesktopShellOpener m_desktopOpener;
    CCommandDialogs m_dialogs;
    CRemoteCommands m_remoteCommands;
    CLocalCommands m_localCommands;
    QAction* m_connectAction;
    QAction* m_disconnectAction;
    QAction* m_newDirectoryAction;
    QAction* m_renameAction;
    QAction* m_deleteAction;
    QAction* m_moveToAction;
    QAction* m_propertiesAction;
    QAction* m_chmodAction;
    QAction* m_copyAction;
    QAction* m_pasteAction;
    QAction* m_findAction;
    QAction* m_iconsAction;
    QAction* m_listAction;
    QAction* m_detailsAction;
    QAction* m_tempDirectoryAction;
};

} // namespace nsHandheld
