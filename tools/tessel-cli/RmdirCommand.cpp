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
    auto client = ParseAndLogOn(args, {1, 0, true}, io, call, exitCode);
    if (!client)
        return exitCode;
    return client->RemoveDirectory(call.target.path) == 0 ? 0 : 1;
}

} // namespace nsCli
