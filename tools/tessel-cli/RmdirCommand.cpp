#include "RmdirCommand.h"

#include "CommandRegistry.h"
#include "sites/SiteConnection.h"

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
    auto connection = ParseAndLogOn(args, {1, 0, true}, io, call, exitCode);
    if (!connection)
        return exitCode;
    return connection->Engine().RemoveDirectory(call.target.path) == 0 ? 0 : 1;
}

} // namespace nsCli
