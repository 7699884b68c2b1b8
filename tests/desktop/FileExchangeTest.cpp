// Copy, Paste, drops and drags out between the browser and the desktop's file
// manager, against a real server, with real widgets under the offscreen
// platform (its clipboard lives in the process).
#include "desktop/FileExchange.h"
#include "desktop/IDirectSaveWindow.h"
#include "desktop/MainFrame.h"
#include "desktop/MyDataSource.h"
#include "desktop/MyDropTarget.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "files/FileUris.h"
#include "files/RemoteBrowser.h"
#include "platform/Services.h"
#include "sites/TempDirectory.h"
#include "sites/dialogs/DialogDriver.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/ProcessRunner.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"
#include "widgets/BrowserListModel.h"
#include "widgets/ListCtrlEx.h"

#include <QAction>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDrag>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{
std::string AllBytes()
{
    std::string bytes;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
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

// The target's side of X Direct Save: a property it reads and writes.
class TestDirectSaveWindow : public IDirectSaveWindow
{
public:
    bool Begin(const QByteArray& name) override
    {
        value = name + '\0';
        begun = true;
        return true;
    }
    QByteArray Read() override { return value; }
    void End() override
    {
        value.clear();
        ended = true;
    }
    QByteArray value;
    bool begun = false, ended = false;
};

class FileExchangeTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_frame));
        SetTemporaryDirectory(m_temp.Path().wstring());
        View().SetSiteManagerRunner(
            [this](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                if (!connection.Connect(testing_support::FixtureSite(m_server, 5)))
                    return false;
                title = L"Local";
                return true;
            });
        QGuiApplication::clipboard()->clear();
        Exchange().SetDirectSaveWindow(&m_window);
        Exchange().SetArkBus(QDBusConnection(QString()));
    }
    void TearDown() override { QGuiApplication::clipboard()->clear(); }

    CWharfView& View() { return m_frame.View(); }
    CFileExchange& Exchange() { return View().Exchange(); }
    fs::path Remote(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }
    void Connect()
    {
        View().OnConnect();
        ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    }
    int ListRow(const QString& name)
    {
        for (int i = 0; i < View().Model().rowCount(); ++i)
            if (View().Model().data(View().Model().index(i, 0), Qt::DisplayRole).toString() == name)
                return i;
        ADD_FAILURE() << "no row " << name.toStdString();
        return -1;
    }
    void Select(std::initializer_list<const char*> names)
    {
        View().List().Selection()->clearSelection();
        for (const char* name : names)
            View().List().Selection()->select(View().Model().index(ListRow(name), 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QWidget* Viewport() { return View().List().DetailsView()->viewport(); }
    QPoint OnRow(const QString& name)
    {
        return View().List().DetailsView()->visualRect(View().Model().index(ListRow(name), 0)).center();
    }
    QPoint BelowTheRows() { return QPoint(10, Viewport()->height() - 5); }
    // Sends a drag over the list and drops it; true when the drop was taken.
    bool DragAndDrop(QMimeData& data, QPoint at, Qt::DropActions actions, Qt::DropAction proposed,
                     Qt::DropAction* done = nullptr, int* highlighted = nullptr, size_t* selected = nullptr)
    {
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Viewport(), &enter);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Viewport(), &move);
        if (highlighted)
            *highlighted = Exchange().DropTarget().HighlightedRow();
        if (selected)
            *selected = View().SelectedRows().size();
        QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
        drop.setDropAction(proposed);
        QApplication::sendEvent(Viewport(), &drop);
        if (done)
            *done = drop.dropAction();
        const bool taken = enter.isAccepted() && move.isAccepted() && drop.isAccepted();
        // The upload comes after the drop, from the event loop.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return taken;
    }

    testing_support::PyFtpdServer m_server;
    testing_support::TempFolder m_temp{"tessel-exchange"};
    testing_support::TempFolder m_local{"tessel-exchange-local"};
    TestDirectSaveWindow m_window;
    CWharfDoc m_doc;
    CMainFrame m_frame{m_doc};
};
} // namespace

