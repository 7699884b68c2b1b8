#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::Services;
using platform::TextCodec;

TEST(TextCodec, Latin1RoundTripsEveryByte)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    const std::wstring text = TextCodec::FromLatin1(bytes);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text[0xE9], L'\u00E9');
    EXPECT_EQ(TextCodec::ToLatin1(text), bytes);
    EXPECT_TRUE(TextCodec::FitsLatin1(text));
    EXPECT_FALSE(TextCodec::FitsLatin1(L"\u0100"));
}

TEST(TextCodec, Utf8RoundTripsAndRejectsBrokenSequences)
{
    const std::wstring text = L"caf\u00E9 \u20AC \U0001F600";
    EXPECT_EQ(TextCodec::FromUtf8(TextCodec::ToUtf8(text)), text);
    EXPECT_EQ(TextCodec::ToUtf8(L"\u00E9"), "\xC3\xA9");
    // A truncated sequence, an overlong form and a lone continuation byte.
    EXPECT_EQ(TextCodec::FromUtf8("a\xC3"), L"a\uFFFD");
    EXPECT_EQ(TextCodec::FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");
    EXPECT_EQ(TextCodec::FromUtf8("\x80z"), L"\uFFFDz");
}

// Local paths are bytes: whatever they hold comes back byte for byte, and
// UTF-8 paths read as the text they spell.
TEST(TextCodec, PathBytesKeepEveryByteAndReadUtf8AsText)
{
    struct Case
    {
        std::string bytes;
        std::wstring path;
        bool utf8;
    };
    const Case cases[] = {
        {"/tmp/caf\xC3\xA9.txt", L"/tmp/caf\u00E9.txt", true},
        {"\xE6\x97\xA5.txt", L"\u65E5.txt", true},
        {"caf\xE9.txt", L"caf\xDCE9.txt", false},          // Latin-1
        {"\xC0\xAF", L"\xDCC0\xDCAF", false},              // overlong "/"
        {"\xED\xA0\x80", L"\xDCED\xDCA0\xDC80", false},    // a surrogate spelt in UTF-8
        {"\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80", false}, // past U+10FFFF
        {"a\xC3", L"a\xDCC3", false},                      // cut short
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(TextCodec::IsUtf8(c.bytes), c.utf8);
        EXPECT_EQ(TextCodec::FromPathBytes(c.bytes), c.path);
        EXPECT_EQ(TextCodec::ToPathBytes(c.path), c.bytes);
    }
    std::string every;
    for (int b = 1; b < 256; ++b)
        every.push_back(static_cast<char>(b));
    EXPECT_EQ(TextCodec::ToPathBytes(TextCodec::FromPathBytes(every)), every);
}

TEST(Services, StatusSlotsKeepTheLastTextOfEachPaneAndIgnoreBadPanes)
{
    Services::SetStatusText(0, L"220 ready");
    Services::SetStatusText(3, L"12 bytes");
    Services::SetStatusText(0, L"230 logged on");
    Services::SetStatusText(10, L"ignored");
    Services::SetStatusText(-1, L"ignored");
    EXPECT_EQ(Services::StatusText(0), L"230 logged on");
    EXPECT_EQ(Services::StatusText(3), L"12 bytes");
    EXPECT_EQ(Services::StatusText(10), L"");
    const auto texts = testing_support::Status().Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2].first, 0);
}

TEST(Services, BoxesCanBeShownFromManyThreadsAndAnswerFromTheScript)
{
    auto& boxes = testing_support::Boxes();
    boxes.QueueAnswer(platform::BoxAnswer::Cancel);
    EXPECT_FALSE(Services::AskOkCancel(L"Delete?"));
    EXPECT_TRUE(Services::AskOkCancel(L"Delete again?"));
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([] { Services::ShowError(L"from a worker"); });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(boxes.Count(), 10u);
    EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Question);
    EXPECT_EQ(boxes.Boxes()[5].icon, platform::BoxIcon::Error);
}

TEST(Services, SystemErrorTextIsEmptyForUnknownCodes)
{
    auto& errors = Services::SystemErrors();
    EXPECT_FALSE(errors.Text(2).empty()); // ENOENT
    EXPECT_TRUE(errors.Text(0).empty());
    EXPECT_TRUE(errors.Text(99999).empty());
    errors.SetLastError(13);
    EXPECT_EQ(errors.LastError(), 13);
}
