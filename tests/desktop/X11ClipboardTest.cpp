// wharf and other programs on a real X server (Xvfb): xclip reads what a Copy
// offers and feeds a paste in the gnome format, and the Direct Save property
// is written and read back by another X client. The program starts its own
// Xvfb (-displayfd, so no display number is guessed) and stops it by its PID;
// where Xvfb or xclip is missing every test is skipped with a message.
#include "desktop/FileExchange.h"
#include "desktop/MainFrame.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "desktop/X11DirectSave.h"
#include "files/FileUris.h"
#include "sites/TempDirectory.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"
#include "widgets/ListCtrlEx.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QTest>
#include <QTreeView>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gmock/gmock.h>
#include <qguiapplication_platform.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{
std::string g_skipReason;
int g_xvfbPipe = -1;

bool Runnable(const char* program)
{
    return access(program, X_OK) == 0;
}

// Xvfb on a display it picks itself; its number arrives on a pipe.
pid_t StartXvfb(std::string& display)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0)
    {
        close(pipeEnds[0]);
        const std::string fd = std::to_string(pipeEnds[1]);
        execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
              "1024x768x24", nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[32] = {};
    const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer - 1);
    // Kept open while Xvfb runs: it may write to it again, and would die of a closed pipe.
    g_xvfbPipe = pipeEnds[0];
    if (got <= 0)
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    display = ":" + std::string(buffer, static_cast<size_t>(got));
    while (!display.empty() && (display.back() == '\n' || display.back() == ' '))
        display.pop_back();
    return pid;
}

// Runs a program while the event loop keeps serving the clipboard; its output.
QByteArray RunServing(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
    {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end";
    }
    return process.readAllStandardOutput();
}

class X11Clipboard : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!g_skipReason.empty())
            GTEST_SKIP() << g_skipReason;
        testing_support::ResetServices();
        m_frame = std::make_unique<CMainFrame>(m_doc);
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        SetTemporaryDirectory(m_temp.Path().wstring());
        View().SetSiteManagerRunner(
            [this](CSiteConnection& connection, QWidget*, std::wstring& title)
            {
                title = L"Local";
                return connection.Connect(testing_support::FixtureSite(m_server, 5));
            });
        View().OnConnect();
        ASSERT_TRUE(View().Connection().IsConnected()) << m_server.Log();
    }
    void TearDown() override
    {
        if (m_frame)
            View().Exchange().Shutdown();
    }
    CWharfView& View() { return m_frame->View(); }
    void Select(const QString& name)
    {
        auto& model = *View().List().DetailsView()->model();
        for (int i = 0; i < model.rowCount(); ++i)
            if (model.data(model.index(i, 0)).toString() == name)
                View().List().DetailsView()->setCurrentIndex(model.index(i, 0));
    }

    testing_support::PyFtpdServer m_server;
    testing_support::TempFolder m_temp{"tessel-x11"};
    CWharfDoc m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
} // namespace

TEST_F(X11Clipboard, XclipReadsTheFormatsACopyOffers)
{
    WriteFile(fs::path(m_server.Root()) / "caf\xC3\xA9 #1.txt", "served");
    View().Browser().Refresh();
    // The list shows the name as read (UTF-8); the staged file keeps the
    // server's bytes.
    Select(QString::fromUtf8("caf\xC3\xA9 #1.txt"));
    ASSERT_EQ(View().SelectedRows().size(), 1u);
    ASSERT_TRUE(View().CopyAction()->isEnabled());
    View().CopyAction()->trigger();
    const std::string staging = View().Exchange().CurrentStaging();
    ASSERT_FALSE(staging.empty()) << m_server.Log();
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5000));

    const QString targets =
        QString::fromUtf8(RunServing("xclip", {"-selection", "clipboard", "-t", "TARGETS", "-o"}));
    for (const char* format :
         {"text/uri-list", "x-special/gnome-copied-files", "x-special/mate-copied-files", "Wharf_CFM"})
        EXPECT_TRUE(targets.split('\n').contains(QString::fromLatin1(format))) << format << " in\n"
                                                                               << targets.toStdString();
    const std::string uri = "file://" + staging + "/caf%C3%A9%20%231.txt";
    EXPECT_EQ(RunServing("xclip", {"-selection", "clipboard", "-t", "text/uri-list", "-o"}).toStdString(),
              uri + "\r\n");
    EXPECT_EQ(RunServing("xclip", {"-selection", "clipboard", "-t", "x-special/gnome-copied-files", "-o"})
                  .toStdString(),
              "copy\n" + uri);
    EXPECT_EQ(ReadFile(fs::path(staging) / "caf\xC3\xA9 #1.txt"), "served");
}