TEST_F(FileExchangeTest, CopyStagesTheExactBytesThenOffersExactlyTheFileManagersFormats)
{
    const std::string bytes = AllBytes();
    WriteFile(Remote("all bytes.bin"), bytes);
    WriteFile(Remote("100%#?.txt"), "odd name");
    WriteFile(Remote("dir/one.txt"), "one");
    WriteFile(Remote("dir/sub/two.txt"), "two");
    fs::create_directories(Remote("dir/empty"));
    WriteFile(Remote("not picked.txt"), "no");
    Connect();
    Select({"dir", "100%#?.txt", "all bytes.bin"});
    ASSERT_TRUE(View().CopyAction()->isEnabled());
    View().CopyAction()->trigger();

    const std::string staging = Exchange().CurrentStaging();
    ASSERT_FALSE(staging.empty()) << m_server.Log();
    EXPECT_EQ(fs::path(staging).parent_path(), m_temp.Path());
    struct stat info
    {
    };
    ASSERT_EQ(stat(staging.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(Tree(staging), (std::map<std::string, std::string>{{"100%#?.txt", "odd name"},
                                                                 {"all bytes.bin", bytes},
                                                                 {"dir", "<dir>"},
                                                                 {"dir/empty", "<dir>"},
                                                                 {"dir/one.txt", "one"},
                                                                 {"dir/sub", "<dir>"},
                                                                 {"dir/sub/two.txt", "two"}}));

    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(offered, nullptr);
    const std::string folderUri = "file://" + staging;
    const std::string uris[] = {folderUri + "/dir", folderUri + "/100%25%23%3F.txt",
                                folderUri + "/all%20bytes.bin"};
    EXPECT_EQ(offered->data("text/uri-list").toStdString(),
              uris[0] + "\r\n" + uris[1] + "\r\n" + uris[2] + "\r\n");
    const std::string copied = "copy\n" + uris[0] + "\n" + uris[1] + "\n" + uris[2];
    EXPECT_EQ(offered->data("x-special/gnome-copied-files").toStdString(), copied);
    EXPECT_EQ(offered->data("x-special/mate-copied-files").toStdString(), copied);
    EXPECT_EQ(offered->data("Wharf_CFM"), CMyDataSource::OwnMarker());
    EXPECT_TRUE(offered->data("Wharf_CFM").startsWith("wharf " + QByteArray::number(getpid()) + " "));
    EXPECT_FALSE(offered->hasFormat("text/plain"));
    // Our own files are not pasted back.
    EXPECT_FALSE(View().PasteAction()->isEnabled());

    // A second Copy makes a new offer; the first one is let go of, and its
    // folder goes after the grace period.
    QPointer<const QMimeData> first = offered;
    Exchange().SetGracePeriod(0);
    Select({"not picked.txt"});
    View().CopyAction()->trigger();
    ASSERT_NE(Exchange().CurrentStaging(), staging);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fs::exists(staging); }, 5000));
    EXPECT_EQ(ReadFile(fs::path(Exchange().CurrentStaging()) / "not picked.txt"), "no");

    // At exit the clipboard is cleared first, then the folder goes.
    const std::string last = Exchange().CurrentStaging();
    Exchange().Shutdown();
    const QMimeData* after = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(!after || !after->hasFormat("Wharf_CFM"));
    EXPECT_FALSE(fs::exists(last));
}

TEST_F(FileExchangeTest, AFailedCopyLeavesTheClipboardAsItWasAndNoStagingFolder)
{
    WriteFile(Remote("big/small.txt"), "small");
    WriteFile(Remote("big/huge.bin"), "");
    ASSERT_EQ(truncate(Remote("big/huge.bin").c_str(), std::int64_t{8} << 40), 0);
    Connect();
    auto* before = new QMimeData;
    before->setText("what the user copied");
    QGuiApplication::clipboard()->setMimeData(before);
    Select({"big"});
    View().CopyAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "what the user copied");
    EXPECT_TRUE(Exchange().CurrentStaging().empty());
    EXPECT_TRUE(fs::is_empty(m_temp.Path()));
    ASSERT_EQ(testing_support::Boxes().Count(), 1u);
    EXPECT_NE(testing_support::Boxes().Texts()[0].find(L"not enough free space"), std::wstring::npos);
}

