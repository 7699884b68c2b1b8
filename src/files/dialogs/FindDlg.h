#pragma once
#include "FindResultModel.h"
#include "files/BrowserRow.h"
#include "files/RemoteFind.h"
#include "sites/SiteConnection.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class CRemoteBrowser;
class IFileCommandHost;
class QCheckBox;
class QEventLoop;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

// The Find dialog: searches the server from the browser's folder down on a
// thread of its own, and lists what it finds; from the list the user goes to
// an entry in the browser, copies entries or deletes them on the server.
//
// The search thread only reports, with queued calls; the mode, the buttons
// and the list change on the interface thread alone. Stop asks the search to
// end after the listing under way, keeping the connection; when a stalled
// server holds that listing, the button offers "Stop Now", which closes the
// connection at once. Closing the dialog (Esc, the close box) and destroying
// it stop the search and wait for its thread first.
class CFindDlg : public QDialog
{
    Q_OBJECT
public:
    enum Mode
    {
        Idle = 0,
        Searching = 1,
        Stopping = 2,
        Finished = 3
    };
    // How long a stop may wait for the server before "Stop Now" is offered
    // (or, when the dialog is being destroyed, used).
    static constexpr int StopNowAfterMilliseconds = 1000;
    // The handheld form's "Name" column.
    static constexpr int HandheldNameWidth = 180;

    CFindDlg(CSiteConnection& connection, CRemoteBrowser& browser, IFileCommandHost& host,
             QWidget* parent = nullptr);
    ~CFindDlg() override;

    // Goto selects the browser row with this index alone (-1: none) in the owner's list.
    void SetRowSelector(std::function<void(int rowIndex)> select) { m_select = std::move(select); }
    // Copy Selected hands the picked results here; without a handler it stays greyed.
    void SetCopyHandler(std::function<void(const std::vector<BrowserRow>&)> copy);

    Mode CurrentMode() const { return m_mode; }
    bool SearchRunning() const { return m_worker.joinable(); }
    // Delete Selected ran and the browser has not read the server since: the
    // owner reads its folder again.
    bool Deleted() const { return m_deleted; }
    const std::vector<BrowserRow>& Results() const { return m_model.Rows(); }
    std::vector<BrowserRow> SelectedResults() const;
    // The status line's whole text (the label may show it shortened).
    QString StatusText() const { return m_statusText; }

    QLineEdit* FindWhat() const { return m_findWhat; }
    QCheckBox* SubfoldersBox() const { return m_subfolders; }
    QCheckBox* MatchCaseBox() const { return m_matchCase; }
    QCheckBox* WholeWordBox() const { return m_wholeWord; }
    QPushButton* FindButton() const { return m_findButton; }
    QPushButton* GotoButton() const { return m_gotoButton; }
    QPushButton* CopyButton() const { return m_copyButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }
    QTableView* ResultList() const { return m_results; }
    QLabel* StatusLine() const { return m_status; }
    CFindResultModel& Model() { return m_model; }

    // The result list's pop-up menu: "Goto", "Copy Selected", "Delete
    // Selected"; null while a search runs or the list is empty.
    std::unique_ptr<QMenu> MakeContextMenu();

signals:
    // The connection was closed under the search (Stop Now, or lost).
    void ConnectionClosed();

public slots:
    // The Find button: a search, or Stop while one runs.
    void OnFind();
    void OnGoto();
    void OnCopySelected();
    void OnDeleteSelected();
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Report;
    void Start(const FindCriteria& criteria);
    void RequestStop();
    void OfferStopNow();
    void StopNow();
    void AddResults(std::vector<BrowserRow> rows);
    void ShowExamining(const QString& path);
    void SearchEnded();
    void SetStatus(const QString& text);
    void UpdateButtons();
    // Not searching, no other work of the dialog under way, and connected.
    bool MayAct();
    std::vector<int> SelectedListRows() const;
    void ShowContextMenu(const QPoint& where);

    CSiteConnection& m_connection;
    CRemoteBrowser& m_browser;
    IFileCommandHost& m_host;
    std::function<void(int)> m_select;
    std::function<void(const std::vector<BrowserRow>&)> m_copy;
    CFindResultModel m_model;

    Mode m_mode = Idle;
    bool m_deleted = false;
    // Goto or Delete Selected is running its engine work.
    bool m_acting = false;
    bool m_stopNowOffered = false;
    bool m_stoppedNow = false;
    bool m_closeWhenEnded = false;
    bool m_destroying = false;
    QEventLoop* m_waitLoop = nullptr;
    QTimer m_stopNowTimer;

    std::unique_ptr<Report> m_report;
    std::unique_ptr<CRemoteFind> m_find;
    std::optional<CSiteConnection::BusyScope> m_busy;
    FindOutcome m_outcome;
    std::thread m_worker;

    QString m_statusText;
    QLineEdit* m_findWhat;
    QCheckBox* m_subfolders;
    QCheckBox* m_matchCase;
    QCheckBox* m_wholeWord;
    QPushButton* m_findButton;
    QTableView* m_results;
    QLabel* m_status;
    QPushButton* m_gotoButton;
    QPushButton* m_copyButton;
    QPushButton* m_deleteButton;
};
