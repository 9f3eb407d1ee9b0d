// CQtUiServices: the core's UI services shown as Qt dialogs over the main window. Message
// boxes are QMessageBox with the caption, icon and buttons the core asks for. Progress
// objects do nothing yet: the progress window replaces CNullProgress when it exists.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/ui_services.h"

class CQtUiServices final : public IUiServices {
public:
    explicit CQtUiServices(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParentWindow(QWidget* parent) { m_pParent = parent; }

    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) override;

private:
    QPointer<QWidget> m_pParent;
};

// A progress object that shows nothing and is never cancelled.
class CNullProgress final : public IProgress {
public:
    void SetRange(int, int, int) override {}
    bool Begin(std::u16string_view, bool) override { return true; }
    int SetPosition(int position) override {
        const int previous = m_nPosition;
        m_nPosition = position;
        return previous;
    }
    void SetStatusText(std::u16string_view) override {}
    void PumpMessages(bool) override {}
    [[nodiscard]] bool IsCancelled() const override { return false; }
    void ClearProgress() override { m_nPosition = 0; }

private:
    int m_nPosition = 0;
};
