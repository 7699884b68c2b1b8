#include "FindDlg.h"

#include "files/IFileCommandHost.h"
#include "files/RemoteBrowser.h"
#include "files/RemoteCommands.h"
#include "files/TransferList.h"
#include "platform/Services.h"
#include "widgets/DialogProfile.h"
#include "widgets/EngineCall.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const QString NotConnectedText = QStringLiteral("The connection to the server is closed.");
} // namespace

// The search's reports, carried to the interface thread as queued calls. The
// dialog waits for the thread before it goes, and calls queued to a dialog
// that is gone are dropped.
class CFindDlg::Report : public IFindReport
{
public:
    explicit Report(CFindDlg& dialog) : m_dialog(dialog) {}

    void Found(std::vector<FoundEntry> entries) override
    {
        // The records stay on this thread; the dialog needs the rows only.
        std::vector<BrowserRow> rows;
        rows.reserve(entries.size());
        for (auto& entry : entries)
            rows.push_back(std::move(entry.row));
        entries.clear();
        CFindDlg* dialog = &m_dialog;
        QMetaObject::invokeMethod(
            dialog, [dialog, rows = std::move(rows)]() mutable { dialog->AddResults(std::move(rows)); },
            Qt::QueuedConnection);
    }
    void Examining(const std::wstring& path) override
    {
        CFindDlg* dialog = &m_dialog;
        const QString text = QString::fromStdWString(path);
        QMetaObject::invokeMethod(
            dialog, [dialog, text] { dialog->ShowExamining(text); }, Qt::QueuedConnection);
    }

private:
    CFindDlg& m_dialog;
};

CFindDlg::CFindDlg(CSiteConnection& connection, CRemoteBrowser& browser, IFileCommandHost& host,
                   QWidget* parent)
    : QDialog(parent), m_connection(connection), m_browser(browser), m_host(host), m_model(this),
      m_findWhat(new QLineEdit(this)),
      m_subfolders(new QCheckBox(QStringLiteral("Search Subdirectories"), this)),
      m_matchCase(new QCheckBox(QStringLiteral("Match case"), this)),
      m_wholeWord(new QCheckBox(QStringLiteral("Match whole word only"), this)),
      m_findButton(new QPushButton(QStringLiteral("Find"), this)), m_results(new QTableView(this)),
      m_status(new QLabel(this)), m_gotoButton(new QPushButton(QStringLiteral("Goto"), this)),
      m_copyButton(new QPushButton(QStringLiteral("Copy Selected"), this)),
      m_deleteButton(new QPushButton(QStringLiteral("Delete Selected"), this))
{
    setWindowTitle(QStringLiteral("Find"));
    setModal(true);
    const bool handheld = CDialogProfile::IsHandheld();
    if (handheld)
    {
        // Shorter texts for a narrow screen; the pop-up menu keeps the long ones.
        m_subfolders->setText(QStringLiteral("Subfolders"));
        m_wholeWord->setText(QStringLiteral("Whole word"));
        m_copyButton->setText(QStringLiteral("Copy"));
        m_deleteButton->setText(QStringLiteral("Delete"));
    }
    m_subfolders->setChecked(true);
    m_findButton->setDefault(true);
    QFont bold = m_findButton->font();
    bold.setBold(true);
    m_findButton->setFont(bold);
    for (QPushButton* button : {m_gotoButton, m_copyButton, m_deleteButton})
        button->setAutoDefault(false);

    m_results->setModel(&m_model);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_results->setShowGrid(true);
    m_results->setWordWrap(false);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->setContextMenuPolicy(Qt::CustomContextMenu);
    m_results->verticalHeader()->hide();
    // Rows of one height: a list of 100,000 results scrolls without measuring each.
    m_results->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_results->verticalHeader()->setDefaultSectionSize(m_results->fontMetrics().height() + 6);
    m_results->horizontalHeader()->setHighlightSections(false);
    for (int column = 0; column < CFindResultModel::ColumnCount; ++column)
        m_results->setColumnWidth(column, CFindResultModel::DefaultWidth(column));
    if (handheld)
        m_results->setColumnWidth(0, HandheldNameWidth);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumWidth(1);

    auto* label = new QLabel(QStringLiteral("Find what:"), this);
    label->setBuddy(m_findWhat);
    auto* form = new QGridLayout;
    form->addWidget(label, 0, 0);
    form->addWidget(m_findWhat, 0, 1);
    form->addWidget(m_findButton, 0, 2);
    auto* boxes = new QVBoxLayout;
    for (QCheckBox* box : {m_subfolders, m_matchCase, m_wholeWord})
        boxes->addWidget(box);
    form->addLayout(boxes, 1, 1);
    form->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {m_gotoButton, m_copyButton, m_deleteButton})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(form);
    layout->addWidget(m_results, 1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    if (!handheld)
        resize(760, 440);

    m_stopNowTimer.setSingleShot(true);
    m_stopNowTimer.setInterval(StopNowAfterMilliseconds);
    connect(&m_stopNowTimer, &QTimer::timeout, this, &CFindDlg::OfferStopNow);
    connect(m_findButton, &QPushButton::clicked, this, &CFindDlg::OnFind);
    connect(m_gotoButton, &QPushButton::clicked, this, &CFindDlg::OnGoto);
    connect(m_copyButton, &QPushButton::clicked, this, &CFindDlg::OnCopySelected);
    connect(m_deleteButton, &QPushButton::clicked, this, &CFindDlg::OnDeleteSelected);
    connect(m_results, &QAbstractItemView::doubleClicked, this, &CFindDlg::OnGoto);
    connect(m_results, &QWidget::customContextMenuRequested, this, &CFindDlg::ShowContextMenu);
    connect(m_results->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CFindDlg::UpdateButtons);
    UpdateButtons();
}

