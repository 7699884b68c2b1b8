#include "ProcessRunner.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support
{

namespace
{
// A temporary file removed when it goes out of scope.
struct TempFile
{
    TempFile()
    {
        char name[] = "/tmp/tessel-process-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        close(fd);
        path = name;
    }
    ~TempFile() { unlink(path.c_str()); }
    std::string Read() const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string path;
};
} // namespace

ProcessResult ProcessRunner::Run(const std::vector<std::string>& argv, const std::string& input,
                                 const std::map<std::string, std::string>& environment)
{
    TempFile in;
    TempFile out;
    TempFile err;
    {
        std::ofstream file(in.path, std::ios::binary);
        file << input;
    }

    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
    {
        const std::string entry(*e);
        const auto name = entry.substr(0, entry.find('='));
        if (!environment.count(name))
            envStrings.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        envStrings.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (auto& s : args)
        argp.push_back(s.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.path.c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.path.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ProcessResult result;
    if (spawned != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
    {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = out.Read();
    result.err = err.Read();
    return result;
}

} // namespace testing_support
