#include "RmCommand.h"

#include "CommandRegistry.h"

namespace nsCli
{

namespace
{
CommandRegistration<CRmCommand> registration;
}

int CRmCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {1, 0, true}, io, call, exitCode))
        return exitCode;
    auto client = LogOn(call.target);
    if (!client)
        return 1;
    return client->DeleteFile(call.target.path) == 0 ? 0 : 1;
}

} // namespace nsCli
