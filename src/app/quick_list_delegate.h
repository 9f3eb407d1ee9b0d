// CQuickListDelegate: draws each cell of a CQuickList entirely from the record its owner
// fills: background, then the icon (centred or at the left, blended with the selection
// colour on selected rows when the record asks), then the text with an ellipsis when it
// does not fit. The delegate keeps no state between cells.
#pragma once

#include <QStyledItemDelegate>

class CQuickList;
struct CQuickListCell;

class CQuickListDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CQuickListDelegate(CQuickList& list);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The text as drawn in a text area of the width: cut with an ellipsis when too wide.
    // "&" stays itself: the text is never read for mnemonics.
    [[nodiscard]] static QString DisplayText(const QString& text, const QFontMetrics& metrics,
                                             int width);
    // The icon tinted with the colour at the given strength, for selected rows.
    [[nodiscard]] static QPixmap BlendIcon(const QPixmap& icon, const QColor& colour, int percent);

    static constexpr int kIconSize = 16;
    static constexpr int kTextIndent = 2;

private:
    CQuickList& m_List;
};
