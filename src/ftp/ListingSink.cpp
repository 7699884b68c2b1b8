#include "ListingSink.h"

#include <memory>

namespace nsFTP
{

CListingSink::CListingSink(std::wstring path, CListingParser parser, std::size_t maxLineLength,
                           std::size_t limit)
    : m_path(std::move(path)), m_parser(parser), m_lines(maxLineLength), m_limit(limit)
{
}

void CListingSink::OnBytesReceived(const char* buffer, int count)
{
    if (count <= 0 || m_full)
        return;
    if (m_received + static_cast<std::size_t>(count) > m_limit)
    {
        m_full = true;
        return;
    }
    m_received += static_cast<std::size_t>(count);
    m_lines.AppendBytes(std::string_view(buffer, static_cast<std::size_t>(count)));
    ParseReadyLines();
}

void CListingSink::OnPreBytesSend(char*, std::uint32_t, std::uint32_t& count)
{
    count = 0;
}

void CListingSink::Finish()
{
    m_lines.Finish();
    ParseReadyLines();
}

void CListingSink::ParseReadyLines()
{
    while (m_lines.NextLine(m_line))
    {
        auto record = std::make_unique<CFTPFileStatus>();
        if (!m_parser.Parse(m_line, *record))
            continue;
        record->Path = m_path;
        m_entries.emplace_back(record.release());
    }
}

} // namespace nsFTP
