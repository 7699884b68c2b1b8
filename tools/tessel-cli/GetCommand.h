#pragma once
#include "JobCommand.h"

namespace nsCli
{

// tessel-cli get URL FILE: downloads through the download job, so FILE appears
// only once the whole file has arrived and a failed or stopped download leaves
// no partial file. A FILE that is a folder receives the file under its remote
// name.
class CGetCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "get"; }
    std::string_view Summary() const override { return "download a remote file"; }
    std::string_view Arguments() const override { return "[options] URL FILE"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
