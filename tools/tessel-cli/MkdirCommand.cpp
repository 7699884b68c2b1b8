#include "MkdirCommand.h"

#include "CommandRegistry.h"

namespace nsCli
{

namespace
{
CommandRegistration<CMkdirCommand> registration;
}

int CMkdirCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {1, 0, true}, io, call, exitCode))
        return exitCode;
    auto client = LogOn(call.target);
    if (!client)
        return 1;
    return client->MakeDirectory(call.target.path, true) == 0 ? 0 : 1;
}

} // namespace nsCli
