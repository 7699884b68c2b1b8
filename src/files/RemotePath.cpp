#include "RemotePath.h"

#include <vector>

namespace
{
const std::wstring LinkArrow = L" -> ";
}

std::wstring RemotePath::Join(const std::wstring& folder, const std::wstring& name, wchar_t separator)
{
    if (!folder.empty() && (folder.back() == L'/' || folder.back() == L'\\'))
        return folder + name;
    return folder + separator + name;
}

std::wstring RemotePath::LinkName(const std::wstring& listedName, bool isLink)
{
    if (!isLink)
        return listedName;
    const auto arrow = listedName.find(LinkArrow);
    return arrow == std::wstring::npos ? listedName : listedName.substr(0, arrow);
}

std::wstring RemotePath::LinkTarget(const std::wstring& listedName)
{
    const auto arrow = listedName.find(LinkArrow);
    return arrow == std::wstring::npos ? std::wstring() : listedName.substr(arrow + LinkArrow.size());
}

std::wstring RemotePath::Normalize(const std::wstring& base, const std::wstring& path)
{
    const std::wstring whole = !path.empty() && path[0] == L'/' ? path : base + L"/" + path;
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= whole.size())
    {
        size_t end = whole.find(L'/', start);
        if (end == std::wstring::npos)
            end = whole.size();
        const std::wstring part = whole.substr(start, end - start);
        if (part == L"..")
        {
            if (!parts.empty())
                parts.pop_back();
        }
        else if (!part.empty() && part != L".")
            parts.push_back(part);
        start = end + 1;
    }
    std::wstring result;
    for (const auto& part : parts)
        result += L"/" + part;
    return result.empty() ? L"/" : result;
}

bool RemotePath::IsSelfOrAncestor(const std::wstring& ancestor, const std::wstring& path)
{
    if (ancestor == path || ancestor == L"/")
        return true;
    return path.size() > ancestor.size() && path.compare(0, ancestor.size(), ancestor) == 0 &&
           path[ancestor.size()] == L'/';
}

bool RemotePath::IsSafeLocalName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name)
        if (c == L'/' || c < 0x20 || c == 0x7F)
            return false;
    return true;
}

bool RemotePath::IsOneName(const std::wstring& typed)
{
    return IsSafeLocalName(typed) && typed.find_first_not_of(L" \t") != std::wstring::npos;
}
