#pragma once
#include "files/BrowserRow.h"
#include "ftp/NameCodec.h"

#include <cstdint>
#include <string>

namespace testing_support
{

// A row of the root folder as a listing would give it (the name in wire form,
// one character per byte), read by the Auto rule. Header-only: only tests
// that link the files library use it.
inline BrowserRow Row(const std::wstring& name, bool directory, std::int64_t size = 0)
{
    BrowserRow row;
    row.isDirectory = directory;
    row.name = row.displayName = name;
    row.nameText = row.displayText = nsFTP::CNameCodec().Show(name);
    row.path = L"/";
    row.size = size;
    return row;
}

} // namespace testing_support
