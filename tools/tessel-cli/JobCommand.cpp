#include "JobCommand.h"

#include "CommandRegistry.h"
#include "files/RemotePath.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

#include <algorithm>
#include <atomic>
#include <charconv>
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

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(const std::string& text, std::string& bytes)
{
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            bytes += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
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
             TextCodec::FromUtf8(name), TextCodec::FromUtf8(path), static_cast<std::int64_t>(info.st_mtime));
    return true;
}
} // namespace

bool CJobCommand::ParseAddress(const std::string& text, Address& address, std::string& error)
{
    address = Address();
    const std::string scheme = "ftp://";
    if (text.compare(0, scheme.size(), scheme) != 0)
    {
        error = "not an ftp:// address: " + text;
        return false;
    }
    std::string rest = text.substr(scheme.size());
    const size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    std::string path = slash == std::string::npos ? "/" : rest.substr(slash);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
    {
        const std::string credentials = authority.substr(0, at);
        authority.erase(0, at + 1);
        const size_t colon = credentials.find(':');
        std::string user, password;
        if (!Unescape(credentials.substr(0, colon), user) ||
            (colon != std::string::npos && !Unescape(credentials.substr(colon + 1), password)))
        {
            error = "bad escape in the user or password";
            return false;
        }
        address.user = TextCodec::FromLatin1(user);
        address.password = TextCodec::FromLatin1(password);
        address.anonymous = user.empty() || user == "anonymous" || user == "ftp";
    }
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos)
    {
        const std::string port = authority.substr(colon + 1);
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        {
            error = "bad port: " + port;
            return false;
        }
        address.port = value;
        authority.erase(colon);
    }
    if (authority.empty())
    {
        error = "no host in " + text;
        return false;
    }
    address.host = TextCodec::FromUtf8(authority);
    std::string pathBytes;
    if (!Unescape(path, pathBytes))
    {
        error = "bad escape in the path";
        return false;
    }
    if (pathBytes.find('\0') != std::string::npos || pathBytes.find_first_of("\r\n") != std::string::npos)
    {
        error = "the path holds a line break or a zero";
        return false;
    }
    address.path = TextCodec::FromLatin1(pathBytes);
    return true;
}

bool CJobCommand::ParseOptions(const std::vector<std::string>& args, Options& options, CommandIo& io) const
{
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg == "--overwrite")
            options.replace = CConsoleJobHost::Replace::Always;
        else if (arg == "--no-overwrite")
            options.replace = CConsoleJobHost::Replace::Never;
        else if (arg == "--active")
            options.passive = false;
        else if (arg == "--passive")
            options.passive = true;
        else if (arg == "-r" || arg == "--recursive")
            options.recursive = true;
        else if (arg == "--timeout" && i + 1 < args.size())
        {
            const std::string& value = args[++i];
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), options.timeout);
            if (ec != std::errc() || end != value.data() + value.size() || options.timeout < 1)
            {
                std::fprintf(io.err, "tessel-cli: bad timeout '%s'\n", value.c_str());
                return false;
            }
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            std::fprintf(io.err, "tessel-cli: unknown option '%s'\n", arg.c_str());
            return false;
        }
        else
            options.positional.push_back(arg);
    }
    return true;
}

int CJobCommand::Usage(CommandIo& io) const
{
    CCommandRegistry::PrintCommandUsage(*this, io.err);
    return 1;
}

bool CJobCommand::Connect(CSiteConnection& connection, const Address& address, const Options& options,
                          CommandIo& io) const
{
    SiteRecord site;
    site.Initialise();
    site.SetHost(address.host);
    site.SetPort(address.port);
    site.SetAnonymous(address.anonymous ? 1 : 0);
    site.SetLogin(address.user);
    site.SetPassword(address.password);
    site.SetPassive(options.passive ? 1 : 0);
    site.SetTimeout(options.timeout);
    site.SetKeepAlive(0);
    if (connection.Connect(site))
        return true;
    std::fprintf(io.err, "tessel-cli: could not log on to %s:%d\n", TextCodec::ToUtf8(address.host).c_str(),
                 address.port);
    return false;
}

bool CJobCommand::PickRemote(CSiteConnection& connection, const std::wstring& path, CTransferList& list,
                             CommandIo& io) const
{
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    if (path.empty() || path.back() == L'/')
    {
        if (!connection.List(path, records))
        {
            std::fprintf(io.err, "tessel-cli: cannot list %s\n", TextCodec::ToLatin1(path).c_str());
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
                 TextCodec::ToLatin1(path).c_str());
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
                        const std::wstring& destination, JobKind kind, const Options& options,
                        CommandIo& io) const
{
    CConsoleJobHost host(kind, options.replace, io.in, io.err, isatty(fileno(io.err)) != 0);
    CTransferJob job(connection, std::move(list), destination, kind, host);
    g_runningJob.store(&job);
    struct sigaction action
    {
    };
    struct sigaction previous
    {
    };
    action.sa_handler = CancelRunningJob;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous);
    const JobResult result = job.Run();
    sigaction(SIGINT, &previous, nullptr);
    g_runningJob.store(nullptr);
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
