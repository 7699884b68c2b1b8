#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli mirror-put DIR URL: uploads the local file or folder (what the
// folder holds when DIR ends in "/") into the remote folder URL, made if missing.
class CMirrorPutCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mirror-put"; }
    std::string_view Summary() const override { return "upload a local file or folder tree into URL"; }
    std::string_view Arguments() const override { return "[options] [--overwrite|--no-overwrite] DIR URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override
    {
        std::vector<std::string> rest = args;
        const auto replace = TakeReplaceOptions(rest);
        NetworkCall call;
        int exitCode = 1;
        if (!ParseCall(rest, {2, 1, false}, io, call, exitCode))
            return exitCode;
        auto list = std::make_unique<CTransferList>();
        if (!PickLocal(call.positional[0], *list, io))
            return 1;
        auto connection = LogOn(call.target);
        if (!connection)
            return 1;
        return RunJob(connection.get(), std::move(list), Absolute(*connection, call.target.path),
                      JobKind::Upload, replace, io);
    }
};

namespace
{
CommandRegistration<CMirrorPutCommand> registration;
}

} // namespace nsCli
