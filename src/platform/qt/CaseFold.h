#pragma once
#include <string>
#include <string_view>

namespace platform
{

// Every comparison "ignoring case" goes through here: names, labels and
// filter texts are compared as people read them, with Unicode case folding
// (so "É" matches "é" and "ß" matches "SS"), not only ASCII.
class CaseFold
{
public:
    // The folded form: two texts are equal ignoring case when their folded
    // forms are equal. ASCII-only text is folded without leaving this class.
    static std::wstring Fold(std::wstring_view text);
    // Three-way comparison of the folded forms (-1, 0, 1).
    static int Compare(std::wstring_view a, std::wstring_view b);
    static bool Equal(std::wstring_view a, std::wstring_view b);
    static bool StartsWith(std::wstring_view text, std::wstring_view prefix);
};

} // namespace platform
