#include "desktop/MainFrame.h"
#include "desktop/DialogBarEx.h"
#include "desktop/HelpDocuments.h"
#include "desktop/ToolBarEx.h"
#include "desktop/WharfApp.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "desktop/WindowPlacement.h"
#include "files/RemoteBrowser.h"
#include "platform/Services.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteConnection.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/RecordingShellOpener.h"
#include "support/TestServices.h"
#include "widgets/ListCtrlEx.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <climits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;
using platform::Services;

namespace
{
const QRect DefaultPlacement(CMainFrame::DefaultX, CMainFrame::DefaultY, CMainFrame::DefaultWidth,
                             CMainFrame::DefaultHeight);

// The program started and restarted on one real settings file.
class WharfRestart : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder =
            fs::temp_directory_path() / ("wharf-layout-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        Stop();
        fs::remove_all(m_folder);
    }

    QString SettingsFile() const { return QString::fromStdString((m_folder / "FTPClient.ini").string()); }
    CMainFrame& Start()
    {
        Stop();
        m_app = std::make_unique<CWharfApp>(SettingsFile());
        EXPECT_TRUE(m_app->InitInstance(false));
        return *m_app->Frame();
    }
    // Closes the window as the user does, which saves the layout.
    void Stop()
    {
        if (!m_app)
            return;
        m_app->Frame()->close();
        m_app.reset();
        testing_support::ResetServices();
    }
    // Writes into the settings file before the program starts.
    void Store(const std::wstring& name, const std::vector<std::uint8_t>& data)
    {
        platform::QSettingsStore store(SettingsFile());
        ASSERT_TRUE(store.OpenKey(CMainFrame::LayoutKey, true));
        ASSERT_TRUE(store.WriteBinary(CMainFrame::LayoutKey, name, data));
    }

    fs::path m_folder;
    std::unique_ptr<CWharfApp> m_app;
};

std::vector<std::uint8_t> FourBytes(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

QToolButton* ButtonFor(CMainFrame& frame, QAction* action)
{
    return qobject_cast<QToolButton*>(frame.ToolBar().widgetForAction(action));
}

bool HasVisiblePixels(const QIcon& icon)
{
    const QImage image = icon.pixmap(CToolBarEx::ImageSize).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}
} // namespace

