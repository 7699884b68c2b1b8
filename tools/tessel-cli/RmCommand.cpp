#include "RmCommand.h"

#include "CommandRegistry.h"
#include "files/TransferList.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CRmCommand> registration;
}

int CRmCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    std::vector<std::string> rest = args;
    const bool recursive = TakeRecursive(rest);
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(rest, {1, 0, true}, io, call, exitCode))
        return exitCode;
    if (!recursive)
    {
        auto client = LogOn(call.target);
        if (!client)
            return 1;
        return client->DeleteFile(call.target.path) == 0 ? 0 : 1;
    }
    CSiteConnection connection;
    if (!Connect(connection, call.target, io))
        return 1;
    auto list = std::make_unique<CTransferList>(&connection);
    if (!PickRemote(connection, Absolute(connection, call.target.path), *list, io))
        return 1;
    return RunJob(&connection, std::move(list), L"", JobKind::RemoteDelete, CConsoleJobHost::Replace::Ask,
                  io);
}

} // namespace nsCli
