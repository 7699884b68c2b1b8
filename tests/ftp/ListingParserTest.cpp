#include "ftp/ListingParser.h"
#include "ftp/FTPFileStatus.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

using nsFTP::CFTPFileStatus;
using nsFTP::CListingParser;

namespace
{

// Sets TZ for one test and puts the old value back.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard()
    {
        if (m_old)
            setenv("TZ", m_old->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

// US Eastern rules written out, so no time zone database is needed.
constexpr const char* Eastern = "EST5EDT,M3.2.0,M11.1.0";

int64_t Utc(int year, int month, int day, int hour, int minute)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return static_cast<int64_t>(timegm(&t));
}

class ListingParserTest : public testing::Test
{
protected:
    bool Parse(const std::wstring& line) { return parser.Parse(line, record); }

    CListingParser parser{2024};
    CFTPFileStatus record;
};

// --- UNIX style -------------------------------------------------------------

TEST_F(ListingParserTest, UnixFileFillsEveryColumnInLocalTime)
{
    ZoneGuard zone(Eastern);
    ASSERT_TRUE(Parse(L"-rw-r--r--   1 root     other        531 Jan 29 03:26 README"));
    EXPECT_EQ(record.Name, L"README");
    EXPECT_TRUE(record.TryRetr);
    EXPECT_FALSE(record.TryCwd);
    EXPECT_EQ(record.SizeType, 1);
    EXPECT_EQ(record.Size, 531);
    EXPECT_EQ(record.Owner, L"root");
    EXPECT_EQ(record.Group, L"other");
    EXPECT_EQ(record.LinkCount, L"1");
    EXPECT_EQ(record.Attributes, L"-rw-r--r--");
    EXPECT_EQ(record.ModificationTime, Utc(2024, 1, 29, 3 + 5, 26));
    EXPECT_EQ(record.IdType, 0);
    EXPECT_TRUE(record.Path.empty());

    ASSERT_TRUE(Parse(L"-rw-r--r--   1 root     other        531 Jan 29 03:26  README"));
    EXPECT_EQ(record.Name, L" README");
}

TEST_F(ListingParserTest, UnixTimesFollowTheLocalZoneIncludingSummerTime)
{
    {
        ZoneGuard zone("UTC0");
        ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Jul  4 12:00 x"));
        EXPECT_EQ(record.ModificationTime, Utc(2024, 7, 4, 12, 0));
    }
    {
        // A parser serves one listing in one zone; a new zone needs a new parser.
        ZoneGuard zone(Eastern);
        parser = CListingParser(2024);
        ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Jul  4 12:00 x"));
        EXPECT_EQ(record.ModificationTime, Utc(2024, 7, 4, 16, 0)); // EDT, UTC-4
        // The spring-forward day: before and after the change on the same date.
        ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Mar 10 01:30 x"));
        EXPECT_EQ(record.ModificationTime, Utc(2024, 3, 10, 6, 30));
        ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Mar 10 03:30 x"));
        EXPECT_EQ(record.ModificationTime, Utc(2024, 3, 10, 7, 30));
        // Fall-back day, after the change.
        ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Nov  3 23:00 x"));
        EXPECT_EQ(record.ModificationTime, Utc(2024, 11, 4, 4, 0));
    }
}

TEST_F(ListingParserTest, UnixShapesOfRealServers)
{
    ZoneGuard zone("UTC0");
    // No group column; a year instead of a time.
    ASSERT_TRUE(Parse(L"dr-xr-xr-x   2 root     512 Apr  8  1994 etc"));
    EXPECT_EQ(record.Name, L"etc");
    EXPECT_EQ(record.Size, 512);
    EXPECT_TRUE(record.Group.empty());
    EXPECT_TRUE(record.TryCwd);
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.ModificationTime, Utc(1994, 4, 8, 0, 0));

    ASSERT_TRUE(Parse(L"lrwxrwxrwx   1 root     other          7 Jan 25 00:17 bin -> usr/bin"));
    EXPECT_EQ(record.Name, L"bin -> usr/bin");
    EXPECT_TRUE(record.TryCwd);
    EXPECT_TRUE(record.TryRetr);

    ASSERT_TRUE(Parse(L"drwxrwxr-x               folder        2 May 10  1996 network"));
    EXPECT_EQ(record.LinkCount, L"folder");
    EXPECT_TRUE(record.Owner.empty());
    EXPECT_EQ(record.Size, 2);
    EXPECT_EQ(record.Name, L"network");

    ASSERT_TRUE(Parse(L"d [R----F--] supervisor            512       Jan 16 18:53    login"));
    EXPECT_EQ(record.Name, L"login");
    EXPECT_EQ(record.Attributes, L"d");
    EXPECT_EQ(record.LinkCount, L"[R----F--]");
    EXPECT_EQ(record.Owner, L"supervisor");
    EXPECT_EQ(record.Size, 512);
    EXPECT_EQ(record.ModificationTime, Utc(2024, 1, 16, 18, 53));

    // Device files: the "5," token stands between owner and month.
    ASSERT_TRUE(Parse(L"crw-rw-rw-   1 root     tty        5,   0 Dec 31 23:59 tty"));
    EXPECT_FALSE(record.TryCwd);
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.Size, 0);
    EXPECT_EQ(record.Name, L"tty");

