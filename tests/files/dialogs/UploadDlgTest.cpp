#include "files/dialogs/UploadDlg.h"
#include "files/TransferList.h"
#include "files/dialogs/AskReplaceDlg.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"
#include "support/FileBytes.h"
#include "support/FixtureSite.h"
#include "support/PyFtpdServer.h"
#include "support/TempFolder.h"
#include "support/TestServices.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using platform::TextCodec;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace
{

// Runs check on the interface thread every few milliseconds until it returns
// true; the dialogs under test run their own event loops meanwhile.
class Poller
{
public:
    explicit Poller(std::function<bool()> check) : m_check(std::move(check))
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this]
                         {
                             if (m_check())
                                 m_timer.stop();
                         });
        m_timer.start(5);
    }

private:
    std::function<bool()> m_check;
    QTimer m_timer;
};

CAskReplaceDlg* OpenQuestion()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* question = qobject_cast<CAskReplaceDlg*>(widget); question && question->isVisible())
            return question;
    return nullptr;
}

QMessageBox* OpenMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

class UploadDlgTest : public testing::Test
{
protected:
    explicit UploadDlgTest(testing_support::PyFtpdOptions options = {}) : m_server(std::move(options)) {}

    void SetUp() override
    {
        SiteRecord site = testing_support::FixtureSite(m_server);
        ASSERT_TRUE(m_connection.Connect(site)) << m_server.Log();
    }

    fs::path Remote(const std::string& relative) const { return fs::path(m_server.Root()) / relative; }
    std::wstring Local() const { return TextCodec::FromUtf8(m_local.string()); }

    std::unique_ptr<CTransferList>
    RemoteList(std::initializer_list<std::pair<std::wstring, std::int64_t>> files)
    {
        auto list = std::make_unique<CTransferList>(&m_connection);
        for (const auto& [name, size] : files)
            list->Add(size, false, name, L"/" + name, 0);
        return list;
    }

    testing_support::PyFtpdServer m_server;
    CSiteConnection m_connection;
    testing_support::TempFolder m_folder{"tessel-dlg"};
    const fs::path& m_local = m_folder.Path();
};

class ThrottledUploadDlgTest : public UploadDlgTest
{
protected:
    static testing_support::PyFtpdOptions Throttled()
    {
        testing_support::PyFtpdOptions options;
        options.throttle = 128 * 1024;
        return options;
    }
    ThrottledUploadDlgTest() : UploadDlgTest(Throttled()) {}
};

} // namespace

TEST(UploadDlg, TitlesPerKindAndAListlessDialogOnlyWaitsForCancel)
{
    const std::pair<JobKind, QString> titles[] = {
        {JobKind::Upload, "Uploading..."},      {JobKind::Download, "Downloading..."},
        {JobKind::RemoteDelete, "Deleting..."}, {JobKind::LocalDelete, "Deleting..."},
        {JobKind::RemoteMove, "Moving..."},     {JobKind::LocalMove, "Moving..."}};
    for (const auto& [kind, title] : titles)
    {
        CUploadDlg dialog(nullptr, std::make_unique<CTransferList>(), L"", kind);
        EXPECT_EQ(dialog.windowTitle(), title);
        EXPECT_EQ(dialog.ItemText(), "Preparing, please wait.");
    }

    CUploadDlg waiting(nullptr, nullptr, L"", JobKind::Download);
    EXPECT_EQ(waiting.windowTitle(), "Uploading...");
    Poller cancel(
        [&]
        {
            if (!waiting.isVisible())
                return false;
            EXPECT_EQ(waiting.ItemText(), "Preparing, please wait.");
            waiting.CancelButton()->click();
            return true;
        });
    EXPECT_EQ(waiting.exec(), QDialog::Rejected);
}

