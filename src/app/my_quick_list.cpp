#include "app/my_quick_list.h"

#include <QHeaderView>
#include <QKeyEvent>

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
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { m_Frame.ShowViewerBar(); });
}

QModelIndex CMyQuickList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const int rows = model()->rowCount();
    const int column = std::max(currentIndex().column(), 0);
    if (rows > 0 && action == MoveHome) {
        return model()->index(0, column);
    }
    if (rows > 0 && action == MoveEnd) {
        return model()->index(rows - 1, column);
    }
    return CQuickList::moveCursor(action, modifiers);
}

void CMyQuickList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_Frame.ShowViewerBar();
        event->accept();
        return;
    }
    CQuickList::keyPressEvent(event);
}

int CMyQuickList::GetSelectionMark() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CMyQuickList::IsRowSelected(int row) const {
    return selectionModel()->isRowSelected(row, QModelIndex());
}
