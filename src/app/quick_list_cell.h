// CQuickListCell: the record through which the owner of a CQuickList describes one cell to
// be painted: its text and icon, fonts and colours, filled on request for the row and
// column asked for. The list keeps one record and resets it for every request, so nothing
// is allocated per cell and no record outlives its request. An invalid QColor stands for
// "use the system colour".
#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QString>

struct CQuickListCell {
    QString m_strText;
    bool m_bNoSelection = false;  // drawn as not selected even on a selected row
    bool m_bBold = false;
    bool m_bItalic = false;
    Qt::Alignment m_nTextFormat = Qt::AlignLeft | Qt::AlignVCenter;  // plus ellipsis
    int m_nIconIndex = -1;
    const QList<QIcon>* m_pIconList = nullptr;
    bool m_bIconNoSelection = true;  // icon background drawn as not selected
    bool m_bIconCentered = false;    // else at the left edge, one pixel in
    int m_nIconBlendPercent = 50;    // blending with the selection colour on selected rows
    QColor m_crText;
    QColor m_crBackground;
    QColor m_crHotText;
    QColor m_crSelText;
    QColor m_crSelBackgroundFocused;
    QColor m_crSelBackgroundUnfocused;
    int m_nRow = 0;
    int m_nColumn = 0;
    bool m_bSelected = false;
    bool m_bHot = false;

    // Back to the reset values; the text keeps its buffer.
    void Reset() {
        m_strText.clear();
        m_bNoSelection = m_bBold = m_bItalic = false;
        m_nTextFormat = Qt::AlignLeft | Qt::AlignVCenter;
        m_nIconIndex = -1;
        m_pIconList = nullptr;
        m_bIconNoSelection = true;
        m_bIconCentered = false;
        m_nIconBlendPercent = 50;
        m_crText = m_crBackground = m_crHotText = m_crSelText = QColor();
        m_crSelBackgroundFocused = m_crSelBackgroundUnfocused = QColor();
        m_nRow = m_nColumn = 0;
        m_bSelected = m_bHot = false;
    }
};

// Where a click landed.
struct CQuickListClick {
    int m_nRow = -1;
    int m_nColumn = -1;
    bool m_bOnText = false;
    bool m_bOnIcon = false;
};
