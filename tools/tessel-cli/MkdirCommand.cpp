#include "MkdirCommand.h"

#include "CommandRegistry.h"
#include "sites/SiteConnection.h"

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
    auto connection = ParseAndLogOn(args, {1, 0, true}, io, call, exitCode);
    if (!connection)
        return exitCode;
    return connection->Engine().MakeDirectory(call.target.path, true) == 0 ? 0 : 1;
}

} // namespace nsCli
