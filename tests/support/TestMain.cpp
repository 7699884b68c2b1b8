#include "TestServices.h"

#include <gmock/gmock.h>

namespace
{
// Every test starts with fresh recording services.
class ServicesListener : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo&) override { testing_support::ResetServices(); }
};
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    testing_support::ResetServices();
    testing::UnitTest::GetInstance()->listeners().Append(new ServicesListener);
    return RUN_ALL_TESTS();
}
