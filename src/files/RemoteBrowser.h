#pragma once
#include "BrowserRow.h"

#include <functional>
#include <string>
#include <vector>

class CSiteConnection;
class IEngineRunner;

namespace nsFTP
{
class CFTPFileStatus;
class CNameCodec;
} // namespace nsFTP
namespace platform
{
class IShellOpener;
}

// The filter bar's choices, as values.
struct BrowserFilter
{
    enum Show
    {
        FilesAndFolders = 0,
        FilesOnly = 1,
        FoldersOnly = 2
    };
    // Shown rows hold this text anywhere in their name, ignoring case.
    std::wstring text;
    int show = FilesAndFolders;
    // An entry of the type list (".txt"); empty for "Show All Types".
    std::wstring type;
};

// What the list shows for one filter.
struct BrowserShown
{
    // Indexes into the browser's rows, in list order.
    std::vector<int> visible;
    long long directories = 0;
    long long files = 0;
    long long bytes = 0;
    // The type list's entries after "Show All Types", gathered from the rows;
    // empty while a type is chosen, so the list stays as it is.
    std::vector<std::wstring> types;
};

// One remote folder as read from the server.
struct RemoteFolder
{
    bool listed = false;
    std::wstring path;
    std::vector<BrowserRow> rows;
};

// The logic behind a remote file list: the rows of the current remote folder,
// sorted and filtered, the folder chooser's entries, the count panes and the
// navigation commands. It holds no widget: views fill theirs from what it
// returns. Owned by the document, beside the site connection.
//
// Engine work goes through the runner (a worker thread in the windows); the
// rows and the folder change only on the thread that calls the navigation
// commands, after the work has ended, so a view may paint them meanwhile.
class CRemoteBrowser
{
public:
    CRemoteBrowser(CSiteConnection& connection, IEngineRunner& runner);
    ~CRemoteBrowser();
    CRemoteBrowser(const CRemoteBrowser&) = delete;
    CRemoteBrowser& operator=(const CRemoteBrowser&) = delete;

    // The rows and the folder they came from (empty when none).
    const std::vector<BrowserRow>& Rows() const { return m_rows; }
    const std::wstring& Folder() const { return m_folder; }
    // The rows the filter lets through, with their counts; kept up to date
    // with the rows and the filter, and posted to the count panes each time.
    const BrowserShown& Shown() const { return m_shown; }
    const BrowserFilter& CurrentFilter() const { return m_filter; }
    // A new filter: the rows already held are filtered again, without asking
    // the server.
    void SetFilter(const BrowserFilter& filter);
    // Takes rows (their texts made anew with the connection's codec, then
    // sorted); the folder stays.
    void SetRows(const std::vector<BrowserRow>& rows);
    // Takes a folder read from the server.
    void Show(RemoteFolder folder);
    // No rows, no folder: after a disconnect.
    void Clear();

    // Engine work: the current folder's path and sorted rows. Touches nothing
    // of the browser, so it may run on a worker while the rows are painted.
    RemoteFolder ReadFolder();
    // Rows from listing records ("." and ".." are left out), their names
    // read with the site's codec.
    static bool MakeRow(const nsFTP::CFTPFileStatus& record, const nsFTP::CNameCodec& names, BrowserRow& row);
    // The row's nameText and displayText from its wire-form names.
    static void ReadNames(BrowserRow& row, const nsFTP::CNameCodec& names);
    // Folders first, then names as people read them, ignoring case (Unicode
    // case folding); equal rows keep their order.
    static void SortRows(std::vector<BrowserRow>& rows);

    // The rows that pass a filter, with the counts of what it shows.
    BrowserShown Filter(const BrowserFilter& filter) const;
    // "Directories: %d", "Files: %d" and "%d bytes" in status panes 1 to 3.
    static void PostCounts(const BrowserShown& shown);
    // The types gathered into the type list stop here, so a hostile listing
    // cannot grow the list without end.
    static constexpr int MaxGatheredTypes = 1000;

    // The folder chooser's entries for the current folder, in wire form (go
    // to them as they are; show them with ShowPath); selected is the index of
    // the current folder (-1 when there is none).
    std::vector<std::wstring> FolderChoices(int& selected) const;
    // A remote path of this site as people read it.
    std::wstring ShowPath(const std::wstring& path) const;
    // The chain of folders from the root down to current, with the home
    // folder first when it is none of them.
    static std::vector<std::wstring> FolderChain(const std::wstring& current, const std::wstring& home,
                                                 int& selected);
    // The folder above the current one in the chain; empty at the top.
    static std::wstring ParentFolder(const std::wstring& current);
    // Longer paths are shown alone; deeper ones lose the levels below the root.
    static constexpr size_t MaxChainPath = 8192;
    static constexpr size_t MaxChainLevels = 256;

    // Navigation. Each does nothing unless connected; the handler set with
    // SetChangedHandler is called whenever the rows or the folder changed.
    // Reads the current folder again; false when it could not be read.
    bool Refresh();
    // CWD, then the new folder's rows; false (nothing changed) when refused.
    bool GoTo(const std::wstring& path);
    // The double-click and Enter action on the row with this index (-1: none):
    // a folder is entered, a file is downloaded into the temporary folder and
    // handed to the shell opener.
    void OpenRow(int rowIndex);
    // What the Go prompt does with its text after OK. The prompt is preset
    // with ShowPath(Folder()); the parts of it the user left alone keep the
    // folder's own bytes, the rest goes out through the codec.
    void GoToTypedPath(std::wstring text);
    // Backspace and the Up button: the parent by path; nothing at the top.
    void Up();
    // A selected folder row's full path, else the current folder; empty when
    // not connected.
    std::wstring SelectedDirectoryOrCurrent(int rowIndex) const;

    void SetChangedHandler(std::function<void()> changed) { m_changed = std::move(changed); }
    // Opens downloaded files; nothing is opened until one is set.
    void SetShellOpener(platform::IShellOpener* opener) { m_opener = opener; }
    // Downloads one row into a local folder before it is opened; true when the
    // file arrived whole. The windows run it behind the job's progress dialog.
    // The file is written under the row's name bytes (the job's rule), and
    // the shell opener is given that same path (TextCodec::FromPathBytes form).
    using DownloadRunner = std::function<bool(CSiteConnection& connection, const BrowserRow& row,
                                              const std::wstring& remotePath, const std::wstring& localFolder)>;
    void SetDownloadRunner(DownloadRunner runner) { m_download = std::move(runner); }

private:
    bool DownloadAndOpen(const BrowserRow& row);
    // Filters again, posts the counts and tells the view.
    void Changed();

    CSiteConnection& m_connection;
    IEngineRunner& m_runner;
    std::vector<BrowserRow> m_rows;
    std::wstring m_folder;
    BrowserFilter m_filter;
    BrowserShown m_shown;
    std::function<void()> m_changed;
    platform::IShellOpener* m_opener = nullptr;
    DownloadRunner m_download;
};