    // One-digit hour form.
    ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 7 Feb  2 9:05 early"));
    EXPECT_EQ(record.ModificationTime, Utc(2024, 2, 2, 9, 5));
}

TEST_F(ListingParserTest, UnixSizesAreSixtyFourBitAndKnownOnlyWhenRead)
{
    struct Case
    {
        const wchar_t* line;
        int32_t sizeType;
        int64_t size;
    };
    for (const Case& c : {
             Case{L"-rw-r--r-- 1 ftp ftp 5368709120 Mar  1  2023 disk.img", 1, 5368709120LL},
             Case{L"-rw-r--r-- 1 ftp ftp 3000000000 Mar  1  2023 three.img", 1, 3000000000LL},
             Case{L"-rw-r--r-- 1 ftp ftp 99999999999999999999999 Mar  1  2023 huge", 1, INT64_MAX},
             Case{L"-rw-r--r-- 1 ftp ftp 0 Mar  1  2023 empty", 1, 0},
             // No numeric size anywhere: the size is unknown, never "known to be -1".
             Case{L"-rw-r--r-- 1 ftp ftp Mar  1  2023 nosize", 0, 0},
             Case{L"-rw-r--r-- 1 ftp ftp -5 Mar  1  2023 negative", 0, 0},
         })
    {
        ASSERT_TRUE(Parse(c.line)) << testing::PrintToString(std::wstring(c.line));
        EXPECT_EQ(record.SizeType, c.sizeType) << testing::PrintToString(std::wstring(c.line));
        EXPECT_EQ(record.Size, c.size) << testing::PrintToString(std::wstring(c.line));
    }
    ASSERT_TRUE(Parse(L"-rw-r--r-- 1 ftp ftp Mar  1  2023 nosize"));
    EXPECT_EQ(record.Group, L"ftp");
}

TEST_F(ListingParserTest, UnixLinesThatEndEarlyOrHaveShortTimesFail)
{
    EXPECT_FALSE(Parse(L"-rw-r--r--   1 ftp ftp 10 Jun 10 1:1 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r--   1 ftp ftp 10 Jun 10 123 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r--   1 ftp ftp 10 Jun 10 10:10"));
    // A blank after the time but no name: an empty name would mean the folder itself.
    EXPECT_FALSE(Parse(L"-rw-r--r--   1 ftp ftp 10 Jun 10 10:10 "));
    EXPECT_FALSE(Parse(L"-rw-r--r--   1 ftp ftp 10 Jun"));
    EXPECT_FALSE(Parse(L"total 42"));
    EXPECT_FALSE(Parse(L"-rw"));
    EXPECT_FALSE(Parse(L"d"));
}

TEST_F(ListingParserTest, OutOfRangeDatesRefuseOnlyTheirLine)
{
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun  0 10:10 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun 32 10:10 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10 24:00 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10 10:60 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10  1899 x"));
    EXPECT_FALSE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10 99999999999 x"));
    EXPECT_FALSE(Parse(L"13-01-20  10:00AM  1 x"));
    EXPECT_FALSE(Parse(L"X.TXT;1 1 26-JAN-1999 25:00:00"));
    // The parser goes on with the next line as usual.
    EXPECT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10 10:10 x"));
    // Day 31 of a short month rolls over like the C library does.
    ZoneGuard zone("UTC0");
    ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Feb 31  2023 x"));
    EXPECT_EQ(record.ModificationTime, Utc(2023, 3, 3, 0, 0));
}

