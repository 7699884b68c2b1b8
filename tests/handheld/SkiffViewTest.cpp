// skiff's two-page window against a real FTP server (pyftpdlib) and real
// local folders, with the real dialogs, in the window sizes of small screens.
#include "handheld/SkiffView.h"
#include "files/LocalBrowser.h"
#include "files/RemoteBrowser.h"
#include "files/TransferList.h"
#include "files/dialogs/AskReplaceDlg.h"
#include "files/dialogs/FindDlg.h"
#include "files/dialogs/PropDlg.h"
#include "handheld/MainFrame.h"
#include "handheld/SkiffDoc.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/DialogDriver.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"
#include "widgets/DialogProfile.h"
#include "widgets/ListCtrlEx.h"
#include "widgets/TextDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyleHints>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <map>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;
using nsHandheld::CMainFrame;
using nsHandheld::CSkiffDoc;
using nsHandheld::CSkiffView;
using platform::TextCodec;
using testing::ElementsAre;
using testing_support::Boxes;
using testing_support::ReadFile;
using testing_support::WhenShown;
using testing_support::WriteFile;

namespace
{
std::string RandomBytes(size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(generator());
    return bytes;
}

// Every file and folder below root: relative path -> contents ("<dir>" for folders).
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[fs::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<dir>" : ReadFile(entry.path());
    return tree;
}

int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Answers the next one-line prompt with this text (nullopt: Cancel).
void AnswerPrompt(std::optional<QString> text, QString* title = nullptr)
{
    WhenShown<CTextDlg>(
        [text, title](CTextDlg& prompt)
        {
            if (title)
                *title = prompt.windowTitle();
            if (!text)
                return prompt.reject();
            prompt.Edit()->setText(*text);
            prompt.accept();
        });
}

struct WindowSize
{
    int width, height;
};

void PrintTo(const WindowSize& size, std::ostream* out)
{
    *out << size.width << "x" << size.height;
}

class SkiffWindow : public testing::TestWithParam<WindowSize>
{
protected:
    void SetUp() override
    {
        CDialogProfile::Set(CDialogProfile::Handheld);
        QApplication::setFont(QFont("DejaVu Sans", 9));
        setenv("HOME", m_local.Path().c_str(), 1);
        m_doc = std::make_unique<CSkiffDoc>();
        m_frame = std::make_unique<CMainFrame>(*m_doc);
        const WindowSize size = GetParam();
        m_frame->resize(size.width, size.height);
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        ASSERT_EQ(m_frame->size(), QSize(size.width, size.height));
        SetTemporaryDirectory(
            (m_local.Path().parent_path() / (m_local.Path().filename().string() + "-temp")).wstring());
        View().SetSiteManagerRunner(
            [this](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                ++m_siteManagerRuns;
                testing_support::PyFtpdServer& server = m_useSecond ? *m_second : m_server;
                SiteRecord site = testing_support::FixtureSite(server, 5);
                site.SetLabel(L"Local");
                site.SetDirectory(m_directory);
                site.SetKeepAlive(m_keepAlive);
                if (!connection.Connect(site))
                    return false;
                connection.GoToInitialDirectory(site.Directory());
                title = L"Local (127.0.0.1:" + std::to_wstring(server.Port()) + L")";
                return true;
            });
    }
    void TearDown() override
    {
        m_frame.reset();
        m_doc.reset();
        CDialogProfile::Set(CDialogProfile::Desktop);
    }

