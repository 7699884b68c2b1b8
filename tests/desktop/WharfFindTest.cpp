// Find in the window: the command follows the connection, and the dialog's
// Goto and Delete Selected reach the list.
#include "desktop/MainFrame.h"
#include "desktop/WharfDoc.h"
#include "desktop/WharfView.h"
#include "files/RemoteBrowser.h"
#include "files/dialogs/FindDlg.h"
#include "sites/SiteConnection.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TestServices.h"
#include "widgets/BrowserListModel.h"
#include "widgets/ListCtrlEx.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace
{
class WharfFind : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* file : {"sub/README", "sub/readme", "sub/other", "top"})
        {
            fs::create_directories((fs::path(m_server.Root()) / file).parent_path());
            std::ofstream(fs::path(m_server.Root()) / file) << file;
        }
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
    // The selected entries of the window's list, by their shown text.
    QStringList SelectedInList()
    {
        QStringList names;
        for (const int listRow : View().List().SelectedListRows())
            names << View().Model().data(View().Model().index(listRow, 0), Qt::DisplayRole).toString();
        return names;
    }
    // Runs Find from the keyboard; act drives the open dialog.
    void RunFind(const std::function<void(CFindDlg&)>& act)
    {
        m_frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_frame));
        bool acted = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout,
                         [&]
                         {
                             auto* dialog = qobject_cast<CFindDlg*>(QApplication::activeModalWidget());
                             if (!dialog || acted)
                                 return;
                             acted = true;
                             act(*dialog);
                             if (dialog->isVisible())
                                 dialog->reject();
                         });
        poll.start(10);
        QTest::keyClick(&m_frame, Qt::Key_F, Qt::ControlModifier);
        EXPECT_TRUE(acted);
    }
    static void SearchAndPick(CFindDlg& dialog, const QString& text, const QString& pick)
    {
        dialog.FindWhat()->setText(text);
        QTest::mouseClick(dialog.FindButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.CurrentMode() == CFindDlg::Finished; }, 10000));
        for (int row = 0; row < dialog.Model().rowCount(); ++row)
            if (dialog.Model().data(dialog.Model().index(row, 0), Qt::DisplayRole).toString() == pick)
                dialog.ResultList()->selectionModel()->select(
                    dialog.Model().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ASSERT_TRUE(dialog.ResultList()->selectionModel()->hasSelection()) << pick.toStdString();
    }

    testing_support::PyFtpdServer m_server;
    CWharfDoc m_doc;
    CMainFrame m_frame{m_doc};
};
} // namespace

TEST_F(WharfFind, FindFollowsTheConnectionAndGotoSelectsTheFoundEntryInTheList)
{
    EXPECT_FALSE(View().FindAction()->isEnabled());
    View().OnConnect();
    ASSERT_TRUE(View().FindAction()->isEnabled());
    EXPECT_EQ(View().FindAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));

    RunFind(
        [&](CFindDlg& dialog)
        {
            SearchAndPick(dialog, "readme", "/sub/readme");
            QTest::mouseClick(dialog.GotoButton(), Qt::LeftButton);
            EXPECT_FALSE(dialog.isVisible());
        });
    EXPECT_EQ(View().Browser().Folder(), L"/sub");
    EXPECT_EQ(SelectedInList(), QStringList({"readme"}));

    // Deleting from the results reads the folder again when the dialog closes.
    RunFind([&](CFindDlg& dialog)
            { SearchAndPick(dialog, "other", "/sub/other"), dialog.OnDeleteSelected(); });
    EXPECT_FALSE(fs::exists(fs::path(m_server.Root()) / "sub/other"));
    QStringList shown;
    for (int row = 0; row < View().Model().rowCount(); ++row)
        shown << View().Model().data(View().Model().index(row, 0), Qt::DisplayRole).toString();
    EXPECT_FALSE(shown.contains("other")) << shown.join(",").toStdString();

    // Copy Selected downloads a result of another folder and offers it on the clipboard.
    View().OnUp();
    ASSERT_EQ(View().Browser().Folder(), L"/");
    RunFind(
        [&](CFindDlg& dialog)
        {
            SearchAndPick(dialog, "README", "/sub/README");
            ASSERT_TRUE(dialog.CopyButton()->isEnabled());
            QTest::mouseClick(dialog.CopyButton(), Qt::LeftButton);
        });
    const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(offered && offered->hasUrls());
    ASSERT_EQ(offered->urls().size(), 1);
    const QString staged = offered->urls().front().toLocalFile();
    EXPECT_TRUE(staged.endsWith("/README")) << staged.toStdString();
    std::ifstream copied(staged.toStdString());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copied), {}), "sub/README");

    View().OnDisconnect();
    EXPECT_FALSE(View().FindAction()->isEnabled());
}
