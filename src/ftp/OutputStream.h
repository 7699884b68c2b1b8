#pragma once
#include "TransferNotification.h"

#include <cstddef>
#include <string>

namespace nsFTP
{

// Collects the text of a receiving transfer (a listing) in memory, one
// character per byte, and hands it out line by line.
class COutputStream final : public ITransferNotification
{
public:
    // More than this is refused: a listing may not grow without bound.
    static constexpr std::size_t DefaultLimit = 64u * 1024 * 1024;

    explicit COutputStream(std::wstring endOfLine, std::size_t limit = DefaultLimit);

    void OnBytesReceived(const char* buffer, int count) override;
    void OnPreBytesSend(char* buffer, std::uint32_t capacity, std::uint32_t& count) override;
    bool IsFull() const override { return m_full; }

    const std::wstring& Text() const { return m_text; }
    // Starts reading lines from the beginning of the received text.
    void Rewind() { m_position = 0; }
    // The next line ended by the end-of-line sequence; text after the last
    // sequence is never a line.
    bool NextLine(std::wstring& line);

private:
    std::wstring m_endOfLine;
    std::wstring m_text;
    std::size_t m_position = 0;
    std::size_t m_limit;
    bool m_full = false;
};

} // namespace nsFTP
