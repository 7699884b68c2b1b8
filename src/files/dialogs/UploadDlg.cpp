#include "UploadDlg.h"

#include "AskReplaceDlg.h"
#include "files/TransferList.h"
#include "widgets/DialogProfile.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

// The job's reports, carried to the interface thread as queued calls. The
// dialog outlives the worker, so the calls may refer to it.
class CUploadDlg::Host : public ITransferJobHost
{
public:
    explicit Host(CUploadDlg& dialog) : m_dialog(dialog) {}

    void ItemText(const std::wstring& path) override
    {
        const QString text = QString::fromStdWString(path);
        QMetaObject::invokeMethod(
            &m_dialog, [this, text] { m_dialog.ShowItem(text); }, Qt::QueuedConnection);
    }
    void SetRange(std::int64_t total) override
    {
        QMetaObject::invokeMethod(
            &m_dialog, [this, total] { m_dialog.SetRange(total); }, Qt::QueuedConnection);
    }
    void Progress(std::int64_t value) override
    {
        QMetaObject::invokeMethod(
            &m_dialog, [this, value] { m_dialog.ShowProgress(value); }, Qt::QueuedConnection);
    }
    bool AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                    const std::wstring& localText) override
    {
        bool answer = false;
        QMetaObject::invokeMethod(
            &m_dialog, [&] { answer = m_dialog.AskReplace(isDirectory, name, serverText, localText); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    bool AskGoOn(const std::wstring& text) override
    {
        bool answer = false;
        QMetaObject::invokeMethod(
            &m_dialog, [&] { answer = m_dialog.AskGoOn(text); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    void Ended(JobResult result) override
    {
        QMetaObject::invokeMethod(
            &m_dialog, [this, result] { m_dialog.WorkerEnded(result); }, Qt::QueuedConnection);
    }

private:
    CUploadDlg& m_dialog;
};

CUploadDlg::CUploadDlg(CSiteConnection* connection, std::unique_ptr<CTransferList> list,
                       std::wstring destination, JobKind kind, QWidget* parent)
    : QDialog(parent), m_kind(kind), m_host(std::make_unique<Host>(*this)),
      m_item(new QLabel(QStringLiteral("Preparing, please wait."), this)), m_bar(new QProgressBar(this)),
      m_progress(new QLabel(this)), m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    // The handheld's resource title; the job's own replaces either.
    setWindowTitle(CDialogProfile::IsHandheld() ? QStringLiteral("Dialog") : QStringLiteral("Uploading..."));
    setModal(true);
    m_itemFull = m_item->text();
    m_item->setTextFormat(Qt::PlainText);
    // The path is shortened in the middle to what there is room for.
    m_item->setMinimumWidth(CDialogProfile::IsHandheld() ? 160 : 320);
    m_progress->setTextFormat(Qt::PlainText);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    connect(m_cancelButton, &QPushButton::clicked, this, &CUploadDlg::reject);

    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addWidget(m_item);
    layout->addWidget(m_bar);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addStretch();
    layout->addLayout(buttons);

    if (list)
    {
        setWindowTitle(QString::fromStdWString(CTransferJob::Title(kind)));
        m_job = std::make_unique<CTransferJob>(connection, std::move(list), std::move(destination), kind,
                                               *m_host);
    }
}

CUploadDlg::~CUploadDlg()
{
    if (m_worker.joinable())
    {
        if (!m_ended)
        {
            m_cancelling = true;
            m_job->Cancel();
            WaitForWorker();
        }
        m_worker.join();
    }
}

bool CUploadDlg::DownloadOne(CSiteConnection& connection, const std::wstring& remotePath,
                             const std::wstring& name, std::int64_t size, std::int64_t modified,
                             const std::wstring& localFolder, QWidget* parent)
{
    auto list = std::make_unique<CTransferList>(&connection);
    list->Add(size, false, name, remotePath, modified);
    CUploadDlg dialog(&connection, std::move(list), localFolder, JobKind::Download, parent);
    return dialog.exec() == QDialog::Accepted && !dialog.HadFailures();
}

void CUploadDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started)
    {
        m_started = true;
        Start();
    }
}

void CUploadDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ElideItem();
}

void CUploadDlg::Start()
{
    if (!m_job)
        return;
    CTransferJob* job = m_job.get();
    m_worker = std::thread([job] { job->Run(); });
}

QString CUploadDlg::ItemText() const
{
    return m_item->text();
}

QString CUploadDlg::ProgressText() const
{
    return m_progress->text();
}

void CUploadDlg::ElideItem()
{
    m_item->setText(m_item->fontMetrics().elidedText(m_itemFull, Qt::ElideMiddle, m_item->width()));
}

void CUploadDlg::ShowItem(const QString& path)
{
    m_itemFull = path;
    ElideItem();
}

void CUploadDlg::SetRange(std::int64_t total)
{
    // The bar counts in int; large jobs count in KiB, MiB... instead.
    m_total = total;
    m_shift = 0;
    while ((total >> m_shift) > INT_MAX)
        m_shift += 10;
    m_bar->setRange(0, static_cast<int>(total >> m_shift));
    m_bar->setValue(0);
}

void CUploadDlg::ShowProgress(std::int64_t value)
{
    const std::int64_t done = CTransferJob::CountsBytes(m_kind) ? value : value + 1;
    m_bar->setValue(static_cast<int>(std::min<std::int64_t>(done >> m_shift, m_bar->maximum())));
    m_progress->setText(QString::fromStdWString(CTransferJob::ProgressText(m_kind, value, m_total)));
}

bool CUploadDlg::AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                            const std::wstring& localText)
{
    if (m_cancelling)
        return false;
    CAskReplaceDlg question(this, isDirectory, name, serverText, localText);
    m_question = &question;
    const bool replace = question.exec() == QDialog::Accepted && !m_job->Cancelled();
    m_question = nullptr;
    return replace;
}

