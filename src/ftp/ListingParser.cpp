#include "ListingParser.h"

#include <cstdint>
#include <ctime>

namespace nsFTP
{

namespace
{

constexpr wchar_t Blank = L' ';

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Days from 1970-01-01 to the given civil date; out-of-range days roll over
// into the next month the way mktime rolls them.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (day - 1);
}

// The date and time read as if it were UTC.
int64_t NaiveSeconds(int year, int month, int day, int hour, int minute, int second)
{
    return DaysFromCivil(year, month, 1) * 86400 + (static_cast<int64_t>(day) - 1) * 86400 + hour * 3600 +
           minute * 60 + second;
}

bool MakeLocal(int year, int month, int day, int hour, int minute, int second, int64_t& result)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const std::time_t value = std::mktime(&t);
    if (value == static_cast<std::time_t>(-1))
        return false;
    result = static_cast<int64_t>(value);
    return true;
}

// A signed count read like GetLong but 64 bits wide (saturating).
int64_t GetSigned64(const wchar_t* text, size_t length)
{
    size_t i = 0;
    while (i < length && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    uint64_t magnitude = 0;
    constexpr uint64_t limit = static_cast<uint64_t>(INT64_MAX);
    for (; i < length && IsDigit(text[i]); ++i)
    {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    const auto value = static_cast<int64_t>(magnitude);
    return negative ? -value : value;
}

size_t SkipBlanks(const wchar_t* line, size_t length, size_t pos)
{
    while (pos < length && line[pos] == Blank)
        ++pos;
    return pos;
}

size_t FindChar(const wchar_t* line, size_t length, size_t pos, wchar_t c)
{
    while (pos < length && line[pos] != c)
        ++pos;
    return pos;
}

size_t SkipRun(const wchar_t* line, size_t length, size_t pos, wchar_t c)
{
    while (pos < length && line[pos] == c)
        ++pos;
    return pos;
}

int ThisYearUtc()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    if (!gmtime_r(&now, &t))
        return 1970;
    return t.tm_year + 1900;
}

} // namespace

CListingParser::CListingParser() : m_currentYear(ThisYearUtc()) {}

CListingParser::CListingParser(int currentYear) : m_currentYear(currentYear) {}