TEST_F(WharfRestart, FirstStartOpensAtTheDefaultPlacementWithAllBarsAndLabelledButtons)
{
    CMainFrame& frame = Start();
    EXPECT_EQ(frame.geometry(), DefaultPlacement);
    EXPECT_TRUE(frame.ToolBar().isVisible());
    EXPECT_TRUE(frame.FilterBar().isVisible());
    EXPECT_TRUE(frame.statusBar()->isVisible());
    for (QAction* toggle : {frame.ToolBarAction(), frame.FilterAction(), frame.StatusBarAction()})
        EXPECT_TRUE(toggle->isChecked()) << toggle->text().toStdString();

    QStringList labels;
    for (QAction* action : frame.ToolBar().actions())
    {
        labels << (action->isSeparator() ? "|" : action->iconText());
        if (action->isSeparator())
            continue;
        EXPECT_TRUE(HasVisiblePixels(action->icon())) << action->iconText().toStdString();
        EXPECT_EQ(action->toolTip(), action->iconText());
    }
    EXPECT_EQ(labels,
              QStringList({"Connect", "Disconnect", "|", "Copy", "Paste", "|", "New", "Rename", "Delete", "|",
                           "Properties", "|", "CHMOD", "Find", "Filter", "|", "About"}));
    EXPECT_EQ(frame.ToolBar().toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // Buttons are all of one size, whatever their label.
    EXPECT_EQ(ButtonFor(frame, frame.View().NewDirectoryAction())->width(),
              ButtonFor(frame, frame.View().DisconnectAction())->width());

    // Commands whose work comes later are there but can never be clicked.
    CWharfView& view = frame.View();
    for (QAction* pending : {view.CopyAction(), view.PasteAction(), view.NewDirectoryAction(),
                             view.RenameAction(), view.DeleteAction(), view.PropertiesAction(),
                             view.ChmodAction(), view.FindAction(), view.MoveToAction()})
        EXPECT_FALSE(pending->isEnabled()) << pending->text().toStdString();
    EXPECT_TRUE(view.ConnectAction()->isEnabled());
    EXPECT_TRUE(frame.FilterAction()->isEnabled());
}

TEST_F(WharfRestart, AHiddenFilterBarStaysHiddenAndTheFilterCommandBringsItBack)
{
    {
        CMainFrame& frame = Start();
        QTest::mouseClick(frame.FilterBar().HideButton(), Qt::LeftButton);
        EXPECT_FALSE(frame.FilterBar().isVisible());
        EXPECT_FALSE(frame.FilterAction()->isChecked());
        frame.StatusBarAction()->trigger();
        EXPECT_FALSE(frame.statusBar()->isVisible());
    }
    CMainFrame& frame = Start();
    EXPECT_TRUE(frame.FilterBar().isHidden());
    EXPECT_FALSE(frame.FilterAction()->isChecked());
    EXPECT_TRUE(frame.statusBar()->isHidden());
    EXPECT_FALSE(frame.StatusBarAction()->isChecked());
    EXPECT_TRUE(frame.ToolBar().isVisible());

    QTest::mouseClick(ButtonFor(frame, frame.FilterAction()), Qt::LeftButton);
    EXPECT_TRUE(frame.FilterBar().isVisible());
    EXPECT_TRUE(frame.FilterAction()->isChecked());
    EXPECT_TRUE(ButtonFor(frame, frame.FilterAction())->isChecked());
    // The menu item is the same command.
    frame.FilterAction()->trigger();
    EXPECT_FALSE(frame.FilterBar().isVisible());
    frame.FilterAction()->trigger();
    EXPECT_TRUE(frame.FilterBar().isVisible());

    frame.ToolBarAction()->trigger();
    Start();
    EXPECT_TRUE(m_app->Frame()->ToolBar().isHidden());
    EXPECT_TRUE(m_app->Frame()->FilterBar().isVisible());
}

TEST_F(WharfRestart, PlacementViewModeAndColumnsSurviveARestartAndMaximisedComesBackNormal)
{
    const QRect placed(210, 120, 500, 380);
    {
        CMainFrame& frame = Start();
        frame.setGeometry(placed);
        frame.View().ListAction()->trigger();
        frame.View().List().SetColumnWidth(1, 222);
        frame.View().List().SetColumnWidth(3, 47);
        frame.showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isMaximized(); }, 5000));
    }
    CMainFrame& frame = Start();
    EXPECT_FALSE(frame.isMaximized());
    EXPECT_EQ(frame.geometry(), placed);
    EXPECT_EQ(frame.View().List().Mode(), CListCtrlEx::List);
    EXPECT_TRUE(frame.View().ListAction()->isChecked());
    EXPECT_EQ(frame.View().List().ColumnWidth(1), 222);
    EXPECT_EQ(frame.View().List().ColumnWidth(3), 47);
    EXPECT_EQ(frame.View().List().ColumnWidth(0), 180);
}

// The layout is one change of the settings file: a site another program
// saved meanwhile stays, and a file that cannot be written is told once.
TEST_F(WharfRestart, TheLayoutIsSavedInOneChangeThatKeepsOtherSitesAndTellsAFailureOnce)
{
    const QRect placed(230, 140, 480, 360);
    {
        CMainFrame& frame = Start();
        frame.setGeometry(placed);
        platform::QSettingsStore other(SettingsFile());
        ASSERT_TRUE(other.OpenKey(L"Software\\FTPClient\\Sites", true));
        ASSERT_TRUE(other.WriteBinary(L"Software\\FTPClient\\Sites", L"meanwhile", {1, 2, 3}));
    }
    {
        platform::QSettingsStore check(SettingsFile());
        std::vector<std::uint8_t> data;
        EXPECT_EQ(check.ReadBinary(L"Software\\FTPClient\\Sites", L"meanwhile", data, 16),
                  platform::ReadResult::Ok);
    }
    CMainFrame& frame = Start();
    EXPECT_EQ(frame.geometry(), placed);
    // The program's boxes would wait for a click: these record.
    platform::Services::SetMessageBoxes(&testing_support::Boxes());
    testing_support::Boxes().Clear();
    const fs::path file = m_folder / "FTPClient.ini";
    fs::permissions(file, fs::perms::owner_read);
    frame.setGeometry(QRect(250, 150, 400, 300));
    const bool saved = frame.SaveRestoreLayout(true);
    const size_t boxes = testing_support::Boxes().Count();
    // A file that cannot be written still gives the window its place.
    const bool restored = frame.SaveRestoreLayout(false);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(saved);
    EXPECT_EQ(boxes, 1u);
    EXPECT_TRUE(restored);
    EXPECT_EQ(frame.geometry(), placed);
}