TEST_F(FileExchangeTest, PasteUploadsLocalFilesAndFoldersIntoTheFolderRowOrTheCurrentFolder)
{
    const std::string bytes = AllBytes();
    WriteFile(m_local / "a.bin", bytes);
    WriteFile(m_local / "tree" / "sub" / "x.txt", "x");
    fs::create_directories(m_local / "tree" / "empty");
    fs::create_directories(Remote("dest"));
    Connect();
    const std::string base = CFileUris::FromPath(m_local.Path().string());
    struct
    {
        const char* format;
        std::string text;
        const char* selected;
        const char* into;
    } cases[] = {
        // A cut is taken as a copy; what is not local is listed, not dropped.
        {"x-special/gnome-copied-files",
         "cut\n" + base + "/a.bin\nsftp://host/remote.txt\n" + base + "/tree\n", "dest", "dest"},
        {"text/uri-list", "# from a file manager\r\n" + base + "/a.bin\r\n" + base + "/tree\r\n", nullptr,
         ""},
    };
    for (const auto& one : cases)
    {
        testing_support::Boxes().Clear();
        auto* files = new QMimeData;
        files->setData(one.format, QByteArray::fromStdString(one.text));
        QGuiApplication::clipboard()->setMimeData(files);
        if (one.selected)
            Select({one.selected});
        else
            View().List().Selection()->clearSelection();
        ASSERT_TRUE(View().PasteAction()->isEnabled()) << one.format;
        View().PasteAction()->trigger();
        const fs::path into = Remote(one.into);
        EXPECT_EQ(ReadFile(into / "a.bin"), bytes) << one.format << "\n" << m_server.Log();
        EXPECT_EQ(ReadFile(into / "tree" / "sub" / "x.txt"), "x") << one.format;
        EXPECT_TRUE(fs::is_directory(into / "tree" / "empty")) << one.format;
        const auto boxes = testing_support::Boxes().Texts();
        if (std::string(one.format) == "text/uri-list")
            EXPECT_TRUE(boxes.empty());
        else
        {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0], CFileExchange::SkippedText + L"\nsftp://host/remote.txt");
        }
    }
    // The user's files stay where they were, and the list shows the result.
    EXPECT_EQ(ReadFile(m_local / "a.bin"), bytes);
    EXPECT_GE(ListRow("tree"), 0);
}

TEST_F(FileExchangeTest, DropsAreCopiesIntoTheRowUnderThePointerAndRefusedWhenTheyCannotBe)
{
    WriteFile(m_local / "dropped.txt", "dropped");
    fs::create_directories(Remote("in"));
    WriteFile(Remote("plain.txt"), "p");
    auto files = [&]
    {
        auto* data = new QMimeData;
        data->setData("text/uri-list", QByteArray::fromStdString(
                                           CFileUris::FromPath((m_local / "dropped.txt").string()) + "\r\n"));
        return std::unique_ptr<QMimeData>(data);
    };

    // Not connected: refused.
    EXPECT_FALSE(DragAndDrop(*files(), BelowTheRows(), Qt::CopyAction, Qt::CopyAction));
    Connect();
    // Wharf's own drag, data without local files, and a source that allows only a move: refused.
    CMyDataSource own(std::vector<std::string>{(m_local / "dropped.txt").string()});
    EXPECT_FALSE(DragAndDrop(own, BelowTheRows(), Qt::CopyAction, Qt::CopyAction));
    QMimeData text;
    text.setText("just text");
    text.setData("text/uri-list", "sftp://host/remote.txt\r\n");
    EXPECT_FALSE(DragAndDrop(text, BelowTheRows(), Qt::CopyAction, Qt::CopyAction));
    EXPECT_FALSE(DragAndDrop(*files(), BelowTheRows(), Qt::MoveAction, Qt::MoveAction));
    EXPECT_TRUE(Tree(m_server.Root()).count("dropped.txt") == 0 && fs::is_empty(Remote("in")));

    // A move proposed over a folder row is done as a copy into that folder;
    // the row is outlined meanwhile and the selection stays.
    Select({"plain.txt"});
    Qt::DropAction done = Qt::IgnoreAction;
    int highlighted = -1;
    size_t selected = 0;
    ASSERT_TRUE(DragAndDrop(*files(), OnRow("in"), Qt::CopyAction | Qt::MoveAction, Qt::MoveAction, &done,
                            &highlighted, &selected));
    EXPECT_EQ(done, Qt::CopyAction);
    EXPECT_EQ(highlighted, ListRow("in"));
    EXPECT_FALSE(Exchange().DropTarget().Highlight()->isVisible());
    EXPECT_EQ(selected, 1u);
    EXPECT_EQ(ReadFile(Remote("in/dropped.txt")), "dropped") << m_server.Log();
    EXPECT_EQ(ReadFile(m_local / "dropped.txt"), "dropped");

    // Below the rows (and on a file row): into the current folder.
    ASSERT_TRUE(DragAndDrop(*files(), BelowTheRows(), Qt::CopyAction, Qt::CopyAction));
    EXPECT_EQ(ReadFile(Remote("dropped.txt")), "dropped");
}