TEST(UploadDlg, LongPathsShortenInTheMiddleAndHugeJobsFitTheBar)
{
    CUploadDlg dialog(nullptr, nullptr, L"", JobKind::Upload);
    dialog.resize(340, dialog.sizeHint().height());
    dialog.show();
    const QString path = "/home/user/" + QString(300, 'x') + "/the-end.bin";
    dialog.ShowItem(path);
    EXPECT_EQ(dialog.FullItemText(), path);
    EXPECT_LT(dialog.ItemText().size(), path.size());
    EXPECT_TRUE(dialog.ItemText().startsWith("/home/"));
    EXPECT_TRUE(dialog.ItemText().endsWith("end.bin"));

    // Six GiB: past what the bar's int can count in bytes.
    dialog.SetRange(6LL << 30);
    EXPECT_GT(dialog.ProgressBar()->maximum(), 0);
    dialog.ShowProgress(3LL << 30);
    EXPECT_EQ(dialog.ProgressBar()->value() * 2, dialog.ProgressBar()->maximum());
    EXPECT_EQ(dialog.ProgressText(), "Uploading 3145728 Kb of 6291456 Kb");
    dialog.hide();
}

TEST_F(UploadDlgTest, AFinishedDownloadIsAcceptedWithItsKbLineAndAFullBar)
{
    WriteFile(Remote("f.bin"), std::string(5000, 'f'));
    CUploadDlg dialog(&m_connection, RemoteList({{L"f.bin", 5000}}), Local(), JobKind::Download);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(dialog.WorkerEnded());
    EXPECT_FALSE(dialog.HadFailures());
    EXPECT_EQ(dialog.ProgressText(), "Downloading 4 Kb of 4 Kb");
    EXPECT_EQ(dialog.ProgressBar()->value(), dialog.ProgressBar()->maximum());
    EXPECT_EQ(dialog.FullItemText(), "/f.bin");
    EXPECT_EQ(ReadFile(m_local / "f.bin"), std::string(5000, 'f'));
    EXPECT_FALSE(m_connection.IsBusy());

    // The one-file download the browser uses says whether the file arrived.
    WriteFile(Remote("g.txt"), "gee");
    EXPECT_TRUE(CUploadDlg::DownloadOne(m_connection, L"/g.txt", L"g.txt", 3, 0, Local()));
    EXPECT_EQ(ReadFile(m_local / "g.txt"), "gee");
    EXPECT_FALSE(CUploadDlg::DownloadOne(m_connection, L"/missing.txt", L"missing.txt", 3, 0, Local()));
    EXPECT_FALSE(fs::exists(m_local / "missing.txt"));
}

TEST_F(UploadDlgTest, ADeleteCountsItems)
{
    WriteFile(Remote("t/a.txt"), "a");
    WriteFile(Remote("t/b.txt"), "b");
    auto list = std::make_unique<CTransferList>(&m_connection);
    list->Add(0, true, L"t", L"/t", 0);
    CUploadDlg dialog(&m_connection, std::move(list), L"", JobKind::RemoteDelete);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.ProgressText(), "Deleting 3 of 3");
    EXPECT_EQ(dialog.ProgressBar()->value(), 3);
    EXPECT_FALSE(fs::exists(Remote("t")));
}

TEST_F(UploadDlgTest, AReplaceQuestionAnsweredCancelRejectsTheJob)
{
    WriteFile(Remote("F.bin"), "server copy");
    WriteFile(m_local / "f.bin", "local copy");
    QString information;
    QString serverText;
    Poller answer(
        [&]
        {
            CAskReplaceDlg* question = OpenQuestion();
            if (!question)
                return false;
            information = question->InformationText();
            serverText = question->ServerText();
            question->reject();
            return true;
        });
    CUploadDlg dialog(&m_connection, RemoteList({{L"F.bin", 11}}), Local(), JobKind::Download);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(information, "The file \"F.bin\" already exists. Would you like to replace it?");
    EXPECT_TRUE(serverText.startsWith("11 B (11 bytes)\n")) << serverText.toStdString();
    EXPECT_EQ(ReadFile(m_local / "f.bin"), "local copy");
    EXPECT_FALSE(fs::exists(m_local / "F.bin"));
}

TEST_F(UploadDlgTest, CancelWhileAReplaceQuestionIsOpenClosesBoth)
{
    WriteFile(Remote("q.txt"), "server copy");
    WriteFile(m_local / "q.txt", "local copy");
    CUploadDlg dialog(&m_connection, RemoteList({{L"q.txt", 11}}), Local(), JobKind::Download);
    Poller cancel(
        [&]
        {
            if (!OpenQuestion())
                return false;
            dialog.reject();
            return true;
        });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(dialog.WorkerEnded());
    EXPECT_EQ(OpenQuestion(), nullptr);
    EXPECT_EQ(ReadFile(m_local / "q.txt"), "local copy");
}

