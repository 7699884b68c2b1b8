#include "CommandRegistry.h"

#include <algorithm>
#include <string>

namespace nsCli
{

CCommandRegistry& CCommandRegistry::Instance()
{
    static CCommandRegistry registry;
    return registry;
}

void CCommandRegistry::Add(std::unique_ptr<ICommand> command)
{
    const auto at = std::lower_bound(m_commands.begin(), m_commands.end(), command->Name(),
                                     [](const auto& c, std::string_view name) { return c->Name() < name; });
    m_commands.insert(at, std::move(command));
}

ICommand* CCommandRegistry::Find(std::string_view name) const
{
    for (const auto& command : m_commands)
        if (command->Name() == name)
            return command.get();
    return nullptr;
}

void CCommandRegistry::PrintCommandUsage(const ICommand& command, std::FILE* to)
{
    const std::string name(command.Name());
    const std::string arguments(command.Arguments());
    std::fprintf(to, "usage: tessel-cli %s%s%s\n", name.c_str(), arguments.empty() ? "" : " ",
                 arguments.c_str());
}

void CCommandRegistry::PrintUsage(std::FILE* to) const
{
    std::fprintf(to, "usage: tessel-cli <command> [arguments]\n\ncommands:\n");
    for (const auto& command : m_commands)
    {
        const std::string name(command->Name());
        const std::string summary(command->Summary());
        std::fprintf(to, "  %-10s %s\n", name.c_str(), summary.c_str());
    }
}

int CCommandRegistry::Dispatch(int argc, char** argv, CommandIo& io) const
{
    if (argc < 2)
    {
        PrintUsage(io.err);
        return 1;
    }
    const std::string_view name = argv[1];
    if (name == "-h" || name == "--help" || name == "help")
    {
        PrintUsage(io.out);
        return 0;
    }
    ICommand* command = Find(name);
    if (!command)
    {
        std::fprintf(io.err, "tessel-cli: unknown command '%s'\n", argv[1]);
        PrintUsage(io.err);
        return 1;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    return command->Run(args, io);
}

} // namespace nsCli
