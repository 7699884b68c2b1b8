#pragma once
#include "ICommand.h"

namespace nsCli
{

// tessel-cli sites ...: the stored sites and groups of the user's settings
// file, the same the programs' Site Manager shows. list writes one JSON object
// per record (passwords left out) and fails when entries could not be read;
// add, add-group and remove change the file at once, applied to what it holds
// at that moment, so runs side by side lose nothing (a new site requires FTP
// over TLS unless --encryption says otherwise); connect logs on to a
// stored site and reports where it landed.
class CSitesCommand : public ICommand
{
public:
    std::string_view Name() const override { return "sites"; }
    std::string_view Summary() const override { return "list, add and remove the stored sites and groups"; }
    std::string_view Arguments() const override
    {
        return "list | add --label LABEL [--host H] [--port P] [--login L] [--password P] [--anonymous 0|1]\n"
               "         [--passive 0|1] [--timeout S] [--directory D] [--keep-alive 0|1]\n"
               "         [--parent-group-id N] [--proxy-mode 0-8] [--proxy-host H] [--proxy-port P]\n"
               "         [--proxy-user U] [--proxy-password P] [--encoding auto|utf-8|latin-1]\n"
               "         [--encryption require|auto|plain]\n"
               "       | add-group LABEL | remove LABEL | connect LABEL";
    }
    int Run(const std::vector<std::string>& args, CommandIo& io) override;
};

} // namespace nsCli
