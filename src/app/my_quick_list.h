// CMyQuickList: the email list of the main window. It is a CQuickList whose rows are the
// entries of the loaded mailbox; besides the cell requests it tells the main window of
// every change of row state (selection, focus) and of header clicks, which sort; Enter and
// a double click bring back the viewer.
#pragma once

#include "app/quick_list.h"

class CMainFrame;

class CMyQuickList final : public CQuickList {
    Q_OBJECT
public:
    CMyQuickList(CMainFrame& frame, QWidget* parent);

    // The row the user last clicked or moved to; -1 when there is none.
    [[nodiscard]] int GetSelectionMark() const;
    [[nodiscard]] bool IsRowSelected(int row) const;

protected:
    // Home and End go to the first and last row, as Ctrl+Home and Ctrl+End do.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    // Enter brings the viewer back when it was closed.
    void keyPressEvent(QKeyEvent* event) override;

private:
    CMainFrame& m_Frame;
};
