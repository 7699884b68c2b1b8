#include "FileMode.h"

#include <cstdio>

namespace
{
const std::wstring WhiteSpace = L" \t\r\n\f\v";
}

int CFileMode::FromAttributes(const std::wstring& attributes)
{
    // Ten characters, and perhaps a mark of extra rights ("+", "@", ".") after them.
    if (attributes.size() != 10 &&
        !(attributes.size() == 11 && std::wstring(L"+@.").find(attributes[10]) != std::wstring::npos))
        return -1;
    int mode = 0;
    for (int who = 0; who < 3; ++who)
    {
        const wchar_t read = attributes[1 + who * 3];
        const wchar_t write = attributes[2 + who * 3];
        const wchar_t run = attributes[3 + who * 3];
        const int shift = (2 - who) * 3;
        if ((read != L'r' && read != L'-') || (write != L'w' && write != L'-'))
            return -1;
        if (read == L'r')
            mode |= 4 << shift;
        if (write == L'w')
            mode |= 2 << shift;
        // The execute place also carries the special bit of its class: s for
        // the owner and group, t for others; upper case without execute.
        const wchar_t special = who == 2 ? L't' : L's';
        if (run == L'x' || run == special)
            mode |= 1 << shift;
        else if (run != L'-' && run != special - 32)
            return -1;
        if (run == special || run == special - 32)
            mode |= 01000 << (2 - who);
    }
    return mode;
}

std::wstring CFileMode::Text(int mode)
{
    wchar_t text[8];
    std::swprintf(text, 8, (mode & 07000) != 0 ? L"%04o" : L"%03o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::wstring CFileMode::Parse(const std::wstring& typed)
{
    const size_t first = typed.find_first_not_of(WhiteSpace);
    if (first == std::wstring::npos)
        return {};
    const std::wstring value = typed.substr(first, typed.find_last_not_of(WhiteSpace) - first + 1);
    if (value.size() < 3 || value.size() > 4)
        return {};
    for (const wchar_t c : value)
        if (c < L'0' || c > L'7')
            return {};
    return value;
}
