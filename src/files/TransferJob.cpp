#include "TransferJob.h"

#include "FoldedNames.h"
#include "LocalPath.h"
#include "RemotePath.h"
#include "ftp/NameCodec.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "sites/SizeText.h"
#include "sites/SystemErrorBox.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

using platform::Services;
using platform::TextCodec;

struct CTransferJob::MadeFolders
{
    std::set<std::wstring> remote;
    std::set<std::string> local;
};

// While the job works on one item the engine keeps the texts it would show,
// so that a failed item makes one text.
struct CTransferJob::ItemWork
{
    explicit ItemWork(CTransferJob& job) : job(job)
    {
        job.m_why.clear();
        if (job.m_connection)
            capture.emplace(job.m_connection->Engine());
        job.m_item = this;
    }
    ~ItemWork() { job.m_item = nullptr; }
    ItemWork(const ItemWork&) = delete;
    ItemWork& operator=(const ItemWork&) = delete;

    CTransferJob& job;
    std::optional<nsFTP::CFTPClient::ErrorCapture> capture;
};

namespace
{
std::string RealPath(const std::string& path)
{
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// A path without the separators at its end (the root keeps its own).
template <typename Text> Text Trimmed(Text path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::vector<std::wstring> Components(const std::wstring& relativePath)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (true)
    {
        const size_t end = relativePath.find(L'/', start);
        parts.push_back(
            relativePath.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

bool WriteAll(int fd, const char* bytes, size_t length)
{
    while (length > 0)
    {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

void ShowFailure(const std::wstring& text)
{
    Services::MessageBoxes().Show(text, platform::BoxIcon::Error, platform::BoxButtons::Ok);
}

// Moves a file to another file system: a copy that replaces nothing, then the
// original goes. What was copied is removed again when the copy fails.
int CopyThenRemove(const std::string& from, const std::string& to)
{
    struct stat info
    {
    };
    if (lstat(from.c_str(), &info) != 0)
        return -1;
    if (!S_ISREG(info.st_mode))
    {
        errno = EXDEV;
        return -1;
    }
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return -1;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0)
    {
        const int error = errno;
        close(in);
        errno = error;
        return -1;
    }
    std::vector<char> buffer(1 << 16);
    bool ok = true;
    while (ok)
    {
        const ssize_t count = read(in, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
        {
            ok = count == 0;
            break;
        }
        ok = WriteAll(out, buffer.data(), static_cast<size_t>(count));
    }
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    if (ok)
        futimens(out, times);
    int error = ok ? 0 : errno;
    if (close(out) != 0 && ok)
    {
        ok = false;
        error = errno;
    }
    close(in);
    if (!ok || unlink(from.c_str()) != 0)
    {
        if (ok)
            error = errno;
        unlink(to.c_str());
        errno = error;
        return -1;
    }
    return 0;
}

// Renames without replacing what is there: a move never silently destroys a
// file of the same name at the destination unless the user said it may
// (replace). Across file systems a file is copied, then removed.
int MoveLocal(const std::string& from, const std::string& to, bool replace)
{
    const int result = replace ? rename(from.c_str(), to.c_str()) : LocalPath::RenameNoReplace(from, to);
    if (result == 0 || errno != EXDEV)
        return result;
    struct stat there
    {
    };
    // A file that may be replaced makes way for the copy, which replaces nothing.
    if (replace && lstat(to.c_str(), &there) == 0 && !S_ISDIR(there.st_mode) && unlink(to.c_str()) != 0)
        return -1;
    return CopyThenRemove(from, to);
}
} // namespace

CTransferJob::CTransferJob(CSiteConnection* connection, std::unique_ptr<CTransferList> list,
                           std::wstring destination, JobKind kind, ITransferJobHost& host)
    : m_connection(connection), m_list(std::move(list)), m_destination(std::move(destination)), m_kind(kind),
      m_host(host), m_made(std::make_unique<MadeFolders>())
{
}

CTransferJob::~CTransferJob() = default;

std::wstring CTransferJob::LocalFromRemote(const std::wstring& remote)
{
    return TextCodec::FromPathBytes(TextCodec::ToLatin1(remote));
}

std::wstring CTransferJob::RemoteFromLocal(const std::wstring& local)
{
    return TextCodec::FromLatin1(TextCodec::ToPathBytes(local));
}

std::wstring CTransferJob::ShowRemote(const std::wstring& path) const
{
    return m_connection ? m_connection->Names().Show(path) : nsFTP::CNameCodec().Show(path);
}

std::wstring CTransferJob::ShowLocal(const std::wstring& path)
{
    return nsFTP::CNameCodec::ShowLocal(path);
}

std::wstring CTransferJob::DescribeFile(std::int64_t size, std::int64_t modified, bool tight)
{
    wchar_t when[128] = L"";
    const std::time_t seconds = static_cast<std::time_t>(modified);
    std::tm local{};
    if (localtime_r(&seconds, &local))
        std::wcsftime(when, sizeof when / sizeof when[0], L"%x %X", &local);
    return SizeText(size) + (tight ? L"(" : L" (") + std::to_wstring(size) + L" bytes)\r\n" + when;
}

std::wstring CTransferJob::ProgressText(JobKind kind, std::int64_t value, std::int64_t total)
{
    wchar_t text[128];
    const auto v = static_cast<long long>(value);
    const auto t = static_cast<long long>(total);
    switch (kind)
    {
    case JobKind::Upload:
        std::swprintf(text, 128, L"Uploading %lld Kb of %lld Kb", v >> 10, t >> 10);
        break;
    case JobKind::Download:
        std::swprintf(text, 128, L"Downloading %lld Kb of %lld Kb", v >> 10, t >> 10);
        break;
    case JobKind::RemoteDelete:
    case JobKind::LocalDelete:
        std::swprintf(text, 128, L"Deleting %lld of %lld", v + 1, t);
        break;
    default:
        std::swprintf(text, 128, L"Moving %lld of %lld", v + 1, t);
        break;
    }
    return text;
}

std::wstring CTransferJob::Title(JobKind kind)
{
    switch (kind)
    {
    case JobKind::Upload:
        return L"Uploading...";
    case JobKind::Download:
        return L"Downloading...";
    case JobKind::RemoteDelete:
    case JobKind::LocalDelete:
        return L"Deleting...";
    default:
        return L"Moving...";
    }
}

JobResult CTransferJob::Run()
{
    // The keep-alive must stay off the control connection while this thread uses it.
    std::optional<CSiteConnection::BusyScope> busy;
    if (m_connection)
        busy.emplace(*m_connection);
    const bool remote = UsesConnection();

    JobResult result = JobResult::Ok;
    if (!m_list || (remote && !m_connection))
        result = JobResult::Cancel;
    else if (m_cancel.load())
        result = JobResult::Cancel;
    else if (!Prepare())
        result = JobResult::Cancel;
    else
    {
        m_buffer.reset(new char[BlockSize]);
        switch (m_kind)
        {
        case JobKind::Upload:
            Upload();
            break;
        case JobKind::Download:
            Download();
            break;
        case JobKind::RemoteDelete:
        case JobKind::LocalDelete:
            Delete(m_kind == JobKind::RemoteDelete);
            break;
        case JobKind::RemoteMove:
        case JobKind::LocalMove:
            Move(m_kind == JobKind::RemoteMove);
            break;
        }
        m_buffer.reset();
    }
    m_list.reset();
    ShowSummary();
    busy.reset();
    m_host.Ended(result);
    return result;
}

bool CTransferJob::UsesConnection() const
{
    return m_kind == JobKind::Upload || m_kind == JobKind::Download || m_kind == JobKind::RemoteDelete ||
           m_kind == JobKind::RemoteMove;
}

std::wstring CTransferJob::RemoteRelative(const TransferItem& item)
{
    return item.remoteName.empty() ? RemoteFromLocal(item.relativePath) : item.remoteName;
}

void CTransferJob::NoteSystemError(const std::wstring& about)
{
    m_why.push_back(SystemErrorText(about));
}

void CTransferJob::ItemFailed(const std::wstring& line, const std::wstring& path, bool moreToDo)
{
    Fail();
    std::wstring why;
    if (m_item && m_item->capture)
        why = m_item->capture->Joined();
    for (const auto& text : m_why)
        why += (why.empty() ? L"" : L"\n") + text;
    m_why.clear();
    const std::wstring text = why.empty() ? line : line + L"\n\n" + why;

    // Without the connection no other item can be done.
    if (UsesConnection() && !m_connection->IsConnected())
        m_stopped = true;
    if (m_cancel.load() || m_stopped || (!m_firstFailureTold && !moreToDo))
    {
        // A failure that ends the job is shown on its own.
        m_firstFailureTold = true;
        ShowFailure(text);
        return;
    }
    if (m_firstFailureTold)
    {
        m_laterFailures.push_back(path);
        return;
    }
    m_firstFailureTold = true;
    if (!m_host.AskGoOn(text + L"\n\nDo you want to go on with the other items?"))
        Cancel();
}

void CTransferJob::ShowSummary()
{
    if (m_laterFailures.empty())
        return;
    const size_t count = m_laterFailures.size();
    std::wstring text =
        count == 1 ? std::wstring(L"1 more item failed:") : std::to_wstring(count) + L" more items failed:";
    for (size_t i = 0; i < count && i < static_cast<size_t>(SummaryPaths); ++i)
        text += L"\n" + m_laterFailures[i];
    if (count > static_cast<size_t>(SummaryPaths))
        text += L"\n...";
    m_laterFailures.clear();
    ShowFailure(text);
}

bool CTransferJob::Prepare()
{
    // A destination used as it is counts as made: it is never made.
    if (!m_makeDestination && m_kind == JobKind::Upload)
        m_made->remote.insert(Trimmed(m_destination));
    if (!m_makeDestination && m_kind == JobKind::Download)
        m_made->local.insert(Trimmed(LocalDestination()));
    bool goOn = true;
    if (m_askReplace && m_kind == JobKind::Upload)
        goOn = AskUploadConflicts();
    else if (m_askReplace && m_kind == JobKind::Download)
        goOn = AskDownloadConflicts();
    else if (m_askReplace && m_kind == JobKind::RemoteMove)
        goOn = AskMoveConflicts();
    else if (m_askReplace && m_kind == JobKind::LocalMove)
        goOn = AskLocalMoveConflicts();
    if (!goOn || m_cancel.load())
        return false;

    // A folder that could not be listed leaves its contents out of the copy:
    // the job goes on, but does not end as if all had gone well.
    const auto leftOut = [this](const TransferItem& folder, const std::wstring& why)
    {
        if (!why.empty())
            m_why.push_back(why);
        const std::wstring path =
            m_kind == JobKind::Download ? ShowRemote(folder.sourcePath) : ShowLocal(folder.sourcePath);
        ItemFailed(L"The folder could not be read, so what it holds is left out:\n" + path, path, true);
    };
    // A delete goes on: an empty folder lists so on some servers, and the
    // folder's own removal then tells whether anything was left in it.
    const auto unlisted = [this](const TransferItem& folder, const std::wstring& why)
    { m_unlisted[folder.sourcePath] = why; };
    // A delete removes links themselves and never lists what they lead to.
    switch (m_kind)
    {
    case JobKind::Upload:
        m_list->ExpandLocal(&m_cancel, true, leftOut);
        break;
    case JobKind::LocalDelete:
        m_list->ExpandLocal(&m_cancel, false, unlisted);
        break;
    case JobKind::Download:
        m_list->ExpandRemote(&m_cancel, true, leftOut);
        break;
    case JobKind::RemoteDelete:
        m_list->ExpandRemote(&m_cancel, false, unlisted);
        break;
    default:
        break;
    }
    if (m_cancel.load())
        return false;
    if (CountsBytes(m_kind))
    {
        // Only files move bytes; a folder's listed size would keep the bar short of its end.
        m_total = 0;
        for (const auto& item : m_list->Items())
            if (!item.isDirectory && item.size > 0)
                m_total += item.size;
    }
    else
        m_total = m_list->ItemCount();
    if (m_checkFreeSpace && m_kind == JobKind::Download && !EnoughFreeSpace())
        return false;
    m_host.SetRange(m_total);
    return true;
}

std::wstring CTransferJob::NoSpaceText(const std::wstring& folder, std::int64_t needed, std::int64_t free)
{
    return L"There is not enough free space in \"" + folder + L"\": " + SizeText(needed) + L" is needed, " +
           SizeText(free) + L" is free.";
}

// Sizes the listings gave are all that is known; a file listed without one
// counts as empty here.
bool CTransferJob::EnoughFreeSpace()
{
    // The destination may not exist yet: the nearest folder above it decides.
    std::string folder = LocalDestination();
    struct statvfs space
    {
    };
    while (statvfs(folder.c_str(), &space) != 0)
    {
        const size_t slash = Trimmed(folder).rfind('/');
        if (errno != ENOENT || slash == std::string::npos)
            return true;
        folder = slash == 0 ? std::string("/") : folder.substr(0, slash);
    }
    const auto free = static_cast<std::int64_t>(std::min<unsigned long long>(
        static_cast<unsigned long long>(space.f_bavail) * space.f_frsize, INT64_MAX));
    if (m_total <= free)
        return true;
    ShowFailure(NoSpaceText(nsFTP::CNameCodec::ShowLocalBytes(LocalDestination()), m_total, free));
    return false;
}

// Every conflict is asked, even after a refusal, and the job goes on only when
// every answer was yes. Only the picked items are compared, each listed name
// in listing order with the picked ones it matches in picked order.
bool CTransferJob::AskUploadConflicts()
{
    // A destination that does not exist yet is made first (quietly), so that
    // looking into it does not end in an error box.
    MakeRemoteFolders(m_destination);
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    {
        // A destination that cannot be listed holds nothing to ask about; the
        // uploads into it say what is wrong.
        nsFTP::CFTPClient::ErrorCapture quiet(m_connection->Engine());
        if (!m_connection->List(m_destination, records))
            return true;
    }
    CFoldedNames picked;
    for (const auto& item : m_list->Items())
        picked.Add(TextCodec::ToLatin1(RemoteRelative(item)));
    bool goOn = true;
    for (const auto& record : records)
    {
        if (m_cancel.load())
            return false;
        for (const size_t i : picked.Find(TextCodec::ToLatin1(record->Name)))
        {
            const TransferItem& item = m_list->Items()[i];
            const std::int64_t size = record->SizeType == 1 ? record->Size : -1;
            if (!m_host.AskReplace(record->TryCwd, ShowRemote(record->Name),
                                   DescribeFile(size, record->ModificationTime),
                                   DescribeFile(item.size, item.modified)))
                goOn = false;
            if (m_cancel.load())
                return false;
        }
    }
    return goOn;
}

bool CTransferJob::AskDownloadConflicts()
{
    const std::string folder = LocalDestination();
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return true;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());

    CFoldedNames picked;
    for (const auto& item : m_list->Items())
        picked.Add(TextCodec::ToLatin1(item.relativePath));
    bool goOn = true;
    for (const auto& name : names)
    {
        if (m_cancel.load())
            return false;
        for (const size_t i : picked.Find(name))
        {
            const TransferItem& item = m_list->Items()[i];
            struct stat info
            {
            };
            const std::string path = folder + "/" + name;
            if (stat(path.c_str(), &info) != 0)
                continue;
            if (!m_host.AskReplace(item.isDirectory, ShowRemote(item.relativePath),
                                   DescribeFile(item.size, item.modified),
                                   DescribeFile(static_cast<std::int64_t>(info.st_size),
                                                static_cast<std::int64_t>(info.st_mtime), true)))
                goOn = false;
            if (m_cancel.load())
                return false;
        }
    }
    return goOn;
}

// A rename onto a name that exists replaces that entry on most servers, so
// each picked item already at the destination is asked about, as uploads are.
bool CTransferJob::AskMoveConflicts()
{
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    {
        // A destination that does not exist yet holds nothing to replace.
        nsFTP::CFTPClient::ErrorCapture quiet(m_connection->Engine());
        if (!m_connection->List(m_destination, records))
            return true;
    }
    CFoldedNames picked;
    for (const auto& item : m_list->Items())
        picked.Add(TextCodec::ToLatin1(item.relativePath));
    bool goOn = true;
    for (const auto& record : records)
    {
        if (m_cancel.load())
            return false;
        const bool isLink = !record->Attributes.empty() && record->Attributes[0] == L'l';
        const std::wstring name = RemotePath::LinkName(record->Name, isLink);
        for (const size_t i : picked.Find(TextCodec::ToLatin1(name)))
        {
            const TransferItem& item = m_list->Items()[i];
            const std::int64_t size = record->SizeType == 1 ? record->Size : -1;
            if (!m_host.AskReplace(record->TryCwd, ShowRemote(name),
                                   DescribeFile(size, record->ModificationTime),
                                   DescribeFile(item.size, item.modified)))
                goOn = false;
            if (m_cancel.load())
                return false;
        }
    }
    return goOn;
}

// A rename on the disk replaces what has the new name (a file, an empty
// folder), so each picked item already at the destination is asked about;
// only those the user let go are replaced.
bool CTransferJob::AskLocalMoveConflicts()
{
    const std::string folder = LocalDestination();
    bool goOn = true;
    for (const auto& item : m_list->Items())
    {
        if (m_cancel.load())
            return false;
        const std::string target = LocalPath::Join(folder, TextCodec::ToPathBytes(item.relativePath));
        struct stat there
        {
        }, own{};
        if (lstat(target.c_str(), &there) != 0)
            continue;
        // Moved into the folder it is in: it would replace itself, which is no move.
        if (lstat(TextCodec::ToPathBytes(item.sourcePath).c_str(), &own) == 0 && own.st_dev == there.st_dev &&
            own.st_ino == there.st_ino)
            continue;
        struct stat followed
        {
        };
        const bool isDirectory = stat(target.c_str(), &followed) == 0 && S_ISDIR(followed.st_mode);
        const std::int64_t size = isDirectory ? 0 : static_cast<std::int64_t>(there.st_size);
        if (m_host.AskReplace(isDirectory, item.relativePath,
                              DescribeFile(size, static_cast<std::int64_t>(there.st_mtime)),
                              DescribeFile(item.size, item.modified)))
            m_replaceable.insert(target);
        else
            goOn = false;
        if (m_cancel.load())
            return false;
    }
    return goOn;
}

void CTransferJob::ReportProgress(std::int64_t value, bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastReport < ReportInterval)
        return;
    m_lastReport = now;
    m_host.Progress(value);
}

// Every level of the folder that this job has not made yet is made quietly: a
// level that exists already just gets a refusal nobody needs to see.
bool CTransferJob::MakeRemoteFolders(const std::wstring& folder)
{
    const std::wstring path = Trimmed(folder);
    if (path.empty() || path == L"/" || m_made->remote.count(path))
        return true;
    size_t at = path[0] == L'/' ? 1 : 0;
    while (true)
    {
        const size_t slash = path.find(L'/', at);
        const std::wstring level = path.substr(0, slash);
        if (!level.empty() && level.back() != L'/' && m_made->remote.insert(level).second)
            m_connection->MakeDirectory(level, false);
        if (slash == std::wstring::npos)
            return true;
        at = slash + 1;
    }
}

bool CTransferJob::MakeLocalFolders(const std::string& folder)
{
    const std::string path = Trimmed(folder);
    if (path.empty() || m_made->local.count(path))
        return true;
    size_t at = path[0] == '/' ? 1 : 0;
    while (true)
    {
        const size_t slash = path.find('/', at);
        const std::string level = path.substr(0, slash);
        if (!level.empty() && level.back() != '/' && !m_made->local.count(level))
        {
            if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST)
            {
                NoteSystemError(nsFTP::CNameCodec::ShowLocalBytes(level));
                return false;
            }
            m_made->local.insert(level);
        }
        if (slash == std::wstring::npos)
            return true;
        at = slash + 1;
    }
}

void CTransferJob::Upload()
{
    MakeRemoteFolders(m_destination);
    for (TransferItem* item = m_list->First(false); item && !Stopping(); item = m_list->Next(false))
    {
        ItemWork work(*this);
        // A "\" in a local name is an ordinary character on Linux, and goes as it is.
        const std::wstring target = RemotePath::Join(m_destination, RemoteRelative(*item));
        if (item->isDirectory)
        {
            // Folders are made even when they hold no files, so the copy is the same tree.
            MakeRemoteFolders(target);
            continue;
        }
        MakeRemoteFolders(target.substr(0, target.rfind(L'/') + 1));
        UploadFile(*item, target, item->itemIndex + 1 < m_list->ItemCount());
    }
}

void CTransferJob::UploadFile(const TransferItem& item, const std::wstring& target, bool moreToDo)
{
    const std::wstring shown = ShowLocal(item.sourcePath);
    const std::wstring line = L"Failed to upload file:\n" + shown;
    // Opened first: a file that cannot be read never reaches the server.
    const std::string path = TextCodec::ToPathBytes(item.sourcePath);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        NoteSystemError();
        ItemFailed(line, shown, moreToDo);
        return;
    }
    auto dataSocket = m_connection->OpenTransfer(target, true);
    if (!dataSocket)
    {
        close(fd);
        ItemFailed(line, shown, moreToDo);
        return;
    }
    m_host.ItemText(shown);
    auto& engine = m_connection->Engine();
    std::int64_t fileBytes = 0;
    bool readFailed = false;
    bool sendFailed = false;
    bool cancelled = false;
    while (true)
    {
        const ssize_t count = read(fd, m_buffer.get(), BlockSize);
        if (count < 0)
        {
            if (errno == EINTR)
                continue;
            readFailed = true;
            NoteSystemError();
            break;
        }
        if (count == 0)
            break;
        int sent = 0;
        if (!engine.WriteTransferChunk(*dataSocket, m_buffer.get(), static_cast<int>(count), sent))
        {
            sendFailed = true;
            break;
        }
        fileBytes += sent;
        m_done += sent;
        ReportProgress(m_done, false);
        if (m_cancel.load())
        {
            cancelled = true;
            break;
        }
    }
    ReportProgress(m_done, true);
    close(fd);
    // A plain close even for a cut file: a reset that reaches the server before
    // it has taken the data connection can leave it without an answer, and
    // then nothing could remove the file.
    const bool closed = engine.CloseTransfer(std::move(dataSocket), !cancelled);
    const bool whole = !readFailed && !sendFailed && !cancelled && closed;
    if (whole && fileBytes == item.size)
        return;
    // The server takes the cut file for a whole one; under the full name it
    // would pass for the real one.
    if (!whole && engine.IsConnected())
        engine.DeleteFile(target);
    ItemFailed(line, shown, moreToDo);
}

std::string CTransferJob::LocalDestination() const
{
    // No folder named: the current one, never the root.
    return m_destination.empty() ? std::string(".") : TextCodec::ToPathBytes(m_destination);
}

bool CTransferJob::InsideDestination(const std::string& folder)
{
    const std::string real = RealPath(folder);
    if (m_destinationReal.empty() || real.empty())
        return false;
    return real == m_destinationReal || m_destinationReal == "/" ||
           (real.size() > m_destinationReal.size() &&
            real.compare(0, m_destinationReal.size(), m_destinationReal) == 0 &&
            real[m_destinationReal.size()] == '/');
}

std::string CTransferJob::LocalTarget(const TransferItem& item) const
{
    std::string target = LocalDestination();
    for (const auto& part : Components(item.relativePath))
    {
        if (!RemotePath::IsSafeLocalName(part))
            return {};
        if (target.empty() || target.back() != '/')
            target += '/';
        target += TextCodec::ToLatin1(part);
    }
    return target;
}

void CTransferJob::Download()
{
    const std::string destination = LocalDestination();
    m_destinationReal = MakeLocalFolders(destination) ? RealPath(destination) : std::string();
    if (m_destinationReal.empty())
    {
        // Nothing can be written anywhere: one box says why.
        if (m_why.empty())
            NoteSystemError(nsFTP::CNameCodec::ShowLocalBytes(destination));
        ShowFailure(m_why.front());
        m_why.clear();
        Fail();
        return;
    }
    // Contents of a folder that was refused or could not be made are left out with it, quietly.
    std::vector<std::wstring> refused;
    for (TransferItem* item = m_list->First(false); item && !Stopping(); item = m_list->Next(false))
    {
        if (std::any_of(refused.begin(), refused.end(),
                        [&](const std::wstring& prefix)
                        { return item->relativePath.compare(0, prefix.size(), prefix) == 0; }))
            continue;
        ItemWork work(*this);
        const bool moreToDo = item->itemIndex + 1 < m_list->ItemCount();
        const std::string target = LocalTarget(*item);
        if (target.empty())
        {
            if (item->isDirectory)
                refused.push_back(item->relativePath + L"/");
            const std::wstring shown = ShowRemote(item->sourcePath);
            ItemFailed(L"The server gave a name that cannot be used for a local file, so it was not "
                       L"downloaded:\n" +
                           shown,
                       shown, moreToDo);
            continue;
        }
        const std::wstring shownTarget = nsFTP::CNameCodec::ShowLocalBytes(target);
        const std::string parent = item->isDirectory ? target : target.substr(0, target.rfind('/'));
        if (!MakeLocalFolders(parent))
        {
            if (item->isDirectory)
                refused.push_back(item->relativePath + L"/");
            ItemFailed((item->isDirectory ? L"Failed to download folder:\n" : L"Failed to download file:\n") +
                           shownTarget,
                       shownTarget, moreToDo);
            continue;
        }
        // A folder link already on the disk must not carry files out of the destination.
        if (!InsideDestination(parent))
        {
            if (item->isDirectory)
                refused.push_back(item->relativePath + L"/");
            const std::wstring shownParent = nsFTP::CNameCodec::ShowLocalBytes(parent);
            ItemFailed(L"The folder is outside the destination, so nothing was written into it:\n" +
                           shownParent,
                       shownParent, moreToDo);
            continue;
        }
        if (item->isDirectory)
            continue;
        DownloadFile(*item, target, moreToDo);
    }
}

void CTransferJob::SetPartialFile(const std::string& path) noexcept
{
    m_partialSet.store(false);
    if (path.size() >= sizeof m_partialPath)
        return;
    std::memcpy(m_partialPath, path.c_str(), path.size() + 1);
    m_partialSet.store(true);
}

void CTransferJob::RemovePartialFile() const noexcept
{
    if (m_partialSet.load())
        unlink(m_partialPath);
}

// The bytes go to a new file beside the target, which replaces the target
// only once the whole file has arrived: a failed or cancelled download leaves
// no partial file behind and any older file as it was.
void CTransferJob::DownloadFile(const TransferItem& item, const std::string& targetBytes, bool moreToDo)
{
    const std::wstring target = nsFTP::CNameCodec::ShowLocalBytes(targetBytes);
    const std::wstring line = L"Failed to download file:\n" + target;
    auto dataSocket = m_connection->OpenTransfer(item.sourcePath, false);
    if (!dataSocket)
    {
        ItemFailed(line, target, moreToDo);
        return;
    }
    m_host.ItemText(ShowRemote(item.sourcePath));
    auto& engine = m_connection->Engine();

    const std::string folder = targetBytes.substr(0, targetBytes.rfind('/') + 1);
    static std::atomic<unsigned> serial{0};
    std::string partial;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt)
    {
        partial = folder + ".tessel-" + std::to_string(getpid()) + "-" + std::to_string(serial.fetch_add(1)) +
                  ".part";
        // Known before it exists, so a signal that ends the process cannot miss it.
        SetPartialFile(partial);
        fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
    {
        NoteSystemError();
        ClearPartialFile();
        engine.CloseTransfer(std::move(dataSocket), false);
        ItemFailed(line, target, moreToDo);
        return;
    }

    std::int64_t fileBytes = 0;
    bool receiveFailed = false;
    bool writeFailed = false;
    bool cancelled = false;
    while (true)
    {
        int count = 0;
        if (!engine.ReadTransferChunk(*dataSocket, m_buffer.get(), BlockSize, count))
        {
            receiveFailed = true;
            break;
        }
        if (count == 0)
            break;
        if (!WriteAll(fd, m_buffer.get(), static_cast<size_t>(count)))
        {
            writeFailed = true;
            NoteSystemError();
            break;
        }
        fileBytes += count;
        m_done += count;
        ReportProgress(m_done, false);
        if (m_cancel.load())
        {
            cancelled = true;
            break;
        }
    }
    ReportProgress(m_done, true);
    if (close(fd) != 0 && !writeFailed)
    {
        writeFailed = true;
        NoteSystemError();
    }
    // After a cancel or a local failure the server's refusal of the cut
    // transfer is expected: the item's text says what happened instead.
    const bool closed = engine.CloseTransfer(std::move(dataSocket), !cancelled && !writeFailed);
    // Where the listing gave no size, the server's final reply is the only word.
    const bool complete = item.size >= 0 ? fileBytes == item.size : !cancelled;
    bool ok = !receiveFailed && !writeFailed && closed && complete;
    if (ok && rename(partial.c_str(), targetBytes.c_str()) != 0)
    {
        NoteSystemError();
        ok = false;
    }
    if (!ok)
        unlink(partial.c_str());
    ClearPartialFile();
    if (!ok)
        ItemFailed(line, target, moreToDo);
}

void CTransferJob::Delete(bool remote)
{
    struct Entry
    {
        bool isDirectory;
        std::wstring path;
    };
    std::vector<Entry> entries;
    // A link is removed itself; what it leads to is never touched.
    std::vector<std::wstring> links;
    for (const auto& item : m_list->Items())
    {
        if (m_cancel.load())
            return;
        if (std::any_of(links.begin(), links.end(),
                        [&](const std::wstring& link)
                        {
                            return item.sourcePath.size() > link.size() &&
                                   item.sourcePath.compare(0, link.size(), link) == 0 &&
                                   item.sourcePath[link.size()] == L'/';
                        }))
            continue;
        bool isLink = item.isLink;
        struct stat info
        {
        };
        if (!remote && lstat(TextCodec::ToPathBytes(item.sourcePath).c_str(), &info) == 0)
            isLink = S_ISLNK(info.st_mode);
        if (isLink)
            links.push_back(item.sourcePath);
        entries.push_back({item.isDirectory && !isLink, item.sourcePath});
    }
    // Longest path first: everything inside a folder goes before the folder.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.path.size() > b.path.size(); });
    m_total = static_cast<std::int64_t>(entries.size());
    m_host.SetRange(m_total);

    for (size_t i = 0; i < entries.size() && !Stopping(); ++i)
    {
        const Entry& entry = entries[i];
        const std::wstring shown = remote ? ShowRemote(entry.path) : ShowLocal(entry.path);
        m_host.ItemText(shown);
        ItemWork work(*this);
        bool removed = true;
        if (remote)
        {
            auto& engine = m_connection->Engine();
            removed =
                (entry.isDirectory ? engine.RemoveDirectory(entry.path) : engine.DeleteFile(entry.path)) == 0;
        }
        else
        {
            const std::string path = TextCodec::ToPathBytes(entry.path);
            removed = (entry.isDirectory ? rmdir(path.c_str()) : unlink(path.c_str())) == 0;
            if (!removed)
                NoteSystemError();
        }
        if (!removed)
        {
            // What it holds could not be listed either: that may be why.
            const auto unlisted = m_unlisted.find(entry.path);
            if (unlisted != m_unlisted.end() && !unlisted->second.empty())
                m_why.push_back(unlisted->second);
            ItemFailed((entry.isDirectory ? L"Failed to delete folder:\n" : L"Failed to delete file:\n") +
                           shown,
                       shown, i + 1 < entries.size());
        }
        ReportProgress(static_cast<std::int64_t>(i), i + 1 == entries.size());
    }
}

void CTransferJob::Move(bool remote)
{
    if (remote)
        m_connection->MakeDirectory(m_destination, false);
    else
        mkdir(TextCodec::ToPathBytes(m_destination).c_str(), 0777);
    std::int64_t index = 0;
    for (TransferItem* item = m_list->First(false); item && !Stopping(); item = m_list->Next(false), ++index)
    {
        const std::wstring target = RemotePath::Join(m_destination, item->relativePath);
        const std::wstring shown = remote ? ShowRemote(item->sourcePath) : ShowLocal(item->sourcePath);
        m_host.ItemText(shown);
        ItemWork work(*this);
        bool moved = true;
        if (remote)
            moved = m_connection->Engine().RenameFile(item->sourcePath, target) == 0;
        else if (const std::string local =
                     LocalPath::Join(LocalDestination(), TextCodec::ToPathBytes(item->relativePath));
                 MoveLocal(TextCodec::ToPathBytes(item->sourcePath), local,
                           !m_askReplace || m_replaceable.count(local) > 0) != 0)
        {
            NoteSystemError();
            moved = false;
        }
        if (!moved)
            ItemFailed((item->isDirectory ? L"Failed to move folder:\n" : L"Failed to move file:\n") + shown,
                       shown, index + 1 < m_total);
        ReportProgress(index, index + 1 == m_total);
    }
}
