#pragma once
#include "FTPFileStatus.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nsFTP
{

// Turns one line of a directory listing (EPLF, UNIX ls -l, VMS or MS-DOS
// style) into a CFTPFileStatus. One parser serves one listing: the current
// year is fixed when it is made, and it caches the local-time conversion of
// the dates it has seen (so the local zone must not change during its life).
class CListingParser
{
public:
    // The current year from the system clock (UTC).
    CListingParser();
    // A fixed current year, for tests and for replaying old listings.
    explicit CListingParser(int currentYear);

    // Resets the record and fills it from the line (without its terminator).
    // False when the line fits no format; the record is then to be discarded.
    bool Parse(std::wstring_view line, CFTPFileStatus& record);

    int CurrentYear() const { return m_currentYear; }

    // Base-10 number as wcstoul reads it (leading blanks and a sign allowed),
    // saturating at 32 bits. The value is stored even when the text has
    // trailing garbage; true only when every character was consumed.
    static bool GetLong(const wchar_t* text, size_t length, int32_t& value);
    // Byte counts: digits after optional blanks and "+", saturating at the
    // largest 64-bit value. A minus sign is no size and fails.
    static bool GetSize(const wchar_t* text, size_t length, int64_t& value);
    // "jan".."dec" in any case from the first three characters: 1-12, or -1.
    static int GetMonth(std::wstring_view text);

    // Seconds since 1970 UTC of a local date and time of this computer, as
    // mktime with isdst -1 gives it. False for values outside the calendar's
    // ranges or a time the library cannot represent.
    bool LocalTime(int year, int month, int day, int hour, int minute, int second, int64_t& result);

private:
    bool ParseEplf(const wchar_t* line, size_t length, CFTPFileStatus& record);
    bool ParseUnix(const wchar_t* line, size_t length, CFTPFileStatus& record);
    bool ParseVms(const wchar_t* line, size_t length, CFTPFileStatus& record);
    bool ParseMsDos(const wchar_t* line, size_t length, CFTPFileStatus& record);

    // The UTC offset of one whole day, when it does not change during it.
    struct DayOffset
    {
        int32_t year = 0;
        int32_t month = 0;
        int32_t day = 0;
        bool valid = false;   // entry filled
        bool uniform = false; // no offset change within the day
        int64_t offset = 0;   // local minus UTC, seconds
    };
    static constexpr size_t DayCacheSize = 64;

    int m_currentYear;
    DayOffset m_days[DayCacheSize];
};

} // namespace nsFTP
