#pragma once
#include "TransferList.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CSiteConnection;

// The six kinds of job; the numbers are what the starters pass.
enum class JobKind : int
{
    Upload = 777,
    Download = 778,
    RemoteDelete = 779,
    LocalDelete = 780,
    RemoteMove = 781,
    LocalMove = 782
};

// Ok: the job ended after working (completely, or stopped by a failure or by
// cancel). Cancel: it was refused before it did anything.
enum class JobResult
{
    Ok,
    Cancel
};

// What a job tells whoever shows it. Every call comes from the job's own thread.
class ITransferJobHost
{
public:
    virtual ~ITransferJobHost() = default;
    // The path of the item now being worked on.
    virtual void ItemText(const std::wstring& path) = 0;
    // Progress runs from 0 to total: bytes for uploads and downloads, items otherwise.
    virtual void SetRange(std::int64_t total) = 0;
    // Bytes done so far, or the zero-based number of the item just done.
    virtual void Progress(std::int64_t value) = 0;
    // May the picked item that already exists at the destination be replaced?
    // Blocks until answered.
    virtual bool AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                            const std::wstring& localText) = 0;
    // The first item of a job failed: may the job go on with the others? The
    // text says which item failed and why, then asks (OK goes on, Cancel
    // cancels the job). Blocks until answered.
    virtual bool AskGoOn(const std::wstring& text) = 0;
    // The last call of every job.
    virtual void Ended(JobResult result) = 0;
};

// One upload, download, delete or move of a whole transfer list. Needs no
// window: Run works on the calling thread and reports through the host. Cancel
// may be called from any thread and is seen after the current block or item.
//
// A failed item makes one text: the job's line naming it, a blank line and
// why (the engine's and the system's texts, kept while the item is worked on
// instead of shown). The first failure asks the host whether to go on; later
// ones are listed in one error box at the end. A failure that ends the job
// (a cancel, a lost connection), and a first failure with nothing left to do,
// is shown in an error box of its own.
class CTransferJob
{
public:
    // Bytes moved between the file and the data connection at a time.
    static constexpr int BlockSize = 256 * 1024;
    // Progress reports at most this often, plus one at the end of each file.
    static constexpr std::chrono::milliseconds ReportInterval{50};

    // connection may be null for the local kinds. destination is a remote
    // folder (upload, remote move), a local one (download, local move) or
    // empty (deletes). Remote paths carry one character per byte, as the
    // engine reads and sends them. Local paths carry their bytes as
    // TextCodec::FromPathBytes gives them, whatever those bytes are: a
    // download is written under the server's name bytes, an upload sends the
    // local name's bytes, and neither is ever re-encoded. Names are shown
    // through the site's names codec (remote) or CNameCodec::ShowLocal.
    CTransferJob(CSiteConnection* connection, std::unique_ptr<CTransferList> list, std::wstring destination,
                 JobKind kind, ITransferJobHost& host);
    ~CTransferJob();
    CTransferJob(const CTransferJob&) = delete;
    CTransferJob& operator=(const CTransferJob&) = delete;

    // Later failures listed by path in the box at the end, at most.
    static constexpr int SummaryPaths = 20;

    // false: what is at the destination is replaced without a question (and
    // without looking), as cp does.
    void SetAskReplace(bool ask) { m_askReplace = ask; }
    // false: the destination folder is used as it is; when it is missing the
    // items fail instead of it being made.
    void SetMakeDestination(bool make) { m_makeDestination = make; }
    // true: a download whose files (once the folders are listed) need more
    // room than the destination's file system has left is refused before
    // any byte is written.
    void SetCheckFreeSpace(bool check) { m_checkFreeSpace = check; }
    // "There is not enough free space in \"%s\": %s is needed, %s is free."
    static std::wstring NoSpaceText(const std::wstring& folder, std::int64_t needed, std::int64_t free);

    JobResult Run();
    void Cancel() { m_cancel.store(true); }
    bool Cancelled() const { return m_cancel.load(); }

    // True when any file or item failed (a transfer, a local delete or move,
    // an unsafe name); the job itself still ends with Ok.
    bool HadFailures() const { return m_failures > 0; }
    int Failures() const { return m_failures; }
    std::int64_t Total() const { return m_total; }
    // For a signal handler that ends the process: removes the partial file of
    // the download under way, which the job would otherwise leave behind.
    // Async-signal-safe.
    void RemovePartialFile() const noexcept;

