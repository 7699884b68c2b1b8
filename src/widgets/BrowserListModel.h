#pragma once
#include "files/BrowserRow.h"

#include <QAbstractTableModel>
#include <vector>

// The rows the browser list shows, over the browser's row array: one entry per
// visible row, holding that row's index. Texts and icons are made only when a
// view asks for them, so a folder of 100,000 entries fills at once.
class CBrowserListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        NameColumn,
        TimeColumn,
        SizeColumn,
        AttributesColumn,
        OwnerColumn,
        ColumnCount
    };
    // Item data role holding the row index (also on Qt::UserRole).
    static constexpr int RowIndexRole = Qt::UserRole;

    // columns: how many of the columns, from Name on, the list shows (the
    // handheld's local list shows Name, Time and Size).
    explicit CBrowserListModel(QObject* parent = nullptr, int columns = ColumnCount);

    // rows must outlive the model or the next SetRows/Clear.
    void SetRows(const std::vector<BrowserRow>* rows, std::vector<int> visible);
    void Clear();

    // The index into the row array of a list item; -1 for none.
    int RowIndex(int listRow) const;
    // The list row that shows a row of the browser; -1 when it is filtered out.
    int ListRowOf(int rowIndex) const;
    int VisibleCount() const { return static_cast<int>(m_visible.size()); }
    const BrowserRow* Row(int listRow) const;

    static QString TimeText(std::int64_t modified);
    static int DefaultWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const std::vector<BrowserRow>* m_rows = nullptr;
    std::vector<int> m_visible;
    int m_columns;
};
