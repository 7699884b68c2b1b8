#include "desktop/WharfView.h"
#include "desktop/DialogBarEx.h"
#include "desktop/MainFrame.h"
#include "desktop/WharfApp.h"
#include "desktop/WharfDoc.h"
#include "files/RemoteBrowser.h"
#include "files/RemoteCommands.h"
#include "files/dialogs/FileAttributes.h"
#include "files/dialogs/PropDlg.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/QtActivitySignal.h"
#include "platform/qt/QtStatusOutlet.h"
#include "sites/SiteList.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/DialogDriver.h"
#include "sites/dialogs/SiteManager.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/RecordingShellOpener.h"
#include "support/TestServices.h"
#include "widgets/BrowserListModel.h"
#include "widgets/ListCtrlEx.h"
#include "widgets/TextDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace fs = std::filesystem;
using platform::Services;

namespace
{
int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Answers the next modal prompt with this text.
void AnswerPrompt(const QString& text)
{
    QTimer::singleShot(0,
                       [text]
                       {
                           auto* prompt = qobject_cast<CTextDlg*>(QApplication::activeModalWidget());
                           ASSERT_NE(prompt, nullptr);
                           prompt->Edit()->setText(text);
                           prompt->accept();
                       });
}

class WharfWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
        m_temp = fs::path(m_server.Root()).parent_path() / "local-temp";
        fs::create_directories(m_temp);
        SetTemporaryDirectory(m_temp.wstring());
        View().Browser().SetShellOpener(&m_opener);
        View().SetSiteManagerRunner(
            [this](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                ++m_siteManagerRuns;
                SiteRecord site = testing_support::FixtureSite(m_server, 5);
                site.SetLabel(L"Local");
                site.SetKeepAlive(m_keepAlive);
                site.SetDirectory(m_directory);
                SiteOptions options;
                options.SetEncoding(m_encoding);
                if (!connection.Connect(site, options))
                    return false;
                connection.GoToInitialDirectory(site.Directory());
                title = L"Local (127.0.0.1:" + std::to_wstring(m_server.Port()) + L")";
                return true;
            });
    }
    void TearDown() override { m_frame.View().Browser().SetShellOpener(nullptr); }

    CWharfView& View() { return m_frame.View(); }
    void File(const std::string& relative, const std::string& content)
    {
        const fs::path path = fs::path(m_server.Root()) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    void Folder(const std::string& relative) { fs::create_directories(fs::path(m_server.Root()) / relative); }
    std::vector<QString> Shown()
    {
        std::vector<QString> names;
        for (int i = 0; i < View().Model().rowCount(); ++i)
            names.push_back(View().Model().data(View().Model().index(i, 0), Qt::DisplayRole).toString());
        return names;
    }
    std::vector<QString> Folders()
    {
        std::vector<QString> entries;
        for (int i = 0; i < View().Folders().count(); ++i)
            entries.push_back(View().Folders().itemText(i));
        return entries;
    }
    void Select(const QString& name)
    {
        QTreeView* details = View().List().DetailsView();
        for (int i = 0; i < View().Model().rowCount(); ++i)
            if (View().Model().data(View().Model().index(i, 0), Qt::DisplayRole).toString() == name)
            {
                details->setCurrentIndex(View().Model().index(i, 0));
                return;
            }
        FAIL() << "no row " << name.toStdString();
    }
    void Key(Qt::Key key) { QTest::keyClick(View().List().DetailsView(), key); }
    std::wstring Current() { return View().Connection().CurrentDirectory(); }

    testing_support::PyFtpdServer m_server;
    fs::path m_temp;
    platform::RecordingShellOpener m_opener;
    CWharfDoc m_doc;
    CMainFrame m_frame{m_doc};
    int m_siteManagerRuns = 0;
    int m_keepAlive = 0;
    std::wstring m_directory;
    nsFTP::NameEncoding m_encoding = nsFTP::NameEncoding::Auto;
};
} // namespace

