#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli mv URL DIR: moves a remote file or folder into the remote folder
// DIR (a path on the same server, or an ftp:// address of it).
class CMoveCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mv"; }
    std::string_view Summary() const override { return "move a remote file or folder into a remote folder"; }
    std::string_view Arguments() const override { return "[--active] [--timeout S] URL DIR"; }
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
        std::wstring destination = platform::TextCodec::FromLatin1(options.positional[1]);
        if (options.positional[1].rfind("ftp://", 0) == 0)
        {
            Address target;
            if (!ParseAddress(options.positional[1], target, error))
            {
                std::fprintf(io.err, "tessel-cli: %s\n", error.c_str());
                return 1;
            }
            destination = target.path;
        }
        CSiteConnection connection;
        if (!Connect(connection, address, options, io))
            return 1;
        auto list = std::make_unique<CTransferList>(&connection);
        if (!PickRemote(connection, address.path, *list, io))
            return 1;
        return RunJob(&connection, std::move(list), destination, JobKind::RemoteMove, options, io);
    }
};

namespace
{
CommandRegistration<CMoveCommand> registration;
}

} // namespace nsCli
