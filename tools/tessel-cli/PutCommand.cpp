#include "PutCommand.h"

#include "CommandRegistry.h"
#include "FtpUrl.h"
#include "LocalFile.h"
#include "sites/SiteConnection.h"

#include <memory>

namespace nsCli
{

namespace
{
CommandRegistration<CPutCommand> registration;
}

bool CPutCommand::Upload(const NetworkCall& call, CLocalFile& local, CommandIo& io) const
{
    auto connection = LogOn(call.target);
    if (!connection)
        return false;
    auto* client = &connection->Engine();
    auto data = connection->OpenTransfer(call.target.path, true);
    if (!data)
        return false;
    auto buffer = std::make_unique_for_overwrite<char[]>(ChunkSize);
    bool moved = true;
    for (;;)
    {
        const ssize_t got = local.Read(buffer.get(), ChunkSize);
        if (got < 0)
        {
            Fail(io, local.Error());
            // A plain close, though the server takes the file for complete: a
            // reset that reaches it before it has taken the data connection can
            // leave it without an answer, and then nothing could remove the file.
            moved = false;
            break;
        }
        if (got == 0)
            break;
        int sent = 0;
        if (!client->WriteTransferChunk(*data, buffer.get(), static_cast<int>(got), sent))
        {
            moved = false;
            break;
        }
    }
    const bool closed = client->CloseTransfer(std::move(data));
    if (moved && closed)
        return true;
    // Some servers keep what arrived and even report it complete; a cut file
    // under the full name would pass for the real one.
    if (client->IsConnected())
    {
        Fail(io, "the upload did not complete; removing the partial file from the server");
        client->DeleteFile(call.target.path);
    }
    return false;
}

int CPutCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 1, false}, io, call, exitCode))
        return exitCode;
    const std::string& file = call.positional[0];
    std::wstring& path = call.target.path;
    if (path.empty() || path.back() == L'/')
    {
        const size_t slash = file.find_last_of('/');
        const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
        if (name.empty() || name == "." || name == "..")
        {
            Fail(io, "name the remote file: " + file + " has no file name of its own");
            return 1;
        }
        path += CFtpUrl::EngineText(name);
        if (!CFtpUrl::IsSafeText(path))
        {
            Fail(io, "the file name holds a line break");
            return 1;
        }
    }
    CLocalFile local;
    if (!local.OpenForReading(file))
    {
        Fail(io, local.Error());
        return 1;
    }
    return Upload(call, local, io) ? 0 : 1;
}

} // namespace nsCli