TEST_F(WharfWindow, ConnectingShowsTheSortedFolderTheChooserChainAndTheCounts)
{
    File("pub/docs/b.txt", "bb");
    File("pub/docs/A.txt", "a");
    Folder("pub/docs/zdir");
    Folder("pub/docs/Cdir");
    m_directory = L"pub/docs";
    EXPECT_TRUE(View().ConnectAction()->isEnabled());
    EXPECT_FALSE(View().DisconnectAction()->isEnabled());

    View().ConnectAction()->trigger();
    ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    EXPECT_EQ(Shown(), (std::vector<QString>{"Cdir", "zdir", "A.txt", "b.txt"}));
    EXPECT_EQ(Folders(), (std::vector<QString>{"/", "/pub", "/pub/docs"}));
    EXPECT_EQ(View().Folders().currentText(), "/pub/docs");
    EXPECT_EQ(Services::StatusText(1), L"Directories: 2");
    EXPECT_EQ(Services::StatusText(2), L"Files: 2");
    EXPECT_EQ(m_frame.windowTitle(),
              QString("Local (127.0.0.1:%1) - Tessel FTP Client").arg(m_server.Port()));
    EXPECT_FALSE(View().ConnectAction()->isEnabled());
    EXPECT_TRUE(View().DisconnectAction()->isEnabled());
    EXPECT_EQ(View().List().m_connected, 1);
    EXPECT_EQ(View().List().m_columnCount, 5);
    EXPECT_EQ(View().List().ColumnWidth(0), 180);
}

TEST_F(WharfWindow, DisconnectEmptiesTheListAndSaysDisconnected)
{
    File("f.txt", "f");
    View().OnConnect();
    ASSERT_EQ(Shown().size(), 1u);
    View().DisconnectAction()->trigger();
    EXPECT_FALSE(View().Connection().IsConnected());
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(View().Folders().count(), 0);
    EXPECT_EQ(m_doc.Title(), L"Disconnected");
    EXPECT_EQ(m_frame.windowTitle(), "Disconnected - Tessel FTP Client");
    EXPECT_EQ(Services::StatusText(1), L"");
    EXPECT_TRUE(View().ConnectAction()->isEnabled());
    EXPECT_EQ(View().List().m_connected, 0);
    EXPECT_NE(m_server.Log().find("QUIT"), std::string::npos);
}

TEST_F(WharfWindow, CancelledSiteManagerLeavesTheWindowUnconnected)
{
    View().SetSiteManagerRunner([](CSiteConnection&, QWidget*, std::wstring&) { return false; });
    m_doc.ResetContents();
    View().OnConnect();
    EXPECT_FALSE(View().Connection().IsConnected());
    EXPECT_EQ(m_doc.Title(), L"Disconnected");
    EXPECT_TRUE(View().ConnectAction()->isEnabled());
}

TEST_F(WharfWindow, EnterBackspaceUpGoAndTheChooserNavigate)
{
    Folder("a/b/c");
    File("a/b/c/leaf.txt", "x");
    View().OnConnect();
    Select("a");
    Key(Qt::Key_Return);
    EXPECT_EQ(Current(), L"/a");
    const QPoint onB = View().List().DetailsView()->visualRect(View().Model().index(0, 0)).center();
    QTest::mouseClick(View().List().DetailsView()->viewport(), Qt::LeftButton, {}, onB);
    QTest::mouseDClick(View().List().DetailsView()->viewport(), Qt::LeftButton, {}, onB);
    EXPECT_EQ(Current(), L"/a/b");
    EXPECT_EQ(Shown(), (std::vector<QString>{"c"}));

    Key(Qt::Key_Backspace);
    EXPECT_EQ(Current(), L"/a");
    QTest::mouseClick(&View().UpButton(), Qt::LeftButton);
    EXPECT_EQ(Current(), L"/");
    // At the root Backspace changes nothing.
    const int cwds = Occurrences(m_server.Log(), "CWD");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Current(), L"/");
    EXPECT_EQ(Occurrences(m_server.Log(), "CWD"), cwds);

    AnswerPrompt("/a/b/c/");
    Key(Qt::Key_F9);
    EXPECT_EQ(Current(), L"/a/b/c");
    EXPECT_EQ(Shown(), (std::vector<QString>{"leaf.txt"}));
    AnswerPrompt("/a");
    QTest::mouseClick(&View().GoButton(), Qt::LeftButton);
    EXPECT_EQ(Current(), L"/a");

    View().Folders().setCurrentIndex(0);
    EXPECT_EQ(Current(), L"/");
    EXPECT_EQ(Shown(), (std::vector<QString>{"a"}));

    // F5 reads the folder again.
    Folder("new");
    Key(Qt::Key_F5);
    EXPECT_EQ(Shown(), (std::vector<QString>{"a", "new"}));
}

