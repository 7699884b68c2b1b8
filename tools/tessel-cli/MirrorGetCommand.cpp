#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli mirror-get URL DIR: downloads the remote file or folder (its
// contents when URL ends in "/") into the local folder DIR.
class CMirrorGetCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mirror-get"; }
    std::string_view Summary() const override { return "download a remote file or folder tree into DIR"; }
    std::string_view Arguments() const override
    {
        return "[--overwrite|--no-overwrite] [--active] [--timeout S] URL DIR";
    }
    int Run(const std::vector<std::string>& args, CommandIo& io) override
    {
        Options options;
        if (!ParseOptions(args, options, io) || options.positional.size() != 2)
            return Usage(io);
        Address address;
        std::string error;
        if (!ParseAddress(options.positional[0], address, error))
        {
            std::fprintf(io.err, "tessel-cli: %s\n", error.c_str());
            return 1;
        }
        CSiteConnection connection;
        if (!Connect(connection, address, options, io))
            return 1;
        auto list = std::make_unique<CTransferList>(&connection);
        if (!PickRemote(connection, address.path, *list, io))
            return 1;
        return RunJob(&connection, std::move(list), platform::TextCodec::FromUtf8(options.positional[1]),
                      JobKind::Download, options, io);
    }
};

namespace
{
CommandRegistration<CMirrorGetCommand> registration;
}

} // namespace nsCli