TEST_F(ListingParserTest, HighLatinCharactersSurviveInNames)
{
    ASSERT_TRUE(Parse(L"-rw-r--r-- 1 a b 1 Jun 10 10:10 caf\u00e9 \u00ff\u0080"));
    EXPECT_EQ(record.Name, L"caf\u00e9 \u00ff\u0080");
    ASSERT_TRUE(Parse(L"04-14-20  14:30  12 \u00e0 la carte"));
    EXPECT_EQ(record.Name, L"\u00e0 la carte");
}

// --- VMS ----------------------------------------------------------------------

TEST_F(ListingParserTest, VmsDirectoriesAndFiles)
{
    ZoneGuard zone(Eastern);
    ASSERT_TRUE(Parse(L"CORE.DIR;1          1  26-JAN-1999 09:42:58  [SYSTEM]    (RWE,RWE,RE,RE)"));
    EXPECT_EQ(record.Name, L"CORE");
    EXPECT_TRUE(record.TryCwd);
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.SizeType, 0);
    EXPECT_TRUE(record.Owner.empty());
    EXPECT_EQ(record.ModificationTime, Utc(1999, 1, 26, 14, 42));

    ASSERT_TRUE(Parse(L"readme.dir;1        1  26-JAN-1999 09:42:58  [SYSTEM]    (RWE,RWE,RE,RE)"));
    EXPECT_EQ(record.Name, L"readme.dir");
    EXPECT_TRUE(record.TryRetr);
    EXPECT_FALSE(record.TryCwd);

    ASSERT_TRUE(Parse(L"LOGIN.COM;5        3/4  12-feb-2003 17:05:31  [USER]  (RWED,RWED,,)"));
    EXPECT_EQ(record.Name, L"LOGIN.COM");
    EXPECT_EQ(record.ModificationTime, Utc(2003, 2, 12, 22, 5));

    // ".DIR" alone is a file name, not an empty folder name.
    ASSERT_TRUE(Parse(L".DIR;1 1 26-JAN-1999 09:42:58"));
    EXPECT_EQ(record.Name, L".DIR");
}

TEST_F(ListingParserTest, BrokenVmsLinesFail)
{
    EXPECT_FALSE(Parse(L"dATA.TXT;1 1 26-JAN-1999 09:42:58")); // taken for UNIX style
    EXPECT_FALSE(Parse(L"FOO.TXT;1  1  26-XYZ-1999 09:42:58"));
    EXPECT_FALSE(Parse(L"FOO.TXT;1  1  26-JANUARY-1999 09:42:58"));
    EXPECT_FALSE(Parse(L"FOO.TXT;1  1  26-JAN-1999"));
    EXPECT_FALSE(Parse(L"FOO.TXT;1  1  26-JAN-1999 09:42"));
    EXPECT_FALSE(Parse(L"FOO.TXT;1"));
    EXPECT_FALSE(Parse(L";1 1 26-JAN-1999 09:42:58"));
}

// --- MS-DOS -----------------------------------------------------------------

TEST_F(ListingParserTest, MsDosTwelveHourTimes)
{
    ZoneGuard zone(Eastern);
    ASSERT_TRUE(Parse(L"04-14-00  03:47PM                  589 readme.htm"));
    EXPECT_EQ(record.Name, L"readme.htm");
    EXPECT_EQ(record.Size, 589);
    EXPECT_EQ(record.SizeType, 1);
    EXPECT_TRUE(record.TryRetr);
    EXPECT_EQ(record.ModificationTime, Utc(2000, 4, 14, 19, 47));

    ASSERT_TRUE(Parse(L"01-02-99  12:05AM                   10 a.txt"));
    EXPECT_EQ(record.ModificationTime, Utc(1999, 1, 2, 5, 5));
    ASSERT_TRUE(Parse(L"01-02-99  12:05PM                   10 a.txt"));
    EXPECT_EQ(record.ModificationTime, Utc(1999, 1, 2, 17, 5));

    ASSERT_TRUE(Parse(L"11-30-21  09:00AM       <DIR>          Program Files"));
    EXPECT_EQ(record.Name, L"Program Files");
    EXPECT_TRUE(record.TryCwd);
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.SizeType, 0);
}

