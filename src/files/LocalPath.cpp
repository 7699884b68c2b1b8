#include "LocalPath.h"

#include "platform/TextCodec.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

std::string LocalPath::Clean(const std::string& base, const std::string& path)
{
    const std::string whole = !path.empty() && path[0] == '/' ? path : base + "/" + path;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= whole.size())
    {
        size_t end = whole.find('/', start);
        if (end == std::string::npos)
            end = whole.size();
        const std::string part = whole.substr(start, end - start);
        if (part == "..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    std::string result;
    for (const auto& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

std::string LocalPath::Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LocalPath::Parent(const std::string& path)
{
    if (path.size() < 2 || path[0] != '/')
        return {};
    const size_t slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string LocalPath::Name(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

std::vector<std::string> LocalPath::Chain(const std::string& path)
{
    std::vector<std::string> chain;
    if (path.empty() || path[0] != '/')
        return chain;
    chain.push_back("/");
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        chain.push_back(path.substr(0, slash));
    if (path != "/")
        chain.push_back(path);
    return chain;
}

bool LocalPath::IsSelfOrAncestor(const std::string& ancestor, const std::string& path)
{
    if (ancestor.empty())
        return false;
    if (ancestor == path || ancestor == "/")
        return true;
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == '/';
}

bool LocalPath::IsOneName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

std::string LocalPath::Home()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return Clean("/", home);
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
        return Clean("/", entry->pw_dir);
    return "/";
}

int LocalPath::RenameNoReplace(const std::string& from, const std::string& to)
{
    const int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result == 0 || (errno != EINVAL && errno != ENOSYS))
        return result;
    struct stat info
    {
    };
    if (lstat(to.c_str(), &info) == 0)
    {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}
