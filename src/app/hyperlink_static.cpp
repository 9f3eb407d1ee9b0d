#include "app/hyperlink_static.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/shell_operations.h"

CHyperlinkStatic::CHyperlinkStatic(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);
}

const QFont& CHyperlinkStatic::LinkFont() const {
    if (!m_Font) {
        QFont font = parentWidget() != nullptr ? parentWidget()->font() : this->font();
        font.setUnderline(true);
        m_Font = font;
    }
    return *m_Font;
}

QRect CHyperlinkStatic::TextExtent() {
    if (!m_TextExtent) {
        const QFontMetrics metrics(LinkFont());
        m_TextExtent = QRect(0, 0, metrics.horizontalAdvance(text()), metrics.height());
    }
    return *m_TextExtent;
}

QSize CHyperlinkStatic::sizeHint() const {
    const QFontMetrics metrics(LinkFont());
    return {metrics.horizontalAdvance(text()), metrics.height()};
}

void CHyperlinkStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(LinkFont());
    painter.setPen(QColor(0, 0, 255));
    painter.drawText(QRect(QPoint(0, 0), size()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     text());
}

void CHyperlinkStatic::mouseMoveEvent(QMouseEvent* event) {
    const bool inside = TextExtent().contains(event->position().toPoint());
    setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QLabel::mouseMoveEvent(event);
}

void CHyperlinkStatic::leaveEvent(QEvent* event) {
    setCursor(Qt::ArrowCursor);
    QLabel::leaveEvent(event);
}

void CHyperlinkStatic::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && TextExtent().contains(event->position().toPoint())) {
        OpenInShell(nullptr, m_strLink);
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}
