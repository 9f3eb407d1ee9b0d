#include "app/my_quick_list.h"

#include <QHeaderView>

#include "app/main_frame.h"

CMyQuickList::CMyQuickList(CMainFrame& frame, QWidget* parent)
    : CQuickList(parent), m_Frame(frame) {
    setObjectName(QStringLiteral("EmailList"));
    resize(200, 200);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { m_Frame.OnListSelectionChanged(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { m_Frame.OnListSelectionChanged(); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { m_Frame.OnSortColumn(section); });
}

int CMyQuickList::GetSelectionMark() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CMyQuickList::IsRowSelected(int row) const {
    return selectionModel()->isRowSelected(row, QModelIndex());
}
