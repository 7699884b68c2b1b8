#pragma once
#include <cstdint>
#include <string>

namespace nsFTP
{

// One entry of a remote directory listing. Plain data: the parser fills it,
// the listing sets Path, the browser and the jobs read it.
class CFTPFileStatus
{
public:
    CFTPFileStatus() = default;
    CFTPFileStatus(const CFTPFileStatus&) = default;
    CFTPFileStatus& operator=(const CFTPFileStatus&) = default;
    ~CFTPFileStatus() = default;

    // Back to the default state; keeps the strings' storage so a parser that
    // reuses one record does not allocate per line.
    void Reset();

    std::wstring Name;
    std::wstring Path;
    bool TryCwd = false;
    bool TryRetr = false;
    int32_t SizeType = 0; // 0: no size known, 1: Size holds bytes
    int64_t Size = 0;
    int64_t ModificationTime = 0; // seconds since 1970-01-01 UTC, 0 when unknown
    std::wstring Attributes;
    std::wstring Owner;
    std::wstring Group;
    std::wstring LinkCount;
    int32_t IdType = 0; // 0: none, 1: Id holds an EPLF identifier
    std::wstring Id;
};

} // namespace nsFTP
