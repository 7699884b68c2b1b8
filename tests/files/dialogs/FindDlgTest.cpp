// The Find dialog as a real widget: its controls, Stop and closing while the
// search thread runs (against the scripted server, which can stall), Goto and
// Delete Selected against a real pyftpdlib server.
#include "files/dialogs/FindDlg.h"
#include "files/RemoteBrowser.h"
#include "files/RemoteCommands.h"
#include "files/dialogs/CommandDialogs.h"
#include "platform/TextCodec.h"
#include "sites/DirectEngineRunner.h"
#include "sites/SiteConnection.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedFtpServer.h"
#include "support/TestServices.h"
#include "widgets/EngineCall.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ElementsAre;
using testing_support::Boxes;

namespace
{

std::vector<std::wstring> Names(const std::vector<BrowserRow>& rows)
{
    std::vector<std::wstring> names;
    for (const auto& row : rows)
        names.push_back(CRemoteFind::ShownPath(row));
    return names;
}

void SelectResults(CFindDlg& dialog, const std::vector<std::wstring>& paths)
{
    QItemSelectionModel* selection = dialog.ResultList()->selectionModel();
    selection->clearSelection();
    for (const auto& path : paths)
    {
        const auto& rows = dialog.Results();
        const auto at =
            std::find_if(rows.begin(), rows.end(),
                         [&](const BrowserRow& row) { return CRemoteFind::ShownPath(row) == path; });
        ASSERT_NE(at, rows.end()) << platform::TextCodec::ToUtf8(path);
        selection->select(dialog.Model().index(static_cast<int>(at - rows.begin()), 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void Search(CFindDlg& dialog, const QString& text)
{
    dialog.FindWhat()->setText(text);
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
}

bool Ended(CFindDlg& dialog)
{
    return QTest::qWaitFor([&] { return !dialog.SearchRunning(); }, 10000);
}

// Searches from "/" whose rows are a, b (folders) and x1; a holds x2, and the
// listing of b is answered only after a pause.
class FindDlgStalling : public testing::Test
{
protected:
    void Script(std::chrono::milliseconds stall)
    {
        m_server.Greet("220 hi\r\n").On("USER u", "230 in\r\n").On("FEAT", "500 ?\r\n").On("PWD", "257 \"/\"\r\n");
        m_server.Passive().On("LIST /a", "150 ok\r\n").DataSend("-rw-r--r-- 1 u g 2 Jan  1 10:00 x2\r\n");
        m_server.Send("226 ok\r\n");
        m_server.Passive().On("LIST /b", "150 ok\r\n").Pause(stall);
        m_server.DataSend("-rw-r--r-- 1 u g 3 Jan  1 10:00 x3\r\n").Send("226 ok\r\n");
        m_server.Start();
        SiteRecord site;
        site.SetHost(L"127.0.0.1");
        site.SetPort(m_server.Port());
        site.SetLogin(L"u");
        site.SetTimeout(60);
        site.SetPassive(1);
        ASSERT_TRUE(m_connection.Connect(site));
        auto row = [](const std::wstring& name, bool folder)
        {
            BrowserRow made;
            made.name = made.displayName = name;
            made.isDirectory = folder;
            made.path = L"/";
            return made;
        };
        m_browser.Show({true, L"/", {row(L"a", true), row(L"b", true), row(L"x1", false)}});
    }
    // Starts the search for x and waits until it is inside the stalled listing.
    void StartStalled(CFindDlg& dialog)
    {
        dialog.show();
        Search(dialog, "x");
        ASSERT_EQ(dialog.CurrentMode(), CFindDlg::Searching);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Results().size() == 1; }, 5000));
        EXPECT_EQ(dialog.FindButton()->text(), "Stop");
        EXPECT_FALSE(dialog.GotoButton()->isEnabled());
        EXPECT_EQ(dialog.MakeContextMenu(), nullptr);
    }

    testing_support::ScriptedFtpServer m_server;
    CSiteConnection m_connection;
    CDirectEngineRunner m_runner;
    CRemoteBrowser m_browser{m_connection, m_runner};
    CCommandDialogs m_host{nullptr};
};

} // namespace

TEST(FindDlg, ControlsTextsAndColumns)
{
    CSiteConnection connection;
    CDirectEngineRunner runner;
    CRemoteBrowser browser(connection, runner);
    CCommandDialogs host(nullptr);
    CFindDlg dialog(connection, browser, host);
    EXPECT_EQ(dialog.windowTitle(), "Find");
    EXPECT_TRUE(dialog.SubfoldersBox()->isChecked());
    EXPECT_FALSE(dialog.MatchCaseBox()->isChecked());
    EXPECT_FALSE(dialog.WholeWordBox()->isChecked());
    EXPECT_EQ(dialog.SubfoldersBox()->text(), "Search Subdirectories");
    EXPECT_EQ(dialog.MatchCaseBox()->text(), "Match case");
    EXPECT_EQ(dialog.WholeWordBox()->text(), "Match whole word only");
    EXPECT_TRUE(dialog.FindButton()->isDefault());
    EXPECT_TRUE(dialog.FindButton()->font().bold());
    QStringList headings;
    std::vector<int> widths;
    for (int column = 0; column < CFindResultModel::ColumnCount; ++column)
    {
        headings << dialog.Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        widths.push_back(dialog.ResultList()->columnWidth(column));
    }
    EXPECT_EQ(headings, QStringList({"Name", "Time", "Size", "Attributes", "Owner"}));
    EXPECT_EQ(widths, (std::vector<int>{360, 110, 80, 80, 80}));
    EXPECT_TRUE(dialog.ResultList()->showGrid());
    EXPECT_EQ(dialog.ResultList()->selectionBehavior(), QAbstractItemView::SelectRows);

    // Blanks find nothing; unconnected, a search does not start.
    Search(dialog, "   ");
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Idle);
    EXPECT_EQ(dialog.StatusText(), "");
    Search(dialog, "x");
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Idle);
    EXPECT_EQ(dialog.StatusText(), "The connection to the server is closed.");
    for (QPushButton* button : {dialog.GotoButton(), dialog.CopyButton(), dialog.DeleteButton()})
        EXPECT_FALSE(button->isEnabled());
    // Idle and empty: no pop-up menu; Esc closes at once.
    EXPECT_EQ(dialog.MakeContextMenu(), nullptr);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(FindDlgStalling, StopWithTheTextClearedKeepsWhatWasFoundAndGoesIdleOnlyWhenTheThreadHasEnded)
{
    Script(1500ms);
    CFindDlg dialog(m_connection, m_browser, m_host);
    StartStalled(dialog);
    // The text no longer matters once a search runs.
    dialog.FindWhat()->clear();
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Stopping);
    EXPECT_FALSE(dialog.FindButton()->isEnabled());
    EXPECT_TRUE(dialog.SearchRunning());
    // The listing under way is let finish; the thread ends after it, and only then is the dialog idle.
    ASSERT_TRUE(Ended(dialog));
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Idle);
    EXPECT_EQ(dialog.FindButton()->text(), "Find");
    EXPECT_TRUE(dialog.FindButton()->isEnabled());
    EXPECT_THAT(Names(dialog.Results()), ElementsAre(L"/a/x2"));
    EXPECT_TRUE(m_connection.IsConnected());

    // The results may be acted on now. Copy Selected waits for its clipboard:
    // greyed until a handler is given.
    SelectResults(dialog, {L"/a/x2"});
    EXPECT_TRUE(dialog.GotoButton()->isEnabled());
    EXPECT_TRUE(dialog.DeleteButton()->isEnabled());
    EXPECT_FALSE(dialog.CopyButton()->isEnabled());
    auto menu = dialog.MakeContextMenu();
    ASSERT_NE(menu, nullptr);
    QStringList entries;
    for (QAction* action : menu->actions())
        entries << (action->isSeparator() ? "-" : action->text() + (action->isEnabled() ? "" : " (greyed)"));
    EXPECT_EQ(entries, QStringList({"Goto", "-", "Copy Selected (greyed)", "-", "Delete Selected"}));
    std::vector<BrowserRow> copied;
    dialog.SetCopyHandler([&](const std::vector<BrowserRow>& rows) { copied = rows; });
    ASSERT_TRUE(dialog.CopyButton()->isEnabled());
    QTest::mouseClick(dialog.CopyButton(), Qt::LeftButton);
    EXPECT_THAT(Names(copied), ElementsAre(L"/a/x2"));
}

