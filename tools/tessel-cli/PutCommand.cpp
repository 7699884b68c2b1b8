#include "PutCommand.h"

#include "CommandRegistry.h"
#include "FtpUrl.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using platform::TextCodec;

namespace nsCli
{

namespace
{
CommandRegistration<CPutCommand> registration;
}

int CPutCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 1, false}, io, call, exitCode))
        return exitCode;
    const std::string& file = call.positional[0];
    const std::wstring& path = call.target.path;
    const size_t slash = file.find_last_of('/');
    const std::string localName = slash == std::string::npos ? file : file.substr(slash + 1);
    // The remote folder, and the file's name there unless it keeps its local one.
    std::wstring folder = path;
    std::wstring remoteName;
    if (path.empty() || path.back() == L'/')
    {
        if (localName.empty() || localName == "." || localName == "..")
        {
            Fail(io, "name the remote file: " + file + " has no file name of its own");
            return 1;
        }
        if (localName.find_first_of("\r\n") != std::string::npos)
        {
            Fail(io, "the file name holds a line break");
            return 1;
        }
    }
    else
    {
        const size_t at = path.rfind(L'/');
        folder = at == std::wstring::npos ? L"" : path.substr(0, at + 1);
        remoteName = path.substr(at == std::wstring::npos ? 0 : at + 1);
    }
    // Local problems stop the command before it connects.
    struct stat status
    {
    };
    if (::stat(file.c_str(), &status) != 0)
    {
        Fail(io, "cannot open " + file + ": " + std::strerror(errno));
        return 1;
    }
    if (S_ISDIR(status.st_mode))
    {
        Fail(io, "cannot send " + file + ": " + std::strerror(EISDIR));
        return 1;
    }

    auto connection = LogOn(call.target);
    if (!connection)
        return 1;
    auto list = std::make_unique<CTransferList>(connection.get());
    // Local names are bytes: the file goes out under its name's own bytes.
    list->Add(static_cast<std::int64_t>(status.st_size), false, TextCodec::FromPathBytes(localName),
              TextCodec::FromPathBytes(file), static_cast<std::int64_t>(status.st_mtime));
    list->LastAdded().remoteName = remoteName;
    return RunJob(connection.get(), std::move(list), Absolute(*connection, folder), JobKind::Upload,
                  CConsoleJobHost::Replace::Always, io, true);
}

} // namespace nsCli
