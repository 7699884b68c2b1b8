// skiff's start-up on the screens of this test program's run (240x320,
// 320x240 and 360x720): the window takes a small screen whole and opens at
// 360x640 where there is room, the Site Manager opens at once in its handheld
// form, and skiff shares wharf's settings file without touching its layout.
#include "handheld/SkiffApp.h"
#include "handheld/MainFrame.h"
#include "handheld/SkiffView.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/DialogDriver.h"
#include "sites/dialogs/SiteManager.h"
#include "support/TempFolder.h"
#include "widgets/DialogProfile.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <gmock/gmock.h>

using nsHandheld::CMainFrame;
using nsHandheld::CSkiffApp;
using testing::UnorderedElementsAre;
using testing_support::WhenShown;

namespace
{
const std::wstring LayoutKey = L"SOFTWARE\\FTPClient\\Layout";
const std::vector<std::uint8_t> WharfPlacement = {1, 2, 3, 4, 5, 6, 7, 8};

// What wharf does with the file: its layout goes in while skiff runs.
void WriteWharfLayout(const QString& path)
{
    platform::QSettingsStore wharf(path);
    const auto result = wharf.Change(
        [](platform::ISettingsStore& values)
        {
            return values.OpenKey(LayoutKey, true) &&
                   values.WriteBinary(LayoutKey, L"Main", WharfPlacement) &&
                   values.WriteUInt32(LayoutKey, L"ToolBar", 0);
        });
    ASSERT_EQ(result.status, platform::ChangeResult::Stored)
        << std::string(result.error.begin(), result.error.end());
}
} // namespace

TEST(SkiffApp, OpensTheSiteManagerAtOnceInAWindowOfTheScreensSizeAndLeavesWharfsLayoutAlone)
{
    testing_support::TempFolder folder("skiff-app");
    const QString settings = QString::fromStdString((folder / "FTPClient.ini").string());
    WriteWharfLayout(settings);
    QApplication::setFont(QFont("DejaVu Sans", 9));

    QString managerTitle;
    QRect managerFrame;
    bool connectEnabledUnderneath = false;
    {
        CSkiffApp skiff(settings);
        WhenShown<CSiteManager>(
            [&](CSiteManager& manager)
            {
                managerTitle = manager.windowTitle();
                managerFrame = manager.geometry();
                manager.reject();
            });
        ASSERT_TRUE(skiff.InitInstance());
        EXPECT_TRUE(CDialogProfile::IsHandheld());
        EXPECT_EQ(skiff.Frame()->windowTitle(), "Disconnected - Tessel FTP Client");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !managerTitle.isEmpty(); }, 10000));
        EXPECT_EQ(managerTitle, "Site Manager");
        const QRect screen = skiff.Frame()->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(managerFrame)) << managerFrame.width() << "x" << managerFrame.height();
        // A small screen is taken whole; a larger one gets the usual size.
        if (screen.width() < CMainFrame::DefaultWidth || screen.height() < CMainFrame::DefaultHeight)
        {
            EXPECT_TRUE(skiff.Frame()->isMaximized());
            EXPECT_EQ(skiff.Frame()->frameGeometry(), screen);
        }
        else
            EXPECT_EQ(skiff.Frame()->size(), QSize(CMainFrame::DefaultWidth, CMainFrame::DefaultHeight));
        // Cancelled: the window waits unconnected, ready for Connect.
        skiff.View()->UpdateCommands();
        connectEnabledUnderneath = skiff.View()->ConnectAction()->isEnabled();

        // Both programs write the same file while both run.
        EXPECT_TRUE(SetTemporaryDirectory((folder / "skiff-temp").wstring()));
        WriteWharfLayout(settings);
        skiff.Frame()->close();
    }
    EXPECT_TRUE(connectEnabledUnderneath);
    CDialogProfile::Set(CDialogProfile::Desktop);

    platform::QSettingsStore after(settings);
    std::vector<std::uint8_t> placement;
    std::uint32_t toolBar = 7;
    after.Read(
        [&](platform::ISettingsStore& values)
        {
            EXPECT_THAT(values.ValueNames(LayoutKey), UnorderedElementsAre(L"Main", L"ToolBar"));
            values.ReadBinary(LayoutKey, L"Main", placement, 1024);
            values.ReadUInt32(LayoutKey, L"ToolBar", toolBar);
        });
    EXPECT_EQ(placement, WharfPlacement);
    EXPECT_EQ(toolBar, 0u);
    EXPECT_THAT(TemporaryDirectory(after), testing::StartsWith((folder / "skiff-temp").wstring()));
}