TEST_F(WharfRestart, StoredListValuesUseTheirLowBitsAndMalformedOnesKeepTheDefaults)
{
    Store(L"View", FourBytes(0xFFFFFF03)); // list mode in the low two bits
    Store(L"Col0", FourBytes(0));          // would hide the name column
    Store(L"Col1", FourBytes(0x00050096)); // 150 in the low 16 bits
    Store(L"Col2", {0x40, 0x00});          // too short
    Store(L"Col3", {1, 0, 0, 0, 0});       // too long
    CMainFrame& frame = Start();
    CListCtrlEx& list = frame.View().List();
    EXPECT_EQ(list.Mode(), CListCtrlEx::List);
    EXPECT_EQ(list.ColumnWidth(0), 180);
    EXPECT_EQ(list.ColumnWidth(1), 150);
    EXPECT_EQ(list.ColumnWidth(2), 80);
    EXPECT_EQ(list.ColumnWidth(3), 80);
}

TEST(WharfPlacement, StoredPlacementsThatCannotMakeAReachableWindowGiveTheDefault)
{
    // The offscreen screen is 800 by 600 at 0, 0.
    auto record = [](std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
    {
        CWindowPlacement placement;
        placement.left = left, placement.top = top, placement.right = right, placement.bottom = bottom;
        return placement.Encode();
    };
    std::vector<std::uint8_t> wrongLengthField = record(10, 10, 400, 300);
    wrongLengthField[0] = 40;
    std::vector<std::uint8_t> shortRecord = record(10, 10, 400, 300);
    shortRecord.pop_back();
    const std::vector<std::vector<std::uint8_t>> unusable = {
        wrongLengthField,
        shortRecord,
        record(0, 0, 0, 0),                         // no size
        record(400, 300, 100, 100),                 // negative size
        record(10, 10, 60, 40),                     // too small to use
        record(INT_MIN, INT_MIN, INT_MAX, INT_MAX), // absurd
        record(0, 0, 100000, 400),                  // wider than any screen
        record(5000, 100, 5500, 500),               // right of every screen
        record(100, -300, 600, 200),                // title bar above the screen
        record(760, 100, 1260, 500),                // only 40 pixels of it on the screen
    };
    for (size_t i = 0; i < unusable.size(); ++i)
    {
        testing_support::Settings().WriteBinary(CMainFrame::LayoutKey, L"Main", unusable[i]);
        CWharfDoc doc;
        CMainFrame frame(doc);
        frame.setGeometry(20, 20, 300, 200);
        ASSERT_TRUE(frame.SaveRestoreLayout(false));
        EXPECT_EQ(frame.geometry(), DefaultPlacement) << "record " << i;
    }

    // A sound record, even of a window closed maximised, is taken as its normal placement.
    CWindowPlacement maximised =
        CWindowPlacement::FromRect(QRect(700, 20, 400, 300), CWindowPlacement::ShowMaximized);
    maximised.maxX = maximised.maxY = 0;
    testing_support::Settings().WriteBinary(CMainFrame::LayoutKey, L"Main", maximised.Encode());
    CWharfDoc doc;
    CMainFrame frame(doc);
    ASSERT_TRUE(frame.SaveRestoreLayout(false));
    EXPECT_EQ(frame.geometry(), QRect(700, 20, 400, 300));
    EXPECT_FALSE(frame.isMaximized());
}

TEST(WharfStatus, AWorkerThreadsTextShowsAndTheIdleTextReturns)
{
    const fs::path file = fs::temp_directory_path() / ("wharf-idle-" + std::to_string(::getpid()) + ".ini");
    {
        CWharfApp app(QString::fromStdString(file.string()));
        ASSERT_TRUE(app.InitInstance(false));
        EXPECT_EQ(app.Frame()->IdlePeriod(), 15000);
        std::thread worker([] { Services::SetStatusText(0, L"226 Transfer complete."); });
        worker.join();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return app.Frame()->PaneText(0) == "226 Transfer complete."; }, 5000));
        app.Frame()->SetIdlePeriod(50);
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.Frame()->PaneText(0) == "Ready"; }, 5000));
    }
    testing_support::ResetServices();
    fs::remove(file);
}

