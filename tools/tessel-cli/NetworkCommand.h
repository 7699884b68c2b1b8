#pragma once
#include "ICommand.h"
#include "LogonTarget.h"

#include <memory>
#include <string>
#include <vector>

class CSiteConnection;

namespace nsCli
{

// What a network command was asked: the server and path, and its other
// positional arguments as typed.
struct NetworkCall
{
    CLogonTarget target;
    std::vector<std::string> positional;
};

// Shared ground of the commands that talk to a server: option and URL
// parsing with usage on error, and the logon.
class CNetworkCommand : public ICommand
{
protected:
    struct Shape
    {
        size_t count = 1;    // positional arguments
        size_t urlIndex = 0; // which of them is the URL
        bool needsPath = false;
    };
    // Takes the options out and checks the positional arguments against the
    // shape. On error (or --help) prints usage and returns false with the
    // exit code in `exitCode`.
    bool ParseCall(const std::vector<std::string>& args, Shape shape, CommandIo& io, NetworkCall& call,
                   int& exitCode) const;
    void Fail(CommandIo& io, const std::string& text) const;
    // Logs on to the target's site and goes to its folder, as the programs
    // do; the command's paths start there. Null when the logon failed (the
    // engine has said why on stderr).
    static std::unique_ptr<CSiteConnection> LogOn(const CLogonTarget& target);
    // ParseCall, then LogOn: null when either failed, with the exit code in `exitCode`.
    std::unique_ptr<CSiteConnection> ParseAndLogOn(const std::vector<std::string>& args, Shape shape,
                                                   CommandIo& io, NetworkCall& call, int& exitCode) const;
};

} // namespace nsCli