bool CListingParser::GetLong(const wchar_t* text, size_t length, int32_t& value)
{
    size_t i = 0;
    while (i < length && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    const size_t digitsStart = i;
    uint32_t magnitude = 0;
    bool overflow = false;
    for (; i < length && IsDigit(text[i]); ++i)
    {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        if (magnitude > (UINT32_MAX - digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (i == digitsStart)
    {
        // Nothing converted: the whole text counts as unread.
        value = 0;
        return length == 0;
    }
    // wcstoul's answer on overflow is its largest value, whatever the sign.
    const uint32_t result = overflow ? UINT32_MAX : negative ? 0u - magnitude : magnitude;
    value = static_cast<int32_t>(result);
    return i == length;
}

bool CListingParser::GetSize(const wchar_t* text, size_t length, int64_t& value)
{
    size_t i = 0;
    while (i < length && IsSpace(text[i]))
        ++i;
    if (i < length && text[i] == L'+')
        ++i;
    const size_t digitsStart = i;
    uint64_t magnitude = 0;
    constexpr uint64_t limit = static_cast<uint64_t>(INT64_MAX);
    for (; i < length && IsDigit(text[i]); ++i)
    {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    value = static_cast<int64_t>(magnitude);
    return i > digitsStart && i == length;
}

int CListingParser::GetMonth(std::wstring_view text)
{
    static constexpr const char* names[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() < 3)
        return -1;
    wchar_t lowered[3];
    for (int i = 0; i < 3; ++i)
    {
        const wchar_t c = text[i];
        lowered[i] = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    for (int m = 0; m < 12; ++m)
        if (lowered[0] == names[m][0] && lowered[1] == names[m][1] && lowered[2] == names[m][2])
            return m + 1;
    return -1;
}

bool CListingParser::LocalTime(int year, int month, int day, int hour, int minute, int second,
                               int64_t& result)
{
    // Years past 9999 are garbage and would overflow the callers' calendars.
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;

    // mktime is slow; most lines of a listing share few dates. Per day, learn
    // the offset from the day's start and the next day's start: when they are
    // equal no transition happens in between and the offset serves every time
    // of that day. On a day the clocks change, each time goes to mktime.
    const auto key =
        static_cast<uint32_t>(year) * 372u + static_cast<uint32_t>(month) * 31u + static_cast<uint32_t>(day);
    DayOffset& entry = m_days[(key * 2654435761u) >> 26 & (DayCacheSize - 1)];
    if (!entry.valid || entry.year != year || entry.month != month || entry.day != day)
    {
        entry.year = year;
        entry.month = month;
        entry.day = day;
        entry.valid = true;
        int64_t start = 0;
        int64_t next = 0;
        entry.uniform = false;
        if (MakeLocal(year, month, day, 0, 0, 0, start) && MakeLocal(year, month, day + 1, 0, 0, 0, next))
        {
            const int64_t offsetStart = NaiveSeconds(year, month, day, 0, 0, 0) - start;
            const int64_t offsetNext = NaiveSeconds(year, month, day + 1, 0, 0, 0) - next;
            entry.uniform = offsetStart == offsetNext;
            entry.offset = offsetStart;
        }
    }
    if (entry.uniform)
    {
        result = NaiveSeconds(year, month, day, hour, minute, second) - entry.offset;
        return true;
    }
    return MakeLocal(year, month, day, hour, minute, second, result);
}

bool CListingParser::Parse(std::wstring_view line, CFTPFileStatus& record)
{
    record.Reset();
    if (line.size() < 2)
        return false;
    try
    {
        const wchar_t* text = line.data();
        const size_t length = line.size();
        switch (text[0])
        {
        case L'+':
            return ParseEplf(text, length, record);
        case L'-':
        case L'b':
        case L'c':
        case L'd':
        case L'l':
        case L'p':
        case L's':
            return ParseUnix(text, length, record);
        default:
            break;
        }
        if (line.find(L';') != std::wstring_view::npos)
            return ParseVms(text, length, record);
        if (IsDigit(text[0]))
            return ParseMsDos(text, length, record);
        return false;
    }
    catch (...)
    {
        // Out of memory on a monster line: refuse the line, keep the listing.
        return false;
    }
}

bool CListingParser::ParseEplf(const wchar_t* line, size_t length, CFTPFileStatus& record)
{
    size_t factStart = 1;
    for (size_t i = 1; i < length; ++i)
    {
        const wchar_t c = line[i];
        if (c == L'\t')
        {
            record.Name.assign(line + i + 1, length - i - 1);
            return !record.Name.empty();
        }
        if (c != L',')
            continue;
        const wchar_t* value = line + factStart + 1;
        const size_t valueLength = i > factStart ? i - factStart - 1 : 0;
        if (i > factStart)
        {
            switch (line[factStart])
            {
            case L'/':
                record.TryCwd = true;
                break;
            case L'r':
                record.TryRetr = true;
                break;
            case L's':
            {
                int64_t size = 0;
                record.SizeType = 1;
                record.Size = GetSize(value, valueLength, size) ? size : 0;
                break;
            }
            case L'm':
            {
                // Servers send a 32-bit time_t, possibly as an unsigned count;
                // anything wider is taken as the 64-bit value it is.
                int64_t seconds = GetSigned64(value, valueLength);
                if (seconds >= 0 && seconds <= static_cast<int64_t>(UINT32_MAX))
                    seconds = static_cast<int32_t>(static_cast<uint32_t>(seconds));
                record.ModificationTime = seconds;
                break;
            }
            case L'i':
                record.IdType = 1;
                record.Id.assign(value, valueLength);
                break;
            default:
                break;
            }
        }
        factStart = i + 1;
    }
    return false;
}

bool CListingParser::ParseUnix(const wchar_t* line, size_t length, CFTPFileStatus& record)
{
    const wchar_t kind = line[0];
    record.TryCwd = kind == L'd' || kind == L'l';
    record.TryRetr = kind == L'-' || kind == L'l';

    int state = 1;
    size_t tokenStart = 0;
    int64_t size = -1;
    int32_t month = 0;
    int32_t day = 0;
    for (size_t j = 1; j < length && state != 8; ++j)
    {
        if (line[j] != Blank || line[j - 1] == Blank)
            continue;
        const wchar_t* token = line + tokenStart;
        const size_t tokenLength = j - tokenStart;
        switch (state)
        {
        case 1:
            record.Attributes.assign(token, tokenLength);
            state = 2;
            break;
        case 2:
            record.LinkCount.assign(token, tokenLength);
            // Some servers print "folder" here and no owner.
            state = tokenLength == 6 && token[0] == L'f' ? 4 : 3;
            break;
        case 3:
            record.Owner.assign(token, tokenLength);
            state = 4;
            break;
        case 4:
            if (!GetSize(token, tokenLength, size))
            {
                size = -1;
                record.Group.assign(token, tokenLength);
            }
            state = 5;
            break;
        case 5:
        {
            const int m = tokenLength == 3 ? GetMonth({token, tokenLength}) : -1;
            if (m > 0)
            {
                month = m;
                state = 6;
            }
            else if (!GetSize(token, tokenLength, size))
                size = -1;
            break;
        }
        case 6:
            GetLong(token, tokenLength, day);
            state = 7;
            break;
        case 7:
        {
            int32_t year = m_currentYear;
            int32_t hour = 0;
            int32_t minute = 0;
            if (tokenLength == 4 && token[1] == L':')
            {
                GetLong(token, 1, hour);
                GetLong(token + 2, 2, minute);
            }
            else if (tokenLength == 5 && token[2] == L':')
            {
                GetLong(token, 2, hour);
                GetLong(token + 3, 2, minute);
            }
            else if (tokenLength < 4)
                return false;
            else
                GetLong(token, tokenLength, year);
            int64_t when = 0;
            if (!LocalTime(year, month, day, hour, minute, 0, when))
                return false;
            record.ModificationTime = when;
            record.Name.assign(line + j + 1, length - j - 1);
            state = 8;
            break;
        }
        default:
            break;
        }
        tokenStart = SkipBlanks(line, length, j + 1);
    }
    if (state != 8)
        return false;
    // A line without a readable size column leaves the size unknown.
    if (size >= 0)
    {
        record.Size = size;
        record.SizeType = 1;
    }
    // Servers that pad the name after a bracketed rights column.
    if ((line[1] == Blank || line[1] == L'[') && record.Name.size() > 3 &&
        record.Name.compare(0, 3, L"   ") == 0)
        record.Name.erase(0, 3);
    return !record.Name.empty();
}

bool CListingParser::ParseVms(const wchar_t* line, size_t length, CFTPFileStatus& record)
{
    const size_t semicolon = FindChar(line, length, 0, L';');
    if (semicolon == 0 || semicolon >= length)
        return false;
    record.Name.assign(line, semicolon);
    if (semicolon > 4 && record.Name.compare(semicolon - 4, 4, L".DIR") == 0)
    {
        record.Name.resize(semicolon - 4);
        record.TryCwd = true;
    }
    else
        record.TryRetr = true;

    size_t p = FindChar(line, length, semicolon, Blank);
    p = SkipBlanks(line, length, p);
    p = FindChar(line, length, p, Blank); // size in blocks, not kept
    p = SkipBlanks(line, length, p);
    if (p >= length)
        return false;

    int32_t day = 0;
    size_t q = FindChar(line, length, p, L'-');
    if (q >= length)
        return false;
    GetLong(line + p, q - p, day);
    p = SkipRun(line, length, q, L'-');

    q = FindChar(line, length, p, L'-');
    if (q >= length || q - p != 3)
        return false;
    const int month = GetMonth({line + p, 3});
    if (month < 0)
        return false;
    p = SkipRun(line, length, q, L'-');

    int32_t year = 0;
    q = FindChar(line, length, p, Blank);
    if (q >= length)
        return false;
    GetLong(line + p, q - p, year);
    p = SkipBlanks(line, length, q);

    int32_t hour = 0;
    q = FindChar(line, length, p, L':');
    if (q >= length)
        return false;
    GetLong(line + p, q - p, hour);
    p = SkipRun(line, length, q, L':');

    int32_t minute = 0;
    q = p;
    while (q < length && line[q] != L':' && line[q] != Blank)
        ++q;
    if (q >= length)
        return false;
    GetLong(line + p, q - p, minute);

    int64_t when = 0;
    if (!LocalTime(year, month, day, hour, minute, 0, when))
        return false;
    record.ModificationTime = when;
    return true;
}

bool CListingParser::ParseMsDos(const wchar_t* line, size_t length, CFTPFileStatus& record)
{
    int32_t month = 0;
    int32_t day = 0;
    int32_t year = 0;
    int32_t hour = 0;
    int32_t minute = 0;

    size_t q = FindChar(line, length, 0, L'-');
    if (q >= length)
        return false;
    GetLong(line, q, month);
    size_t p = SkipRun(line, length, q, L'-');

    q = FindChar(line, length, p, L'-');
    if (q >= length)
        return false;
    GetLong(line + p, q - p, day);
    p = SkipRun(line, length, q, L'-');

    q = FindChar(line, length, p, Blank);
    if (q >= length)
        return false;
    GetLong(line + p, q - p, year);
    if (year < 50)
        year += 2000;
    if (year < 1000)
        year += 1900;
    p = SkipBlanks(line, length, q);

    q = FindChar(line, length, p, L':');
    if (q >= length)
        return false;
    GetLong(line + p, q - p, hour);
    p = SkipRun(line, length, q, L':');

    // Minutes are digits; AM or PM may follow them, blanks allowed between.
    // Servers in 24-hour form write neither.
    q = p;
    while (q < length && IsDigit(line[q]))
        ++q;
    if (q >= length)
        return false;
    GetLong(line + p, q - p, minute);
    p = q;
    const size_t marker = SkipBlanks(line, length, p);
    if (marker + 1 < length && (line[marker + 1] == L'M' || line[marker + 1] == L'm'))
    {
        const wchar_t half = line[marker];
        if (half == L'A' || half == L'a' || half == L'P' || half == L'p')
        {
            if (hour == 12)
                hour = 0;
            if (half == L'P' || half == L'p')
                hour += 12;
            p = marker + 2;
        }
    }
    p = SkipBlanks(line, length, p);
    if (p >= length)
        return false;

    if (line[p] == L'<')
    {
        record.TryCwd = true;
        p = FindChar(line, length, p, Blank);
    }
    else
    {
        q = FindChar(line, length, p, Blank);
        if (q >= length)
            return false;
        int64_t size = 0;
        record.Size = GetSize(line + p, q - p, size) ? size : 0;
        record.SizeType = 1;
        record.TryRetr = true;
        p = q;
    }
    p = SkipBlanks(line, length, p);
    if (p >= length)
        return false;
    record.Name.assign(line + p, length - p);

    int64_t when = 0;
    if (!LocalTime(year, month, day, hour, minute, 0, when))
        return false;
    record.ModificationTime = when;
    return true;
}

} // namespace nsFTP