TEST_F(X11Clipboard, AGnomeListFedByXclipIsPasted)
{
    testing_support::TempFolder local("tessel-x11-local");
    WriteFile(local / "pasted file.txt", "from the file manager");
    const QByteArray list =
        QByteArray("copy\n") +
        QByteArray::fromStdString(CFileUris::FromPath((local / "pasted file.txt").string()));
    QProcess xclip;
    // In the foreground, so it is ended by its own handle, not looked for.
    xclip.start("xclip", {"-quiet", "-selection", "clipboard", "-t", "x-special/gnome-copied-files", "-i"});
    ASSERT_TRUE(xclip.waitForStarted());
    xclip.write(list);
    xclip.closeWriteChannel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return View().PasteAction()->isEnabled(); }, 10000));
    View().List().Selection()->clearSelection();
    View().PasteAction()->trigger();
    EXPECT_EQ(ReadFile(fs::path(m_server.Root()) / "pasted file.txt"), "from the file manager")
        << m_server.Log();
    xclip.kill();
    xclip.waitForFinished();
}

TEST_F(X11Clipboard, TheDirectSavePropertyIsSharedWithAnotherClient)
{
    auto directSave = CX11DirectSave::Create();
    ASSERT_NE(directSave, nullptr);
    // A second client plays the drop target; wharf's window owns XdndSelection as a drag would.
    xcb_connection_t* target = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(target), 0);
    auto atom = [&](const char* name)
    {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(target, xcb_intern_atom(target, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : 0;
        std::free(reply);
        return value;
    };
    xcb_connection_t* own = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto window = static_cast<xcb_window_t>(m_frame->winId());
    xcb_set_selection_owner(own, window, atom("XdndSelection"), XCB_CURRENT_TIME);
    xcb_flush(own);

    // What the target sees. Requests of two clients may be served in any
    // order, so it looks until the change has arrived.
    auto seen = [&](xcb_atom_t& type)
    {
        xcb_get_property_reply_t* read = xcb_get_property_reply(
            target,
            xcb_get_property(target, 0, window, atom("XdndDirectSave0"), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr);
        std::string value;
        type = XCB_NONE;
        if (read)
        {
            type = read->type;
            value.assign(static_cast<const char*>(xcb_get_property_value(read)),
                         static_cast<size_t>(xcb_get_property_value_length(read)));
            std::free(read);
        }
        return value;
    };
    xcb_atom_t type = XCB_NONE;
    ASSERT_TRUE(directSave->Begin("report.txt"));
    EXPECT_EQ(directSave->Window(), window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return seen(type) == std::string("report.txt\0", 11); }, 5000));
    EXPECT_EQ(type, atom("text/plain"));

    const std::string destination = "file:///home/u/Desktop/report.txt";
    xcb_change_property(target, XCB_PROP_MODE_REPLACE, window, atom("XdndDirectSave0"), atom("text/plain"), 8,
                        destination.size(), destination.data());
    xcb_flush(target);
    EXPECT_TRUE(QTest::qWaitFor([&] { return directSave->Read().toStdString() == destination; }, 5000));
    directSave->End();
    EXPECT_TRUE(directSave->Read().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor(
        [&]
        {
            seen(type);
            return type == static_cast<xcb_atom_t>(XCB_NONE);
        },
        5000));
    xcb_disconnect(target);
}

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    pid_t xvfb = -1;
    if (!Runnable("/usr/bin/Xvfb"))
        g_skipReason = "Xvfb is not installed (Debian package xvfb)";
    else if (!Runnable("/usr/bin/xclip"))
        g_skipReason = "xclip is not installed (Debian package xclip)";
    else if (!listing)
    {
        std::string display;
        xvfb = StartXvfb(display);
        if (xvfb < 0)
            g_skipReason = "Xvfb did not start";
        else
        {
            setenv("DISPLAY", display.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        }
    }
    if (xvfb < 0)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        testing::InitGoogleMock(&argc, argv);
        testing_support::ResetServices();
        result = RUN_ALL_TESTS();
    }
    if (xvfb > 0)
    {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    if (g_xvfbPipe >= 0)
        close(g_xvfbPipe);
    return result;
}