bool CUploadDlg::AskGoOn(const std::wstring& text)
{
    if (m_cancelling)
        return false;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Tessel FTP Client"),
                         QString::fromStdWString(text), QMessageBox::Ok | QMessageBox::Cancel, this);
    // A server's text is shown as it is, never as markup.
    question.setTextFormat(Qt::PlainText);
    question.setDefaultButton(QMessageBox::Ok);
    m_question = &question;
    const bool goOn = question.exec() == QMessageBox::Ok && !m_job->Cancelled();
    m_question = nullptr;
    // Cancel here ends the job as the dialog's own Cancel does.
    if (!goOn)
        m_rejectWhenEnded = true;
    return goOn;
}

void CUploadDlg::WorkerEnded(JobResult result)
{
    m_ended = true;
    if (m_waitLoop)
    {
        m_waitLoop->quit();
        return;
    }
    if (m_worker.joinable())
        m_worker.join();
    if (result == JobResult::Ok && !m_rejectWhenEnded)
        QDialog::accept();
    else
        QDialog::reject();
}

// Runs the event loop until the worker has said it ended, so its queued and
// blocking calls (questions, error boxes) are still served meanwhile.
void CUploadDlg::WaitForWorker()
{
    if (m_ended || m_waitLoop)
        return;
    QEventLoop loop;
    m_waitLoop = &loop;
    loop.exec();
    m_waitLoop = nullptr;
}

void CUploadDlg::reject()
{
    if (m_cancelling)
        return;
    if (m_job && m_worker.joinable() && !m_ended)
    {
        if (m_question)
        {
            // The worker waits for the open question (replace, or go on after
            // a failure), whose event loop lies
            // below this call: close it and let the worker's end close this
            // dialog. Waiting here, or in a queued call, would nest an event
            // loop inside the delivery of posted events, which then may never
            // deliver the worker's end.
            m_job->Cancel();
            m_rejectWhenEnded = true;
            m_cancelButton->setEnabled(false);
            m_question->reject();
            return;
        }
        m_cancelling = true;
        m_cancelButton->setEnabled(false);
        m_job->Cancel();
        WaitForWorker();
        m_worker.join();
        m_cancelling = false;
    }
    QDialog::reject();
}
