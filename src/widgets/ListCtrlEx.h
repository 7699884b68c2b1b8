#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QAbstractItemModel;
class QAction;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QStackedWidget;
class QTimer;
class QTreeView;

namespace platform
{
class ISettingsStore;
}

// The browser's list: one model shown as icons, as a list or as details with
// five columns, the views sharing one selection. Keys that act on the list
// (Enter, Backspace, F5, F9, Ins, F2, Del, F4, F6) and double clicks come out
// as signals; keys typed anywhere else never reach them. The context menu
// offers the owner's file commands in a fixed order, greyed by the selection.
class CListCtrlEx : public QWidget
{
    Q_OBJECT
public:
    // View modes, as the layout stores them.
    enum ViewMode
    {
        Icons = 0,
        Details = 1,
        List = 3
    };

    explicit CListCtrlEx(QWidget* parent = nullptr);

    // Header data role of a model's column: the width the list gives it first.
    static constexpr int FirstWidthRole = Qt::UserRole + 1;
    void SetModel(QAbstractItemModel* model);
    void SetViewMode(int mode);
    int Mode() const { return m_mode; }
    QAbstractItemView* CurrentView() const;
    QTreeView* DetailsView() const { return m_details; }
    QListView* ListView() const { return m_list; }
    QItemSelectionModel* Selection() const;
    // The first selected item in list order; -1 when none.
    int FirstSelectedListRow() const;
    // Every selected item, in list order.
    std::vector<int> SelectedListRows() const;
    int SelectedCount() const;
    // That item alone selected, made current and scrolled into view; a
    // negative row only clears the selection.
    void SelectOnly(int listRow);
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;

    // The list's look in the layout key: "View" (the mode) and Col0.. (the
    // column widths), each 4 bytes. Restore leaves the defaults for values
    // that are missing or malformed.
    void SaveLook(platform::ISettingsStore& store, const std::wstring& key) const;
    void RestoreLook(platform::ISettingsStore& store, const std::wstring& key);
    // Restored widths outside this range are not taken: a width of 0 would
    // hide the column, and 65535 pixels push the others out of reach.
    static constexpr int MinRestoredWidth = 8;
    static constexpr int MaxRestoredWidth = 4096;

    // The commands of the context menu, in its order. The owner supplies the
    // action of each; the menu offers an entry of its own for it, greyed when
    // the selection does not suit it or the action is disabled, and triggers
    // the action when chosen. A command without an action is greyed.
    enum ContextCommand
    {
        CopyCommand,
        PasteCommand,
        NewDirectoryCommand,
        RenameCommand,
        DeleteCommand,
        MoveToCommand,
        ChmodCommand,
        PropertiesCommand,
        ContextCommandCount
    };
    void SetContextAction(ContextCommand command, QAction* action);
    // The clipboard holds files (a file manager's Copy): Paste is offered.
    static bool ClipboardOffersFiles();
    // The owner's own test for offering Paste, instead of ClipboardOffersFiles.
    void SetPasteOffered(std::function<bool()> offered) { m_pasteOffered = std::move(offered); }
    // A press held still on the list opens the context menu there, as touch
    // screens have no right button.
    void SetLongPressMenu(bool on);
    bool LongPressMenu() const { return m_longPressMenu; }

    // Shows remote files: the context menu offers CHMOD and greys out while unconnected.
    int m_remote = 1;
    int m_connected = 0;
    int m_columnCount = 0;

signals:
    void OpenRequested();
    void UpRequested();
    void RefreshRequested();
    void GoRequested();
    void NewDirectoryRequested();
    void RenameRequested();
    void DeleteRequested();
    void PropertiesRequested();
    void MoveToRequested();
    void ViewModeRequested(int mode);
    // The pointer was pressed on a row and moved away with the button held:
    // the selected entries are to be dragged out.
    void DragRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowContextMenu(const QPoint& where);
    void OnLongPress();

    QStackedWidget* m_stack;
    QListView* m_list;
    QTreeView* m_details;
    int m_mode = Details;
    std::array<QAction*, ContextCommandCount> m_contextActions{};
    std::function<bool()> m_pasteOffered;
    // Where the left button went down on a row; a drag starts from there.
    QPoint m_pressedAt;
    bool m_pressedOnRow = false;
    bool m_longPressMenu = false;
    QTimer* m_longPress = nullptr;
    QWidget* m_longPressViewport = nullptr;
};
