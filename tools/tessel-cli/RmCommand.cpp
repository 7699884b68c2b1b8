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
    auto connection = LogOn(call.target);
    if (!connection)
        return 1;
    if (!recursive)
        return connection->Engine().DeleteFile(call.target.path) == 0 ? 0 : 1;
    auto list = std::make_unique<CTransferList>(connection.get());
    if (!PickRemote(*connection, Absolute(*connection, call.target.path), *list, io))
        return 1;
    return RunJob(connection.get(), std::move(list), L"", JobKind::RemoteDelete,
                  CConsoleJobHost::Replace::Ask, io);
}

} // namespace nsCli
