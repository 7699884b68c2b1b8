#pragma once
#include <cstdint>
#include <string>

// "%d B", "%.2f Kb" or "%.2f Mb" with 1024 as the step; empty for 0 and for the
// unknown size -1. Sizes are 64-bit: a file over 4 GiB shows its real size.
std::wstring SizeText(std::int64_t bytes);

// "%s (%d bytes)" with the size text and the byte count ("(0 bytes)" for an
// empty file); empty when the size is unknown (negative).
std::wstring SizeWithBytes(std::int64_t bytes);
