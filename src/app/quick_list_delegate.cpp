#include "app/quick_list_delegate.h"

#include <QPainter>

#include "app/quick_list.h"

CQuickListDelegate::CQuickListDelegate(CQuickList& list)
    : QStyledItemDelegate(&list), m_List(list) {}

QString CQuickListDelegate::DisplayText(const QString& text, const QFontMetrics& metrics,
                                        int width) {
    return metrics.elidedText(text, Qt::ElideRight, std::max(width, 0));
}

QPixmap CQuickListDelegate::BlendIcon(const QPixmap& icon, const QColor& colour, int percent) {
    QPixmap tinted = icon;
    QPainter p(&tinted);
    // SourceAtop keeps the icon's own transparency: only its drawn pixels take the tint.
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor tint = colour;
    tint.setAlpha(std::clamp(percent, 0, 100) * 255 / 100);
    p.fillRect(tinted.rect(), tint);
    return tinted;
}

void CQuickListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const CQuickListCell& cell = m_List.GetCellData(index.row(), index.column());
    const QPalette& pal = option.palette;
    const bool focused = m_List.hasFocus();
    const bool selected = cell.m_bSelected && !cell.m_bNoSelection;

    QColor background =
        cell.m_crBackground.isValid() ? cell.m_crBackground : pal.color(QPalette::Base);
    QColor selBackground;
    if (focused) {
        selBackground = cell.m_crSelBackgroundFocused.isValid() ? cell.m_crSelBackgroundFocused
                                                                : pal.color(QPalette::Highlight);
    } else {
        selBackground = cell.m_crSelBackgroundUnfocused.isValid() ? cell.m_crSelBackgroundUnfocused
                                                                  : pal.color(QPalette::Button);
    }
    QColor text = cell.m_crText.isValid() ? cell.m_crText : pal.color(QPalette::Text);
    if (selected) {
        background = selBackground;
        if (cell.m_crSelText.isValid()) {
            text = cell.m_crSelText;
        } else {
            text = focused ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text);
        }
    } else if (cell.m_bHot) {
        text = cell.m_crHotText.isValid() ? cell.m_crHotText : pal.color(QPalette::Link);
    }

    const QRect rect = option.rect;
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, background);

    QRect textRect = rect;
    const QList<QIcon>* icons = cell.m_pIconList;
    if (icons != nullptr && cell.m_nIconIndex >= 0 && cell.m_nIconIndex < icons->size()) {
        // A centred icon owns the whole cell; a left one its 16 pixels and a one-pixel margin.
        QRect iconArea = rect;
        if (!cell.m_bIconCentered) {
            iconArea.setWidth(kIconSize + 1);
        }
        const QColor iconBack = (cell.m_bSelected && !cell.m_bIconNoSelection) ? selBackground
                                : cell.m_crBackground.isValid()                ? cell.m_crBackground
                                                                : pal.color(QPalette::Base);
        painter->fillRect(iconArea, iconBack);
        const int x =
            cell.m_bIconCentered ? rect.left() + (rect.width() - kIconSize) / 2 : rect.left() + 1;
        const int y = rect.top() + (rect.height() - kIconSize) / 2;
        const qreal ratio = painter->device()->devicePixelRatioF();
        QPixmap pixmap = (*icons)[cell.m_nIconIndex].pixmap(QSize(kIconSize, kIconSize), ratio);
        if (cell.m_bSelected && !cell.m_bIconNoSelection) {
            pixmap = BlendIcon(pixmap, selBackground, cell.m_nIconBlendPercent);
        }
        painter->drawPixmap(QRect(x, y, kIconSize, kIconSize), pixmap);
        textRect.setLeft(cell.m_bIconCentered ? rect.right() + 1 : iconArea.right() + 1);
    }

    if (!cell.m_strText.isEmpty() && textRect.width() > kTextIndent) {
        QFont font = option.font;
        font.setBold(cell.m_bBold);
        font.setItalic(cell.m_bItalic);
        painter->setFont(font);
        painter->setPen(text);
        textRect.adjust(kTextIndent, 0, -kTextIndent, 0);
        const QFontMetrics metrics(font);
        painter->drawText(textRect, int(cell.m_nTextFormat) | Qt::TextSingleLine,
                          DisplayText(cell.m_strText, metrics, textRect.width()));
    }
    painter->restore();
}
