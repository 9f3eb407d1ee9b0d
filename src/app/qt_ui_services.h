// CQtUiServices: the core's UI services shown as Qt windows over the main window. It holds
// the main window (the owner of every box and progress window) and the settings store the
// progress windows remember their place in. Message boxes are QMessageBox with the
// caption, icon and buttons the core asks for; progress objects are CProgressWnd.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "app/progress_wnd.h"
#include "platform/ui_services.h"

class CAppSettings;

class CQtUiServices final : public IUiServices {
public:
    explicit CQtUiServices(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParentWindow(QWidget* parent) { m_pParent = parent; }
    // Without settings the progress windows are centred every time.
    void SetSettings(CAppSettings* settings) { m_pSettings = settings; }

    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) override;

private:
    QPointer<QWidget> m_pParent;
    // The progress windows handed out, so that a box can move them out of its way.
    std::vector<QPointer<CProgressWnd>> m_Progress;
    CAppSettings* m_pSettings = nullptr;
};
