#pragma once
#include "ICommand.h"

namespace nsCli
{

// tessel-cli parse [--year Y]: listing lines on stdin, one JSON record (or
// null for a refused line) per line on stdout.
class CParseCommand : public ICommand
{
public:
    std::string_view Name() const override { return "parse"; }
    std::string_view Summary() const override { return "parse listing lines from stdin into JSON lines"; }
    std::string_view Arguments() const override { return "[--year Y]"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
