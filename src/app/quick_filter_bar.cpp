#include "app/quick_filter_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

void CQuickFilterLine::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit EscapePressed();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

CQuickFilterBar::CQuickFilterBar(QWidget* parent)
    : QWidget(parent), m_pField(new CQuickFilterLine(this)), m_pOptions(new QToolButton(this)) {
    setObjectName(QStringLiteral("QuickFilterBar"));
    m_pField->setObjectName(QStringLiteral("QuickFilterField"));
    m_pField->setPlaceholderText(QString::fromLatin1(kFilterPlaceholder));
    m_pField->setClearButtonEnabled(true);
    auto* menu = new QMenu(m_pOptions);
    m_pSearchBodies = menu->addAction(QString::fromLatin1(kSearchBodiesText));
    m_pSearchBodies->setCheckable(true);
    m_pOptions->setObjectName(QStringLiteral("QuickFilterOptions"));
    m_pOptions->setMenu(menu);
    m_pOptions->setPopupMode(QToolButton::InstantPopup);
    m_pOptions->setArrowType(Qt::DownArrow);
    m_pOptions->setToolTip(QStringLiteral("Filter options"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(m_pField, 1);
    layout->addWidget(m_pOptions);

    connect(m_pField, &QLineEdit::textChanged, this, &CQuickFilterBar::FilterChanged);
    connect(m_pField, &CQuickFilterLine::EscapePressed, this, [this] { m_pField->clear(); });
    connect(m_pField, &QLineEdit::returnPressed, this, [this] {
        if (SearchesBodies() && !Text().trimmed().isEmpty()) {
            emit BodySearchRequested(Text());
        }
    });
    connect(m_pSearchBodies, &QAction::toggled, this, [this](bool on) {
        if (on && !Text().trimmed().isEmpty()) {
            emit BodySearchRequested(Text());
        } else if (!on) {
            emit FilterChanged(Text());
        }
    });
}

QString CQuickFilterBar::Text() const {
    return m_pField->text();
}

bool CQuickFilterBar::SearchesBodies() const {
    return m_pSearchBodies->isChecked();
}

void CQuickFilterBar::ClearSilently() {
    const QSignalBlocker block(m_pField);
    m_pField->clear();
}

void CQuickFilterBar::FocusField() {
    m_pField->setFocus(Qt::ShortcutFocusReason);
    m_pField->selectAll();
}
