#include "support/FakeSystemErrors.h"
#include "platform/Services.h"
#include "sites/SizeText.h"
#include "sites/SystemErrorBox.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

TEST(SizeText, StepsOf1024AndNoTextForUnknownSizes)
{
    EXPECT_EQ(SizeText(0), L"");
    EXPECT_EQ(SizeText(-1), L"");
    EXPECT_EQ(SizeText(0xFFFFFFFFLL), L"");
    EXPECT_EQ(SizeText(1), L"1 B");
    EXPECT_EQ(SizeText(1023), L"1023 B");
    EXPECT_EQ(SizeText(1024), L"1.00 Kb");
    EXPECT_EQ(SizeText(1536), L"1.50 Kb");
    EXPECT_EQ(SizeText(1048575), L"1024.00 Kb");
    EXPECT_EQ(SizeText(1048576), L"1.00 Mb");
    EXPECT_EQ(SizeText(3221225472LL), L"3072.00 Mb");
    // Past 4 GiB the size is not cut to 32 bits.
    EXPECT_EQ(SizeText(5368709120LL), L"5120.00 Mb");
}

TEST(ShowSystemError, CodeSystemTextAndPathOrCodeAndPathAlone)
{
    platform::FakeSystemErrors errors;
    errors.SetText(5, L"Access is denied.");
    platform::Services::SetSystemErrors(&errors);
    errors.SetLastError(5);
    ShowSystemError(L"/tmp/a.txt");
    errors.SetLastError(1234);
    ShowSystemError(L"/tmp/b.txt");
    platform::Services::SetSystemErrors(nullptr);

    const auto boxes = testing_support::Boxes().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, L"Error code: 5\nAccess is denied.\n/tmp/a.txt");
    EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Error);
    EXPECT_EQ(boxes[1].text, L"Error code: 1234\n/tmp/b.txt");
}
