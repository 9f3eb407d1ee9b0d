// CChildView: the client-area window of the main frame. It draws nothing itself; it hosts
// the email list and keeps it filling its client area, inside a sunken edge, below the
// quick filter bar when there is one.
#pragma once

#include <QFrame>
#include <QPointer>

class CChildView final : public QFrame {
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);

    // The list it keeps sized; also where the keyboard focus goes.
    void AttachList(QWidget* list);
    // The bar that sits above the list, at its own height.
    void AttachFilterBar(QWidget* bar);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();

    QPointer<QWidget> m_pList;
    QPointer<QWidget> m_pFilterBar;
};
