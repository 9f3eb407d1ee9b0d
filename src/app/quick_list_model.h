// CQuickListModel: the table model of a CQuickList. It holds the row count and the column
// headings and alignments, never a cell: every data() question is answered by asking the
// list for the cell record, which its owner fills from wherever the rows live.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

class CQuickList;

class CQuickListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CQuickListModel(CQuickList& list);

    void InsertColumn(int column, const QString& heading, Qt::Alignment align);
    [[nodiscard]] Qt::Alignment ColumnAlignment(int column) const;
    void SetRowCount(int count);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Column {
        QString heading;
        Qt::Alignment align;
    };

    CQuickList& m_List;
    QList<Column> m_Columns;
    int m_nRows = 0;
};
