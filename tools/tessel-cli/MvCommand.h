#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli mv URL NEWPATH: rename or move a remote file or folder.
class CMvCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "mv"; }
    std::string_view Summary() const override { return "rename or move a remote file or folder"; }
    std::string_view Arguments() const override { return "[options] URL NEWPATH"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
