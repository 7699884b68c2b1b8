#include "NameTest.h"

#include "platform/qt/CaseFold.h"

#include <QChar>

CNameTest::CNameTest(const FindCriteria& criteria)
    : m_text(Trim(criteria.text)), m_matchCase(criteria.matchCase), m_wholeWord(criteria.wholeWord)
{
    if (!m_matchCase)
        m_text = platform::CaseFold::Fold(m_text);
}

std::wstring CNameTest::Trim(std::wstring_view text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && QChar::isSpace(static_cast<char32_t>(text[first])))
        ++first;
    while (last > first && QChar::isSpace(static_cast<char32_t>(text[last - 1])))
        --last;
    return std::wstring(text.substr(first, last - first));
}

bool CNameTest::EndsWord(wchar_t c)
{
    const auto code = static_cast<char32_t>(c);
    return QChar::isSpace(code) || QChar::isPunct(code) || QChar::isSymbol(code);
}

bool CNameTest::Matches(std::wstring_view name) const
{
    if (m_text.empty())
        return false;
    // Folding keeps blanks and punctuation as they are, so the word ends can
    // be judged in the folded name.
    std::wstring folded;
    if (!m_matchCase)
    {
        folded = platform::CaseFold::Fold(name);
        name = folded;
    }
    size_t at = name.find(m_text);
    if (!m_wholeWord)
        return at != std::wstring_view::npos;
    while (at != std::wstring_view::npos)
    {
        const size_t end = at + m_text.size();
        if ((at == 0 || EndsWord(name[at - 1])) && (end == name.size() || EndsWord(name[end])))
            return true;
        at = name.find(m_text, end);
    }
    return false;
}
