#include "StagingFolders.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
// Deeper than any tree a job writes (its lists stop at 64 levels).
constexpr int MaxRemoveDepth = 256;

struct DirectoryCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

// Empties the folder open as fd (which this call takes over); every entry is
// looked at without following links, and folders are opened with O_NOFOLLOW,
// so a link swapped in meanwhile is not entered either.
bool EmptyFolder(int fd, int depth)
{
    std::unique_ptr<DIR, DirectoryCloser> dir(fdopendir(fd));
    if (!dir)
    {
        close(fd);
        return false;
    }
    if (depth > MaxRemoveDepth)
        return false;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get()))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const int at = dirfd(dir.get());
    bool ok = true;
    for (const auto& name : names)
    {
        struct stat info
        {
        };
        if (fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        {
            ok = ok && errno == ENOENT;
            continue;
        }
        if (S_ISDIR(info.st_mode))
        {
            const int child = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0 || !EmptyFolder(child, depth + 1) || unlinkat(at, name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        }
        else if (unlinkat(at, name.c_str(), 0) != 0 && errno != ENOENT)
            ok = false;
    }
    return ok;
}

bool OwnerAlive(pid_t pid)
{
    return kill(pid, 0) == 0 || errno == EPERM;
}
} // namespace

std::string CStagingFolders::Create(const std::string& parent)
{
    std::string name = parent;
    if (name.empty() || name.back() != '/')
        name += '/';
    name += std::string(Prefix) + std::to_string(getpid()) + "-XXXXXX";
    // mkdtemp makes the folder with mode 0700 and a name nobody else holds.
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        return {};
    return buffer.data();
}

pid_t CStagingFolders::Owner(std::string_view name)
{
    if (name.substr(0, Prefix.size()) != Prefix)
        return 0;
    name.remove_prefix(Prefix.size());
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 >= name.size())
        return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || end != name.data() + dash || pid <= 0 || pid > 0x3FFFFFFF)
        return 0;
    return static_cast<pid_t>(pid);
}

int CStagingFolders::SweepOrphans(const std::string& parent)
{
    std::unique_ptr<DIR, DirectoryCloser> dir(opendir(parent.c_str()));
    if (!dir)
        return 0;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get()))
        if (Owner(entry->d_name) != 0)
            names.push_back(entry->d_name);
    int removed = 0;
    for (const auto& name : names)
    {
        const pid_t owner = Owner(name);
        if (owner == getpid() || OwnerAlive(owner))
            continue;
        const std::string path = parent + (parent.empty() || parent.back() != '/' ? "/" : "") + name;
        struct stat info
        {
        };
        // Only real folders this user made: a link of that name is left alone.
        if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
            continue;
        if (RemoveTree(path))
            ++removed;
    }
    return removed;
}

bool CStagingFolders::RemoveTree(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT;
    if (!EmptyFolder(fd, 0))
        return false;
    return rmdir(path.c_str()) == 0;
}
