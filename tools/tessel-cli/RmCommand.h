#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli rm URL: delete a remote file.
class CRmCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "rm"; }
    std::string_view Summary() const override { return "delete a remote file"; }
    std::string_view Arguments() const override { return "[options] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
