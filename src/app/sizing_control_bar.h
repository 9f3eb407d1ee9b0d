// CMySizingControlBarG: the viewer's docking bar. A QDockWidget that docks at any edge or
// floats, holding one size per place (top/bottom, left/right, floating) and a smallest size
// per place; the main window's dock layout does the dragging and resizing.
#pragma once

#include <QDockWidget>
#include <QSize>

class CMySizingControlBarG final : public QDockWidget {
    Q_OBJECT
public:
    CMySizingControlBarG(const QString& title, QWidget* parent);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

    // The place the bar is in now: a dock area, or Qt::NoDockWidgetArea when floating.
    [[nodiscard]] Qt::DockWidgetArea DockSide() const { return m_DockSide; }

    static constexpr QSize kHorzSize{200, 200};
    static constexpr QSize kVertSize{300, 300};
    static constexpr QSize kFloatSize{200, 200};
    static constexpr QSize kMinHorz{33, 32};
    static constexpr QSize kMinVert{33, 32};
    static constexpr QSize kMinFloat{37, 32};

private:
    void OnPlaceChanged();

    Qt::DockWidgetArea m_DockSide = Qt::BottomDockWidgetArea;
};
