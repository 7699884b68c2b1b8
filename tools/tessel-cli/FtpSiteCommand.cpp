#include "FtpSiteCommand.h"

#include "CommandRegistry.h"
#include "FtpUrl.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CFtpSiteCommand> registration;
}

int CFtpSiteCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 0, false}, io, call, exitCode))
        return exitCode;
    std::wstring text;
    if (!CFtpUrl::TypedText(call.positional[1], nsFTP::CNameCodec(call.target.options.Encoding()), text))
    {
        Fail(io, "the SITE text cannot be written in Latin-1, the encoding chosen");
        return 1;
    }
    if (text.empty() || !CFtpUrl::IsSafeText(text))
    {
        Fail(io, "the SITE text is empty or holds a line break");
        return 1;
    }
    auto connection = LogOn(call.target);
    if (!connection)
        return 1;
    auto& engine = connection->Engine();
    if (!call.target.path.empty() && engine.ChangeDirectory(call.target.path) != 0)
        return 1;
    return engine.SiteCommand(text) == 0 ? 0 : 1;
}

} // namespace nsCli
