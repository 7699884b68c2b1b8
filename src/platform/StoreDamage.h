#pragma once
#include <cstdint>
#include <string>

namespace platform
{

// What one reading of a settings store could not use. A store that cannot be
// read at all has a read error and nothing else; otherwise the entries it had
// to skip are counted, and a copy of the damaged file is kept beside it before
// anything replaces it.
struct StoreDamage
{
    // The file read, for messages; empty for a store without a file.
    std::wstring file;
    std::wstring readError;
    int skipped = 0;
    std::wstring copy;
    // Why no copy could be kept; the file is then left as it is.
    std::wstring copyError;
    // Tells one damage from another, so the same one is told only once.
    std::uint64_t fingerprint = 0;

    bool Any() const { return skipped > 0 || !readError.empty(); }
    // The sentence that tells the user; empty without damage.
    std::wstring Text() const;
};

} // namespace platform
