#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli mirror-put DIR URL: uploads the local file or folder (its
// contents when DIR ends in "/") into the remote folder URL.
class CMirrorPutCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mirror-put"; }
    std::string_view Summary() const override { return "upload a local file or folder tree into URL"; }
    std::string_view Arguments() const override
    {
        return "[--overwrite|--no-overwrite] [--active] [--timeout S] DIR URL";
    }
    int Run(const std::vector<std::string>& args, CommandIo& io) override
    {
        Options options;
        if (!ParseOptions(args, options, io) || options.positional.size() != 2)
            return Usage(io);
        Address address;
        std::string error;
        if (!ParseAddress(options.positional[1], address, error))
        {
            std::fprintf(io.err, "tessel-cli: %s\n", error.c_str());
            return 1;
        }
        auto list = std::make_unique<CTransferList>();
        if (!PickLocal(options.positional[0], *list, io))
            return 1;
        CSiteConnection connection;
        if (!Connect(connection, address, options, io))
            return 1;
        return RunJob(&connection, std::move(list), address.path, JobKind::Upload, options, io);
    }
};

namespace
{
CommandRegistration<CMirrorPutCommand> registration;
}

} // namespace nsCli
