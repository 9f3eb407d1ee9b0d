#include "app/sizing_control_bar.h"

#include <QMainWindow>

CMySizingControlBarG::CMySizingControlBarG(const QString& title, QWidget* parent)
    : QDockWidget(title, parent) {
    setObjectName(QStringLiteral("EmailViewerBar"));
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    connect(this, &QDockWidget::dockLocationChanged, this, [this](Qt::DockWidgetArea area) {
        m_DockSide = area;
        OnPlaceChanged();
    });
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) {
        if (floating) {
            m_DockSide = Qt::NoDockWidgetArea;
            resize(kFloatSize);
        }
        OnPlaceChanged();
    });
    OnPlaceChanged();
}

void CMySizingControlBarG::OnPlaceChanged() {
    setMinimumSize(minimumSizeHint());
    updateGeometry();
}

QSize CMySizingControlBarG::sizeHint() const {
    if (isFloating()) {
        return kFloatSize;
    }
    if (m_DockSide == Qt::LeftDockWidgetArea || m_DockSide == Qt::RightDockWidgetArea) {
        return kVertSize;
    }
    return kHorzSize;
}

QSize CMySizingControlBarG::minimumSizeHint() const {
    if (isFloating()) {
        return kMinFloat;
    }
    if (m_DockSide == Qt::LeftDockWidgetArea || m_DockSide == Qt::RightDockWidgetArea) {
        return kMinVert;
    }
    return kMinHorz;
}