TEST_F(FileExchangeTest, ADragOutDownloadsWhereTheDirectSaveTargetSaysOnceTheDragIsOver)
{
    WriteFile(Remote("ok.txt"), "fine");
    WriteFile(Remote("folder/inner.txt"), "inner");
    Connect();
    // Names a hostile listing could give: they must not leave the destination.
    std::vector<BrowserRow> rows = View().Browser().Rows();
    for (const wchar_t* hostile : {L"../escape.txt", L"a/../../escape2.txt"})
    {
        BrowserRow row;
        row.name = row.displayName = hostile;
        row.path = L"/";
        row.size = 4;
        rows.push_back(row);
    }
    View().Browser().SetRows(rows);
    const fs::path target = m_local / "target";
    fs::create_directories(target);

    bool jobRanInsideTheDrag = false;
    QByteArray early, refused, answer;
    Exchange().SetDragRunner(
        [&](QDrag&, CMyDataSource& data)
        {
            EXPECT_TRUE(m_window.begun);
            EXPECT_EQ(m_window.value, QByteArray("folder") + '\0');
            EXPECT_TRUE(data.hasFormat("XdndDirectSave0"));
            EXPECT_FALSE(data.hasFormat("text/uri-list"));
            EXPECT_TRUE(CMyDataSource::IsOwn(&data));
            // Asked before any destination was written: no answer, the drag goes on.
            early = data.data("XdndDirectSave0");
            m_window.value = QByteArray::fromStdString("file:///no/such/folder/x");
            refused = data.data("XdndDirectSave0");
            m_window.value =
                QByteArray::fromStdString("file://localhost" +
                                          CFileUris::FromPath(target.string()).substr(7) + "/folder") +
                '\0';
            answer = data.data("XdndDirectSave0");
            jobRanInsideTheDrag = fs::exists(target / "folder");
            return Qt::CopyAction;
        });
    for (int i = 0; i < View().Model().rowCount(); ++i)
        View().List().Selection()->select(View().Model().index(i, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    // The first refused name asks whether to go on; the job goes on.
    testing_support::WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Ok)->click(); });
    QSignalSpy done(&Exchange(), &CFileExchange::DragDone);
    Exchange().DragOut(View().SelectedRows());
    EXPECT_TRUE(early.isEmpty());
    EXPECT_EQ(refused, "F");
    EXPECT_EQ(answer, "S");
    EXPECT_FALSE(jobRanInsideTheDrag);
    ASSERT_TRUE(done.wait(20000));
    EXPECT_TRUE(m_window.ended);
    EXPECT_EQ(Tree(m_local.Path()), (std::map<std::string, std::string>{{"target", "<dir>"},
                                                                        {"target/folder", "<dir>"},
                                                                        {"target/folder/inner.txt", "inner"},
                                                                        {"target/ok.txt", "fine"}}));
}