TEST_F(WharfWindow, ARefusedChooserEntryLeavesTheChooserOnTheCurrentFolder)
{
    Folder("x/y");
    m_directory = L"x/y";
    View().OnConnect();
    fs::remove_all(fs::path(m_server.Root()) / "x");
    Folder("x2");
    View().Folders().setCurrentIndex(1);
    EXPECT_EQ(Current(), L"/x/y");
    EXPECT_EQ(View().Folders().currentText(), "/x/y");
}

TEST_F(WharfWindow, OpeningAFileDownloadsItToTheTemporaryFolderAndHandsItToTheShell)
{
    File("notes.txt", "hello notes");
    View().OnConnect();
    Select("notes.txt");
    Key(Qt::Key_Enter);
    ASSERT_EQ(m_opener.Opened(), (std::vector<std::wstring>{(m_temp / "notes.txt").wstring()}))
        << m_server.Log();
    std::ifstream in(m_temp / "notes.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "hello notes");
    // Nothing selected: nothing happens.
    View().List().Selection()->clearSelection();
    Key(Qt::Key_Return);
    EXPECT_EQ(m_opener.Opened().size(), 1u);
}

// pyftpdlib sends UTF-8 names, as current servers do.
TEST_F(WharfWindow, NamesOutsideAsciiListFilterAndOpenAsWritten)
{
    using platform::TextCodec;
    File("caf\xC3\xA9.txt", "caf\xC3\xA9");
    File("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", "nihongo");
    File("R\xC3\xA9pertoire/inner.txt", "inner");
    const QString cafe = QString::fromUtf8("caf\xC3\xA9.txt");
    const QString folder = QString::fromUtf8("R\xC3\xA9pertoire");
    View().OnConnect();
    ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    EXPECT_EQ(Shown(), (std::vector<QString>{folder, cafe,
                                             QString::fromUtf8("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt")}));

    // The filter compares the names as read, folding their case.
    m_frame.FilterBar().FilterText()->setText(QString::fromUtf8("CAF\xC3\x89"));
    EXPECT_EQ(Shown(), (std::vector<QString>{cafe}));
    m_frame.FilterBar().FilterText()->clear();
    EXPECT_EQ(Shown().size(), 3u);

    // Opening writes the server's bytes as the local name and opens that file.
    Select(cafe);
    Key(Qt::Key_Return);
    const std::string written = m_temp.string() + "/caf\xC3\xA9.txt";
    ASSERT_EQ(m_opener.Opened(), (std::vector<std::wstring>{TextCodec::FromPathBytes(written)}))
        << m_server.Log();
    std::ifstream in(written);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "caf\xC3\xA9");

    // Entering the folder sends its bytes back; the chooser reads them.
    Select(folder);
    Key(Qt::Key_Return);
    EXPECT_EQ(Current(), TextCodec::FromLatin1("/R\xC3\xA9pertoire")) << m_server.Log();
    EXPECT_EQ(Folders(), (std::vector<QString>{"/", "/" + folder}));
    EXPECT_EQ(View().Folders().currentText(), "/" + folder);
    EXPECT_EQ(Shown(), (std::vector<QString>{"inner.txt"}));
    View().Folders().setCurrentIndex(0);
    EXPECT_EQ(Current(), L"/");

    // Typed in the Go prompt, the name is sent as UTF-8 and reaches the folder.
    AnswerPrompt("/" + folder);
    View().OnGo();
    EXPECT_EQ(Current(), TextCodec::FromLatin1("/R\xC3\xA9pertoire"));
    // The prompt offers the folder as read.
    QString preset;
    QTimer::singleShot(0,
                       [&preset]
                       {
                           auto* prompt = qobject_cast<CTextDlg*>(QApplication::activeModalWidget());
                           ASSERT_NE(prompt, nullptr);
                           preset = prompt->Edit()->text();
                           prompt->Edit()->setText(preset + "/");
                           prompt->accept();
                       });
    View().OnGo();
    EXPECT_EQ(preset, "/" + folder);
    EXPECT_EQ(Current(), TextCodec::FromLatin1("/R\xC3\xA9pertoire"));
    EXPECT_TRUE(testing_support::Boxes().Texts().empty());
}

