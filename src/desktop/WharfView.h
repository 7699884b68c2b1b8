#pragma once
#include "FileExchange.h"
#include "files/RemoteCommands.h"
#include "files/dialogs/CommandDialogs.h"
#include "platform/gui/DesktopShellOpener.h"
#include "widgets/BrowserListModel.h"
#include "widgets/KeepAlive.h"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

class CDialogBarEx;
class CListCtrlEx;
class CRemoteBrowser;
class CSiteConnection;
class CWharfDoc;
class QAction;
class QComboBox;
class QLabel;
class QPushButton;

// The one view: the folder chooser with Go and Up above the list of the
// current remote folder. Holds the commands that act on the connection and
// the list, and the keep-alive timer.
class CWharfView : public QWidget
{
    Q_OBJECT
public:
    explicit CWharfView(CWharfDoc& doc, QWidget* parent = nullptr);
    ~CWharfView() override;

    // Opens the Site Manager on the connection; true when it connected, with
    // the window title text of the site. Tests put their own in; an empty one
    // brings back the Site Manager.
    using SiteManagerRunner = std::function<bool(CSiteConnection&, QWidget* parent, std::wstring& title)>;
    void SetSiteManagerRunner(SiteManagerRunner runner);
    // The filter bar whose choices narrow the list; none shows every row.
    void SetFilterBar(CDialogBarEx* bar) { m_filterBar = bar; }

    // 30 seconds unless a test wants it shorter.
    void SetKeepAlivePeriod(int milliseconds);
    int KeepAlivePeriod() const { return m_keepAlive.Period(); }
    bool KeepAliveActive() const { return m_keepAlive.Active(); }
    int KeepAliveRemaining() const { return m_keepAlive.Remaining(); }

    CSiteConnection& Connection();
    CRemoteBrowser& Browser();
    CListCtrlEx& List() { return *m_list; }
    CBrowserListModel& Model() { return m_model; }
    QComboBox& Folders() { return *m_folders; }
    QPushButton& GoButton() { return *m_go; }
    QPushButton& UpButton() { return *m_up; }
    QLabel& FolderLabel() { return *m_folderLabel; }

    // The commands, for the menu bar; their enabled state follows UpdateCommands.
    QAction* ConnectAction() const { return m_connectAction; }
    QAction* DisconnectAction() const { return m_disconnectAction; }
    QAction* IconsAction() const { return m_iconsAction; }
    QAction* ListAction() const { return m_listAction; }
    QAction* DetailsAction() const { return m_detailsAction; }
    QAction* TempDirectoryAction() const { return m_tempDirectoryAction; }
    // The file commands; enabled by the connection and the selection.
    QAction* NewDirectoryAction() const { return m_newDirectoryAction; }
    QAction* RenameAction() const { return m_renameAction; }
    QAction* DeleteAction() const { return m_deleteAction; }
    QAction* MoveToAction() const { return m_moveToAction; }
    QAction* PropertiesAction() const { return m_propertiesAction; }
    QAction* ChmodAction() const { return m_chmodAction; }
    // Copy and Paste exchange files with the desktop's file manager through
    // the clipboard (as drops onto the list and drags out of it do).
    QAction* CopyAction() const { return m_copyAction; }
    QAction* PasteAction() const { return m_pasteAction; }
    CFileExchange& Exchange() { return m_exchange; }
    // Find (Ctrl+F): enabled while connected.
    QAction* FindAction() const { return m_findAction; }
    // Connected and no engine work running: the commands that need the engine may run.
    bool EngineReady();
    // Sets every command's enabled state from the connection, the engine's
    // work and the selection; called whenever one of them changes.
    void UpdateCommands();
    // The rows of the selected list items (indexes into the browser's rows), in list order.
    std::vector<int> SelectedRows() const;

public slots:
    void OnConnect();
    void OnDisconnect();
    void OnGo();
    void OnUp();
    void OnRefresh();
    // The filter bar changed: the list is filled again from the rows already
    // read, without asking the server.
    void OnFilterChanged();
    void OnOpen();
    void OnFolderChosen();
    void OnSetTempDirectory();
    void OnNewDirectory();
    void OnRename();
    void OnDelete();
    void OnMoveTo();
    void OnChmod();
    void OnProperties();
    // The Find dialog over the current folder; afterwards the folder is read
    // again when the dialog deleted anything.
    void OnFind();
    void OnCopy();
    void OnPaste();
    void SetViewMode(int mode);
    // Socket activity: the idle period starts again.
    void RestartKeepAlive();

private:
    // The browser's rows or folder changed: the chooser and the list follow.
    void OnBrowserChanged();
    void FillFolders();
    void FillList();
    // Stopped engine work closed the connection.
    void OnStopped();
    enum class Needs
    {
        Connection,
        OneRow,
        SomeRows
    };
    bool MayRun(Needs needs);
    // Runs a file command on the selected rows when its enable rule allows.
    void RunFileCommand(Needs needs, void (CRemoteCommands::*command)(const std::vector<int>&));

    CWharfDoc& m_doc;
    CBrowserListModel m_model;
    QLabel* m_folderLabel;
    QComboBox* m_folders;
    QPushButton* m_go;
    QPushButton* m_up;
    CListCtrlEx* m_list;
    CKeepAlive m_keepAlive;
    SiteManagerRunner m_siteManager;
    CDialogBarEx* m_filterBar = nullptr;
    platform::DesktopShellOpener m_desktopOpener;
    CCommandDialogs m_dialogs;
    CRemoteCommands m_commands;
    CFileExchange m_exchange;
    QAction* m_connectAction;
    QAction* m_disconnectAction;
    QAction* m_iconsAction;
    QAction* m_listAction;
    QAction* m_detailsAction;
    QAction* m_tempDirectoryAction;
    QAction* m_newDirectoryAction;
    QAction* m_renameAction;
    QAction* m_deleteAction;
    QAction* m_moveToAction;
    QAction* m_propertiesAction;
    QAction* m_copyAction;
    QAction* m_pasteAction;
    QAction* m_findAction;
    QAction* m_chmodAction;
};