TEST_F(FileExchangeTest, ADragWithoutADestinationSaysToUseCopyAndPaste)
{
    WriteFile(Remote("ok.txt"), "fine");
    Connect();
    Exchange().SetDestinationWait(0);
    for (const Qt::DropAction result : {Qt::IgnoreAction, Qt::CopyAction})
    {
        platform::Services::SetStatusText(0, L"");
        int drags = 0;
        Exchange().SetDragRunner(
            [&](QDrag&, CMyDataSource&)
            {
                ++drags;
                return result;
            });
        Select({"ok.txt"});
        QSignalSpy done(&Exchange(), &CFileExchange::DragDone);
        // The drag starts as the user starts it: pressed on a row, moved away with the button held.
        const QPoint start = OnRow("ok.txt");
        QTest::mousePress(Viewport(), Qt::LeftButton, {}, start);
        const QPoint away = start + QPoint(QApplication::startDragDistance() + 2, 0);
        QMouseEvent move(QEvent::MouseMove, away, Viewport()->mapToGlobal(away), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(Viewport(), &move);
        ASSERT_TRUE(done.wait(5000));
        EXPECT_EQ(drags, 1);
        EXPECT_EQ(platform::Services::StatusText(0), CFileExchange::UseCopyText);
        QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, away);
    }
    EXPECT_EQ(Tree(m_local.Path()).size(), 0u);
}

namespace
{
// A private D-Bus daemon, stopped by its PID.
class PrivateBus
{
public:
    PrivateBus()
    {
        int out[2];
        if (access("/usr/bin/dbus-daemon", X_OK) != 0 || pipe(out) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0)
        {
            dup2(out[1], 1);
            close(out[0]);
            execl("/usr/bin/dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile",
                  "--print-address=1", nullptr);
            _exit(127);
        }
        close(out[1]);
        char buffer[512];
        const ssize_t got = read(out[0], buffer, sizeof buffer - 1);
        close(out[0]);
        if (got > 0)
            m_address = QString::fromUtf8(buffer, got).trimmed();
    }
    ~PrivateBus()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const QString& Address() const { return m_address; }

private:
    pid_t m_pid = -1;
    QString m_address;
};
} // namespace

TEST_F(FileExchangeTest, ADragOutDownloadsWhereDolphinSaysOverDBus)
{
    PrivateBus bus;
    if (bus.Address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QDBusConnection wharfSide = QDBusConnection::connectToBus(bus.Address(), "wharf-side");
    QDBusConnection managerSide = QDBusConnection::connectToBus(bus.Address(), "file-manager-side");
    ASSERT_TRUE(wharfSide.isConnected() && managerSide.isConnected());
    Exchange().SetArkBus(wharfSide);
    Exchange().SetDirectSaveWindow(nullptr);
    WriteFile(Remote("ok.txt"), "fine");
    Connect();
    const fs::path target = m_local / "dolphin target";
    fs::create_directories(target);

    QString reply;
    Exchange().SetDragRunner(
        [&](QDrag&, CMyDataSource& data)
        {
            // What Dolphin does after the drop: call the service the drag names.
            QDBusMessage call = QDBusMessage::createMethodCall(
                QString::fromUtf8(data.data("application/x-kde-ark-dndextract-service")),
                QString::fromUtf8(data.data("application/x-kde-ark-dndextract-path")),
                "org.kde.ark.DndExtract", "extractSelectedFilesTo");
            call.setArguments({QString::fromStdString(target.string())});
            const QDBusMessage answer = managerSide.call(call, QDBus::BlockWithGui, 5000);
            reply = answer.type() == QDBusMessage::ErrorMessage ? answer.errorMessage() : "ok";
            return Qt::CopyAction;
        });
    Select({"ok.txt"});
    QSignalSpy done(&Exchange(), &CFileExchange::DragDone);
    Exchange().DragOut(View().SelectedRows());
    EXPECT_EQ(reply, "ok");
    ASSERT_TRUE(done.wait(20000));
    EXPECT_EQ(ReadFile(target / "ok.txt"), "fine");
    QDBusConnection::disconnectFromBus("wharf-side");
    QDBusConnection::disconnectFromBus("file-manager-side");
}
