// Feeds arbitrary bytes to the listing parser the way a listing reaches it:
// one character per byte, cut into lines. A fixed year keeps runs repeatable.
#include "ftp/FTPFileStatus.h"
#include "ftp/ListingLines.h"
#include "ftp/ListingParser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    nsFTP::CListingLines lines(4096);
    lines.AppendBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    lines.Finish();
    nsFTP::CListingParser parser(2024);
    nsFTP::CFTPFileStatus record;
    std::wstring line;
    while (lines.NextLine(line))
    {
        if (parser.Parse(line, record))
        {
            // A record that parsed must be usable: a name, and sane flags.
            if (record.Name.empty() || (record.SizeType != 0 && record.SizeType != 1))
                __builtin_trap();
        }
    }
    return 0;
}
