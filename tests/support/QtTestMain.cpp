#include "TestServices.h"

#include <QApplication>
#include <gmock/gmock.h>

namespace
{
class ServicesListener : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo&) override { testing_support::ResetServices(); }
};
} // namespace

// Widget tests run real widgets under the offscreen platform.
int main(int argc, char** argv)
{
    // A test may ask for offscreen screens of its own ("offscreen:configfile=...").
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("offscreen"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    testing_support::ResetServices();
    testing::UnitTest::GetInstance()->listeners().Append(new ServicesListener);
    return RUN_ALL_TESTS();
}
