#pragma once
#include <string>
#include <vector>

// Local paths as the disk names them: bytes, "/"-separated. Cleaning, joining
// and taking apart, the chain of folders above one, and a rename that never
// replaces what is there.
class LocalPath
{
public:
    // An absolute path with ".", ".." and repeated separators resolved by the
    // text alone, as a shell's cd does; a relative path is taken below base.
    static std::string Clean(const std::string& base, const std::string& path);
    // folder + "/" + name, with no second "/" after a folder that ends in one.
    static std::string Join(const std::string& folder, const std::string& name);
    // The folder above a clean path; empty for "/" and for relative paths.
    static std::string Parent(const std::string& path);
    // The last part of a clean path ("/" for the root).
    static std::string Name(const std::string& path);
    // "/", "/a", "/a/b" for the clean path /a/b.
    static std::vector<std::string> Chain(const std::string& path);
    // True when ancestor is path itself or a folder above it (both clean).
    static bool IsSelfOrAncestor(const std::string& ancestor, const std::string& path);
    // True for one entry's name: not empty, ".", "..", and free of "/" and NUL.
    static bool IsOneName(const std::string& name);
    // The user's home folder ($HOME, else the password database, else "/").
    static std::string Home();

    // Renames without replacing: -1 with errno EEXIST when something has the
    // new name. Where the file system cannot promise that, the new name is
    // looked at first.
    static int RenameNoReplace(const std::string& from, const std::string& to);
};
