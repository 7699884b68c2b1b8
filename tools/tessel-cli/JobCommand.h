#pragma once
#include "ConsoleJobHost.h"
#include "NetworkCommand.h"
#include "files/TransferJob.h"

#include <memory>
#include <string>
#include <vector>

class CSiteConnection;
class CTransferList;

namespace nsCli
{

// What the commands that run transfer jobs share: picking the items a job
// starts from, and running the job with a console host.
class CJobCommand : public CNetworkCommand
{
public:
    // Takes --overwrite and --no-overwrite out of args.
    static CConsoleJobHost::Replace TakeReplaceOptions(std::vector<std::string>& args);
    // Takes -r and --recursive out of args; true when one was there.
    static bool TakeRecursive(std::vector<std::string>& args);

protected:
    // A URL path as an absolute one: relative paths start in the folder the
    // logon led to.
    static std::wstring Absolute(CSiteConnection& connection, const std::wstring& path);
    // A path ending in "/" picks what the folder holds; otherwise the named
    // file or folder itself.
    bool PickRemote(CSiteConnection& connection, const std::wstring& path, CTransferList& list,
                    CommandIo& io) const;
    bool PickLocal(const std::string& path, CTransferList& list, CommandIo& io) const;
    // 0 when the job ran and nothing failed. copyOneFile: a copy of one file
    // as cp makes it (get, put): what is there is replaced without a
    // question, the destination folder must exist, and Ctrl+C ends the
    // process at once, leaving no partial file.
    int RunJob(CSiteConnection* connection, std::unique_ptr<CTransferList> list,
               const std::wstring& destination, JobKind kind, CConsoleJobHost::Replace replace, CommandIo& io,
               bool copyOneFile = false) const;
};

} // namespace nsCli
