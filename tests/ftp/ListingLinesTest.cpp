#include "ftp/ListingLines.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using nsFTP::CListingLines;

namespace
{

std::vector<std::wstring> Drain(CListingLines& lines)
{
    std::vector<std::wstring> out;
    std::wstring line;
    while (lines.NextLine(line))
        out.push_back(line);
    return out;
}

std::vector<std::wstring> SplitWhole(std::wstring_view text)
{
    CListingLines lines;
    lines.Append(text);
    lines.Finish();
    return Drain(lines);
}

using Lines = std::vector<std::wstring>;

TEST(ListingLines, CrLfBareLfAndAnUnterminatedLastLine)
{
    CListingLines lines;
    lines.Append(L"one\r\ntwo\nthree\r\n\r\nlast");
    EXPECT_EQ(Drain(lines), (Lines{L"one", L"two", L"three", L""}));
    lines.Finish();
    EXPECT_EQ(Drain(lines), (Lines{L"last"}));
    EXPECT_EQ(Drain(lines), Lines{});

    EXPECT_EQ(SplitWhole(L"one\r\ntwo\nthree\r\n\r\nlast"), (Lines{L"one", L"two", L"three", L"", L"last"}));
    EXPECT_EQ(SplitWhole(L"a\r\n"), (Lines{L"a"}));
    EXPECT_EQ(SplitWhole(L""), Lines{});
    // A CR not followed by LF is part of the line.
    EXPECT_EQ(SplitWhole(L"a\rb\n\r"), (Lines{L"a\rb", L"\r"}));
}

TEST(ListingLines, PiecesSplitAnywhereGiveTheSameLines)
{
    const std::string listing = "drwx a\r\n-rw- b\ncaf\xe9\r\n\xff\xfe end";
    const Lines expected{L"drwx a", L"-rw- b", L"caf\u00e9", L"\u00ff\u00fe end"};
    for (size_t cut = 0; cut <= listing.size(); ++cut)
    {
        CListingLines lines;
        lines.AppendBytes(listing.substr(0, cut));
        Lines got = Drain(lines);
        lines.AppendBytes(listing.substr(cut));
        lines.Finish();
        for (auto& line : Drain(lines))
            got.push_back(line);
        EXPECT_EQ(got, expected) << "cut at " << cut;
    }
}

TEST(ListingLines, OverlongLinesBecomeOneEmptyLineAndAreNotKept)
{
    CListingLines lines(8);
    lines.Append(L"short\n0123456789abc\nnext\r\n");
    EXPECT_EQ(Drain(lines), (Lines{L"short", L"", L"next"}));

    // Arriving in pieces without a LF: reported once, the rest dropped up to the LF.
    CListingLines streamed(8);
    streamed.Append(L"0123456789");
    EXPECT_EQ(Drain(streamed), (Lines{L""}));
    streamed.Append(L"more and more");
    EXPECT_EQ(Drain(streamed), Lines{});
    streamed.Append(L"tail\nok\n");
    EXPECT_EQ(Drain(streamed), (Lines{L"ok"}));
    streamed.Append(L"0123456789 never ends");
    streamed.Finish();
    EXPECT_EQ(Drain(streamed), (Lines{L""}));
}

} // namespace
