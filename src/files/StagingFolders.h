#pragma once
#include <string>
#include <string_view>
#include <sys/types.h>

// The private folders a Copy downloads into before the file manager is told
// of the files: "tessel-staging-<pid>-<random>" under a temporary folder,
// mode 0700, the owner's process id in the name so that a later start can
// tell which ones nobody uses any more.
class CStagingFolders
{
public:
    static constexpr std::string_view Prefix = "tessel-staging-";

    // Makes a fresh folder in parent; empty (errno set) when it cannot.
    static std::string Create(const std::string& parent);
    // The process id in a staging folder's name; 0 for other names.
    static pid_t Owner(std::string_view name);
    // Removes the staging folders in parent whose owner process has ended;
    // only real folders of this user are touched. Returns how many went.
    static int SweepOrphans(const std::string& parent);
    // Removes a folder and everything in it. A link is removed as a link:
    // what it leads to is never entered, whatever is planted inside.
    static bool RemoveTree(const std::string& path);
};
