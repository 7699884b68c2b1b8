#include "ftp/RCIPtr.h"
#include "ftp/FTPFileStatus.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

#include <vector>

using nsFTP::CFTPFileStatus;
using nsSP::RCIPtr;

namespace
{

struct Tracked
{
    explicit Tracked(int& alive) : alive(alive) { ++alive; }
    Tracked(const Tracked& other) : alive(other.alive) { ++alive; }
    ~Tracked() { --alive; }
    int& alive;
};

TEST(RCIPtr, SharesOnePointeeAndDeletesItWithTheLastPointer)
{
    int alive = 0;
    {
        RCIPtr<Tracked> first(new Tracked(alive));
        std::vector<RCIPtr<Tracked>> copies(3, first);
        EXPECT_EQ(alive, 1);
        EXPECT_EQ(first.UseCount(), 4);
        EXPECT_EQ(copies[2].get(), first.get());
        copies.clear();
        EXPECT_EQ(first.UseCount(), 1);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

TEST(RCIPtr, AssignmentReleasesTheOldPointee)
{
    int alive = 0;
    RCIPtr<Tracked> a(new Tracked(alive));
    RCIPtr<Tracked> b(new Tracked(alive));
    EXPECT_EQ(alive, 2);
    a = b;
    EXPECT_EQ(alive, 1);
    a = a;
    a = b;
    EXPECT_EQ(a.UseCount(), 2);
    RCIPtr<Tracked> moved(std::move(a));
    EXPECT_EQ(moved.UseCount(), 2);
    EXPECT_FALSE(a);
    b = std::move(moved);
    EXPECT_EQ(b.UseCount(), 1);
    b = RCIPtr<Tracked>();
    EXPECT_EQ(alive, 0);
}

TEST(RCIPtr, RecordsCopyDeeplyAndResetToDefaults)
{
    RCIPtr<CFTPFileStatus> entry(new CFTPFileStatus);
    entry->Name = L"a";
    entry->Size = 5368709120LL;
    entry->SizeType = 1;
    CFTPFileStatus copy(*entry);
    entry->Name = L"b";
    EXPECT_EQ(copy.Name, L"a");
    copy.Reset();
    EXPECT_TRUE(copy.Name.empty());
    EXPECT_EQ(copy.Size, 0);
    EXPECT_EQ(copy.SizeType, 0);
}

} // namespace
