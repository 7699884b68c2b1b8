#include "OutputStream.h"

namespace nsFTP
{

COutputStream::COutputStream(std::wstring endOfLine, std::size_t limit)
    : m_endOfLine(std::move(endOfLine)), m_limit(limit)
{
}

void COutputStream::OnBytesReceived(const char* buffer, int count)
{
    if (count <= 0 || m_full)
        return;
    if (m_text.size() + static_cast<std::size_t>(count) > m_limit)
    {
        m_full = true;
        return;
    }
    const std::size_t start = m_text.size();
    m_text.resize(start + static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_text[start + i] = static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
}

void COutputStream::OnPreBytesSend(char*, std::uint32_t, std::uint32_t& count)
{
    count = 0;
}

bool COutputStream::NextLine(std::wstring& line)
{
    if (m_endOfLine.empty() || m_position >= m_text.size())
        return false;
    const std::size_t end = m_text.find(m_endOfLine, m_position);
    if (end == std::wstring::npos)
        return false;
    line.assign(m_text, m_position, end - m_position);
    m_position = end + m_endOfLine.size();
    return true;
}

} // namespace nsFTP