    CSkiffView& View() { return m_frame->View(); }
    fs::path Remote(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }
    fs::path Local(const std::string& relative) const { return m_local / relative; }
    void Choose(int pageChoice)
    {
        View().Pages().setCurrentIndex(pageChoice);
        emit View().Pages().activated(pageChoice);
    }
    std::vector<QString> Shown(CSkiffView::Page page)
    {
        CBrowserListModel& model = page == CSkiffView::LocalPage ? View().LocalModel() : View().RemoteModel();
        std::vector<QString> names;
        for (int i = 0; i < model.rowCount(); ++i)
            names.push_back(model.data(model.index(i, 0), Qt::DisplayRole).toString());
        return names;
    }
    // Selects exactly these rows of the page shown.
    void Select(std::initializer_list<QString> names)
    {
        CListCtrlEx& list = View().CurrentList();
        CBrowserListModel& model = View().CurrentModel();
        list.Selection()->clearSelection();
        for (const QString& name : names)
        {
            int found = -1;
            for (int i = 0; i < model.rowCount(); ++i)
                if (model.data(model.index(i, 0), Qt::DisplayRole).toString() == name)
                    found = i;
            ASSERT_GE(found, 0) << "no row " << name.toStdString();
            list.Selection()->select(model.index(found, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::wstring Current() { return View().Connection().CurrentDirectory(); }

    testing_support::TempFolder m_local{"skiff-local"};
    testing_support::PyFtpdServer m_server;
    std::unique_ptr<testing_support::PyFtpdServer> m_second;
    bool m_useSecond = false;
    std::unique_ptr<CSkiffDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    int m_siteManagerRuns = 0;
    int m_keepAlive = 0;
    std::wstring m_directory;
};

// The hardest size: every test runs there; the page and copy tests on all three.
class SkiffSmall : public SkiffWindow
{
};
} // namespace

INSTANTIATE_TEST_SUITE_P(Sizes, SkiffWindow,
                         testing::Values(WindowSize{240, 320}, WindowSize{320, 240}, WindowSize{360, 720}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });
INSTANTIATE_TEST_SUITE_P(Portrait, SkiffSmall, testing::Values(WindowSize{240, 320}),
                         [](const auto&) { return std::string("240x320"); });

TEST_P(SkiffWindow, ThePagesSwitchAndTheLocalPageListsItsFolderWithoutDotEntries)
{
    WriteFile(Local("b.txt"), "b");
    fs::create_directories(Local("Adir"));
    WriteFile(Remote("remote.txt"), "r");
    View().Local().Refresh();
    // A fresh window: the remote page, unconnected, the local page already read.
    CSkiffDoc doc;
    CMainFrame frame(doc);
    EXPECT_EQ(frame.View().CurrentPage(), CSkiffView::RemotePage);
    EXPECT_EQ(frame.View().Pages().currentText(), "FTP Files");
    EXPECT_TRUE(frame.View().Pages().font().bold());
    EXPECT_EQ(frame.View().LocalModel().rowCount(), 2);
    EXPECT_EQ(frame.View().LocalModel().columnCount(), 3);
    EXPECT_EQ(frame.View().RemoteModel().columnCount(), 5);
    EXPECT_EQ(frame.windowTitle(), "Tessel FTP Client");

    View().OnConnect();
    ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    EXPECT_THAT(Shown(CSkiffView::RemotePage), ElementsAre("remote.txt"));
    EXPECT_TRUE(View().RemoteList().isVisibleTo(m_frame.get()));
    EXPECT_FALSE(View().LocalList().isVisibleTo(m_frame.get()));

    Choose(CSkiffView::LocalPage);
    EXPECT_EQ(View().CurrentPage(), CSkiffView::LocalPage);
    EXPECT_TRUE(View().LocalList().isVisibleTo(m_frame.get()));
    EXPECT_TRUE(View().LocalFolders().isVisibleTo(m_frame.get()));
    EXPECT_FALSE(View().RemoteList().isVisibleTo(m_frame.get()));
    EXPECT_FALSE(View().RemoteFolders().isVisibleTo(m_frame.get()));
    EXPECT_THAT(Shown(CSkiffView::LocalPage), ElementsAre("Adir", "b.txt"));
    EXPECT_EQ(View().LocalFolders().currentText(), QString::fromStdString(m_local.Path().string()));
    // Everything a page shows lies inside the window.
    for (QWidget* part : {static_cast<QWidget*>(&View().LocalList()), static_cast<QWidget*>(&View().Pages()),
                          static_cast<QWidget*>(&View().LocalFolders())})
    {
        const QRect inWindow(part->mapTo(m_frame.get(), QPoint(0, 0)), part->size());
        EXPECT_TRUE(m_frame->rect().contains(inWindow)) << part->metaObject()->className();
        EXPECT_GT(part->width(), 20);
    }

    // "-----" changes nothing, and the chooser shows the page again.
    Choose(2);
    EXPECT_EQ(View().CurrentPage(), CSkiffView::LocalPage);
    EXPECT_EQ(View().Pages().currentText(), "Local Files");
    Choose(CSkiffView::RemotePage);
    EXPECT_TRUE(View().RemoteList().isVisibleTo(m_frame.get()));
    EXPECT_THAT(Shown(CSkiffView::RemotePage), ElementsAre("remote.txt"));
    // Switching never touches the connection.
    EXPECT_TRUE(View().Connection().IsConnected());
    EXPECT_EQ(m_siteManagerRuns, 1);
}

TEST_P(SkiffWindow, CopyAndPasteCarryFoldersBothWaysByteForByte)
{
    WriteFile(Remote("pub/tree/sub/x.bin"), RandomBytes(300000, 1));
    WriteFile(Remote("pub/tree/y.txt"), "why");
    WriteFile(Remote("pub/top.bin"), RandomBytes(70000, 2));
    fs::create_directories(Remote("pub/dest"));
    m_directory = L"pub";
    View().OnConnect();
    ASSERT_THAT(Shown(CSkiffView::RemotePage), ElementsAre("dest", "tree", "top.bin"));

    // Server to device.
    Select({"tree", "top.bin"});
    View().CopyAction()->trigger();
    EXPECT_EQ(View().CopySource(), CSkiffView::RemotePage);
    EXPECT_EQ(View().CopyList().ItemCount(), 2);
    EXPECT_FALSE(View().PasteAction()->isEnabled());
    Choose(CSkiffView::LocalPage);
    ASSERT_TRUE(View().PasteAction()->isEnabled());
    View().PasteAction()->trigger();
    auto expected = Tree(Remote("pub"));
    expected.erase("dest");
    EXPECT_EQ(Tree(m_local.Path()), expected);
    EXPECT_THAT(Shown(CSkiffView::LocalPage), ElementsAre("tree", "top.bin"));
    EXPECT_TRUE(Boxes().Texts().empty());

    // Device to server, into the selected remote folder.
    WriteFile(Local("up/deep/z.bin"), RandomBytes(200000, 3));
    WriteFile(Local("up/w.txt"), "double-u");
    WriteFile(Local("solo.bin"), RandomBytes(5000, 4));
    View().Local().Refresh();
    Select({"up", "solo.bin"});
    View().CopyAction()->trigger();
    EXPECT_EQ(View().CopySource(), CSkiffView::LocalPage);
    EXPECT_FALSE(View().PasteAction()->isEnabled());
    Choose(CSkiffView::RemotePage);
    Select({"dest"});
    ASSERT_TRUE(View().PasteAction()->isEnabled());
    View().PasteAction()->trigger();
    EXPECT_EQ(ReadFile(Remote("pub/dest/up/deep/z.bin")), RandomBytes(200000, 3)) << m_server.Log();
    EXPECT_EQ(ReadFile(Remote("pub/dest/up/w.txt")), "double-u");
    EXPECT_EQ(ReadFile(Remote("pub/dest/solo.bin")), RandomBytes(5000, 4));
    EXPECT_EQ(Current(), L"/pub");
    EXPECT_TRUE(Boxes().Texts().empty());
}

TEST_P(SkiffSmall, PastingAgainAsksTheHandheldReplaceQuestion)
{
    WriteFile(Local("same.txt"), "local");
    View().Local().Refresh();
    View().OnConnect();
    Choose(CSkiffView::LocalPage);
    Select({"same.txt"});
    View().CopyAction()->trigger();
    Choose(CSkiffView::RemotePage);
    View().PasteAction()->trigger();
    ASSERT_EQ(ReadFile(Remote("same.txt")), "local");

    // The copy list stays: the same file can be pasted again, after the question.
    WriteFile(Local("same.txt"), "changed");
    QString title, remoteLabel;
    WhenShown<CAskReplaceDlg>(
        [&](CAskReplaceDlg& question)
        {
            title = question.windowTitle();
            for (QLabel* label : question.findChildren<QLabel*>())
                if (label->text().endsWith("File:"))
                    remoteLabel += label->text() + ";";
            question.reject();
        });
    View().PasteAction()->trigger();
    EXPECT_EQ(title, "Files Exists");
    EXPECT_EQ(remoteLabel, "Remote File:;Local File:;");
    EXPECT_EQ(ReadFile(Remote("same.txt")), "local");
}

struct Rule
{
    CSkiffView::Page page;
    bool connected;
    int selected;
    // The commands enabled, by their menu texts.
    std::vector<std::string> enabled;
};

TEST_P(SkiffSmall, EveryEnableRuleFollowsThePageTheConnectionAndTheSelection)
{
    WriteFile(Local("a.txt"), "a");
    WriteFile(Local("b.txt"), "b");
    WriteFile(Remote("a.txt"), "a");
    WriteFile(Remote("b.txt"), "b");
    View().Local().Refresh();
    const std::vector<QAction*> commands = {
        View().ConnectAction(), View().DisconnectAction(), View().NewDirectoryAction(), View().RenameAction(),
        View().DeleteAction(),  View().MoveToAction(),     View().PropertiesAction(),   View().ChmodAction(),
        View().CopyAction(),    View().PasteAction(),      View().FindAction()};
    const std::vector<Rule> rules = {
        {CSkiffView::RemotePage, false, 0, {"Connect..."}},
        {CSkiffView::LocalPage, false, 0, {"Connect...", "New Directory..."}},
        {CSkiffView::LocalPage,
         false,
         1,
         {"Connect...", "New Directory...", "Rename", "Delete", "Move To...", "Properties", "Copy"}},
        {CSkiffView::LocalPage, false, 2, {"Connect...", "New Directory...", "Delete", "Move To...", "Copy"}},
        {CSkiffView::RemotePage, true, 0, {"Disconnect", "New Directory...", "Paste", "Find..."}},
        {CSkiffView::RemotePage,
         true,
         1,
         {"Disconnect", "New Directory...", "Rename", "Delete", "Move To...", "Properties", "CHMOD...",
          "Copy", "Paste", "Find..."}},
        {CSkiffView::RemotePage,
         true,
         2,
         {"Disconnect", "New Directory...", "Delete", "Move To...", "CHMOD...", "Copy", "Paste", "Find..."}},
        {CSkiffView::LocalPage, true, 0, {"Disconnect", "New Directory...", "Paste", "Find..."}},
        {CSkiffView::LocalPage,
         true,
         2,
         {"Disconnect", "New Directory...", "Delete", "Move To...", "Copy", "Paste", "Find..."}},
    };
    for (const Rule& rule : rules)
    {
        if (rule.connected != View().Connection().IsConnected())
            rule.connected ? View().OnConnect() : View().OnDisconnect();
        Choose(rule.page);
        View().CurrentList().Selection()->clearSelection();
        if (rule.selected >= 1)
            Select({"a.txt"});
        if (rule.selected >= 2)
            Select({"a.txt", "b.txt"});
        std::vector<std::string> enabled;
        for (QAction* command : commands)
            if (command->isEnabled())
                enabled.push_back(command->text().toStdString());
        EXPECT_EQ(enabled, rule.enabled) << "page " << rule.page << ", connected " << rule.connected << ", "
                                         << rule.selected << " selected";
    }

    // Paste is greyed on the page the copy came from, on either side.
    Choose(CSkiffView::LocalPage);
    Select({"a.txt"});
    View().CopyAction()->trigger();
    EXPECT_FALSE(View().PasteAction()->isEnabled());
    Choose(CSkiffView::RemotePage);
    EXPECT_TRUE(View().PasteAction()->isEnabled());
    Select({"a.txt"});
    View().CopyAction()->trigger();
    EXPECT_FALSE(View().PasteAction()->isEnabled());
    Choose(CSkiffView::LocalPage);
    EXPECT_TRUE(View().PasteAction()->isEnabled());
    // Without a connection nothing can be pasted, on either page.
    Choose(CSkiffView::RemotePage);
    View().OnDisconnect();
    Choose(CSkiffView::LocalPage);
    EXPECT_FALSE(View().PasteAction()->isEnabled());
    // The view modes and Set Temp Directory are always there.
    for (QAction* always :
         {View().IconsAction(), View().ListAction(), View().DetailsAction(), View().TempDirectoryAction()})
        EXPECT_TRUE(always->isEnabled()) << always->text().toStdString();
}

TEST_P(SkiffSmall, CommandsActOnThePageShownWhateverHasTheFocus)
{
    WriteFile(Local("gone.txt"), "x");
    WriteFile(Remote("stays.txt"), "y");
    View().Local().Refresh();
    View().OnConnect();
    Choose(CSkiffView::LocalPage);
    Select({"gone.txt"});
    // After the page chooser was used the keyboard may well be on it.
    View().Pages().setFocus();
    QApplication::processEvents();
    View().UpdateCommands();
    ASSERT_TRUE(View().DeleteAction()->isEnabled());
    View().DeleteAction()->trigger();
    EXPECT_FALSE(fs::exists(Local("gone.txt")));
    EXPECT_TRUE(fs::exists(Remote("stays.txt")));
    EXPECT_FALSE(View().ChmodAction()->isEnabled());
}

TEST_P(SkiffSmall, LocalCommandsThroughTheirDialogs)
{
    WriteFile(Local("a.txt"), "a");
    WriteFile(Local("b.txt"), "b");
    WriteFile(Local("keep/precious.txt"), "keep me");
    fs::create_directory_symlink(Local("keep"), Local("shortcut"));
    const int fd = ::open(Local("huge.img").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
    ::close(fd);
    View().Local().Refresh();
    Choose(CSkiffView::LocalPage);

    QString title;
    AnswerPrompt(QString("made"), &title);
    View().NewDirectoryAction()->trigger();
    EXPECT_EQ(title, "New Directory");
    EXPECT_TRUE(fs::is_directory(Local("made")));

    Select({"a.txt"});
    AnswerPrompt(QString("b.txt"), &title);
    View().RenameAction()->trigger();
    EXPECT_EQ(title, "Rename");
    EXPECT_THAT(Boxes().Texts(), ElementsAre(L"\"b.txt\" already exists in this folder."));
    EXPECT_EQ(ReadFile(Local("b.txt")), "b");
    EXPECT_EQ(ReadFile(Local("a.txt")), "a");

    // A link to a folder goes; what it leads to stays.
    Select({"shortcut"});
    View().DeleteAction()->trigger();
    EXPECT_FALSE(fs::exists(fs::symlink_status(Local("shortcut"))));
    EXPECT_EQ(ReadFile(Local("keep/precious.txt")), "keep me");
    EXPECT_THAT(Shown(CSkiffView::LocalPage), ElementsAre("keep", "made", "a.txt", "b.txt", "huge.img"));

    Select({"huge.img"});
    QString size, shownTitle;
    bool okShown = false;
    WhenShown<CPropDlg>(
        [&](CPropDlg& properties)
        {
            shownTitle = properties.windowTitle();
            size = properties.SizeText();
            okShown = properties.OkButton() && properties.OkButton()->isVisible();
            EXPECT_FALSE(properties.ReadOnlyBox()->isHidden());
            if (properties.OkButton())
                properties.OkButton()->click();
        });
    View().PropertiesAction()->trigger();
    EXPECT_EQ(shownTitle, "File Properties");
    EXPECT_EQ(size, "5120.00 Mb (5368709120 bytes)");
    EXPECT_TRUE(okShown);
}

TEST_P(SkiffSmall, UpGoesToTheParentByPathOnBothPages)
{
    fs::create_directories(Remote("home/u"));
    fs::create_directories(Remote("pub/x"));
    fs::create_directories(Local("a/b"));
    testing_support::PyFtpdOptions options;
    options.home = "/home/u";
    m_second = std::make_unique<testing_support::PyFtpdServer>(options);
    fs::create_directories(fs::path(m_second->Root()) / "pub" / "x");
    m_useSecond = true;
    View().OnConnect();
    ASSERT_EQ(Current(), L"/home/u");
    ASSERT_TRUE(View().Browser().GoTo(L"/pub/x"));
    // The chooser puts the home folder first; Up still goes by the path.
    ASSERT_EQ(View().RemoteFolders().itemText(0), "/home/u");
    Choose(4);
    EXPECT_EQ(Current(), L"/pub");
    Choose(4);
    EXPECT_EQ(Current(), L"/");
    Choose(4);
    EXPECT_EQ(Current(), L"/");
    EXPECT_EQ(View().Pages().currentText(), "FTP Files");

    Choose(CSkiffView::LocalPage);
    ASSERT_TRUE(View().Local().GoTo(Local("a/b").string()));
    Choose(4);
    EXPECT_EQ(View().Local().Folder(), Local("a").string());
    EXPECT_EQ(View().Pages().currentText(), "Local Files");
    EXPECT_EQ(Current(), L"/");

    // "Go..." asks for a path on the page shown.
    QString title;
    AnswerPrompt(QString::fromStdString(Local("a/b").string() + "/"), &title);
    Choose(3);
    EXPECT_EQ(title, "Enter Path");
    EXPECT_EQ(View().Local().Folder(), Local("a/b").string());
    EXPECT_EQ(View().LocalFolders().currentText(), QString::fromStdString(Local("a/b").string()));
}

TEST_P(SkiffSmall, AReconnectionForgetsFilesCopiedFromTheServer)
{
    WriteFile(Remote("first.txt"), "from the first server");
    WriteFile(Local("mine.txt"), "mine");
    View().Local().Refresh();
    m_second = std::make_unique<testing_support::PyFtpdServer>();
    View().OnConnect();
    Select({"first.txt"});
    View().CopyAction()->trigger();
    ASSERT_EQ(View().CopySource(), CSkiffView::RemotePage);

    m_useSecond = true;
    View().OnConnect();
    ASSERT_TRUE(View().Connection().IsConnected());
    EXPECT_EQ(View().CopySource(), CSkiffView::NoPage);
    EXPECT_EQ(View().CopyList().ItemCount(), 0);
    Choose(CSkiffView::LocalPage);
    View().PasteAction()->trigger();
    EXPECT_FALSE(fs::exists(Local("first.txt")));
    EXPECT_EQ(Occurrences(m_second->Log(), "RETR"), 0);

    // Files of the device stay copied across a change of server.
    Select({"mine.txt"});
    View().CopyAction()->trigger();
    Choose(CSkiffView::RemotePage);
    View().DisconnectAction()->trigger();
    EXPECT_EQ(View().CopySource(), CSkiffView::LocalPage);
    View().OnConnect();
    View().PasteAction()->trigger();
    EXPECT_EQ(ReadFile(fs::path(m_second->Root()) / "mine.txt"), "mine");
}

namespace
{
// Holds the pointer down on a list's row until the menu opens, and hands the
// menu's entries (text and whether enabled) back.
std::vector<std::pair<QString, bool>> LongPressMenu(CListCtrlEx& list, int row)
{
    std::vector<std::pair<QString, bool>> entries;
    WhenShown<QMenu>(
        [&](QMenu& menu)
        {
            for (QAction* action : menu.actions())
                if (!action->isSeparator())
                    entries.push_back({action->text(), action->isEnabled()});
            menu.close();
        });
    QWidget* viewport = list.DetailsView()->viewport();
    const QPoint at =
        row >= 0 ? list.DetailsView()->visualRect(list.DetailsView()->model()->index(row, 0)).center()
                 : QPoint(5, viewport->height() - 5);
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !entries.empty(); },
                                QGuiApplication::styleHints()->mousePressAndHoldInterval() + 3000));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    return entries;
}

std::vector<QString> Texts(const std::vector<std::pair<QString, bool>>& entries, bool enabledOnly)
{
    std::vector<QString> texts;
    for (const auto& [text, enabled] : entries)
        if (enabled || !enabledOnly)
            texts.push_back(text);
    return texts;
}
} // namespace

TEST_P(SkiffSmall, ALongPressOpensTheContextMenuOfThePage)
{
    WriteFile(Local("a.txt"), "a");
    WriteFile(Remote("r.txt"), "r");
    View().Local().Refresh();

    // Unconnected, the remote list offers nothing.
    auto remote = LongPressMenu(View().RemoteList(), -1);
    ASSERT_FALSE(remote.empty());
    EXPECT_TRUE(Texts(remote, true).empty());

    Choose(CSkiffView::LocalPage);
    auto local = LongPressMenu(View().LocalList(), 0);
    EXPECT_THAT(Texts(local, false), ElementsAre("Copy", "New Directory...", "Rename", "Delete", "Move To...",
                                                 "Properties", "View"));
    EXPECT_THAT(Texts(local, true), ElementsAre("Copy", "New Directory...", "Rename", "Delete", "Move To...",
                                                "Properties", "View"));
    EXPECT_EQ(View().LocalList().SelectedCount(), 1);

    // Paste is offered only on the other page than the copy's.
    View().CopyAction()->trigger();
    EXPECT_THAT(Texts(LongPressMenu(View().LocalList(), 0), false), testing::Not(testing::Contains("Paste")));
    Choose(CSkiffView::RemotePage);
    View().OnConnect();
    remote = LongPressMenu(View().RemoteList(), 0);
    EXPECT_THAT(Texts(remote, true), ElementsAre("Copy", "Paste", "New Directory...", "Rename", "Delete",
                                                 "Move To...", "CHMOD...", "Properties", "View"));
}

TEST_P(SkiffSmall, KeepAliveSendsPwdOnlyWhenTheSiteAsksForIt)
{
    EXPECT_EQ(View().KeepAlivePeriod(), 30000);
    EXPECT_TRUE(View().KeepAliveActive());
    m_keepAlive = 1;
    View().OnConnect();
    const int connected = Occurrences(m_server.Log(), "PWD");
    View().SetKeepAlivePeriod(100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Occurrences(m_server.Log(), "PWD") > connected; }, 10000))
        << m_server.Log();
}

