#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli rmdir URL: remove an empty remote folder.
class CRmdirCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "rmdir"; }
    std::string_view Summary() const override { return "remove an empty remote folder"; }
    std::string_view Arguments() const override { return "[options] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
