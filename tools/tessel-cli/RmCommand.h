#pragma once
#include "JobCommand.h"

namespace nsCli
{

// tessel-cli rm [-r] URL: delete a remote file; with -r a folder and all it
// holds, deepest first, through the delete job.
class CRmCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "rm"; }
    std::string_view Summary() const override { return "delete a remote file, or a folder tree with -r"; }
    std::string_view Arguments() const override { return "[options] [-r] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
