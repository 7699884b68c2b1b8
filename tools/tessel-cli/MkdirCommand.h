#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli mkdir URL: make a remote folder.
class CMkdirCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "mkdir"; }
    std::string_view Summary() const override { return "make a remote folder"; }
    std::string_view Arguments() const override { return "[options] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
