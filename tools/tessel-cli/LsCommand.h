#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli ls URL: one JSON record per entry of the remote folder.
class CLsCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "ls"; }
    std::string_view Summary() const override { return "list a remote folder as JSON lines"; }
    std::string_view Arguments() const override { return "[options] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
