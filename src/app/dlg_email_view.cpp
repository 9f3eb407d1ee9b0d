#include "app/dlg_email_view.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <string>

#include "app/qt_text.h"
#include "platform/code_page.h"
#include "platform/text.h"

CDlgEmailView::CDlgEmailView(QWidget* parent)
    : QDialog(parent, Qt::Widget), m_pEdit(new QPlainTextEdit(this)) {
    setModal(false);
    m_pEdit->setObjectName(QStringLiteral("EditBox%1").arg(kEditId));
    m_pEdit->setReadOnly(true);
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pEdit->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Nothing is typed here; an undo stack would only double the memory of a big message.
    m_pEdit->setUndoRedoEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pEdit);
}

void CDlgEmailView::SetBytes(std::string_view bytes, std::uint32_t codePage) {
    const std::u16string wide = MailboxBytesToWide(codePage, bytes);
    m_pEdit->setPlainText(ToQString(wide));
}

void CDlgEmailView::Clear() {
    m_pEdit->clear();
}

void CDlgEmailView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

CDlgEmailViewText::CDlgEmailViewText(QWidget* parent) : CDlgEmailView(parent) {
    setObjectName(QStringLiteral("TextPage"));
}

CDlgEmailViewMime::CDlgEmailViewMime(QWidget* parent) : CDlgEmailView(parent) {
    setObjectName(QStringLiteral("MimePage"));
}
