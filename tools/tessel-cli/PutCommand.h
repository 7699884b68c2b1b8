#pragma once
#include "JobCommand.h"

namespace nsCli
{

// tessel-cli put FILE URL: uploads FILE through the upload job; a URL ending
// in '/' names the folder and the file keeps its local name. An upload that
// breaks off after the server accepted it leaves no partial file behind.
class CPutCommand : public CJobCommand
{
public:
    std::string_view Name() const override { return "put"; }
    std::string_view Summary() const override { return "upload a local file"; }
    std::string_view Arguments() const override { return "[options] FILE URL"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
