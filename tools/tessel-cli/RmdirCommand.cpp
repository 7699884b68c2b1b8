#include "RmdirCommand.h"

#include "CommandRegistry.h"

namespace nsCli
{

namespace
{
CommandRegistration<CRmdirCommand> registration;
}

int CRmdirCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {1, 0, true}, io, call, exitCode))
        return exitCode;
    auto client = LogOn(call.target);
    if (!client)
        return 1;
    return client->RemoveDirectory(call.target.path) == 0 ? 0 : 1;
}

} // namespace nsCli
