// CQuickList: an owner-data report list. It stores no rows: it knows only the item count
// and its columns, and asks its owner to fill a cell record (CQuickListCell) for every cell
// it paints, through GetCellData. The owner also hears of clicks on rows and right clicks
// on the header. The model answers the view's own questions (tooltips, accessibility) from
// the same request, and the delegate draws each cell from the record.
#pragma once

#include <QList>
#include <QPoint>
#include <QTableView>
#include <cstdint>

#include "app/quick_list_cell.h"

class CQuickList;
class CQuickListModel;

class IQuickListOwner {
public:
    virtual ~IQuickListOwner() = default;
    // Fills text, icon, fonts and colours of the record; leaves it alone for an unknown cell.
    virtual void GetCellData(CQuickList& list, CQuickListCell& cell) = 0;
    virtual void CellClicked(CQuickList& list, const CQuickListClick& click) = 0;
    virtual void HeaderRightClicked(CQuickList& list, int column, QPoint screenPos) = 0;
};

class CQuickList : public QTableView {
    Q_OBJECT
public:
    explicit CQuickList(QWidget* parent = nullptr);
    ~CQuickList() override;

    void SetOwner(IQuickListOwner* owner) { m_pOwner = owner; }
    void SetImageList(const QList<QIcon>* images) { m_pImages = images; }
    [[nodiscard]] const QList<QIcon>* GetImageList() const { return m_pImages; }

    void InsertColumn(int column, const QString& heading, Qt::Alignment align, int width);
    [[nodiscard]] Qt::Alignment ColumnAlignment(int column) const;

    // The row count; rows are then asked for as they are painted.
    void SetItemCount(int count);
    [[nodiscard]] int GetItemCount() const;
    // Every visible cell is asked for again at the next paint.
    void RedrawAll();

    // Resets the one record, fills what the list knows and has the owner fill the rest.
    CQuickListCell& GetCellData(int row, int column);

    // How many cells were asked for since the last reset: what a repaint costs.
    [[nodiscard]] std::int64_t CellRequestCount() const { return m_nCellRequests; }
    void ResetCellRequestCount() { m_nCellRequests = 0; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    IQuickListOwner* m_pOwner = nullptr;
    const QList<QIcon>* m_pImages = nullptr;
    CQuickListModel* m_pModel;
    CQuickListCell m_Cell;
    std::int64_t m_nCellRequests = 0;
};
