#pragma once
#include <QDialog>
#include <QIcon>
#include <memory>
#include <string>

class CEngineCall;
class CSiteConnection;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class SiteRecord;

// The saved groups and sites as a tree: creates, edits and deletes them, every
// change stored at once over what the settings file holds then (what other
// programs stored meanwhile stays, and shows when the dialog opens next), and
// connects the chosen site. Ends Accepted only after
// a successful connect, with the title text "label (host:port)"; OK, Cancel,
// Esc and the close box all end it Rejected.
//
// The logon runs on a worker (through the window's engine call, or one of its
// own): the dialog stays usable, shows what it waits for, and Stop or Esc
// ends the wait and leaves the dialog open.
class CSiteManager : public QDialog
{
    Q_OBJECT
public:
    // Loads the site list of the connection from the settings and fills the tree.
    explicit CSiteManager(CSiteConnection& connection, QWidget* parent = nullptr,
                          CEngineCall* call = nullptr);
    ~CSiteManager() override;
    // Runs the dialog modally; true when it connected, with the title text of
    // the site (ResultText).
    static bool Run(CSiteConnection& connection, QWidget* parent, CEngineCall* call, std::wstring& title);

    const std::wstring& ResultText() const { return m_resultText; }

    QTreeWidget* Tree() const { return m_tree; }
    QPushButton* ConnectButton() const { return m_connectButton; }
    QPushButton* NewButton() const { return m_newButton; }
    QPushButton* EditButton() const { return m_editButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }
    QPushButton* StopButton() const { return m_stopButton; }
    QLabel* WaitText() const { return m_waitText; }

    static QIcon GroupIcon();
    static QIcon SiteIcon();

    // Each item holds the index of its record in the site list under this role.
    static constexpr int IndexRole = Qt::UserRole;

    void OnConnect();
    void OnNew();
    void OnNewGroup();
    void OnNewSite();
    void OnEdit();
    void OnDelete();

    void accept() override;
    // Esc and the close box: while a logon runs they stop it instead.
    void reject() override;

private:
    void FillTree();
    void SortChildren(QTreeWidgetItem* parent);
    const SiteRecord* RecordOf(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* SelectedItem() const;
    // The item of the group with that number, or the root.
    QTreeWidgetItem* ParentItemFor(int parentGroupId) const;
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const SiteRecord& record, int index);
    void Reveal(QTreeWidgetItem* item);
    // Items after a removed record lead one index further down.
    void RenumberAfterRemoval(int removedIndex);
    void EditSite(QTreeWidgetItem* item, SiteRecord& record);
    void EditGroup(QTreeWidgetItem* item, SiteRecord& record);

    void ShowWait(bool shown, const QString& what);

    CSiteConnection& m_connection;
    std::unique_ptr<CEngineCall> m_ownCall;
    CEngineCall* m_call;
    QTreeWidget* m_tree;
    QPushButton* m_connectButton;
    QPushButton* m_newButton;
    QPushButton* m_editButton;
    QPushButton* m_deleteButton;
    QLabel* m_waitText;
    QProgressBar* m_waitBar;
    QPushButton* m_stopButton;
    std::wstring m_resultText;
};
