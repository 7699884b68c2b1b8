#include "GetCommand.h"

#include "CommandRegistry.h"
#include "LocalFile.h"

#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace nsCli
{

namespace
{
CommandRegistration<CGetCommand> registration;

// The part file of the download under way, for the signal handler: Ctrl-C
// or a kill must not leave it behind either.
char g_partPath[4096];
volatile std::sig_atomic_t g_partActive = 0;

extern "C" void RemovePartAndStop(int signalNumber)
{
    if (g_partActive)
        ::unlink(g_partPath);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

// Watches the part file from before it is created until it is renamed or removed.
struct PartFileWatch
{
    explicit PartFileWatch(const std::string& part)
    {
        if (part.size() >= sizeof g_partPath)
            return;
        std::memcpy(g_partPath, part.c_str(), part.size() + 1);
        g_partActive = 1;
        struct sigaction action
        {
        };
        action.sa_handler = RemovePartAndStop;
        sigemptyset(&action.sa_mask);
        for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(signalNumber, &action, nullptr);
    }
    ~PartFileWatch() { g_partActive = 0; }
    PartFileWatch(const PartFileWatch&) = delete;
    PartFileWatch& operator=(const PartFileWatch&) = delete;
};
} // namespace

bool CGetCommand::Download(const NetworkCall& call, CLocalFile& local, CommandIo& io) const
{
    auto connection = LogOn(call.target);
    if (!connection)
        return false;
    auto* client = &connection->Engine();
    auto data = connection->OpenTransfer(call.target.path, false);
    if (!data)
        return false;
    auto buffer = std::make_unique_for_overwrite<char[]>(ChunkSize);
    bool moved = true;
    for (;;)
    {
        int count = 0;
        if (!client->ReadTransferChunk(*data, buffer.get(), ChunkSize, count))
        {
            moved = false;
            break;
        }
        if (count == 0)
            break;
        if (!local.WriteAll(buffer.get(), static_cast<size_t>(count)))
        {
            Fail(io, local.Error());
            ResetOnClose(*data);
            moved = false;
            break;
        }
    }
    const bool closed = client->CloseTransfer(std::move(data));
    return moved && closed;
}

int CGetCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 0, true}, io, call, exitCode))
        return exitCode;
    if (call.target.path.back() == L'/')
    {
        Fail(io, "the URL names a folder; name the file to download");
        return 1;
    }
    std::string file = call.positional[1];
    if (file.empty())
    {
        Fail(io, "name the local file");
        return 1;
    }
    struct stat status
    {
    };
    if (::stat(file.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    {
        // Into a folder under the remote name; a name of its own cannot leave it.
        const std::wstring& path = call.target.path;
        const std::string name = platform::TextCodec::ToUtf8(path.substr(path.find_last_of(L'/') + 1));
        if (name == "." || name == "..")
        {
            Fail(io, "name the local file: the remote path ends in " + name);
            return 1;
        }
        file += (file.back() == '/' ? "" : "/") + name;
    }
    const std::string part = file + ".part";
    PartFileWatch watch(part);
    CLocalFile local;
    if (!local.Create(part))
    {
        Fail(io, local.Error());
        return 1;
    }
    const bool downloaded = Download(call, local, io);
    const bool closed = local.Close();
    if (!closed)
        Fail(io, local.Error());
    if (downloaded && closed)
    {
        if (::rename(part.c_str(), file.c_str()) == 0)
            return 0;
        Fail(io, "cannot rename " + part + " to " + file + ": " + std::strerror(errno));
    }
    ::unlink(part.c_str());
    return 1;
}

} // namespace nsCli