    // "%s (%d bytes)\r\n%s" (no blank before the parenthesis when tight is
    // set): size text, bytes and the time shown as local time with "%x %X".
    static std::wstring DescribeFile(std::int64_t size, std::int64_t modified, bool tight = false);
    // "Uploading %d Kb of %d Kb", "Deleting %d of %d" and so on.
    static std::wstring ProgressText(JobKind kind, std::int64_t value, std::int64_t total);
    static std::wstring Title(JobKind kind);
    static bool CountsBytes(JobKind kind) { return kind == JobKind::Upload || kind == JobKind::Download; }

    // A remote name (one character per byte) and the local path form of the
    // same bytes, both ways; every byte stays as it is.
    static std::wstring LocalFromRemote(const std::wstring& remote);
    static std::wstring RemoteFromLocal(const std::wstring& local);

private:
    struct ItemWork;

    bool Prepare();
    bool EnoughFreeSpace();
    bool AskUploadConflicts();
    bool AskDownloadConflicts();
    bool AskMoveConflicts();
    bool AskLocalMoveConflicts();
    void Upload();
    void Download();
    void Delete(bool remote);
    void Move(bool remote);

    void UploadFile(const TransferItem& item, const std::wstring& target, bool moreToDo);
    void DownloadFile(const TransferItem& item, const std::string& targetBytes, bool moreToDo);
    bool MakeRemoteFolders(const std::wstring& folder);
    // False with the system's text noted when a level cannot be made.
    bool MakeLocalFolders(const std::string& folder);
    // The local path of a downloaded item, or empty when a name in it is unsafe.
    std::string LocalTarget(const TransferItem& item) const;
    bool InsideDestination(const std::string& folder);
    std::string LocalDestination() const;
    // The item's path below the destination as the engine sends it.
    static std::wstring RemoteRelative(const TransferItem& item);
    bool UsesConnection() const;
    // Paths as people read them, for the item line, questions and boxes.
    std::wstring ShowRemote(const std::wstring& path) const;
    static std::wstring ShowLocal(const std::wstring& path);
    bool Stopping() const { return m_cancel.load() || m_stopped; }

    void ReportProgress(std::int64_t value, bool force);
    // Keeps the system's text for the last error as part of why the current
    // item failed; about names the path concerned when it is not the item's.
    void NoteSystemError(const std::wstring& about = {});
    // One failed item, told as the class comment says. moreToDo: items
    // follow, so going on means something.
    void ItemFailed(const std::wstring& line, const std::wstring& path, bool moreToDo);
    void ShowSummary();
    void Fail() { ++m_failures; }
    void SetPartialFile(const std::string& path) noexcept;
    void ClearPartialFile() noexcept { m_partialSet.store(false); }

    CSiteConnection* m_connection;
    std::unique_ptr<CTransferList> m_list;
    std::wstring m_destination;
    JobKind m_kind;
    ITransferJobHost& m_host;
    std::atomic<bool> m_cancel{false};
    std::int64_t m_total = 0;
    std::int64_t m_done = 0;
    int m_failures = 0;
    bool m_askReplace = true;
    bool m_makeDestination = true;
    bool m_checkFreeSpace = false;
    // The connection was lost: nothing else can be done.
    bool m_stopped = false;
    // The first failure was shown or asked about.
    bool m_firstFailureTold = false;
    // Paths of the failures after the first, for the box at the end.
    std::vector<std::wstring> m_laterFailures;
    // Why the current item failed, besides what the engine said.
    std::vector<std::wstring> m_why;
    ItemWork* m_item = nullptr;
    // Local targets of a move the user let be replaced.
    std::set<std::string> m_replaceable;
    // Folders a delete could not list, with why.
    std::map<std::wstring, std::wstring> m_unlisted;
    // The partial file of the download under way, readable from a signal handler.
    char m_partialPath[4096] = {};
    std::atomic<bool> m_partialSet{false};
    std::chrono::steady_clock::time_point m_lastReport{};
    std::string m_destinationReal;
    std::unique_ptr<char[]> m_buffer;
    struct MadeFolders;
    std::unique_ptr<MadeFolders> m_made;
};