// The site connection tells what protects the connection in pane 4, from
// any thread; the status bar shows a padlock for it.
TEST(WharfStatus, ALockShowsAnEncryptedConnectionAndAnOpenPadlockAPasswordSentInTheClear)
{
    CWharfDoc doc;
    CMainFrame frame(doc);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QLabel* lock = frame.SecurityIndicator();
    EXPECT_FALSE(lock->isVisible());
    struct Case
    {
        QString text;
        QString state;
    };
    for (const Case& c :
         {Case{"Encrypted: TLSv1.3, TLS_AES_256_GCM_SHA384", "encrypted"},
          Case{"Not encrypted: the password and the files go over the network in the clear.", "plain"},
          Case{"", ""}})
    {
        frame.SetPaneText(CSiteConnection::SecurityPane, c.text);
        EXPECT_EQ(lock->isVisible(), !c.text.isEmpty());
        EXPECT_EQ(lock->property("state").toString(), c.state);
        EXPECT_EQ(lock->toolTip(), c.text);
        EXPECT_EQ(frame.PaneText(0), "") << "the lock's text is not a status text";
    }
}

TEST(WharfStatus, HoveringAButtonPromptsInPaneZeroAndThenPutsTheTextBack)
{
    CWharfDoc doc;
    CMainFrame frame(doc);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.SetPaneText(0, "230 Login successful.");
    QToolButton* find = ButtonFor(frame, frame.View().FindAction());
    ASSERT_NE(find, nullptr);

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), find->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(find, &enter);
    EXPECT_EQ(frame.PaneText(0), "Find");
    EXPECT_FALSE(frame.statusBar()->currentMessage().contains("Find"));
    // A status text arriving under the prompt is what shows afterwards.
    frame.SetPaneText(0, "250 CWD successful.");
    EXPECT_EQ(frame.PaneText(0), "Find");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(find, &leave);
    EXPECT_EQ(frame.PaneText(0), "250 CWD successful.");

    // Menu items prompt the same way while highlighted.
    QMenu* file = frame.menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    frame.menuBar()->setActiveAction(frame.menuBar()->actions().front());
    ASSERT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 5000));
    file->setActiveAction(frame.View().ConnectAction());
    EXPECT_EQ(frame.PaneText(0), "Connect");
    file->close();
    frame.menuBar()->setActiveAction(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.PaneText(0), "250 CWD successful.");
}

namespace
{
// A desktop without a program for the file.
class RefusingShellOpener : public platform::IShellOpener
{
public:
    bool Open(const std::wstring&) override { return false; }
};
} // namespace

TEST_F(WharfRestart, HelpDocumentsOpenFromBesideTheProgramOrTheInstalledShareFolder)
{
    const fs::path bin = m_folder / "bin";
    const fs::path share = m_folder / "share" / "tessel-ftp-client";
    fs::create_directories(bin);
    fs::create_directories(share);
    std::ofstream(share / "ftp.html") << "<html></html>";
    CWharfDoc doc;
    CMainFrame frame(doc);
    platform::RecordingShellOpener opener;
    frame.SetShellOpener(&opener);
    frame.Help().SetProgramFolder(QString::fromStdString(bin.string()));

    frame.ManualAction()->trigger();
    ASSERT_EQ(opener.Opened(), (std::vector<std::wstring>{(share / "ftp.html").wstring()}));
    // A copy beside the program (a build tree) comes first.
    std::ofstream(bin / "ftp.html") << "<html></html>";
    frame.ManualAction()->trigger();
    EXPECT_EQ(opener.Opened().back(), (bin / "ftp.html").wstring());

    // Nowhere: an error box says where it was looked for, and nothing is opened.
    frame.OverviewAction()->trigger();
    EXPECT_EQ(opener.Opened().size(), 2u);
    ASSERT_EQ(testing_support::Boxes().Count(), 1u);
    const std::wstring missing = testing_support::Boxes().Texts().front();
    EXPECT_NE(missing.find((bin / "ftp.pdf").wstring()), std::wstring::npos);
    EXPECT_NE(missing.find((share / "ftp.pdf").wstring()), std::wstring::npos);
    EXPECT_EQ(testing_support::Boxes().Boxes().front().icon, platform::BoxIcon::Error);

    // Found but nothing opens it: the box names the file.
    std::ofstream(share / "ftp.pdf") << "%PDF-1.4";
    RefusingShellOpener refusing;
    frame.SetShellOpener(&refusing);
    frame.OverviewAction()->trigger();
    ASSERT_EQ(testing_support::Boxes().Count(), 2u);
    EXPECT_NE(testing_support::Boxes().Texts().back().find((share / "ftp.pdf").wstring()),
              std::wstring::npos);
}

