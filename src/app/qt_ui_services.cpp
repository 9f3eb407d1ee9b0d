#include "app/qt_ui_services.h"

#include <QMessageBox>

#include "app/progress_wnd.h"

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

}  // namespace

MsgAnswer CQtUiServices::MessageBox(std::u16string_view text, std::u16string_view caption,
                                    MsgIcon icon, MsgButtons buttons) {
    QMessageBox box(ToQtIcon(icon), QString::fromUtf16(caption.data(), qsizetype(caption.size())),
                    QString::fromUtf16(text.data(), qsizetype(text.size())), ToQtButtons(buttons),
                    m_pParent.data());
    box.setTextFormat(Qt::PlainText);
    return FromQtButton(box.exec(), buttons);
}

std::unique_ptr<IProgress> CQtUiServices::CreateProgress(std::u16string_view title, bool smooth) {
    return std::make_unique<CProgressWnd>(m_pParent.data(), title, smooth, m_pSettings);
}
