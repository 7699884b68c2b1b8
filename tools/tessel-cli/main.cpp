// tessel-cli: the FTP engine without windows, for scripts, checks and
// benchmarks. Subcommands register themselves (see CommandRegistry.h).
#include "CommandRegistry.h"
#include "platform/ConsoleMessageBoxes.h"
#include "platform/Services.h"

int main(int argc, char** argv)
{
    // Errors the engine would show in a box go to stderr; questions get Cancel.
    static platform::ConsoleMessageBoxes boxes;
    platform::Services::SetMessageBoxes(&boxes);
    nsCli::CommandIo io;
    return nsCli::CCommandRegistry::Instance().Dispatch(argc, argv, io);
}
