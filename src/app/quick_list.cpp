#include "app/quick_list.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "app/quick_list_delegate.h"
#include "app/quick_list_model.h"

CQuickList::CQuickList(QWidget* parent) : QTableView(parent), m_pModel(new CQuickListModel(*this)) {
    setModel(m_pModel);
    setItemDelegate(new CQuickListDelegate(*this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    // Every row has the same height, so the view finds the visible rows by arithmetic.
    QHeaderView* rows = verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fontMetrics().height() + 4, 18));

    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(1);  // the icon columns are 21 pixels wide
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_pOwner != nullptr) {
            QHeaderView* h = horizontalHeader();
            m_pOwner->HeaderRightClicked(*this, h->logicalIndexAt(pos), h->mapToGlobal(pos));
        }
    });
}

CQuickList::~CQuickList() = default;

void CQuickList::InsertColumn(int column, const QString& heading, Qt::Alignment align, int width) {
    m_pModel->InsertColumn(column, heading, align);
    setColumnWidth(column, width);
}

Qt::Alignment CQuickList::ColumnAlignment(int column) const {
    return m_pModel->ColumnAlignment(column);
}

void CQuickList::SetItemCount(int count) {
    m_pModel->SetRowCount(count);
    viewport()->update();
}

int CQuickList::GetItemCount() const {
    return m_pModel->rowCount();
}

void CQuickList::RedrawAll() {
    viewport()->update();
}

CQuickListCell& CQuickList::GetCellData(int row, int column) {
    ++m_nCellRequests;
    m_Cell.Reset();
    m_Cell.m_nRow = row;
    m_Cell.m_nColumn = column;
    m_Cell.m_bSelected =
        selectionModel() != nullptr && selectionModel()->isRowSelected(row, QModelIndex());
    m_Cell.m_bHot = false;  // hot tracking is off: hovering never marks a row
    m_Cell.m_pIconList = m_pImages;
    m_Cell.m_nTextFormat = ColumnAlignment(column) | Qt::AlignVCenter;
    if (m_pOwner != nullptr) {
        m_pOwner->GetCellData(*this, m_Cell);
    }
    return m_Cell;
}

void CQuickList::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || m_pOwner == nullptr) {
        return;  // below the last row: nothing was hit
    }
    CQuickListClick click;
    click.m_nRow = index.row();
    click.m_nColumn = index.column();
    const CQuickListCell& cell = GetCellData(click.m_nRow, click.m_nColumn);
    const QRect rect = visualRect(index);
    const int x = event->position().toPoint().x();
    if (cell.m_nIconIndex >= 0) {
        const int iconLeft = cell.m_bIconCentered
                                 ? rect.left() + (rect.width() - CQuickListDelegate::kIconSize) / 2
                                 : rect.left() + 1;
        click.m_bOnIcon = x >= iconLeft && x < iconLeft + CQuickListDelegate::kIconSize;
    }
    if (!cell.m_strText.isEmpty()) {
        const int textLeft = rect.left() + CQuickListDelegate::kTextIndent;
        click.m_bOnText =
            x >= textLeft && x < textLeft + fontMetrics().horizontalAdvance(cell.m_strText);
    }
    m_pOwner->CellClicked(*this, click);
}
