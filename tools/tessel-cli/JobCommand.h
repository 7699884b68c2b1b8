#pragma once
#include "ConsoleJobHost.h"
#include "ICommand.h"
#include "files/TransferJob.h"

#include <memory>
#include <string>
#include <vector>

class CSiteConnection;
class CTransferList;

namespace nsCli
{

// What the transfer-job commands share: the ftp:// address, connecting, picking
// the items a job starts from, and running the job with a console host.
class CJobCommand : public ICommand
{
public:
    // ftp://[user[:password]@]host[:port][/path], with %XX escapes. The path
    // keeps its bytes (one character per byte, as the engine sends it).
    struct Address
    {
        std::wstring host;
        int port = 21;
        std::wstring user;
        std::wstring password;
        bool anonymous = true;
        std::wstring path = L"/";
    };
    static bool ParseAddress(const std::string& text, Address& address, std::string& error);

protected:
    struct Options
    {
        CConsoleJobHost::Replace replace = CConsoleJobHost::Replace::Ask;
        bool passive = true;
        bool recursive = false;
        int timeout = 30;
        std::vector<std::string> positional;
    };
    // false (after saying why) on an unknown option.
    bool ParseOptions(const std::vector<std::string>& args, Options& options, CommandIo& io) const;
    int Usage(CommandIo& io) const;

    bool Connect(CSiteConnection& connection, const Address& address, const Options& options,
                 CommandIo& io) const;
    // A path ending in "/" picks what the folder holds; otherwise the named
    // file or folder itself.
    bool PickRemote(CSiteConnection& connection, const std::wstring& path, CTransferList& list,
                    CommandIo& io) const;
    bool PickLocal(const std::string& path, CTransferList& list, CommandIo& io) const;
    // 0 when the job ran and nothing failed.
    int RunJob(CSiteConnection* connection, std::unique_ptr<CTransferList> list,
               const std::wstring& destination, JobKind kind, const Options& options, CommandIo& io) const;
};

} // namespace nsCli
