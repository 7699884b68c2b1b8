#pragma once
#include "files/TransferJob.h"

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class CSiteConnection;
class CTransferList;
class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

// The modal progress dialog of a transfer job: the item line, a progress bar,
// the progress line and Cancel. The job runs on a thread of its own from the
// moment the dialog is shown. Accepted when the job ended after working,
// Rejected when it was cancelled or refused. The interface thread never waits
// on the worker except by running its event loop.
class CUploadDlg : public QDialog
{
    Q_OBJECT
public:
    // Without a list the dialog only says "Preparing, please wait." until cancelled.
    CUploadDlg(CSiteConnection* connection, std::unique_ptr<CTransferList> list, std::wstring destination,
               JobKind kind, QWidget* parent = nullptr);
    ~CUploadDlg() override;

    // Downloads one remote file into a local folder behind the dialog. True
    // only when the file arrived whole (so a caller may open it).
    static bool DownloadOne(CSiteConnection& connection, const std::wstring& remotePath,
                            const std::wstring& name, std::int64_t size, std::int64_t modified,
                            const std::wstring& localFolder, QWidget* parent = nullptr);

    // The item line as shown (shortened in the middle) and in full.
    QString ItemText() const;
    QString FullItemText() const { return m_itemFull; }
    QString ProgressText() const;
    QProgressBar* ProgressBar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    // The job's own view of how it went; valid once the dialog has closed.
    bool HadFailures() const { return m_job && m_job->HadFailures(); }
    bool WorkerEnded() const { return m_ended; }
    // The job, to set its options before the dialog is shown; none without a list.
    CTransferJob* Job() const { return m_job.get(); }

    // What the worker's reports do on the interface thread.
    void ShowItem(const QString& path);
    void SetRange(std::int64_t total);
    void ShowProgress(std::int64_t value);

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Host;
    void Start();
    bool AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                    const std::wstring& localText);
    bool AskGoOn(const std::wstring& text);
    void WorkerEnded(JobResult result);
    void WaitForWorker();
    void ElideItem();

    JobKind m_kind;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<CTransferJob> m_job;
    std::thread m_worker;
    bool m_started = false;
    bool m_ended = false;
    bool m_cancelling = false;
    // Cancelled while a question was open, or answered Cancel to going on
    // after a failure: the worker's end closes the dialog as rejected.
    bool m_rejectWhenEnded = false;
    QEventLoop* m_waitLoop = nullptr;
    QDialog* m_question = nullptr;
    std::int64_t m_total = 0;
    int m_shift = 0;
    QString m_itemFull;
    QLabel* m_item;
    QProgressBar* m_bar;
    QLabel* m_progress;
    QPushButton* m_cancelButton;
};
