#include "PwdCommand.h"

#include "CommandRegistry.h"
#include "ftp/NameCodec.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CPwdCommand> registration;
}

int CPwdCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    auto connection = ParseAndLogOn(args, {1, 0, false}, io, call, exitCode);
    if (!connection)
        return exitCode;
    auto& engine = connection->Engine();
    if (!call.target.path.empty() && engine.ChangeDirectory(call.target.path) != 0)
        return 1;
    std::wstring directory;
    if (engine.CurrentDirectory(directory) != 0)
        return 1;
    // Read for people as the site's names are. One reply line holds no line
    // break, but it may hold other control characters, which would reach the
    // terminal.
    const std::wstring text = connection->Names().Decode(directory);
    for (const wchar_t c : text)
        if (nsFTP::CNameCodec::NeedsMakingVisible(c))
        {
            Fail(io, "the server's folder name holds control characters");
            return 1;
        }
    const std::string line = platform::TextCodec::ToUtf8(text) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), io.out) != line.size() || std::fflush(io.out) != 0)
    {
        Fail(io, "cannot write the folder");
        return 1;
    }
    return 0;
}

} // namespace nsCli
