#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

// tessel-cli find URL TEXT: the Find dialog's search, one JSON record per
// entry found, in the order the dialog lists them.
class CFindCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "find"; }
    std::string_view Summary() const override { return "search a remote tree by name, as JSON lines"; }
    std::string_view Arguments() const override
    {
        return "[--match-case] [--whole-word] [--no-subfolders] [options] URL TEXT";
    }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
