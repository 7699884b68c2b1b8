#include "ListCtrlEx.h"

#include "files/FileUris.h"
#include "platform/ISettingsStore.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedWidget>
#include <QStyleHints>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_list(new QListView(m_stack)),
      m_details(new QTreeView(m_stack))
{
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    // Every row has the same height, so a folder of 100,000 entries lays out at once.
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_list->setUniformItemSizes(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    // Icons of a huge folder are laid out in steps, so the window stays responsive.
    m_list->setLayoutMode(QListView::Batched);
    m_list->setBatchSize(2000);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_list), static_cast<QAbstractItemView*>(m_details)})
    {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::NoContextMenu);
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this, &CListCtrlEx::OpenRequested);
    }
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_details);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_stack);
    SetViewMode(Details);
    m_longPress = new QTimer(this);
    m_longPress->setSingleShot(true);
    connect(m_longPress, &QTimer::timeout, this, &CListCtrlEx::OnLongPress);
}

void CListCtrlEx::SetLongPressMenu(bool on)
{
    m_longPressMenu = on;
    if (!on)
        m_longPress->stop();
}

void CListCtrlEx::OnLongPress()
{
    if (!m_longPressViewport)
        return;
    // As a right click: the row held gets the menu, empty space lets go of the selection.
    const QModelIndex held = CurrentView()->indexAt(m_pressedAt);
    if (Selection())
    {
        if (!held.isValid())
            Selection()->clearSelection();
        else if (!Selection()->isRowSelected(held.row()))
            Selection()->setCurrentIndex(held,
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_pressedOnRow = false;
    ShowContextMenu(m_longPressViewport->mapToGlobal(m_pressedAt));
}

void CListCtrlEx::SetModel(QAbstractItemModel* model)
{
    m_details->setModel(model);
    m_list->setModel(model);
    // One selection for both views, so switching modes keeps it.
    QItemSelectionModel* old = m_list->selectionModel();
    m_list->setSelectionModel(m_details->selectionModel());
    delete old;
    // The columns, their first widths and the one the icon modes show come
    // from the model.
    m_list->setModelColumn(0);
    m_columnCount = model ? model->columnCount() : 0;
    for (int column = 0; column < m_columnCount; ++column)
    {
        const int width = model->headerData(column, Qt::Horizontal, FirstWidthRole).toInt();
        if (width > 0)
            m_details->setColumnWidth(column, width);
    }
}

void CListCtrlEx::SetViewMode(int mode)
{
    mode &= 3;
    if (mode == 2)
        mode = Details; // the small-icon mode is not offered
    m_mode = mode;
    if (mode == Details)
    {
        m_stack->setCurrentWidget(m_details);
        return;
    }
    if (mode == Icons)
    {
        m_list->setViewMode(QListView::IconMode);
        m_list->setIconSize(QSize(32, 32));
        m_list->setGridSize(QSize(96, 64));
        m_list->setWordWrap(true);
        m_list->setFlow(QListView::LeftToRight);
        m_list->setWrapping(true);
    }
    else
    {
        m_list->setViewMode(QListView::ListMode);
        m_list->setIconSize(QSize(16, 16));
        m_list->setGridSize(QSize());
        m_list->setWordWrap(false);
        m_list->setFlow(QListView::TopToBottom);
        m_list->setWrapping(true);
    }
    m_stack->setCurrentWidget(m_list);
}

QAbstractItemView* CListCtrlEx::CurrentView() const
{
    return m_mode == Details ? static_cast<QAbstractItemView*>(m_details) : m_list;
}

QItemSelectionModel* CListCtrlEx::Selection() const
{
    return m_details->selectionModel();
}

void CListCtrlEx::SelectOnly(int listRow)
{
    QItemSelectionModel* selection = Selection();
    if (!selection)
        return;
    selection->clearSelection();
    if (listRow < 0 || listRow >= selection->model()->rowCount())
        return;
    const QModelIndex index = selection->model()->index(listRow, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(index);
}

int CListCtrlEx::FirstSelectedListRow() const
{
    const QItemSelectionModel* selection = Selection();
    if (!selection)
        return -1;
    int first = -1;
    for (const QModelIndex& index : selection->selectedIndexes())
        if (first < 0 || index.row() < first)
            first = index.row();
    return first;
}

std::vector<int> CListCtrlEx::SelectedListRows() const
{
    std::vector<int> rows;
    if (const QItemSelectionModel* selection = Selection())
        for (const QModelIndex& index : selection->selectedRows())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int CListCtrlEx::SelectedCount() const
{
    return Selection() ? Selection()->selectedRows().size() : 0;
}

void CListCtrlEx::SetColumnWidth(int column, int width)
{
    m_details->setColumnWidth(column, width);
}

int CListCtrlEx::ColumnWidth(int column) const
{
    return m_details->columnWidth(column);
}

namespace
{
std::vector<std::uint8_t> LittleEndian(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A 4-byte value; false when it is missing or of another size.
bool ReadFourBytes(platform::ISettingsStore& store, const std::wstring& key, const std::wstring& name,
                   std::uint32_t& value)
{
    std::vector<std::uint8_t> data;
    if (store.ReadBinary(key, name, data, 4) != platform::ReadResult::Ok || data.size() != 4)
        return false;
    value = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    return true;
}

std::wstring ColumnValueName(int column)
{
    return L"Col" + std::to_wstring(column);
}
} // namespace

void CListCtrlEx::SaveLook(platform::ISettingsStore& store, const std::wstring& key) const
{
    store.WriteBinary(key, L"View", LittleEndian(static_cast<std::uint32_t>(m_mode)));
    for (int column = 0; column < m_columnCount; ++column)
        store.WriteBinary(key, ColumnValueName(column),
                          LittleEndian(static_cast<std::uint32_t>(ColumnWidth(column))));
}

void CListCtrlEx::RestoreLook(platform::ISettingsStore& store, const std::wstring& key)
{
    std::uint32_t value = 0;
    if (ReadFourBytes(store, key, L"View", value))
        SetViewMode(static_cast<int>(value & 3));
    for (int column = 0; column < m_columnCount; ++column)
        if (ReadFourBytes(store, key, ColumnValueName(column), value))
        {
            const int width = static_cast<int>(value & 0xFFFF);
            if (width >= MinRestoredWidth && width <= MaxRestoredWidth)
                SetColumnWidth(column, width);
        }
}

bool CListCtrlEx::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_list || watched == m_details))
    {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return QWidget::eventFilter(watched, event);
        switch (key->key())
        {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit OpenRequested();
            return true;
        case Qt::Key_Backspace:
            emit UpRequested();
            return true;
        case Qt::Key_F5:
            emit RefreshRequested();
            return true;
        case Qt::Key_F9:
            emit GoRequested();
            return true;
        case Qt::Key_Insert:
            emit NewDirectoryRequested();
            return true;
        case Qt::Key_F2:
            emit RenameRequested();
            return true;
        case Qt::Key_Delete:
            emit DeleteRequested();
            return true;
        case Qt::Key_F4:
            emit PropertiesRequested();
            return true;
        case Qt::Key_F6:
            emit MoveToRequested();
            return true;
        }
    }
    const bool onViewport = watched == m_list->viewport() || watched == m_details->viewport();
    if (onViewport && event->type() == QEvent::MouseMove && m_pressedOnRow)
    {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton))
            m_pressedOnRow = false;
        else if ((mouse->position().toPoint() - m_pressedAt).manhattanLength() >=
                 QApplication::startDragDistance())
        {
            m_pressedOnRow = false;
            if (SelectedCount() > 0)
            {
                emit DragRequested();
                return true;
            }
        }
    }
    if (onViewport && event->type() == QEvent::MouseButtonRelease)
    {
        m_pressedOnRow = false;
        m_longPress->stop();
    }
    if (onViewport && event->type() == QEvent::MouseMove && m_longPress->isActive() &&
        (static_cast<QMouseEvent*>(event)->position().toPoint() - m_pressedAt).manhattanLength() >=
            QApplication::startDragDistance())
        m_longPress->stop();
    // A right click on empty space lets go of the selection, as file managers
    // do, so the menu's New Directory makes the folder where the list is.
    if (event->type() == QEvent::MouseButtonPress && onViewport)
    {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressedOnRow = mouse->button() == Qt::LeftButton &&
                         CurrentView()->indexAt(mouse->position().toPoint()).isValid();
        m_pressedAt = mouse->position().toPoint();
        if (m_longPressMenu && mouse->button() == Qt::LeftButton)
        {
            m_longPressViewport = static_cast<QWidget*>(watched);
            m_longPress->start(QGuiApplication::styleHints()->mousePressAndHoldInterval());
        }
        if (mouse->button() == Qt::RightButton &&
            !CurrentView()->indexAt(mouse->position().toPoint()).isValid() && Selection())
            Selection()->clearSelection();
    }
    if (event->type() == QEvent::ContextMenu &&
        (watched == m_list->viewport() || watched == m_details->viewport()))
    {
        ShowContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CListCtrlEx::SetContextAction(ContextCommand command, QAction* action)
{
    if (command >= 0 && command < ContextCommandCount)
        m_contextActions[command] = action;
}

bool CListCtrlEx::ClipboardOffersFiles()
{
    // Read as file managers write them: QMimeData::urls() keeps # comment
    // lines and does not read the gnome list.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return false;
    const std::string host = CFileUris::HostName();
    for (const char* format :
         {"text/uri-list", "x-special/gnome-copied-files", "x-special/mate-copied-files"})
    {
        if (!data->hasFormat(QLatin1String(format)))
            continue;
        const QByteArray bytes = data->data(QLatin1String(format));
        const std::string_view text(bytes.constData(), static_cast<size_t>(bytes.size()));
        const auto parsed =
            format[0] == 't' ? CFileUris::ParseUriList(text, host) : CFileUris::ParseCopiedFiles(text, host);
        if (!parsed.paths.empty())
            return true;
    }
    return false;
}

void CListCtrlEx::ShowContextMenu(const QPoint& where)
{
    setFocus();
    CurrentView()->setFocus();
    const int selected = SelectedCount();
    // Unconnected, a list of remote files offers nothing.
    const bool greyed = m_remote && !m_connected;
    QMenu menu(this);
    // Entries of the menu's own, so greying them leaves the owner's actions as they are.
    std::array<QAction*, ContextCommandCount> entries{};
    auto add = [&](ContextCommand command, const char* text, bool suits)
    {
        QAction* entry = menu.addAction(QString::fromLatin1(text));
        entry->setEnabled(!greyed && suits && m_contextActions[command] &&
                          m_contextActions[command]->isEnabled());
        entries[command] = entry;
    };
    add(CopyCommand, "Copy", selected > 0);
    if (m_pasteOffered ? m_pasteOffered() : ClipboardOffersFiles())
        add(PasteCommand, "Paste", true);
    menu.addSeparator();
    add(NewDirectoryCommand, "New Directory...", true);
    add(RenameCommand, "Rename", selected == 1);
    add(DeleteCommand, "Delete", selected > 0);
    add(MoveToCommand, "Move To...", selected > 0);
    menu.addSeparator();
    if (m_remote)
        add(ChmodCommand, "CHMOD...", selected > 0);
    add(PropertiesCommand, "Properties", selected == 1);
    menu.addSeparator();
    QMenu* view = menu.addMenu("View");
    QAction* icons = view->addAction("Icons");
    QAction* list = view->addAction("List");
    QAction* details = view->addAction("Details");
    for (QAction* action : {icons, list, details})
    {
        action->setCheckable(true);
        action->setEnabled(!greyed);
    }
    view->setEnabled(!greyed);
    icons->setChecked(m_mode == Icons);
    list->setChecked(m_mode == List);
    details->setChecked(m_mode == Details);
    // The owner's action is triggered once the menu has closed; by then the
    // owner may have gone with its actions.
    std::array<QPointer<QAction>, ContextCommandCount> owners;
    for (int command = 0; command < ContextCommandCount; ++command)
        owners[command] = m_contextActions[command];
    QAction* chosen = menu.exec(where);
    if (!chosen)
        return;
    if (chosen == icons)
        emit ViewModeRequested(Icons);
    else if (chosen == list)
        emit ViewModeRequested(List);
    else if (chosen == details)
        emit ViewModeRequested(Details);
    for (int command = 0; command < ContextCommandCount; ++command)
        if (chosen == entries[command] && owners[command])
            owners[command]->trigger();
}
