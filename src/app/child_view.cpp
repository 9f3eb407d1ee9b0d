#include "app/child_view.h"

#include <algorithm>

CChildView::CChildView(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ChildView"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Window);
    setCursor(Qt::ArrowCursor);
}

void CChildView::AttachList(QWidget* list) {
    m_pList = list;
    setFocusProxy(list);
    LayOut();
}

void CChildView::AttachFilterBar(QWidget* bar) {
    m_pFilterBar = bar;
    LayOut();
}

void CChildView::LayOut() {
    QRect area = contentsRect();
    if (m_pFilterBar != nullptr) {
        const int height = std::min(m_pFilterBar->sizeHint().height(), area.height());
        m_pFilterBar->setGeometry(area.left(), area.top(), area.width(), height);
        area.setTop(area.top() + height);
    }
    if (m_pList != nullptr) {
        m_pList->setGeometry(area);
    }
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOut();
}
