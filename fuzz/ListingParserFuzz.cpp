// Feeds arbitrary bytes to CListingSink, the path ListDirectory takes from
// the data connection to records, in pieces of the sizes the input itself
// picks. Only the line cap (small, so long lines are reached) and the fixed
// year (runs are repeatable) differ from a real listing.
#include "ftp/FTPFileStatus.h"
#include "ftp/ListingParser.h"
#include "ftp/ListingSink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    nsFTP::CListingSink sink(L"/pub", nsFTP::CListingParser(2024), 4096);
    for (size_t at = 0; at < size;)
    {
        const size_t piece = std::min<size_t>(size - at, 1 + data[at] % 512);
        sink.OnBytesReceived(reinterpret_cast<const char*>(data + at), static_cast<int>(piece));
        at += piece;
    }
    sink.Finish();
    for (const auto& record : sink.Entries())
    {
        // A record must be usable: a name, the listed path, and a size that is
        // either unknown or a real count.
        if (record->Name.empty() || record->Path != L"/pub" ||
            (record->SizeType != 0 && record->SizeType != 1) || (record->SizeType == 1 && record->Size < 0))
            __builtin_trap();
    }
    return 0;
}
