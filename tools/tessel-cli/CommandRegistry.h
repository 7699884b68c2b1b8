#pragma once
#include "ICommand.h"

#include <memory>
#include <string_view>
#include <vector>

namespace nsCli
{

// All subcommands of the tool, filled before main by CommandRegistration
// objects in each command's source file.
class CCommandRegistry
{
public:
    static CCommandRegistry& Instance();

    void Add(std::unique_ptr<ICommand> command);
    ICommand* Find(std::string_view name) const;

    // Runs argv[1] with the rest of the arguments; usage on error.
    int Dispatch(int argc, char** argv, CommandIo& io) const;
    void PrintUsage(std::FILE* to) const;
    static void PrintCommandUsage(const ICommand& command, std::FILE* to);

private:
    std::vector<std::unique_ptr<ICommand>> m_commands;
};

// `static CommandRegistration<CMyCommand> registration;` in CMyCommand's .cpp
// puts the command into the tool.
template <class Command> struct CommandRegistration
{
    CommandRegistration() { CCommandRegistry::Instance().Add(std::make_unique<Command>()); }
};

} // namespace nsCli
