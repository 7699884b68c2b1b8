#pragma once
#include "FindCriteria.h"

#include <string>
#include <string_view>

// Whether a listed name holds the text a search looks for. Built once per
// search: the text is trimmed and, unless case matters, folded here.
class CNameTest
{
public:
    explicit CNameTest(const FindCriteria& criteria);

    // name as people read it. A blank text matches nothing.
    bool Matches(std::wstring_view name) const;
    bool Blank() const { return m_text.empty(); }

    // Blanks (white space) removed at both ends.
    static std::wstring Trim(std::wstring_view text);
    // White space, punctuation and symbols end a word; letters, digits and
    // marks do not.
    static bool EndsWord(wchar_t c);

private:
    std::wstring m_text;
    bool m_matchCase;
    bool m_wholeWord;
};