TEST_F(ListingParserTest, MsDosTwentyFourHourTimesKeepFoldersAndNames)
{
    ZoneGuard zone("UTC0");
    ASSERT_TRUE(Parse(L"04-14-20  14:30       <DIR>          Program Files"));
    EXPECT_EQ(record.Name, L"Program Files");
    EXPECT_TRUE(record.TryCwd);
    EXPECT_EQ(record.ModificationTime, Utc(2020, 4, 14, 14, 30));

    ASSERT_TRUE(Parse(L"04-14-20  14:30       <DIR>          Apps and More"));
    EXPECT_EQ(record.Name, L"Apps and More");

    ASSERT_TRUE(Parse(L"04-14-2020  12:30          5368709120 Pictures.zip"));
    EXPECT_EQ(record.ModificationTime, Utc(2020, 4, 14, 12, 30)); // noon stays noon
    EXPECT_EQ(record.Size, 5368709120LL);
    EXPECT_EQ(record.Name, L"Pictures.zip");

    // AM/PM after blanks still counts.
    ASSERT_TRUE(Parse(L"04-14-20  02:30 PM   7 late.txt"));
    EXPECT_EQ(record.ModificationTime, Utc(2020, 4, 14, 14, 30));
}

TEST_F(ListingParserTest, BrokenMsDosLinesFail)
{
    EXPECT_FALSE(Parse(L"04-14-20  02:30PM  100"));
    EXPECT_FALSE(Parse(L"04-14-20  02:30PM  <DIR>"));
    EXPECT_FALSE(Parse(L"04-14-20  02:30PM  <DIR>   "));
    EXPECT_FALSE(Parse(L"04-14-20  02:30"));
    EXPECT_FALSE(Parse(L"04-14-20"));
    EXPECT_FALSE(Parse(L"2024"));
    EXPECT_FALSE(Parse(L"04-14-20  13:30PM  1 x")); // hour 25
    ASSERT_TRUE(Parse(L"04-14-20  02:30PM  lots x"));
    EXPECT_EQ(record.Size, 0);
}

// --- EPLF -------------------------------------------------------------------

TEST_F(ListingParserTest, EplfFacts)
{
    ZoneGuard zone(Eastern); // EPLF times are UTC already: no zone applies.
    ASSERT_TRUE(Parse(L"+i8388621.29609,m824255902,/,\tdev"));
    EXPECT_EQ(record.Name, L"dev");
    EXPECT_TRUE(record.TryCwd);
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.IdType, 1);
    EXPECT_EQ(record.Id, L"8388621.29609");
    EXPECT_EQ(record.ModificationTime, 824255902);
    EXPECT_EQ(record.SizeType, 0);

    ASSERT_TRUE(Parse(L"+i8388621.44468,m839956783,r,s10376,\tRFC EPLF"));
    EXPECT_EQ(record.Name, L"RFC EPLF");
    EXPECT_TRUE(record.TryRetr);
    EXPECT_EQ(record.SizeType, 1);
    EXPECT_EQ(record.Size, 10376);

    // The last fact has no comma before the TAB: ignored.
    ASSERT_TRUE(Parse(L"+r,s10\tx"));
    EXPECT_TRUE(record.TryRetr);
    EXPECT_EQ(record.SizeType, 0);

    EXPECT_FALSE(Parse(L"+i1,m2,r,s3,nothing"));
    EXPECT_FALSE(Parse(L"+r,\t"));
    EXPECT_FALSE(Parse(L"+,"));
}

TEST_F(ListingParserTest, EplfNumbersBeyondThirtyTwoBits)
{
    ASSERT_TRUE(Parse(L"+s5368709120,\tbig"));
    EXPECT_EQ(record.Size, 5368709120LL);
    ASSERT_TRUE(Parse(L"+sabc,\tbad"));
    EXPECT_EQ(record.SizeType, 1);
    EXPECT_EQ(record.Size, 0);
    // A 32-bit time written unsigned keeps its sign-extended meaning ...
    ASSERT_TRUE(Parse(L"+m4294967295,\tx"));
    EXPECT_EQ(record.ModificationTime, -1);
    // ... a wider one is taken as it stands.
    ASSERT_TRUE(Parse(L"+m99999999999,\tx"));
    EXPECT_EQ(record.ModificationTime, 99999999999LL);
    ASSERT_TRUE(Parse(L"+m-5,\tx"));
    EXPECT_EQ(record.ModificationTime, -5);
}

// --- Shared pieces ------------------------------------------------------------

