#pragma once
#include "files/BrowserRow.h"

#include <QAbstractTableModel>
#include <vector>

// The Find dialog's result list: the rows found, in the order found, each
// named by its full path. Results arrive in batches and are appended, so a
// long list grows without being rebuilt.
class CFindResultModel : public QAbstractTableModel
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

    explicit CFindResultModel(QObject* parent = nullptr);

    void Append(std::vector<BrowserRow> rows);
    void Clear();
    // Takes these list rows out (any order; rows out of range are ignored).
    void Remove(std::vector<int> listRows);
    const std::vector<BrowserRow>& Rows() const { return m_rows; }

    static int DefaultWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<BrowserRow> m_rows;
};
