#include "BrowserListModel.h"

#include "ListCtrlEx.h"
#include "platform/gui/FileIcons.h"
#include "sites/SizeText.h"

#include <QDateTime>
#include <QLocale>
#include <algorithm>

CBrowserListModel::CBrowserListModel(QObject* parent, int columns)
    : QAbstractTableModel(parent), m_columns(std::clamp(columns, 1, static_cast<int>(ColumnCount)))
{
}

void CBrowserListModel::SetRows(const std::vector<BrowserRow>* rows, std::vector<int> visible)
{
    beginResetModel();
    m_rows = rows;
    m_visible = std::move(visible);
    endResetModel();
}

void CBrowserListModel::Clear()
{
    SetRows(nullptr, {});
}

int CBrowserListModel::RowIndex(int listRow) const
{
    if (listRow < 0 || listRow >= VisibleCount())
        return -1;
    return m_visible[listRow];
}

int CBrowserListModel::ListRowOf(int rowIndex) const
{
    const auto at = std::find(m_visible.begin(), m_visible.end(), rowIndex);
    return rowIndex < 0 || at == m_visible.end() ? -1 : static_cast<int>(at - m_visible.begin());
}

const BrowserRow* CBrowserListModel::Row(int listRow) const
{
    const int index = RowIndex(listRow);
    if (index < 0 || !m_rows || index >= static_cast<int>(m_rows->size()))
        return nullptr;
    return &(*m_rows)[index];
}

QString CBrowserListModel::TimeText(std::int64_t modified)
{
    if (modified == 0)
        return {};
    // Local time on purpose: the seconds carry the listed clock read as local time.
    const QDateTime when = QDateTime::fromSecsSinceEpoch(modified, Qt::LocalTime);
    return QLocale().toString(when, QLocale::ShortFormat);
}

int CBrowserListModel::DefaultWidth(int column)
{
    static const int widths[ColumnCount] = {180, 110, 80, 80, 60};
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

int CBrowserListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : VisibleCount();
}

int CBrowserListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant CBrowserListModel::data(const QModelIndex& index, int role) const
{
    const BrowserRow* row = index.isValid() ? Row(index.row()) : nullptr;
    if (!row)
        return {};
    switch (role)
    {
    case Qt::DisplayRole:
        switch (index.column())
        {
        case NameColumn:
            return QString::fromStdWString(row->displayText);
        case TimeColumn:
            return TimeText(row->modified);
        case SizeColumn:
            return QString::fromStdWString(SizeText(row->size));
        case AttributesColumn:
            return QString::fromStdWString(row->attributes);
        case OwnerColumn:
            return QString::fromStdWString(row->owner);
        }
        return {};
    case Qt::DecorationRole:
        // Icons are shared per kind; FileIcons looks each type up once.
        if (index.column() == NameColumn)
            return platform::FileIcons::For(row->isDirectory, QString::fromStdWString(row->nameText));
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() >= SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case RowIndexRole:
        return RowIndex(index.row());
    }
    return {};
}

QVariant CBrowserListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section >= m_columns)
        return {};
    if (role == Qt::DisplayRole)
    {
        static const char* const headings[ColumnCount] = {"Name", "Time", "Size", "Attributes", "Owner"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(headings[section]) : QVariant();
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((section >= SizeColumn ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    // The list control takes its first column widths from here. Not as the
    // size hint: the header takes its height from that.
    if (role == CListCtrlEx::FirstWidthRole && section >= 0)
        return DefaultWidth(section);
    return {};
}
