#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli mirror-get URL DIR: downloads the remote file or folder (what the
// folder holds when URL ends in "/") into the local folder DIR.
class CMirrorGetCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mirror-get"; }
    std::string_view Summary() const override { return "download a remote file or folder tree into DIR"; }
    std::string_view Arguments() const override { return "[options] [--overwrite|--no-overwrite] URL DIR"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override
    {
        std::vector<std::string> rest = args;
        const auto replace = TakeReplaceOptions(rest);
        NetworkCall call;
        int exitCode = 1;
        if (!ParseCall(rest, {2, 0, false}, io, call, exitCode))
            return exitCode;
        auto connection = LogOn(call.target);
        if (!connection)
            return 1;
        auto list = std::make_unique<CTransferList>(connection.get());
        if (!PickRemote(*connection, Absolute(*connection, call.target.path), *list, io))
            return 1;
        return RunJob(connection.get(), std::move(list),
                      platform::TextCodec::FromPathBytes(call.positional[1]), JobKind::Download, replace, io);
    }
};

namespace
{
CommandRegistration<CMirrorGetCommand> registration;
}

} // namespace nsCli