// Find's Copy Selected takes rows of the server, whatever page is shown, so
// Paste on the local page downloads them rather than uploading local files by
// those paths. Find is there only while connected, in its handheld form.
TEST_P(SkiffSmall, FindsCopySelectedFillsTheCopyListFromTheRemotePage)
{
    WriteFile(Remote("found/deep.txt"), "found it");
    EXPECT_FALSE(View().FindAction()->isEnabled());
    View().OnConnect();
    Choose(CSkiffView::LocalPage);
    ASSERT_TRUE(View().FindAction()->isEnabled());

    testing_support::WhenShown<CFindDlg>(
        [](CFindDlg& dialog)
        {
            EXPECT_EQ(dialog.CopyButton()->text(), "Copy");
            dialog.FindWhat()->setText("deep");
            QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.CurrentMode() == CFindDlg::Finished; }, 10000));
            dialog.ResultList()->selectAll();
            QTest::mouseClick(dialog.CopyButton(), Qt::LeftButton);
            dialog.reject();
        });
    View().FindAction()->trigger();
    EXPECT_EQ(View().CopySource(), CSkiffView::RemotePage);
    ASSERT_TRUE(View().PasteAction()->isEnabled());
    View().PasteAction()->trigger();
    EXPECT_EQ(ReadFile(Local("deep.txt")), "found it");
    Choose(CSkiffView::RemotePage);
    EXPECT_FALSE(View().PasteAction()->isEnabled());
}
