#include "FindResultModel.h"

#include "files/RemoteFind.h"
#include "platform/gui/FileIcons.h"
#include "sites/SizeText.h"
#include "widgets/BrowserListModel.h"

#include <QSize>
#include <algorithm>

CFindResultModel::CFindResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFindResultModel::Append(std::vector<BrowserRow> rows)
{
    if (rows.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void CFindResultModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CFindResultModel::Remove(std::vector<int> listRows)
{
    std::vector<bool> gone(m_rows.size(), false);
    bool any = false;
    for (const int row : listRows)
        if (row >= 0 && row < rowCount())
            any = gone[static_cast<size_t>(row)] = true;
    if (!any)
        return;
    // One pass however many go: a selection of thousands stays quick.
    beginResetModel();
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (!gone[i])
            m_rows[kept++] = std::move(m_rows[i]);
    m_rows.resize(kept);
    endResetModel();
}

int CFindResultModel::DefaultWidth(int column)
{
    static const int widths[ColumnCount] = {360, 110, 80, 80, 80};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

int CFindResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CFindResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CFindResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const BrowserRow& row = m_rows[static_cast<size_t>(index.row())];
    switch (role)
    {
    case Qt::DisplayRole:
        switch (index.column())
        {
        case NameColumn:
            return QString::fromStdWString(CRemoteFind::ShownPath(row));
        case TimeColumn:
            return CBrowserListModel::TimeText(row.modified);
        case SizeColumn:
            return QString::fromStdWString(SizeText(row.size));
        case AttributesColumn:
            return QString::fromStdWString(row.attributes);
        case OwnerColumn:
            return QString::fromStdWString(CRemoteFind::ForPeople(row.owner));
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return platform::FileIcons::For(row.isDirectory, QString::fromStdWString(row.name));
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue((index.column() >= SizeColumn ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    return {};
}

QVariant CFindResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
    {
        static const char* const headings[ColumnCount] = {"Name", "Time", "Size", "Attributes", "Owner"};
        return QString::fromLatin1(headings[section]);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((section >= SizeColumn ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    return {};
}
