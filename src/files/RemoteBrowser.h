#pragma once
#include "BrowserRow.h"

#include <QPointer>
#include <functional>
#include <string>
#include <vector>

class CSiteConnection;
class CBrowserListModel;
class QComboBox;
class QLineEdit;
class QWidget;

namespace nsFTP
{
class CFTPFileStatus;
}
namespace platform
{
class IShellOpener;
}

// The logic behind the remote file list: the rows of the current remote
// folder, sorted and filtered, the fill of the list and the folder chooser,
// the count panes, and the navigation commands. Owned by the site connection.
class CRemoteBrowser
{
public:
    explicit CRemoteBrowser(CSiteConnection& connection);
    ~CRemoteBrowser();
    CRemoteBrowser(const CRemoteBrowser&) = delete;
    CRemoteBrowser& operator=(const CRemoteBrowser&) = delete;

    const std::vector<BrowserRow>& Rows() const { return m_rows; }

    // Lists the current folder into the rows; true when at least one row was added.
    bool ReloadRows();
    // Rebuilds the rows from listing records ("." and ".." are left out) and sorts them.
    void SetRows(const std::vector<BrowserRow>& rows);
    static bool MakeRow(const nsFTP::CFTPFileStatus& record, BrowserRow& row);
    // Folders first, then names without regard to case; equal rows keep their order.
    static void SortRows(std::vector<BrowserRow>& rows);

    // The filter controls of the desktop filter bar; any may be null (no filtering by it).
    void SetFilterLinks(QLineEdit* text, QComboBox* show, QComboBox* type);
    // Whether a row passes the filter; while "Show All Types" is selected the
    // row's type is gathered into the type list.
    bool Passes(const BrowserRow& row);

    // Does nothing unless connected; else reloads and fills.
    void Refresh(QComboBox* folders, CBrowserListModel* list);
    // Fills the controls from the rows without asking the server. Either may be null.
    void Fill(QComboBox* folders, CBrowserListModel* list);
    // Only the folder chooser, from the current folder.
    void FillFolders(QComboBox* folders);

    // The folder chooser's entries for a current folder: the chain of folders
    // from the root down, with the home folder first when it is none of them.
    // selected is the index of the current folder (-1 when it is empty).
    static std::vector<std::wstring> FolderChain(const std::wstring& current, const std::wstring& home,
                                                 int& selected);
    // The folder above the current one in the chain; empty at the top.
    static std::wstring ParentFolder(const std::wstring& current);
    // Longer paths are shown alone; deeper ones lose the levels below the root.
    static constexpr size_t MaxChainPath = 8192;
    static constexpr size_t MaxChainLevels = 256;

    // The double-click and Enter action on the row with this index (-1: none).
    void OpenRow(int rowIndex, QComboBox* folders, CBrowserListModel* list, QWidget* owner);
    // The folder chooser's selection change: go to its selected text.
    void FolderChosen(QComboBox* folders, CBrowserListModel* list);
    // The "Go" action: prompts for a path and goes there.
    void EnterPath(QComboBox* folders, CBrowserListModel* list, QWidget* owner);
    // What the prompt does with its text after OK.
    void GoToTypedPath(std::wstring text, QComboBox* folders, CBrowserListModel* list);
    // Backspace and the Up button: to the parent folder; nothing at the top.
    void Up(QComboBox* folders, CBrowserListModel* list);
    // CWD, and on success refresh; false when the server refused.
    bool GoTo(const std::wstring& path, QComboBox* folders, CBrowserListModel* list);

    // A selected folder row's full path, else the current folder; empty when not connected.
    std::wstring SelectedDirectoryOrCurrent(int rowIndex);

    // Opens downloaded files; the desktop's opener unless one is set (tests record).
    void SetShellOpener(platform::IShellOpener* opener) { m_opener = opener; }
    // Downloads one row into a local folder before it is opened; true when the
    // file arrived whole. Replaceable so the job dialog can run it.
    using DownloadRunner =
        std::function<bool(CSiteConnection& connection, const BrowserRow& row, const std::wstring& remotePath,
                           const std::wstring& localFolder, QWidget* owner)>;
    void SetDownloadRunner(DownloadRunner runner) { m_download = std::move(runner); }

    // The types gathered into the type list stop here, so a hostile listing
    // cannot grow the list without end.
    static constexpr int MaxGatheredTypes = 1000;

private:
    bool DownloadAndOpen(const BrowserRow& row, QWidget* owner);

    CSiteConnection& m_connection;
    std::vector<BrowserRow> m_rows;
    QPointer<QLineEdit> m_filterText;
    QPointer<QComboBox> m_filterShow;
    QPointer<QComboBox> m_filterType;
    // Lower-cased entries of the type list while a fill gathers them.
    struct TypeGathering;
    TypeGathering* m_gathering = nullptr;
    platform::IShellOpener* m_opener = nullptr;
    DownloadRunner m_download;
};
