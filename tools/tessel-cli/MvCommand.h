#pragma once
#include "JobCommand.h"

namespace nsCli
{

// tessel-cli mv URL NEWPATH: rename a remote file or folder; when NEWPATH is
// an existing folder, move it into that folder through the move job.
class CMvCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "mv"; }
    std::string_view Summary() const override
    {
        return "rename a remote file or folder, or move it into an existing folder";
    }
    std::string_view Arguments() const override { return "[options] URL NEWPATH|DIR"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
