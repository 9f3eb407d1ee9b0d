#include "app/qt_ui_services.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <vector>

#include "app/progress_wnd.h"
#include "app/qt_text.h"

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MsgAnswer FromQtButton(int button, MsgButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        default:
            break;
    }
    // Closing the box with Escape or its close button answers like Cancel would, or No
    // where there is no Cancel.
    if (buttons == MsgButtons::Ok) {
        return MsgAnswer::Ok;
    }
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
}

// Wide enough for the whole caption: the window manager cuts a title that does not fit
// ("Ko…ox"), and QMessageBox sizes itself by its text alone. The frame's buttons and
// margins need room beside the title too.
void KeepCaptionWhole(QMessageBox& box, const QString& caption) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int frameRoom = 160;
    const int wanted = QFontMetrics(titleFont).horizontalAdvance(caption) + frameRoom;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        box.setMinimumWidth(wanted);
        return;
    }
    // QMessageBox lays itself out again when shown and drops a minimum width; a spacer
    // across the grid is kept.
    grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

MsgAnswer CQtUiServices::MessageBox(std::u16string_view text, std::u16string_view caption,
                                    MsgIcon icon, MsgButtons buttons) {
    const QString title = ToQString(caption);
    QMessageBox box(ToQtIcon(icon), title, ToQString(text), ToQtButtons(buttons), m_pParent.data());
    box.setTextFormat(Qt::PlainText);
    KeepCaptionWhole(box, title);
    // The progress window stays on top of everything: it would cover the box. It steps
    // aside while the box is up and comes back if its operation goes on.
    std::vector<QPointer<CProgressWnd>> lowered;
    for (const QPointer<CProgressWnd>& progress : m_Progress) {
        if (progress && progress->isVisible()) {
            progress->hide();
            lowered.push_back(progress);
        }
    }
    // The main window is disabled while a progress window is modal; its box must not be.
    box.setEnabled(true);
    const MsgAnswer answer = FromQtButton(box.exec(), buttons);
    for (const QPointer<CProgressWnd>& progress : lowered) {
        if (progress && progress->HasWindow() && !progress->IsCancelled()) {
            progress->show();
        }
    }
    return answer;
}

std::unique_ptr<IProgress> CQtUiServices::CreateProgress(std::u16string_view title, bool smooth) {
    auto progress = std::make_unique<CProgressWnd>(m_pParent.data(), title, smooth, m_pSettings);
    std::erase_if(m_Progress, [](const QPointer<CProgressWnd>& p) { return p.isNull(); });
    m_Progress.emplace_back(progress.get());
    return progress;
}