TEST_F(FindDlgStalling, StopNowEndsAStalledListingAndTheResultsCannotBeActedOnAfterwards)
{
    Script(30s);
    CFindDlg dialog(m_connection, m_browser, m_host);
    int closed = 0;
    QObject::connect(&dialog, &CFindDlg::ConnectionClosed, [&] { ++closed; });
    StartStalled(dialog);
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Stopping);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.FindButton()->isEnabled(); }, 5000));
    EXPECT_EQ(dialog.FindButton()->text(), "Stop Now");
    const auto pressed = std::chrono::steady_clock::now();
    QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
    ASSERT_TRUE(Ended(dialog));
    EXPECT_LT(std::chrono::steady_clock::now() - pressed, 3s);
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Idle);
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(dialog.StatusText(), CEngineCall::StoppedText);
    SelectResults(dialog, {L"/a/x2"});
    for (QPushButton* button : {dialog.GotoButton(), dialog.CopyButton(), dialog.DeleteButton()})
        EXPECT_FALSE(button->isEnabled());
    dialog.OnDeleteSelected();
    EXPECT_TRUE(Boxes().Texts().empty()) << "no question about results of a closed connection";
}

TEST_F(FindDlgStalling, EscDuringASearchClosesTheDialogOnceTheThreadHasEnded)
{
    Script(1500ms);
    CFindDlg dialog(m_connection, m_browser, m_host);
    StartStalled(dialog);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentMode(), CFindDlg::Stopping);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 10000));
    EXPECT_FALSE(dialog.SearchRunning());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(m_connection.IsConnected());
}

