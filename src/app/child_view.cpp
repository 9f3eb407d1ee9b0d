#include "app/child_view.h"

CChildView::CChildView(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ChildView"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Window);
    setCursor(Qt::ArrowCursor);
}

void CChildView::AttachList(QWidget* list) {
    m_pList = list;
    setFocusProxy(list);
    if (m_pList != nullptr) {
        m_pList->setGeometry(contentsRect());
    }
}

void CChildView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (m_pList != nullptr) {
        m_pList->setGeometry(contentsRect());
    }
}