namespace
{
// The window with its filter bar linked, connected to a real server.
class WharfFilter : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_frame.SaveRestoreLayout(false));
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
        View().SetSiteManagerRunner(
            [this](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                if (!connection.Connect(testing_support::FixtureSite(m_server, 5)))
                    return false;
                title = L"Local";
                return true;
            });
    }

    CWharfView& View() { return m_frame.View(); }
    CDialogBarEx& Bar() { return m_frame.FilterBar(); }
    void File(const std::string& name) { std::ofstream(fs::path(m_server.Root()) / name) << name; }
    void Folder(const std::string& name) { fs::create_directories(fs::path(m_server.Root()) / name); }
    QStringList Shown()
    {
        QStringList names;
        for (int i = 0; i < View().Model().rowCount(); ++i)
            names << View().Model().data(View().Model().index(i, 0), Qt::DisplayRole).toString();
        return names;
    }
    QStringList Types()
    {
        QStringList types;
        for (int i = 0; i < Bar().TypeChoice()->count(); ++i)
            types << Bar().TypeChoice()->itemText(i);
        return types;
    }
    int Lists() const
    {
        const std::string log = m_server.Log();
        int count = 0;
        for (size_t at = log.find("LIST"); at != std::string::npos; at = log.find("LIST", at + 1))
            ++count;
        return count;
    }

    testing_support::PyFtpdServer m_server;
    CWharfDoc m_doc;
    CMainFrame m_frame{m_doc};
};
} // namespace

TEST_F(WharfFilter, TypingNarrowsTheListOnEveryKeystrokeWithoutAskingTheServer)
{
    File("LAB.TXT");
    File("cab");
    File("a.b");
    Folder("Slab");
    Folder("other");
    View().OnConnect();
    ASSERT_EQ(Shown().size(), 5) << m_server.Log();
    const int lists = Lists();

    QTest::keyClicks(Bar().FilterText(), "a");
    EXPECT_EQ(Shown(), QStringList({"Slab", "a.b", "cab", "LAB.TXT"}));
    QTest::keyClicks(Bar().FilterText(), "B");
    EXPECT_EQ(Shown(), QStringList({"Slab", "cab", "LAB.TXT"}));
    EXPECT_EQ(Services::StatusText(2), L"Files: 2");

    Bar().ShowChoice()->setCurrentIndex(2); // "Show Only Directories"
    EXPECT_EQ(Shown(), QStringList({"Slab"}));
    EXPECT_EQ(Services::StatusText(1), L"Directories: 1");
    EXPECT_EQ(Services::StatusText(2), L"Files: 0");
    Bar().ShowChoice()->setCurrentIndex(1); // "Show Only Files"
    EXPECT_EQ(Shown(), QStringList({"cab", "LAB.TXT"}));
    Bar().FilterText()->clear();
    Bar().ShowChoice()->setCurrentIndex(0);
    EXPECT_EQ(Shown().size(), 5);
    EXPECT_EQ(Lists(), lists);

    // After Disconnect the rows of the old folder do not come back.
    View().OnDisconnect();
    QTest::keyClicks(Bar().FilterText(), "a");
    EXPECT_TRUE(Shown().isEmpty());
}

TEST_F(WharfFilter, TheTypeListIsGatheredFromTheListingAndFrozenWhileATypeIsChosen)
{
    File("a.html");
    File("b.htm");
    File("notes.TXT");
    File("readme");
    Folder("docs");
    View().OnConnect();
    // .htm is taken as already there, since .html begins with it.
    EXPECT_EQ(Types(), QStringList({"Show All Types", ".html", ".txt"}));

    Bar().TypeChoice()->setCurrentIndex(2);
    EXPECT_EQ(Shown(), QStringList({"docs", "notes.TXT"}));

    File("c.pdf");
    QTest::keyClick(View().List().DetailsView(), Qt::Key_F5);
    EXPECT_EQ(Types(), QStringList({"Show All Types", ".html", ".txt"}));
    EXPECT_EQ(Bar().TypeChoice()->currentText(), ".txt");
    EXPECT_EQ(Shown(), QStringList({"docs", "notes.TXT"}));

    Bar().TypeChoice()->setCurrentIndex(0);
    EXPECT_EQ(Types(), QStringList({"Show All Types", ".html", ".pdf", ".txt"}));
    EXPECT_EQ(Shown().size(), 6);
}
