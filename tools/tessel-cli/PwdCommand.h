#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli pwd URL: print the remote folder after logon (and after changing to the URL's path).
class CPwdCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "pwd"; }
    std::string_view Summary() const override
    {
        return "print the remote folder after logon (and after changing to the URL's path)";
    }
    std::string_view Arguments() const override { return "[options] URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
