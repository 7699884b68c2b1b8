#pragma once
#include "FTPFileStatus.h"
#include "ListingLines.h"
#include "ListingParser.h"
#include "RCIPtr.h"
#include "TransferNotification.h"

#include <cstddef>
#include <string>
#include <vector>

namespace nsFTP
{

// Turns the bytes of a LIST data connection into records as they arrive:
// cut into lines by CListingLines (so an overlong line is dropped, not kept),
// each line parsed, lines no format accepts left out. This is the whole path
// from data connection to records, and what the listing fuzz target drives.
class CListingSink final : public ITransferNotification
{
public:
    // More listing than this is refused, as it was when listings were kept whole.
    static constexpr std::size_t DefaultLimit = 64u * 1024 * 1024;

    explicit CListingSink(std::wstring path, CListingParser parser = CListingParser(),
                          std::size_t maxLineLength = CListingLines::DefaultMaxLineLength,
                          std::size_t limit = DefaultLimit);

    void OnBytesReceived(const char* buffer, int count) override;
    void OnPreBytesSend(char* buffer, std::uint32_t capacity, std::uint32_t& count) override;
    bool IsFull() const override { return m_full; }

    // The listing is complete: the unterminated last line is an entry too.
    void Finish();
    // Every record so far, each with the listed path.
    std::vector<nsSP::RCIPtr<CFTPFileStatus>>& Entries() { return m_entries; }

private:
    void ParseReadyLines();

    std::wstring m_path;
    CListingParser m_parser;
    CListingLines m_lines;
    std::wstring m_line;
    std::vector<nsSP::RCIPtr<CFTPFileStatus>> m_entries;
    std::size_t m_received = 0;
    std::size_t m_limit;
    bool m_full = false;
};

} // namespace nsFTP