TEST_F(ThrottledUploadDlgTest, CancelDuringAFileClosesTheDialogAndNamesTheFile)
{
    WriteFile(Remote("slow.bin"), std::string(2 * 1024 * 1024, 's'));
    CUploadDlg dialog(&m_connection, RemoteList({{L"slow.bin", 2 * 1024 * 1024}}), Local(),
                      JobKind::Download);
    Poller cancel(
        [&]
        {
            if (dialog.ProgressText().isEmpty())
                return false;
            dialog.CancelButton()->click();
            return true;
        });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(dialog.WorkerEnded());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(testing_support::Boxes().Texts(),
              std::vector<std::wstring>{L"Failed to download file:\n" + Local() + L"/slow.bin"});
    // No partial file is left behind.
    EXPECT_TRUE(fs::is_empty(m_local));
    EXPECT_FALSE(m_connection.IsBusy());
}

TEST_F(ThrottledUploadDlgTest, ClosingTheDialogWhileTheJobRunsStopsItCleanly)
{
    WriteFile(Remote("slow.bin"), std::string(2 * 1024 * 1024, 's'));
    auto* dialog = new CUploadDlg(&m_connection, RemoteList({{L"slow.bin", 2 * 1024 * 1024}}), Local(),
                                  JobKind::Download);
    dialog->show();
    QEventLoop wait;
    Poller started(
        [&]
        {
            if (dialog->ProgressText().isEmpty())
                return false;
            wait.quit();
            return true;
        });
    wait.exec();
    // The owner goes away mid-file: the job must stop before the dialog does.
    delete dialog;
    EXPECT_FALSE(m_connection.IsBusy());
    EXPECT_TRUE(fs::is_empty(m_local));
    // The connection is still usable afterwards.
    std::vector<nsSP::RCIPtr<nsFTP::CFTPFileStatus>> records;
    EXPECT_TRUE(m_connection.List(L"/", records));
}

TEST_F(UploadDlgTest, AfterTheFirstFailureTheDialogAsksWhetherToGoOn)
{
    WriteFile(Remote("real.txt"), "real");
    for (const auto button : {QMessageBox::Ok, QMessageBox::Cancel})
    {
        SCOPED_TRACE(button == QMessageBox::Ok ? "go on" : "cancel");
        testing_support::Boxes().Clear();
        QString question;
        Poller answer(
            [&]
            {
                QMessageBox* box = OpenMessageBox();
                if (!box)
                    return false;
                question = box->text();
                box->button(button)->click();
                return true;
            });
        CUploadDlg dialog(&m_connection, RemoteList({{L"gone1.txt", 5}, {L"gone2.txt", 5}, {L"real.txt", 4}}),
                          Local(), JobKind::Download);
        const int result = dialog.exec();
        EXPECT_TRUE(question.startsWith("Failed to download file:\n" + QString::fromStdWString(Local()) +
                                        "/gone1.txt\n\n550 "))
            << question.toStdString();
        EXPECT_TRUE(question.endsWith("\n\nDo you want to go on with the other items?"));
        EXPECT_TRUE(dialog.WorkerEnded());
        EXPECT_EQ(OpenMessageBox(), nullptr);
        if (button == QMessageBox::Ok)
        {
            EXPECT_EQ(result, QDialog::Accepted);
            EXPECT_EQ(testing_support::Boxes().Texts(),
                      std::vector<std::wstring>{L"1 more item failed:\n" + Local() + L"/gone2.txt"});
            EXPECT_EQ(ReadFile(m_local / "real.txt"), "real");
        }
        else
        {
            // Cancel there ends the job and the dialog, as the dialog's Cancel does.
            EXPECT_EQ(result, QDialog::Rejected);
            EXPECT_TRUE(testing_support::Boxes().Texts().empty());
            EXPECT_FALSE(fs::exists(m_local / "real.txt"));
        }
        fs::remove(m_local / "real.txt");
    }
}
