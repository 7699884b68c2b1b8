#include "CommandRegistry.h"
#include "JobCommand.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

// tessel-cli rm [-r] URL: deletes a remote file, or with -r a folder and
// everything in it, deepest first.
class CRemoveCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "rm"; }
    std::string_view Summary() const override { return "delete a remote file, or a folder tree with -r"; }
    std::string_view Arguments() const override { return "[-r] [--active] [--timeout S] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override
    {
        Options options;
        if (!ParseOptions(args, options, io) || options.positional.size() != 1)
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
        for (const auto& item : list->Items())
            if (item.isDirectory && !options.recursive)
            {
                std::fprintf(io.err, "tessel-cli: %s is a folder: give -r to delete it with its contents\n",
                             platform::TextCodec::ToLatin1(item.sourcePath).c_str());
                return 1;
            }
        return RunJob(&connection, std::move(list), L"", JobKind::RemoteDelete, options, io);
    }
};

namespace
{
CommandRegistration<CRemoveCommand> registration;
}

} // namespace nsCli
