#include "app/quick_list_model.h"

#include "app/quick_list.h"

CQuickListModel::CQuickListModel(CQuickList& list) : QAbstractTableModel(&list), m_List(list) {}

void CQuickListModel::InsertColumn(int column, const QString& heading, Qt::Alignment align) {
    column = std::clamp(column, 0, int(m_Columns.size()));
    beginInsertColumns({}, column, column);
    m_Columns.insert(column, Column{heading, align});
    endInsertColumns();
}

Qt::Alignment CQuickListModel::ColumnAlignment(int column) const {
    if (column < 0 || column >= m_Columns.size()) {
        return Qt::AlignLeft;
    }
    return m_Columns[column].align;
}

void CQuickListModel::SetRowCount(int count) {
    // A reset is one change whatever the count: nothing is asked for until painted.
    beginResetModel();
    m_nRows = std::max(count, 0);
    endResetModel();
}

int CQuickListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

int CQuickListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_Columns.size());
}

QVariant CQuickListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
            return m_List.GetCellData(index.row(), index.column()).m_strText;
        case Qt::DecorationRole: {
            const CQuickListCell& cell = m_List.GetCellData(index.row(), index.column());
            if (cell.m_pIconList != nullptr && cell.m_nIconIndex >= 0 &&
                cell.m_nIconIndex < cell.m_pIconList->size()) {
                return (*cell.m_pIconList)[cell.m_nIconIndex];
            }
            return {};
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant CQuickListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_Columns.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_Columns[section].heading;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_Columns[section].align | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags CQuickListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
