#include "ListingLines.h"

namespace nsFTP
{

CListingLines::CListingLines(size_t maxLineLength) : m_maxLineLength(maxLineLength) {}

void CListingLines::Append(std::wstring_view text)
{
    m_text.append(text);
}

void CListingLines::AppendBytes(std::string_view bytes)
{
    const size_t old = m_text.size();
    m_text.resize(old + bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        m_text[old + i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
}

void CListingLines::Finish()
{
    m_finished = true;
}

void CListingLines::Compact()
{
    if (m_readPos > 0 && m_readPos * 2 >= m_text.size())
    {
        m_text.erase(0, m_readPos);
        m_scanPos -= m_readPos;
        m_readPos = 0;
    }
}

bool CListingLines::NextLine(std::wstring& line)
{
    line.clear();
    for (;;)
    {
        const size_t lf = m_text.find(L'\n', m_scanPos);
        if (lf == std::wstring::npos)
        {
            m_scanPos = m_text.size();
            const size_t pending = m_text.size() - m_readPos;
            if (!m_skipping && pending > m_maxLineLength)
            {
                // Too long to be an entry: report it once, keep nothing of it.
                m_skipping = true;
                m_readPos = m_scanPos = 0;
                m_text.clear();
                return true;
            }
            if (m_skipping)
            {
                m_readPos = m_scanPos = 0;
                m_text.clear();
            }
            if (!m_finished || m_readPos >= m_text.size())
                return false;
            line.assign(m_text, m_readPos, m_text.size() - m_readPos);
            m_readPos = m_scanPos = m_text.size();
            Compact();
            return true;
        }
        if (m_skipping)
        {
            m_skipping = false;
            m_readPos = m_scanPos = lf + 1;
            Compact();
            continue;
        }
        size_t end = lf;
        if (end > m_readPos && m_text[end - 1] == L'\r')
            --end;
        if (end - m_readPos > m_maxLineLength)
        {
            m_readPos = m_scanPos = lf + 1;
            Compact();
            return true;
        }
        line.assign(m_text, m_readPos, end - m_readPos);
        m_readPos = m_scanPos = lf + 1;
        Compact();
        return true;
    }
}

} // namespace nsFTP
