#include "JobCommand.h"

#include "CommandRegistry.h"
#include "LogonTarget.h"
#include "files/RemotePath.h"
#include "files/TransferList.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <clocale>
#include <csignal>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::TextCodec;

namespace nsCli
{

namespace
{
std::atomic<CTransferJob*> g_runningJob{nullptr};

// Ctrl+C cancels the job after its current block, like the dialog's Cancel.
extern "C" void CancelRunningJob(int)
{
    if (CTransferJob* job = g_runningJob.load())
        job->Cancel();
}

// A signal that ends the process at once must not leave the partial file of
// a download behind.
extern "C" void RemovePartialFileAndEnd(int signalNumber)
{
    if (CTransferJob* job = g_runningJob.load())
        job->RemovePartialFile();
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void AddRecord(CTransferList& list, const nsFTP::CFTPFileStatus& record, const std::wstring& folder)
{
    const bool isLink = !record.Attributes.empty() && record.Attributes[0] == L'l';
    const std::wstring name = RemotePath::LinkName(record.Name, isLink);
    list.Add(record.SizeType == 1 ? record.Size : -1, record.TryCwd, name, RemotePath::Join(folder, name),
             record.ModificationTime);
    list.LastAdded().isLink = isLink;
}

bool AddLocal(CTransferList& list, const std::string& path, const std::string& name)
{
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0)
        return false;
    const bool isDirectory = S_ISDIR(info.st_mode);
    list.Add(isDirectory ? 0 : static_cast<std::int64_t>(info.st_size), isDirectory,
             TextCodec::FromPathBytes(name), TextCodec::FromPathBytes(path),
             static_cast<std::int64_t>(info.st_mtime));
    return true;
}
} // namespace

CConsoleJobHost::Replace CJobCommand::TakeReplaceOptions(std::vector<std::string>& args)
{
    auto replace = CConsoleJobHost::Replace::Ask;
    for (auto at = args.begin(); at != args.end() && *at != "--";)
    {
        if (*at == "--overwrite" || *at == "--no-overwrite")
        {
            replace =
                *at == "--overwrite" ? CConsoleJobHost::Replace::Always : CConsoleJobHost::Replace::Never;
            at = args.erase(at);
        }
        else
            ++at;
    }
    return replace;
}

bool CJobCommand::TakeRecursive(std::vector<std::string>& args)
{
    bool recursive = false;
    for (auto at = args.begin(); at != args.end() && *at != "--";)
    {
        if (*at == "-r" || *at == "--recursive")
        {
            recursive = true;
            at = args.erase(at);
        }
        else
            ++at;
    }
    return recursive;
}

std::wstring CJobCommand::Absolute(CSiteConnection& connection, const std::wstring& path)
{
    if (!path.empty() && path[0] == L'/')
        return path;
    const std::wstring start = connection.CurrentDirectory();
    if (start.empty())
        return path;
    return RemotePath::Join(start, path);
}

bool CJobCommand::PickRemote(CSiteConnection& connection, const std::wstring& path, CTransferList& list,
                             CommandIo& io) const
{
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    if (path.empty() || path.back() == L'/')
    {
        if (!connection.List(path, records))
        {
            std::fprintf(io.err, "tessel-cli: cannot list %s\n",
                         TextCodec::ToUtf8(connection.Names().Show(path)).c_str());
            return false;
        }
        for (const auto& record : records)
            if (record->Name != L"." && record->Name != L"..")
                AddRecord(list, *record, path);
        return true;
    }
    const size_t slash = path.rfind(L'/');
    const std::wstring folder = slash == std::wstring::npos ? L"" : slash == 0 ? L"/" : path.substr(0, slash);
    const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    if (connection.List(folder, records))
        for (const auto& record : records)
        {
            const bool isLink = !record->Attributes.empty() && record->Attributes[0] == L'l';
            if (RemotePath::LinkName(record->Name, isLink) == name && name != L"." && name != L"..")
            {
                AddRecord(list, *record, folder);
                return true;
            }
        }
    std::fprintf(io.err, "tessel-cli: no such remote file or folder: %s\n",
                 TextCodec::ToUtf8(connection.Names().Show(path)).c_str());
    return false;
}

bool CJobCommand::PickLocal(const std::string& path, CTransferList& list, CommandIo& io) const
{
    if (!path.empty() && path.back() == '/')
    {
        DIR* dir = opendir(path.c_str());
        if (!dir)
        {
            std::fprintf(io.err, "tessel-cli: cannot read the folder %s\n", path.c_str());
            return false;
        }
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const auto& name : names)
            AddLocal(list, path + name, name);
        return true;
    }
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || !AddLocal(list, path, name))
    {
        std::fprintf(io.err,
                     "tessel-cli: no such local file or folder: %s (give a folder's contents as DIR/)\n",
                     path.c_str());
        return false;
    }
    return true;
}

int CJobCommand::RunJob(CSiteConnection* connection, std::unique_ptr<CTransferList> list,
                        const std::wstring& destination, JobKind kind, CConsoleJobHost::Replace replace,
                        CommandIo& io, bool copyOneFile) const
{
    // Times in the replace questions read as the user's locale writes them.
    std::setlocale(LC_TIME, "");
    CConsoleJobHost host(kind, replace, io.in, io.err, isatty(fileno(io.err)) != 0);
    CTransferJob job(connection, std::move(list), destination, kind, host);
    if (copyOneFile)
    {
        job.SetAskReplace(false);
        job.SetMakeDestination(false);
    }
    g_runningJob.store(&job);
    // One file ends at Ctrl+C at once, as cp does; a tree stops after the current block.
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous[3] = {};
    for (int i = 0; i < 3; ++i)
    {
        struct sigaction action
        {
        };
        action.sa_handler = signals[i] == SIGINT && !copyOneFile ? CancelRunningJob : RemovePartialFileAndEnd;
        sigemptyset(&action.sa_mask);
        sigaction(signals[i], &action, &previous[i]);
    }
    platform::Services::SetMessageBoxes(&host);
    const JobResult result = job.Run();
    platform::Services::SetMessageBoxes(&host.PreviousBoxes());
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &previous[i], nullptr);
    g_runningJob.store(nullptr);
    // The one file's failure has said all there is to say.
    if (copyOneFile)
        return result == JobResult::Ok && !job.Cancelled() && !job.HadFailures() ? 0 : 1;
    if (result == JobResult::Cancel)
    {
        std::fprintf(io.err, "tessel-cli: nothing done\n");
        return 1;
    }
    if (job.Cancelled())
    {
        std::fprintf(io.err, "tessel-cli: cancelled\n");
        return 1;
    }
    if (job.HadFailures())
    {
        std::fprintf(io.err, "tessel-cli: %d item(s) failed\n", job.Failures());
        return 1;
    }
    return 0;
}

} // namespace nsCli
