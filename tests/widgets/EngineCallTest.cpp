#include "sites/SiteConnection.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"
#include "widgets/EngineCall.h"

#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;

TEST(EngineCall, TheWorkRunsOnAWorkerWhileTheEventLoopGoesOnAndLongWaitsShow)
{
    CSiteConnection connection;
    CEngineCall call(connection);
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    std::vector<std::pair<bool, QString>> shown;
    QObject::connect(&call, &CEngineCall::WaitShown,
                     [&](bool on, const QString& what) { shown.emplace_back(on, what); });

    std::thread::id worker;
    bool busyDuring = false;
    bool busyOutside = true;
    const bool ran = call.Run(L"Listing /pub",
                              [&]
                              {
                                  worker = std::this_thread::get_id();
                                  busyDuring = connection.IsBusy();
                                  std::this_thread::sleep_for(600ms);
                              });
    busyOutside = call.Busy() || connection.IsBusy();
    EXPECT_TRUE(ran);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_GE(ticks, 10);
    EXPECT_TRUE(busyDuring);
    EXPECT_FALSE(busyOutside);
    EXPECT_EQ(shown, (std::vector<std::pair<bool, QString>>{{true, "Listing /pub"}, {false, ""}}));

    // A quick call shows nothing; a call asked for meanwhile is refused.
    shown.clear();
    bool nestedRan = false;
    bool nestedRefused = false;
    QTimer::singleShot(50, [&] { nestedRefused = !call.Run(L"Other", [&] { nestedRan = true; }); });
    EXPECT_TRUE(call.Run(L"Quick", [] { std::this_thread::sleep_for(150ms); }));
    EXPECT_TRUE(nestedRefused);
    EXPECT_FALSE(nestedRan);
    EXPECT_TRUE(shown.empty());
}

TEST(EngineCall, StopEndsAStalledLogonAtOnceClosesTheConnectionAndSaysWhy)
{
    testing_support::ScriptedFtpServer server;
    server.Accept().Pause(20s);
    server.Start();
    CSiteConnection connection;
    CEngineCall call(connection);
    int stopped = 0;
    QObject::connect(&call, &CEngineCall::Stopped, [&] { ++stopped; });
    SiteRecord site;
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetTimeout(30);

    QTimer::singleShot(300, &call, &CEngineCall::Stop);
    bool connected = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(call.Run(L"Connecting", [&] { connected = connection.Connect(site); }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1300ms);
    EXPECT_FALSE(connected);
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(stopped, 1);
    // One box: why the connection is gone; none from the engine's failure.
    const auto boxes = testing_support::Boxes().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, CEngineCall::StoppedText.toStdWString());
    EXPECT_EQ(boxes[0].icon, platform::BoxIcon::Information);
}