TEST_F(FindDlgStalling, DestroyingTheDialogDuringASearchStopsAndJoinsTheThread)
{
    Script(30s);
    auto dialog = std::make_unique<CFindDlg>(m_connection, m_browser, m_host);
    StartStalled(*dialog);
    const auto start = std::chrono::steady_clock::now();
    dialog.reset();
    // A stalled server costs the connection, not the window.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(m_connection.IsConnected());
    EXPECT_FALSE(m_connection.IsBusy());
}

namespace
{
class FindDlgServer : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_connection.Connect(testing_support::FixtureSite(m_server, 5))) << m_server.Log();
        m_browser.SetChangedHandler([this] { ++m_changes; });
    }
    fs::path Root() const { return m_server.Root(); }
    void File(const std::string& relative)
    {
        fs::create_directories((Root() / relative).parent_path());
        std::ofstream(Root() / relative) << relative;
    }
    void Open(CFindDlg& dialog, const QString& text)
    {
        ASSERT_TRUE(m_browser.Refresh());
        dialog.SetRowSelector([this](int row) { m_selected.push_back(row); });
        dialog.show();
        Search(dialog, text);
        ASSERT_TRUE(Ended(dialog));
        ASSERT_EQ(dialog.CurrentMode(), CFindDlg::Finished);
    }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
    CEngineCall m_call{m_connection};
    CRemoteBrowser m_browser{m_connection, m_call};
    CCommandDialogs m_host{nullptr};
    std::vector<int> m_selected;
    int m_changes = 0;
};
} // namespace

TEST_F(FindDlgServer, GotoSelectsTheExactEntryAndARefusedFolderKeepsTheDialogOpen)
{
    File("sub/README");
    File("sub/readme");
    File("other/readme");
    {
        CFindDlg dialog(m_connection, m_browser, m_host);
        Open(dialog, "readme");
        ASSERT_EQ(dialog.Results().size(), 3u);
        SelectResults(dialog, {L"/sub/readme"});
        QTest::mouseClick(dialog.GotoButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(m_browser.Folder(), L"/sub");
        ASSERT_EQ(m_selected.size(), 1u);
        ASSERT_GE(m_selected[0], 0);
        EXPECT_EQ(m_browser.Rows()[static_cast<size_t>(m_selected[0])].name, L"readme");
    }

    // A result whose folder has gone: the dialog stays, nothing is picked.
    m_selected.clear();
    ASSERT_TRUE(m_browser.GoTo(L"/"));
    CFindDlg dialog(m_connection, m_browser, m_host);
    Open(dialog, "readme");
    fs::remove_all(Root() / "other");
    SelectResults(dialog, {L"/other/readme"});
    Boxes().Clear();
    dialog.OnGoto();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(m_selected, std::vector<int>{-1});
    EXPECT_EQ(m_browser.Folder(), L"/");
    EXPECT_EQ(dialog.StatusText(), "The folder could not be opened: /other");
    EXPECT_EQ(Boxes().Count(), 1u) << "the server's refusal";
}

TEST_F(FindDlgServer, DeleteSelectedRemovesExactlyThePickedFolderLinkAndFile)
{
    File("xd/xinner");
    File("xt/keep");
    fs::create_directory_symlink("xt", Root() / "xlnk");
    File("xf");
    File("xg");
    CFindDlg dialog(m_connection, m_browser, m_host);
    Open(dialog, "x");
    EXPECT_THAT(Names(dialog.Results()),
                ElementsAre(L"/xd", L"/xd/xinner", L"/xlnk -> xt", L"/xt", L"/xf", L"/xg"));
    SelectResults(dialog, {L"/xd", L"/xlnk -> xt", L"/xf"});
    QTest::mouseClick(dialog.DeleteButton(), Qt::LeftButton);

    EXPECT_EQ(Boxes().Texts().front(), CRemoteCommands::DeleteQuestion);
    EXPECT_FALSE(fs::exists(Root() / "xd"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Root() / "xlnk")));
    EXPECT_FALSE(fs::exists(Root() / "xf"));
    EXPECT_TRUE(fs::exists(Root() / "xt/keep"));
    EXPECT_TRUE(fs::exists(Root() / "xg"));
    EXPECT_THAT(Names(dialog.Results()), ElementsAre(L"/xd/xinner", L"/xt", L"/xg"));
    EXPECT_TRUE(dialog.Deleted());
    EXPECT_TRUE(dialog.isVisible());
}