CFindDlg::~CFindDlg()
{
    m_destroying = true;
    if (m_worker.joinable())
    {
        // A stalled server may not hold the window's end: after a moment the
        // connection goes instead.
        RequestStop();
        if (m_stopNowOffered)
            StopNow();
        else if (!m_stopNowTimer.isActive())
            m_stopNowTimer.start();
        // The thread reports its end with a queued call: wait for it with the
        // event loop running, as everywhere else.
        QEventLoop loop;
        m_waitLoop = &loop;
        if (m_worker.joinable())
            loop.exec();
        m_waitLoop = nullptr;
    }
}

void CFindDlg::SetCopyHandler(std::function<void(const std::vector<BrowserRow>&)> copy)
{
    m_copy = std::move(copy);
    UpdateButtons();
}

void CFindDlg::OnFind()
{
    // A running search first: whatever the text field holds now, this is Stop.
    if (m_mode == Searching)
    {
        RequestStop();
        return;
    }
    if (m_mode == Stopping)
    {
        if (m_stopNowOffered)
            StopNow();
        return;
    }
    const FindCriteria criteria{m_findWhat->text().toStdWString(), m_subfolders->isChecked(),
                                m_matchCase->isChecked(), m_wholeWord->isChecked()};
    if (CNameTest(criteria).Blank() || m_acting)
        return;
    if (!m_connection.IsConnected())
    {
        SetStatus(NotConnectedText);
        UpdateButtons();
        return;
    }
    // Other work of the window has the engine (a keep-alive under way).
    if (m_connection.IsBusy())
    {
        SetStatus(QStringLiteral("The connection is in use; try again in a moment."));
        return;
    }
    Start(criteria);
}

void CFindDlg::Start(const FindCriteria& criteria)
{
    m_model.Clear();
    SetStatus({});
    m_mode = Searching;
    m_stopNowOffered = false;
    m_stoppedNow = false;
    m_findButton->setText(QStringLiteral("Stop"));
    m_findButton->setEnabled(true);
    UpdateButtons();

    // Taken here, so a keep-alive tick that comes while the thread starts
    // already finds the engine in use.
    m_busy.emplace(m_connection);
    m_connection.ClearStop();
    m_report = std::make_unique<Report>(*this);
    m_find = std::make_unique<CRemoteFind>(m_connection, criteria, *m_report);
    std::wstring folder = m_browser.Folder();
    std::vector<BrowserRow> rows = m_browser.Rows();
    m_worker = std::thread(
        [this, folder = std::move(folder), rows = std::move(rows)]
        {
            m_outcome = m_find->Run(folder, rows);
            QMetaObject::invokeMethod(
                this, [this] { SearchEnded(); }, Qt::QueuedConnection);
        });
}

void CFindDlg::RequestStop()
{
    if (m_mode != Searching)
        return;
    m_mode = Stopping;
    m_find->Stop();
    m_findButton->setEnabled(false);
    m_stopNowTimer.start();
}

void CFindDlg::OfferStopNow()
{
    if (m_mode != Stopping)
        return;
    if (m_destroying)
    {
        StopNow();
        return;
    }
    m_stopNowOffered = true;
    m_findButton->setText(QStringLiteral("Stop Now"));
    m_findButton->setEnabled(true);
    SetStatus(QStringLiteral("The server has not answered yet. Stop Now closes the connection."));
}

void CFindDlg::StopNow()
{
    if (m_mode != Stopping || m_stoppedNow)
        return;
    m_stoppedNow = true;
    m_findButton->setEnabled(false);
    m_connection.Stop();
}

void CFindDlg::AddResults(std::vector<BrowserRow> rows)
{
    m_model.Append(std::move(rows));
}

void CFindDlg::ShowExamining(const QString& path)
{
    // After Stop the line says why the dialog waits, not where the search was.
    if (m_mode == Searching)
        SetStatus(path);
}

void CFindDlg::SearchEnded()
{
    if (m_worker.joinable())
        m_worker.join();
    m_busy.reset();
    m_stopNowTimer.stop();
    m_find.reset();
    m_report.reset();
    const bool closed = m_stoppedNow || m_outcome.end == FindOutcome::ConnectionLost;
    if (m_stoppedNow)
        m_connection.CloseAfterStop();
    m_mode = m_mode == Stopping ? Idle : Finished;
    m_findButton->setText(QStringLiteral("Find"));
    m_findButton->setEnabled(true);
    m_stopNowOffered = false;
    SetStatus(m_stoppedNow ? CEngineCall::StoppedText
                           : QString::fromStdWString(CRemoteFind::EndText(m_outcome)));
    UpdateButtons();
    if (closed)
        emit ConnectionClosed();
    if (m_waitLoop)
        m_waitLoop->quit();
    else if (m_closeWhenEnded)
        QDialog::reject();
}

