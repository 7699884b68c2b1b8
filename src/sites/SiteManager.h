#pragma once
#include <QDialog>
#include <QIcon>
#include <string>

class CSiteConnection;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class SiteRecord;

// The saved groups and sites as a tree: creates, edits and deletes them, every
// change stored at once, and connects the chosen site. Ends Accepted only after
// a successful connect, with the title text "label (host:port)"; OK, Cancel,
// Esc and the close box all end it Rejected.
class CSiteManager : public QDialog
{
    Q_OBJECT
public:
    // Loads the site list of the connection from the settings and fills the tree.
    explicit CSiteManager(CSiteConnection& connection, QWidget* parent = nullptr);

    const std::wstring& ResultText() const { return m_resultText; }

    QTreeWidget* Tree() const { return m_tree; }
    QPushButton* ConnectButton() const { return m_connectButton; }
    QPushButton* NewButton() const { return m_newButton; }
    QPushButton* EditButton() const { return m_editButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }

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

    CSiteConnection& m_connection;
    QTreeWidget* m_tree;
    QPushButton* m_connectButton;
    QPushButton* m_newButton;
    QPushButton* m_editButton;
    QPushButton* m_deleteButton;
    std::wstring m_resultText;
};
