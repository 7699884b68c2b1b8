#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli site URL TEXT: send a SITE command (in the URL's folder, if it names one).
class CFtpSiteCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "site"; }
    std::string_view Summary() const override
    {
        return "send a SITE command (in the URL's folder, if it names one)";
    }
    std::string_view Arguments() const override { return "[options] URL TEXT"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
