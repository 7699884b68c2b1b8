#pragma once
#include <string>

// Joining and taking apart the paths the jobs and the browser work with.
class RemotePath
{
public:
    // folder + separator + name; the separator only where the folder does not
    // already end with "/" or "\".
    static std::wstring Join(const std::wstring& folder, const std::wstring& name, wchar_t separator = L'/');
    // The name of a listed link without " -> target"; other names unchanged.
    static std::wstring LinkName(const std::wstring& listedName, bool isLink);
    // The target of a listed link ("" when the name carries none).
    static std::wstring LinkTarget(const std::wstring& listedName);
    // Resolves "." and ".." and repeated separators of an absolute or relative
    // "/" path lexically; a relative path is taken below base.
    static std::wstring Normalize(const std::wstring& base, const std::wstring& path);
    // True when ancestor is path itself or one of the folders above it.
    static bool IsSelfOrAncestor(const std::wstring& ancestor, const std::wstring& path);
    // True when the name is safe to use as one component of a local path: not
    // empty, not "." or "..", no "/", NUL or control characters.
    static bool IsSafeLocalName(const std::wstring& name);
    // True when typed text names one entry of a folder: a safe name that is
    // not blanks alone.
    static bool IsOneName(const std::wstring& typed);

};
