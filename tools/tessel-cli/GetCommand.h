#pragma once
#include "NetworkCommand.h"

namespace nsCli
{

class CLocalFile;

// tessel-cli get URL FILE: downloads into FILE.part and renames it to FILE
// only when the whole transfer succeeded; the part file goes on failure. A
// FILE that is a folder receives the file under its remote name.
class CGetCommand : public CNetworkCommand
{
public:
    std::string_view Name() const override { return "get"; }
    std::string_view Summary() const override { return "download a remote file"; }
    std::string_view Arguments() const override { return "[options] URL FILE"; }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;

private:
    bool Download(const NetworkCall& call, CLocalFile& local, CommandIo& io) const;
};

} // namespace nsCli
