#include "sites/SiteRecord.h"

#include <gtest/gtest.h>

namespace
{

std::uint16_t UnitAt(const SiteRecord& r, std::size_t offset)
{
    return static_cast<std::uint16_t>(r.Data()[offset] | r.Data()[offset + 1] << 8);
}

void PutUnit(SiteRecord& r, std::size_t offset, std::uint16_t u)
{
    r.Data()[offset] = static_cast<std::uint8_t>(u);
    r.Data()[offset + 1] = static_cast<std::uint8_t>(u >> 8);
}

} // namespace

TEST(SiteRecord, DefaultImageMatchesTheStoredLayoutByteForByte)
{
    std::array<std::uint8_t, 1792> expected{};
    expected[384] = 21; // port
    expected[388] = 1;  // passive
    expected[988] = 60; // timeout
    expected[1184] = 1; // keepAlive
    for (int i = 0; i < 4; ++i)
    {
        expected[1192 + i] = 0xFF; // groupId -1
        expected[1196 + i] = 0xFF; // parentGroupId -1
    }
    expected[1780] = 21; // proxyPort
    SiteRecord record;
    EXPECT_EQ(sizeof(SiteRecord), 1792u);
    EXPECT_EQ(record.Bytes(), expected);
    EXPECT_FALSE(record.IsGroup());

    record.SetLabel(L"changed");
    record.SetProxyMode(3);
    record.Initialise();
    EXPECT_EQ(record.Bytes(), expected);
    record.Clear();
    EXPECT_EQ(record.Bytes(), (std::array<std::uint8_t, 1792>{}));
}

TEST(SiteRecord, EveryFieldLandsAtItsOffsetLittleEndian)
{
    SiteRecord r;
    r.SetLabel(L"L");
    r.SetHost(L"H");
    r.SetLogin(L"U");
    r.SetPassword(L"P");
    r.SetDirectory(L"D");
    r.SetProxyHost(L"X");
    r.SetProxyUser(L"Y");
    r.SetProxyPassword(L"Z");
    EXPECT_EQ(UnitAt(r, 0), L'L');
    EXPECT_EQ(UnitAt(r, 192), L'H');
    EXPECT_EQ(UnitAt(r, 392), L'U');
    EXPECT_EQ(UnitAt(r, 584), L'P');
    EXPECT_EQ(UnitAt(r, 992), L'D');
    EXPECT_EQ(UnitAt(r, 1204), L'X');
    EXPECT_EQ(UnitAt(r, 1396), L'Y');
    EXPECT_EQ(UnitAt(r, 1588), L'Z');

    r.SetPort(0x12345678);
    EXPECT_EQ(r.Data()[384], 0x78);
    EXPECT_EQ(r.Data()[387], 0x12);
    r.SetTimeout(-2);
    EXPECT_EQ(r.Data()[988], 0xFE);
    EXPECT_EQ(r.Data()[991], 0xFF);
    EXPECT_EQ(r.Timeout(), -2);
    r.SetAnonymous(1);
    EXPECT_EQ(r.Data()[776], 1);
    r.SetGroupId(7);
    EXPECT_EQ(r.Data()[1192], 7);
    EXPECT_TRUE(r.IsGroup());
    r.SetParentGroupId(0x0102);
    EXPECT_EQ(r.Data()[1197], 1);
    r.SetProxyMode(8);
    EXPECT_EQ(r.Data()[1784], 8);
    // The proxy port is 16 bits: the padding after it stays zero.
    r.SetProxyPort(0x1F90 + 0x10000);
    EXPECT_EQ(r.ProxyPort(), 0x1F90);
    EXPECT_EQ(r.Data()[1780], 0x90);
    EXPECT_EQ(r.Data()[1781], 0x1F);
    EXPECT_EQ(r.Data()[1782], 0);
    EXPECT_EQ(r.Data()[1783], 0);
    r.SetProxyPort(65535);
    EXPECT_EQ(r.ProxyPort(), 65535);
}

TEST(SiteRecord, TextsAreCutTo95UnitsWithoutSplittingAPairOrTouchingTheNextField)
{
    SiteRecord r;
    r.SetHost(L"host");
    r.SetLabel(std::wstring(200, L'a'));
    EXPECT_EQ(r.Label(), std::wstring(95, L'a'));
    EXPECT_EQ(UnitAt(r, 190), 0); // the terminating zero
    EXPECT_EQ(r.Host(), L"host");

    // U+1F600 takes two units; it does not fit after 94, so it is dropped whole.
    r.SetLabel(std::wstring(94, L'b') + L"\U0001F600");
    EXPECT_EQ(r.Label(), std::wstring(94, L'b'));
    r.SetLabel(std::wstring(93, L'b') + L"\U0001F600");
    EXPECT_EQ(r.Label(), std::wstring(93, L'b') + L"\U0001F600");
    EXPECT_EQ(UnitAt(r, 186), 0xD83D);
    EXPECT_EQ(UnitAt(r, 188), 0xDE00);

    // A shorter text leaves nothing of the longer one behind.
    r.SetLabel(L"x");
    for (std::size_t off = 2; off < 192; off += 2)
        ASSERT_EQ(UnitAt(r, off), 0) << off;

    // Characters that UTF-16 cannot hold become U+FFFD; a zero ends the text.
    r.SetLogin(std::wstring(L"a") + static_cast<wchar_t>(0xD800) + static_cast<wchar_t>(0x110000) + L"b");
    EXPECT_EQ(r.Login(), L"a\uFFFD\uFFFDb");
    r.SetLogin(std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(r.Login(), L"ab");
}

TEST(SiteRecord, StoredTextsAreReadWithinTheirField)
{
    SiteRecord r;
    // All 96 units filled, no zero: read as the first 95.
    for (std::size_t i = 0; i < 96; ++i)
        PutUnit(r, SiteRecord::HostOffset + 2 * i, L'h');
    r.SetPort(0x41414141); // what would follow if reading ran on
    EXPECT_EQ(r.Host(), std::wstring(95, L'h'));

    // Unpaired surrogates read as U+FFFD; a pair reads as one character.
    PutUnit(r, 0, 0xDC00);
    PutUnit(r, 2, L'q');
    PutUnit(r, 4, 0xD83D);
    PutUnit(r, 6, 0xDE00);
    PutUnit(r, 8, 0xD800);
    PutUnit(r, 10, 0);
    EXPECT_EQ(r.Label(), L"\uFFFDq\U0001F600\uFFFD");

    // A high surrogate in the last readable unit has no partner within the field.
    for (std::size_t i = 0; i < 94; ++i)
        PutUnit(r, SiteRecord::DirectoryOffset + 2 * i, L'd');
    PutUnit(r, SiteRecord::DirectoryOffset + 2 * 94, 0xD83D);
    PutUnit(r, SiteRecord::DirectoryOffset + 2 * 95, 0xDE00);
    EXPECT_EQ(r.Directory(), std::wstring(94, L'd') + L"\uFFFD");
}

TEST(SiteRecord, ScramblingCombinesEveryByteWithTheMaskAndUndoesItself)
{
    SiteRecord r;
    r.SetPassword(L"pw");
    std::array<std::uint8_t, 1792> copy = r.Bytes();
    SiteRecord::Scramble(copy.data(), copy.size());
    for (std::size_t i = 0; i < copy.size(); ++i)
        ASSERT_EQ(copy[i], r.Bytes()[i] ^ 0xA7) << i;
    SiteRecord::Scramble(copy.data(), copy.size());
    EXPECT_EQ(copy, r.Bytes());
}
