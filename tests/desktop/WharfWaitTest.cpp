// The window against servers that stall: it keeps painting and answering,
// the commands that need the engine are disabled, and Stop (or Esc) ends the
// wait at once and leaves the window disconnected.
#include "desktop/MainFrame.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "sites/SiteList.h"
#include "sites/dialogs/DialogDriver.h"
#include "sites/dialogs/SiteManager.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"
#include "widgets/EngineCall.h"
#include "widgets/ListCtrlEx.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <chrono>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{
SiteRecord ScriptedSite(const testing_support::ScriptedFtpServer& server)
{
    SiteRecord site;
    site.SetLabel(L"Stalling");
    site.SetHost(L"127.0.0.1");
    site.SetPort(server.Port());
    site.SetLogin(L"u");
    site.SetPassword(L"p");
    site.SetTimeout(60);
    return site;
}

class WharfWait : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
    }
    CWharfView& View() { return m_frame.View(); }

    testing_support::ScriptedFtpServer m_server;
    CWharfDoc m_doc;
    CMainFrame m_frame{m_doc};
};
} // namespace

TEST_F(WharfWait, AListingThatStallsLeavesTheWindowAliveAndStopEndsItAtOnce)
{
    m_server.Greet("220 Scripted\r\n")
        .On("USER u", "331 Password\r\n")
        .On("PASS p", "230 In\r\n")
        .On("FEAT", "500 unknown\r\n")
        .On("PWD", "257 \"/\"\r\n")
        .Passive()
        .On("LIST /", "150 Here it comes\r\n")
        .Pause(30s);
    m_server.Start();
    View().SetSiteManagerRunner(
        [this](CSiteConnection& connection, QWidget*, std::wstring& title)
        {
            title = L"Stalling";
            return connection.Connect(ScriptedSite(m_server));
        });

    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(25);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start();
    bool menuOpened = false, commandsGreyed = false, indicatorShown = false;
    QString waitText;
    int ticksBeforeStop = 0;
    Clock::time_point stoppedAt{};
    QTimer::singleShot(600,
                       [&]
                       {
                           QMenu* file = m_frame.menuBar()->actions().front()->menu();
                           file->popup(m_frame.mapToGlobal(QPoint(10, 10)));
                           menuOpened = file->isVisible();
                           file->close();
                           commandsGreyed = !View().ConnectAction()->isEnabled() &&
                                            !View().DisconnectAction()->isEnabled() &&
                                            !View().GoButton().isEnabled() && !View().UpButton().isEnabled();
                           indicatorShown = m_frame.StopButton()->isVisible();
                           waitText = m_frame.WaitText()->text();
                           ticksBeforeStop = ticks;
                           stoppedAt = Clock::now();
                           QTest::mouseClick(m_frame.StopButton(), Qt::LeftButton);
                       });
    View().OnConnect();
    const auto ended = Clock::now();

    EXPECT_TRUE(menuOpened);
    EXPECT_TRUE(commandsGreyed);
    EXPECT_TRUE(indicatorShown);
    EXPECT_TRUE(waitText.startsWith("Listing")) << waitText.toStdString();
    EXPECT_GE(ticksBeforeStop, 10);
    EXPECT_LT(ended - stoppedAt, 1s);
    EXPECT_FALSE(View().Connection().IsConnected());
    EXPECT_EQ(m_doc.Title(), L"Disconnected");
    EXPECT_EQ(m_frame.windowTitle(), "Disconnected - Tessel FTP Client");
    EXPECT_EQ(View().Model().rowCount(), 0);
    EXPECT_FALSE(m_frame.StopButton()->isVisible());
    EXPECT_TRUE(View().ConnectAction()->isEnabled());
    EXPECT_EQ(View().List().m_connected, 0);
    EXPECT_EQ(testing_support::Boxes().Texts(),
              (std::vector<std::wstring>{CEngineCall::StoppedText.toStdWString()}));
    EXPECT_TRUE(m_server.Mismatches().empty()) << testing::PrintToString(m_server.Mismatches());
}

TEST_F(WharfWait, EscStopsALogonThatStallsAtTheGreetingAndTheSiteManagerStaysOpen)
{
    m_server.Accept().Pause(30s);
    m_server.Start();
    CSiteList stored;
    ASSERT_GE(stored.AddSite(ScriptedSite(m_server)), 0);
    View().SetSiteManagerRunner({});

    bool usable = false, stillOpen = false, stopShown = false;
    Clock::time_point stoppedAt{}, returnedAt{};
    testing_support::WhenShown<CSiteManager>(
        [&](CSiteManager& manager)
        {
            for (QTreeWidgetItem* item :
                 manager.Tree()->findItems("Stalling", Qt::MatchExactly | Qt::MatchRecursive))
                manager.Tree()->setCurrentItem(item);
            QTimer::singleShot(600,
                               [&]
                               {
                                   // The tree still answers; Connect waits.
                                   manager.Tree()->setCurrentItem(nullptr);
                                   usable = manager.Tree()->currentItem() == nullptr &&
                                            !manager.ConnectButton()->isEnabled();
                                   stopShown = manager.StopButton()->isVisible();
                                   stoppedAt = Clock::now();
                                   QTest::keyClick(&manager, Qt::Key_Escape);
                               });
            manager.ConnectButton()->click();
            returnedAt = Clock::now();
            stillOpen = manager.isVisible();
            manager.reject();
        });
    View().ConnectAction()->trigger();

    EXPECT_TRUE(usable);
    EXPECT_TRUE(stopShown);
    EXPECT_LT(returnedAt - stoppedAt, 1s);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(View().Connection().IsConnected());
    EXPECT_EQ(m_doc.Title(), L"Disconnected");
    EXPECT_EQ(testing_support::Boxes().Texts(),
              (std::vector<std::wstring>{CEngineCall::StoppedText.toStdWString()}));
}
