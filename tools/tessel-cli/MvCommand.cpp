#include "MvCommand.h"

#include "CommandRegistry.h"
#include "FtpUrl.h"
#include "files/TransferList.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CMvCommand> registration;
}

int CMvCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 0, true}, io, call, exitCode))
        return exitCode;
    // The new path as a URL's path: escapes are bytes, text is written by the site's codec.
    std::wstring to;
    std::string error;
    if (!CFtpUrl::DecodePath(call.positional[1], nsFTP::CNameCodec(call.target.options.Encoding()), to,
                             error))
    {
        Fail(io, "bad new path: " + error);
        return 1;
    }
    if (to.empty())
    {
        Fail(io, "the new path is empty or holds a line break");
        return 1;
    }
    auto connection = LogOn(call.target);
    if (!connection)
        return 1;
    auto& engine = connection->Engine();
    // Into an existing folder, as mv does; quietly, since a new name is no folder.
    const std::wstring start = connection->CurrentDirectory();
    std::wstring source = Absolute(*connection, call.target.path);
    const std::wstring into = Absolute(*connection, to);
    nsFTP::Reply reply;
    bool intoFolder = false;
    if (!start.empty() && engine.Execute(L"CWD " + to, reply, false) && reply.IsPositive())
    {
        intoFolder = true;
        // Back where relative paths start.
        engine.Execute(L"CWD " + start, reply, false);
    }
    if (!intoFolder)
        return engine.RenameFile(call.target.path, to) == 0 ? 0 : 1;

    while (source.size() > 1 && source.back() == L'/')
        source.pop_back();
    const std::wstring name = source.substr(source.rfind(L'/') + 1);
    auto list = std::make_unique<CTransferList>(connection.get());
    list->Add(0, false, name, source, 0);
    return RunJob(connection.get(), std::move(list), into, JobKind::RemoteMove, CConsoleJobHost::Replace::Ask,
                  io);
}

} // namespace nsCli
