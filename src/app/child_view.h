// CChildView: the client-area window of the main frame. It draws nothing itself; it hosts
// the email list and keeps it filling its whole client area, inside a sunken edge.
#pragma once

#include <QFrame>
#include <QPointer>

class CChildView final : public QFrame {
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);

    // The list it keeps sized; also where the keyboard focus goes.
    void AttachList(QWidget* list);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> m_pList;
};