// The desktop is handed the file's bytes, whatever they are.
TEST(DesktopShellOpener, TheUrlNamesTheFileByItsBytes)
{
    using platform::TextCodec;
    const std::string utf8 = "/tmp/x/caf\xC3\xA9 1%.txt";
    const QUrl readable = platform::DesktopShellOpener::UrlFor(TextCodec::FromPathBytes(utf8));
    EXPECT_EQ(readable.toLocalFile().toStdString(), utf8);
    EXPECT_EQ(readable.toEncoded().toStdString(), "file:///tmp/x/caf%C3%A9%201%25.txt");
    const std::string latin1 = "/tmp/x/caf\xE9.txt";
    const QUrl bytes = platform::DesktopShellOpener::UrlFor(TextCodec::FromPathBytes(latin1));
    EXPECT_TRUE(bytes.isValid());
    EXPECT_EQ(bytes.toEncoded().toStdString(), "file:///tmp/x/caf%E9.txt");
    EXPECT_EQ(bytes.scheme(), "file");
    EXPECT_EQ(QByteArray::fromPercentEncoding(bytes.toEncoded(QUrl::RemoveScheme)).toStdString(),
              "///tmp/x/caf\xE9.txt");
}

TEST_F(WharfWindow, KeepAliveSendsPwdAfterTheIdlePeriodOnlyWhenTheSiteAsksForIt)
{
    View().OnConnect();
    const int before = Occurrences(m_server.Log(), "PWD");
    View().SetKeepAlivePeriod(100);
    QTest::qWait(600);
    EXPECT_EQ(Occurrences(m_server.Log(), "PWD"), before);
    View().OnDisconnect();

    m_keepAlive = 1;
    View().OnConnect();
    const int connected = Occurrences(m_server.Log(), "PWD");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Occurrences(m_server.Log(), "PWD") > connected; }, 10000))
        << m_server.Log();
}

TEST_F(WharfWindow, SocketActivityFromAnyThreadRestartsTheKeepAliveTimer)
{
    platform::QtActivitySignal activity;
    activity.SetTarget(&View());
    View().SetKeepAlivePeriod(60000);
    QTest::qWait(300);
    const int remaining = View().KeepAliveRemaining();
    ASSERT_LT(remaining, 60000);
    std::thread worker([&] { activity.Post(); });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return View().KeepAliveRemaining() > remaining; }, 5000));
}

TEST_F(WharfWindow, ViewModesAreRadioCheckedInTheMenu)
{
    EXPECT_TRUE(View().DetailsAction()->isChecked());
    View().ListAction()->trigger();
    EXPECT_EQ(View().List().Mode(), CListCtrlEx::List);
    EXPECT_TRUE(View().ListAction()->isChecked());
    EXPECT_FALSE(View().DetailsAction()->isChecked());
    View().IconsAction()->trigger();
    EXPECT_EQ(View().List().Mode(), CListCtrlEx::Icons);
    EXPECT_TRUE(View().IconsAction()->isChecked());
    EXPECT_EQ(View().List().CurrentView(), static_cast<QAbstractItemView*>(View().List().ListView()));
}

