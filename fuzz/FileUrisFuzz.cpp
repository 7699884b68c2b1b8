// Feeds arbitrary bytes to the readers of the file lists a clipboard or a drop
// brings (text/uri-list, the gnome and mate lists) and of the destination an
// X Direct Save target writes back. Whatever they take must be a clean
// absolute path that comes back unchanged through its own URI.
#include "files/FileUris.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{
void Check(const std::string& path, bool rootAllowed)
{
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos ||
        (path.size() > 1 && path.back() == '/') || path.find("//") != std::string::npos ||
        path.find("/../") != std::string::npos || path.find("/./") != std::string::npos)
        __builtin_trap();
    if (path == "/")
    {
        if (!rootAllowed)
            __builtin_trap();
        return;
    }
    std::string back;
    if (!CFileUris::ToPath(CFileUris::FromPath(path), "fuzzhost", back) || back != path)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& parsed :
         {CFileUris::ParseUriList(text, "fuzzhost"), CFileUris::ParseCopiedFiles(text, "fuzzhost")})
    {
        if (parsed.paths.size() + parsed.skipped.size() > CFileUris::MaxEntries)
            __builtin_trap();
        for (const auto& path : parsed.paths)
            Check(path, false);
    }
    std::string folder;
    if (CFileUris::DirectSaveFolder(text, "fuzzhost", folder))
        Check(folder, true);
    return 0;
}
