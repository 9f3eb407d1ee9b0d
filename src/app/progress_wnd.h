// CProgressWnd: the small always-on-top window of a long operation — a line of status
// text, a bar and a " Cancel " button. It holds the bar's range, the last position and
// percentage (the title shows "title [n%]" and changes only with the percentage), the
// cancel flag and the owner it disabled. Between Begin and the end of the window the
// owner stays disabled, so the user's input reaches only this window, and that input is
// let through only when the operation calls PumpMessages. A cancel (the button, or Escape
// while pumping) is recorded for the operation to poll and hides the window for good; a
// close is queued for the next dispatch. The object lives until the operation drops it.
// The window's place is remembered in the "Settings" section as "X" and "Y".
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "platform/progress.h"

class CAppSettings;
class QLabel;
class QProgressBar;
class QPushButton;

class CProgressWnd final : public QWidget, public IProgress {
    Q_OBJECT

public:
    static constexpr int kTextLines = 4;
    static constexpr int kLayoutWidth = 390;
    static constexpr int kMargin = 10;

    // The window is made and shown at once, over `owner` (the main window).
    CProgressWnd(QWidget* owner, std::u16string_view title, bool smooth, CAppSettings* settings);
    ~CProgressWnd() override;

    void SetRange(int lower, int upper, int step) override;
    bool Begin(std::u16string_view title, bool smooth) override;
    int SetPosition(int position) override;
    void SetStatusText(std::u16string_view text) override;
    void PumpMessages(bool cancelOnEscape) override;
    [[nodiscard]] bool IsCancelled() const override { return m_bCancelled; }
    void ClearProgress() override;

    void RequestCancel();

    // What tests and the main window look at.
    [[nodiscard]] bool HasWindow() const { return m_bWindow; }
    [[nodiscard]] bool IsModal() const { return m_bModal; }
    [[nodiscard]] QWidget* DisabledOwner() const { return m_pDisabledOwner; }
    [[nodiscard]] QString StatusText() const;
    [[nodiscard]] int BarPosition() const;
    [[nodiscard]] int LastPercent() const { return m_nLastPercent; }
    [[nodiscard]] QLabel* TextControl() const { return m_pText; }
    [[nodiscard]] QProgressBar* Bar() const { return m_pBar; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pButton; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void CreateWindow(std::u16string_view title);
    void ApplyRange();
    void LayOut();
    void PlaceWindow();
    void SavePosition();
    // What destroying the window does: the owner gets its input back.
    void EndWindow();
    void ShowWindow();

    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pDisabledOwner;
    CAppSettings* m_pSettings = nullptr;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pBar = nullptr;
    QPushButton* m_pButton = nullptr;

    std::u16string m_Title = u"Progress";
    int m_nLastPosition = 0;
    int m_nLastPercent = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    bool m_bCancelled = false;
    bool m_bModal = false;
    bool m_bWindow = false;
    bool m_bRememberPosition = true;
    bool m_bPumpingWithEscape = false;
};
