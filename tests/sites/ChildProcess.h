#pragma once
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support
{

// Runs body in a forked child; the child's answer comes back as its exit
// status. Another process is what proves that data reached the file.
inline pid_t StartChild(const std::function<bool()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body() ? 0 : 1);
    return pid;
}

inline bool WaitChild(pid_t pid)
{
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool RunInChild(const std::function<bool()>& body)
{
    return WaitChild(StartChild(body));
}

} // namespace testing_support