void CFindDlg::reject()
{
    // Goto or a delete is waiting for the server under this call: it ends first.
    if (m_acting)
        return;
    if (m_worker.joinable())
    {
        // Closes once the thread has ended.
        m_closeWhenEnded = true;
        RequestStop();
        return;
    }
    QDialog::reject();
}

void CFindDlg::SetStatus(const QString& text)
{
    m_statusText = text;
    m_status->setText(m_status->fontMetrics().elidedText(text, Qt::ElideMiddle, m_status->width()));
}

void CFindDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    SetStatus(m_statusText);
}

bool CFindDlg::MayAct()
{
    // The mode first: while the thread runs, the engine is not this thread's to ask.
    return (m_mode == Idle || m_mode == Finished) && !m_acting && m_connection.IsConnected();
}

void CFindDlg::UpdateButtons()
{
    const bool act = MayAct() && m_results->selectionModel()->hasSelection();
    m_gotoButton->setEnabled(act);
    m_deleteButton->setEnabled(act);
    m_copyButton->setEnabled(act && m_copy);
}

std::vector<int> CFindDlg::SelectedListRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_results->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<BrowserRow> CFindDlg::SelectedResults() const
{
    std::vector<BrowserRow> rows;
    for (const int row : SelectedListRows())
        rows.push_back(m_model.Rows()[static_cast<size_t>(row)]);
    return rows;
}

void CFindDlg::OnGoto()
{
    if (m_mode == Searching || m_mode == Stopping || m_acting)
        return;
    if (!MayAct())
    {
        SetStatus(NotConnectedText);
        UpdateButtons();
        return;
    }
    const std::vector<BrowserRow> picked = SelectedResults();
    if (picked.empty())
        return;
    const BrowserRow found = picked.front();
    m_acting = true;
    UpdateButtons();
    bool there = true;
    if (found.path != m_browser.Folder())
        there = m_browser.GoTo(found.path);
    else if (m_deleted)
        // Deleted entries must not stay in the list the entry is picked from.
        m_browser.Refresh();
    m_acting = false;
    if (!there)
    {
        // The entry's folder is not there to show: nothing is picked in the
        // owner's list, and the results stay open to choose again.
        if (m_select)
            m_select(-1);
        SetStatus(QStringLiteral("The folder could not be opened: ") +
                  QString::fromStdWString(CRemoteFind::ForPeople(found.path, m_connection.Names())));
        UpdateButtons();
        return;
    }
    m_deleted = false;
    if (m_select)
        m_select(CRemoteFind::RowFor(m_browser.Rows(), found));
    accept();
}

void CFindDlg::OnCopySelected()
{
    if (!m_copy || !MayAct())
        return;
    const std::vector<BrowserRow> picked = SelectedResults();
    if (!picked.empty())
        m_copy(picked);
}

void CFindDlg::OnDeleteSelected()
{
    if (m_mode == Searching || m_mode == Stopping || m_acting)
        return;
    if (!MayAct())
    {
        SetStatus(NotConnectedText);
        UpdateButtons();
        return;
    }
    const std::vector<int> listRows = SelectedListRows();
    const std::vector<BrowserRow> picked = SelectedResults();
    if (picked.empty() || !platform::Services::AskOkCancel(CRemoteCommands::DeleteQuestion))
        return;
    m_acting = true;
    UpdateButtons();
    m_host.RunJob(CRemoteFind::DeleteList(m_connection, picked), L"", JobKind::RemoteDelete);
    m_acting = false;
    // Whatever the job's outcome: the owner reads its folder again anyway.
    m_model.Remove(listRows);
    m_deleted = true;
    UpdateButtons();
}

std::unique_ptr<QMenu> CFindDlg::MakeContextMenu()
{
    if (m_mode == Searching || m_mode == Stopping || m_model.rowCount() == 0)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const bool act = MayAct() && m_results->selectionModel()->hasSelection();
    QAction* go = menu->addAction(QStringLiteral("Goto"));
    menu->addSeparator();
    QAction* copy = menu->addAction(QStringLiteral("Copy Selected"));
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete Selected"));
    go->setEnabled(act);
    copy->setEnabled(act && m_copy);
    remove->setEnabled(act);
    connect(go, &QAction::triggered, this, &CFindDlg::OnGoto);
    connect(copy, &QAction::triggered, this, &CFindDlg::OnCopySelected);
    connect(remove, &QAction::triggered, this, &CFindDlg::OnDeleteSelected);
    return menu;
}

void CFindDlg::ShowContextMenu(const QPoint& where)
{
    if (auto menu = MakeContextMenu())
        menu->exec(m_results->viewport()->mapToGlobal(where));
}
