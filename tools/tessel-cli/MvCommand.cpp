#include "MvCommand.h"

#include "CommandRegistry.h"
#include "FtpUrl.h"

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
    const std::wstring to = CFtpUrl::EngineText(call.positional[1]);
    if (to.empty() || !CFtpUrl::IsSafeText(to))
    {
        Fail(io, "the new path is empty or holds a line break");
        return 1;
    }
    auto client = LogOn(call.target);
    if (!client)
        return 1;
    return client->RenameFile(call.target.path, to) == 0 ? 0 : 1;
}

} // namespace nsCli