TEST_F(ListingParserTest, ShortAndUnknownLinesFail)
{
    EXPECT_FALSE(Parse(L""));
    EXPECT_FALSE(Parse(L"+"));
    EXPECT_FALSE(Parse(L"-"));
    EXPECT_FALSE(Parse(L"total 0"));
    EXPECT_FALSE(Parse(std::wstring(L"\0\0\0\0", 4)));
    EXPECT_FALSE(Parse(L"\u00ff\u00fe\u0001;garbage"));
    EXPECT_FALSE(Parse(L"9\u0000-\u00ff"));
    EXPECT_FALSE(Parse(L"- - - - - - - - - - -"));
}

TEST_F(ListingParserTest, ParseResetsTheRecordFirst)
{
    ASSERT_TRUE(Parse(L"+i7,m5,r,s9,\tfirst"));
    ASSERT_TRUE(Parse(L"CORE.DIR;1 1 26-JAN-1999 09:42:58"));
    EXPECT_EQ(record.IdType, 0);
    EXPECT_TRUE(record.Id.empty());
    EXPECT_FALSE(record.TryRetr);
    EXPECT_EQ(record.Size, 0);
    EXPECT_EQ(record.SizeType, 0);
}

TEST(ListingParserNumbers, GetLongReadsLikeWcstoulSaturatingAtThirtyTwoBits)
{
    int32_t value = 7;
    EXPECT_TRUE(CListingParser::GetLong(L"  +12", 5, value));
    EXPECT_EQ(value, 12);
    EXPECT_FALSE(CListingParser::GetLong(L"12x", 3, value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(CListingParser::GetLong(L"123", 2, value)); // only the first two characters
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(CListingParser::GetLong(L"", 0, value));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(CListingParser::GetLong(L"  ", 2, value));
    EXPECT_FALSE(CListingParser::GetLong(L"x", 1, value));
    EXPECT_TRUE(CListingParser::GetLong(L"4294967295", 10, value));
    EXPECT_EQ(static_cast<uint32_t>(value), UINT32_MAX);
    // Overflow saturates instead of wrapping to a small number.
    EXPECT_TRUE(CListingParser::GetLong(L"4294967296", 10, value));
    EXPECT_EQ(static_cast<uint32_t>(value), UINT32_MAX);
    EXPECT_TRUE(CListingParser::GetLong(L"18446744073709551617", 20, value));
    EXPECT_EQ(static_cast<uint32_t>(value), UINT32_MAX);
    EXPECT_TRUE(CListingParser::GetLong(L"-3", 2, value));
    EXPECT_EQ(value, -3);
}

TEST(ListingParserNumbers, GetMonthTakesThreeLettersInAnyCase)
{
    EXPECT_EQ(CListingParser::GetMonth(L"jan"), 1);
    EXPECT_EQ(CListingParser::GetMonth(L"DEC"), 12);
    EXPECT_EQ(CListingParser::GetMonth(L"sEpTember"), 9);
    EXPECT_EQ(CListingParser::GetMonth(L"ja"), -1);
    EXPECT_EQ(CListingParser::GetMonth(L"xyz"), -1);
}

// The per-day offset cache must agree with mktime for every day of a year,
// in zones with summer time, with half-hour offsets and south of the equator.
TEST(ListingParserTime, CachedConversionAgreesWithMktime)
{
    for (const char* zone : {Eastern, "<+0545>-5:45", "AEST-10AEDT,M10.1.0,M4.1.0/3", "UTC0"})
    {
        ZoneGuard guard(zone);
        CListingParser parser(2023);
        for (int day = 0; day < 366; ++day)
        {
            for (int hour : {0, 1, 2, 3, 12, 23})
            {
                std::tm t{};
                t.tm_year = 2023 - 1900;
                t.tm_mon = 0;
                t.tm_mday = 1 + day;
                t.tm_hour = hour;
                t.tm_min = 30;
                t.tm_isdst = -1;
                std::tm copy = t;
                const int64_t expected = std::mktime(&copy);
                int64_t actual = 0;
                std::tm norm = t;
                std::mktime(&norm);
                ASSERT_TRUE(parser.LocalTime(norm.tm_year + 1900, norm.tm_mon + 1, norm.tm_mday, hour, 30, 0,
                                             actual));
                EXPECT_EQ(actual, expected) << zone << " day " << day << " hour " << hour;
            }
        }
    }
}

TEST(ListingParserTime, CurrentYearComesFromTheClock)
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    CListingParser parser;
    // The test may straddle New Year's midnight, hence the two choices.
    EXPECT_TRUE(parser.CurrentYear() == t.tm_year + 1900 || parser.CurrentYear() == t.tm_year + 1901);
}

} // namespace
