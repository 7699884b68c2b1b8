#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace nsCli
{

// The streams a subcommand works with; tests and main pass the real ones.
struct CommandIo
{
    std::FILE* in = stdin;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// One subcommand of tessel-cli. Run gets the arguments after the command's
// name and returns the process exit code (0 success, 1 failure).
class ICommand
{
public:
    virtual ~ICommand() = default;
    virtual std::string_view Name() const = 0;
    // One line for the overview, without the command name.
    virtual std::string_view Summary() const = 0;
    // The argument synopsis, e.g. "[--year Y]".
    virtual std::string_view Arguments() const = 0;
    virtual int Run(const std::vector<std::string>& args, CommandIo& io) = 0;
};

} // namespace nsCli
