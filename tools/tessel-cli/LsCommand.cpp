#include "LsCommand.h"

#include "CommandRegistry.h"
#include "FileStatusJson.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CLsCommand> registration;
}

int CLsCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    auto connection = ParseAndLogOn(args, {1, 0, false}, io, call, exitCode);
    if (!connection)
        return exitCode;
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> entries;
    if (!connection->List(call.target.path, entries))
        return 1;
    CJsonLineWriter json(io.out);
    for (const auto& entry : entries)
        WriteFileStatus(json, *entry, connection->Names(), true);
    if (std::fflush(io.out) != 0 || !json.Ok())
    {
        Fail(io, "cannot write the records");
        return 1;
    }
    return 0;
}

} // namespace nsCli