TEST_F(WharfWindow, SetTempDirectoryCreatesAndStoresTheFolder)
{
    const fs::path wanted = m_temp / "made" / "here";
    AnswerPrompt(QString::fromStdString(wanted.string()));
    View().TempDirectoryAction()->trigger();
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_EQ(TemporaryDirectory(), wanted.wstring());
}

TEST(WharfStatus, PaneTextsFromAWorkerThreadReachTheStatusBar)
{
    CWharfDoc doc;
    CMainFrame frame(doc);
    platform::QtStatusOutlet outlet;
    outlet.SetTarget(&frame);
    std::thread worker([&] { outlet.SetPaneText(2, L"Files: 7"); });
    worker.join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame.PaneText(2) == "Files: 7"; }, 5000));
    // A target that is gone takes no more texts.
    outlet.SetTarget(nullptr);
    outlet.SetPaneText(2, L"late");
    QCoreApplication::processEvents();
    EXPECT_EQ(frame.PaneText(2), "Files: 7");
}

TEST(WharfStart, TheWindowOpensDisconnectedAndTheSiteManagerOpensAtOnce)
{
    const fs::path folder = fs::temp_directory_path() / ("wharf-start-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    int runs = 0;
    {
        CWharfApp app(QString::fromStdString((folder / "FTPClient.ini").string()));
        ASSERT_TRUE(app.InitInstance());
        app.View()->SetSiteManagerRunner(
            [&](CSiteConnection&, QWidget*, std::wstring&)
            {
                ++runs;
                return false;
            });
        EXPECT_TRUE(app.Frame()->isVisible());
        EXPECT_EQ(app.Frame()->windowTitle(), "Disconnected - Tessel FTP Client");
        EXPECT_TRUE(QTest::qWaitFor([&] { return runs == 1; }, 5000));
        EXPECT_EQ(app.Doc()->Title(), L"Disconnected");
        EXPECT_TRUE(app.View()->KeepAliveActive());
        EXPECT_EQ(app.View()->KeepAlivePeriod(), 30000);
        // Status texts go to the window's panes.
        Services::SetStatusText(1, L"Directories: 3");
        EXPECT_TRUE(QTest::qWaitFor([&] { return app.Frame()->PaneText(1) == "Directories: 3"; }, 5000));
    }
    testing_support::ResetServices();
    fs::remove_all(folder);
}

namespace
{
// Opens the list's context menu and hands the shown popup to the callback.
void WithContextMenu(CListCtrlEx& list, std::function<void(QMenu&)> use)
{
    bool seen = false;
    QTimer::singleShot(0,
                       [&]
                       {
                           auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                           ASSERT_NE(menu, nullptr);
                           seen = true;
                           use(*menu);
                       });
    QWidget* viewport = list.DetailsView()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(viewport, &event);
    EXPECT_TRUE(seen);
}
} // namespace

TEST_F(WharfWindow, ContextMenuIsGreyedWhileUnconnectedAndSwitchesTheModeWhenConnected)
{
    WithContextMenu(View().List(),
                    [](QMenu& menu)
                    {
                        ASSERT_FALSE(menu.actions().isEmpty());
                        for (QAction* action : menu.actions())
                            EXPECT_FALSE(action->isEnabled() && !action->isSeparator())
                                << action->text().toStdString();
                        menu.close();
                    });
    EXPECT_EQ(View().List().Mode(), CListCtrlEx::Details);

    View().OnConnect();
    WithContextMenu(View().List(),
                    [](QMenu& menu)
                    {
                        QMenu* modes = menu.actions().back()->menu();
                        ASSERT_NE(modes, nullptr);
                        EXPECT_TRUE(modes->isEnabled());
                        menu.setActiveAction(menu.actions().back());
                        QTest::keyClick(&menu, Qt::Key_Right);
                        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                        ASSERT_EQ(shown, modes);
                        modes->setActiveAction(modes->actions().at(1));
                        QTest::keyClick(modes, Qt::Key_Return);
                    });
    EXPECT_EQ(View().List().Mode(), CListCtrlEx::List);
    EXPECT_TRUE(View().ListAction()->isChecked());
}

TEST_F(WharfWindow, ClosingTheWindowWhileConnectedLogsOut)
{
    View().OnConnect();
    ASSERT_TRUE(View().Connection().IsConnected());
    m_frame.ExitAction()->trigger();
    EXPECT_FALSE(View().Connection().IsConnected());
    EXPECT_NE(m_server.Log().find("QUIT"), std::string::npos);
    EXPECT_EQ(m_doc.Title(), L"Disconnected");
}

TEST(WharfAbout, TheAboutCommandShowsTheVersion)
{
    const fs::path file = fs::temp_directory_path() / ("wharf-about-" + std::to_string(::getpid()) + ".ini");
    CWharfApp app(QString::fromStdString(file.string()));
    ASSERT_TRUE(app.InitInstance(false));
    QString title, texts;
    QTimer::singleShot(0,
                       [&]
                       {
                           QWidget* box = QApplication::activeModalWidget();
                           ASSERT_NE(box, nullptr);
                           title = box->windowTitle();
                           for (QLabel* label : box->findChildren<QLabel*>())
                               texts += label->text();
                           static_cast<QDialog*>(box)->accept();
                       });
    app.Frame()->AboutAction()->trigger();
    EXPECT_EQ(title, "About Tessel FTP Client");
    EXPECT_TRUE(texts.contains("Tessel FTP Client v4.1"));
    fs::remove(file);
}

TEST_F(WharfWindow, ConnectOpensTheSiteManagerAndListsTheChosenSite)
{
    Folder("pub/in");
    File("pub/in/x.txt", "x");
    SiteRecord site = testing_support::FixtureSite(m_server, 5);
    site.SetLabel(L"Saved");
    site.SetDirectory(L"pub/in");
    CSiteList stored;
    ASSERT_GE(stored.AddSite(site), 0);

    View().SetSiteManagerRunner({});
    testing_support::WhenShown<CSiteManager>(
        [](CSiteManager& manager)
        {
            for (QTreeWidgetItem* item :
                 manager.Tree()->findItems("Saved", Qt::MatchExactly | Qt::MatchRecursive))
                manager.Tree()->setCurrentItem(item);
            manager.ConnectButton()->click();
            if (manager.isVisible())
                manager.reject();
        });
    View().ConnectAction()->trigger();
    ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    EXPECT_EQ(m_doc.Title(), L"Saved (127.0.0.1:" + std::to_wstring(m_server.Port()) + L")");
    EXPECT_EQ(Shown(), (std::vector<QString>{"x.txt"}));
    EXPECT_EQ(View().Folders().currentText(), "/pub/in");
}

// ---- The file commands in the window ----

namespace
{
// What a context menu offers: each entry's text ("-" for a separator) and
// whether it can be chosen.
std::vector<std::pair<QString, bool>> Entries(const QMenu& menu)
{
    std::vector<std::pair<QString, bool>> entries;
    for (QAction* action : menu.actions())
        entries.emplace_back(action->isSeparator() ? QString("-") : action->text(),
                             !action->isSeparator() && action->isEnabled());
    return entries;
}

// Fails the test, instead of hanging it, when a dialog opens that nobody expected.
class NoDialogExpected
{
public:
    NoDialogExpected()
    {
        m_guard.setInterval(50);
        QObject::connect(&m_guard, &QTimer::timeout,
                         []
                         {
                             if (QWidget* modal = QApplication::activeModalWidget())
                             {
                                 ADD_FAILURE() << "a dialog opened: " << modal->windowTitle().toStdString();
                                 modal->close();
                             }
                         });
        m_guard.start();
    }

private:
    QTimer m_guard;
};

void AnswerPromptWith(const QString& text)
{
    testing_support::WhenShown<CTextDlg>(
        [text](CTextDlg& prompt)
        {
            prompt.Edit()->setText(text);
            prompt.accept();
        });
}
} // namespace

TEST_F(WharfWindow, EnableRulesFollowTheSelectionAndTheConnectionWithoutAMenuOpening)
{
    File("a.txt", "a");
    File("b.txt", "b");
    Folder("d");
    auto states = [&]
    {
        std::vector<bool> enabled;
        for (QAction* action : {View().NewDirectoryAction(), View().RenameAction(), View().DeleteAction(),
                                View().MoveToAction(), View().PropertiesAction(), View().ChmodAction(),
                                View().CopyAction(), View().PasteAction()})
            enabled.push_back(action->isEnabled());
        return enabled;
    };
    auto selectFirst = [&](int count)
    {
        View().List().Selection()->clearSelection();
        for (int row = 0; row < count; ++row)
            View().List().Selection()->select(View().Model().index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    // New Directory, Rename, Delete, Move To, Properties, CHMOD, Copy, Paste
    // (Paste needs files on the clipboard).
    const std::vector<bool> none(8, false);
    const std::vector<bool> connected[3] = {{true, false, false, false, false, false, false, false},
                                            {true, true, true, true, true, true, true, false},
                                            {true, false, true, true, false, true, true, false}};

    // Rows shown without a connection enable nothing.
    BrowserRow row;
    row.name = row.displayName = L"stale";
    row.path = L"/";
    View().Browser().SetRows({row, row, row});
    for (int count = 0; count <= 2; ++count)
    {
        selectFirst(count);
        EXPECT_EQ(states(), none) << count << " selected, unconnected";
    }

    View().OnConnect();
    ASSERT_EQ(Shown().size(), 3u);
    for (int count = 0; count <= 2; ++count)
    {
        selectFirst(count);
        EXPECT_EQ(states(), connected[count]) << count << " selected";
    }
    View().OnDisconnect();
    EXPECT_EQ(states(), none);
}

TEST_F(WharfWindow, ContextMenuOffersTheCommandsInOrderGreyedByTheSelection)
{
    File("a.txt", "a");
    File("b.txt", "b");
    View().OnConnect();
    using Entry = std::pair<QString, bool>;
    auto expected = [](int selected)
    {
        const bool one = selected == 1, some = selected > 0;
        return std::vector<Entry>{{"Copy", some},  {"-", false},       {"New Directory...", true},
                                  {"Rename", one}, {"Delete", some},   {"Move To...", some},
                                  {"-", false},    {"CHMOD...", some}, {"Properties", one},
                                  {"-", false},    {"View", true}};
    };
    for (int selected = 0; selected <= 2; ++selected)
    {
        View().List().Selection()->clearSelection();
        for (int row = 0; row < selected; ++row)
            View().List().Selection()->select(View().Model().index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        WithContextMenu(View().List(),
                        [&](QMenu& menu)
                        {
                            EXPECT_EQ(Entries(menu), expected(selected)) << selected << " selected";
                            menu.close();
                        });
    }

    // Paste is there only while the clipboard holds files.
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile("/tmp/x.txt")});
    QGuiApplication::clipboard()->setMimeData(files);
    WithContextMenu(View().List(),
                    [&](QMenu& menu)
                    {
                        ASSERT_GE(menu.actions().size(), 2);
                        EXPECT_EQ(menu.actions().at(1)->text(), "Paste");
                        menu.close();
                    });
    QGuiApplication::clipboard()->clear();
}

TEST_F(WharfWindow, ARightClickOnEmptySpaceMakesTheNewFolderInTheCurrentOne)
{
    Folder("d");
    View().OnConnect();
    Select("d");
    QWidget* viewport = View().List().DetailsView()->viewport();
    const QPoint empty(10, viewport->height() - 5);
    ASSERT_FALSE(View().List().DetailsView()->indexAt(empty).isValid());
    EXPECT_EQ(View().List().SelectedCount(), 1);
    QTest::mousePress(viewport, Qt::RightButton, {}, empty);
    EXPECT_EQ(View().List().SelectedCount(), 0);
    testing_support::ChooseFromMenu("New Directory...");
    AnswerPromptWith("fresh");
    QContextMenuEvent event(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
    QApplication::sendEvent(viewport, &event);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, empty);
    EXPECT_TRUE(fs::is_directory(fs::path(m_server.Root()) / "fresh")) << m_server.Log();
    EXPECT_FALSE(fs::exists(fs::path(m_server.Root()) / "d" / "fresh"));
}

TEST_F(WharfWindow, KeysActOnTheListOnlyAndDoNothingAfterDisconnect)
{
    File("a.txt", "a");
    View().OnConnect();
    Select("a.txt");
    {
        // Typed into the filter field, Del and Ins edit the text and nothing else.
        NoDialogExpected guard;
        QLineEdit* filter = m_frame.FilterBar().FilterText();
        filter->setFocus();
        QTest::keyClick(filter, Qt::Key_Delete);
        QTest::keyClick(filter, Qt::Key_Insert);
        QTest::qWait(100);
    }
    EXPECT_EQ(testing_support::Boxes().Count(), 0u);

    testing_support::Boxes().QueueAnswer(platform::BoxAnswer::Cancel);
    Key(Qt::Key_Delete);
    EXPECT_EQ(testing_support::Boxes().Texts(), (std::vector<std::wstring>{CRemoteCommands::DeleteQuestion}));
    EXPECT_TRUE(fs::exists(fs::path(m_server.Root()) / "a.txt"));

    AnswerPromptWith("b.txt");
    Key(Qt::Key_F2);
    ASSERT_TRUE(fs::exists(fs::path(m_server.Root()) / "b.txt")) << m_server.Log();
    Select("b.txt");
    AnswerPromptWith("made");
    Key(Qt::Key_Insert);
    ASSERT_TRUE(fs::is_directory(fs::path(m_server.Root()) / "made"));
    Select("b.txt");
    AnswerPromptWith("made");
    Key(Qt::Key_F6);
    EXPECT_TRUE(fs::exists(fs::path(m_server.Root()) / "made" / "b.txt"));
    EXPECT_EQ(Shown(), (std::vector<QString>{"made"}));
    QString shownName;
    Select("made");
    testing_support::WhenShown<CPropDlg>(
        [&](CPropDlg& dialog)
        {
            shownName = dialog.NameText();
            dialog.reject();
        });
    Key(Qt::Key_F4);
    EXPECT_EQ(shownName, "made");

    View().OnDisconnect();
    NoDialogExpected guard;
    for (const Qt::Key key : {Qt::Key_Insert, Qt::Key_F2, Qt::Key_Delete, Qt::Key_F4, Qt::Key_F6})
        Key(key);
    QTest::qWait(100);
    EXPECT_EQ(testing_support::Boxes().Count(), 1u);
}

TEST_F(WharfWindow, DeleteAndChmodFromTheMenusRunThroughTheirDialogs)
{
    File("t/x/y.txt", "y");
    File("run.sh", "#!/bin/sh\n");
    fs::permissions(fs::path(m_server.Root()) / "run.sh", fs::perms(0644));
    View().OnConnect();
    Select("t");
    View().DeleteAction()->trigger();
    EXPECT_FALSE(fs::exists(fs::path(m_server.Root()) / "t")) << m_server.Log();
    EXPECT_EQ(Shown(), (std::vector<QString>{"run.sh"}));

    Select("run.sh");
    int preset = -1;
    testing_support::WhenShown<CFileAttributes>(
        [&](CFileAttributes& dialog)
        {
            preset = dialog.ManualValue()->text().toInt();
            dialog.Box(0, 2)->click();
            dialog.Box(1, 2)->click();
            dialog.Box(2, 2)->click();
            testing_support::ClickOk(dialog);
        });
    View().ChmodAction()->trigger();
    EXPECT_EQ(preset, 644);
    EXPECT_EQ(fs::status(fs::path(m_server.Root()) / "run.sh").permissions() & fs::perms::all,
              fs::perms(0755));
    ASSERT_EQ(View().Model().rowCount(), 1);
    EXPECT_EQ(
        View().Model().data(View().Model().index(0, CBrowserListModel::AttributesColumn), Qt::DisplayRole),
        "-rwxr-xr-x");
}
