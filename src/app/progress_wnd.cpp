#include "app/progress_wnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/qt_text.h"
#include "platform/app_settings.h"

namespace {

constexpr char16_t kSettingsSection[] = u"Settings";
constexpr char kCancelLabel[] = " Cancel ";
// The 3-D edge of the classic frame the layout is measured in.
constexpr int kEdge = 2;

}  // namespace

CProgressWnd::CProgressWnd(QWidget* owner, std::u16string_view title, bool /*smooth*/,
                           CAppSettings* settings)
    : QWidget(nullptr), m_pOwner(owner), m_pSettings(settings) {
    BuildControls();
    CreateWindow(title);
}

CProgressWnd::~CProgressWnd() {
    EndWindow();
}

void CProgressWnd::BuildControls() {
    // A window of its own rather than a child, so that disabling the main window does not
    // disable it too; the owner is still told to the window manager.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);  // closing it must never end the program
    setCursor(Qt::BusyCursor);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setFont(QApplication::font("QMessageBox"));

    m_pText = new QLabel(this);
    m_pText->setObjectName(QStringLiteral("ProgressText"));
    m_pText->setTextFormat(Qt::PlainText);  // "&" stays itself
    m_pText->setWordWrap(false);
    m_pText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Qt's bar has one look: the smooth choice makes no visible difference.
    m_pBar = new QProgressBar(this);
    m_pBar->setObjectName(QStringLiteral("ProgressBar"));
    m_pBar->setTextVisible(false);
    m_pButton = new QPushButton(QString::fromLatin1(kCancelLabel), this);
    m_pButton->setObjectName(QStringLiteral("CancelButton"));
    m_pButton->setFocusPolicy(Qt::NoFocus);
    connect(m_pButton, &QPushButton::clicked, this, [this] { RequestCancel(); });
    ApplyRange();
    m_pBar->setValue(m_pBar->minimum());
}

void CProgressWnd::CreateWindow(std::u16string_view title) {
    m_Title = std::u16string(title);
    setWindowTitle(ToQString(m_Title));
    m_bWindow = true;
    LayOut();
    winId();  // the native window exists now, so the owner can be set on it
    if (m_pOwner && m_pOwner->window()->windowHandle() && windowHandle()) {
        windowHandle()->setTransientParent(m_pOwner->window()->windowHandle());
    }
    PlaceWindow();
    ShowWindow();
}

void CProgressWnd::ApplyRange() {
    // An empty range would turn the bar into a busy indicator.
    m_pBar->setRange(m_nLower, std::max(m_nUpper, m_nLower + 1));
}

void CProgressWnd::LayOut() {
    const QFontMetrics metrics(font());
    QString lines = QStringLiteral("M");
    for (int i = 1; i < kTextLines; ++i) {
        lines += QStringLiteral("\nM");
    }
    int textHeight =
        metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::TextDontClip, lines).height();
    if (textHeight <= 0) {
        textHeight = 100 + 2 * kMargin;
    }
    const int textWidth = kLayoutWidth;
    m_pText->setGeometry(kMargin, kMargin, textWidth, textHeight);

    const int buttonWidth =
        metrics.horizontalAdvance(QString::fromLatin1(kCancelLabel) + QStringLiteral("  ")) +
        4 * kEdge;
    // The style's own button may need more room than the classic measure gives.
    const int buttonHeight = std::max(metrics.height() + 3 * kEdge, m_pButton->sizeHint().height());
    const int buttonLeft = kMargin + textWidth - buttonWidth;
    const int buttonTop = kMargin + textHeight + kMargin;
    m_pButton->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);
    m_pBar->setGeometry(kMargin, buttonTop + kEdge, buttonLeft - kMargin - kMargin,
                        buttonHeight - 2 * kEdge);

    setFixedSize(kMargin + textWidth + kMargin,
                 kMargin + textHeight + kMargin + buttonHeight + kMargin);
}

void CProgressWnd::PlaceWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
    int x = -1;
    int y = -1;
    if (m_bRememberPosition && m_pSettings != nullptr) {
        x = m_pSettings->ReadInt(kSettingsSection, u"X", -1);
        y = m_pSettings->ReadInt(kSettingsSection, u"Y", -1);
    }
    if (x >= 0 && y >= 0 && x < area.width() && y < area.height()) {
        move(x, y);
        return;
    }
    const QRect over = m_pOwner ? m_pOwner->window()->frameGeometry() : area;
    move(over.center() - QPoint(width() / 2, height() / 2));
}

void CProgressWnd::SavePosition() {
    if (m_bWindow && m_bRememberPosition && m_pSettings != nullptr) {
        m_pSettings->WriteInt(kSettingsSection, u"X", pos().x());
        m_pSettings->WriteInt(kSettingsSection, u"Y", pos().y());
    }
}

void CProgressWnd::ShowWindow() {
    if (m_bWindow && isHidden()) {
        show();
        repaint();
    }
}

void CProgressWnd::SetRange(int lower, int upper, int /*step*/) {
    m_nLower = lower;
    m_nUpper = upper;
    if (m_bWindow) {
        ApplyRange();
    }
}

bool CProgressWnd::Begin(std::u16string_view title, bool /*smooth*/) {
    if (!m_bWindow) {
        CreateWindow(title);
    }
    QWidget* owner = m_pOwner ? m_pOwner->window() : nullptr;
    if (owner != nullptr && owner->isEnabled()) {
        while (owner->parentWidget() != nullptr && owner->parentWidget()->window()->isEnabled()) {
            owner = owner->parentWidget()->window();
        }
        owner->setEnabled(false);
        m_pDisabledOwner = owner;
    }
    setEnabled(true);
    m_bModal = true;
    return true;
}

int CProgressWnd::SetPosition(int position) {
    if (!m_bWindow) {
        return m_nLastPosition;
    }
    const int previous = BarPosition();
    // A cancelled window stays hidden: the thread scan goes on setting positions.
    if (!m_bCancelled) {
        ShowWindow();
    }
    m_nLastPosition = position;
    const int percent = ProgressPercent(position, m_nLower, m_nUpper);
    if (percent != m_nLastPercent) {
        m_nLastPercent = percent;
        setWindowTitle(ToQString(ProgressTitle(m_Title, percent)));
    }
    m_pBar->setValue(std::clamp(position, m_pBar->minimum(), m_pBar->maximum()));
    return previous;
}

void CProgressWnd::SetStatusText(std::u16string_view text) {
    if (m_bWindow) {
        m_pText->setText(ToQString(CutStatusText(text)));
    }
}

void CProgressWnd::PumpMessages(bool cancelOnEscape) {
    // Only within our own windows: never take the focus from another program.
    if (m_bModal && m_bWindow && isVisible() && QApplication::activeWindow() != nullptr &&
        QApplication::activeWindow() != this) {
        activateWindow();
    }
    if (m_bCancelled) {
        return;
    }
    m_bPumpingWithEscape = cancelOnEscape;
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    m_bPumpingWithEscape = false;
}

bool CProgressWnd::eventFilter(QObject* watched, QEvent* event) {
    if (m_bCancelled) {
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && m_bPumpingWithEscape &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        RequestCancel();
    } else if (event->type() == QEvent::MouseButtonRelease && m_bModal && m_bWindow) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QRect button(m_pButton->mapToGlobal(QPoint(0, 0)), m_pButton->size());
        if (mouse->button() == Qt::LeftButton &&
            button.contains(mouse->globalPosition().toPoint())) {
            RequestCancel();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CProgressWnd::RequestCancel() {
    if (m_bCancelled) {
        return;
    }
    SavePosition();
    m_bCancelled = true;
    if (m_bWindow && isVisible()) {
        hide();
    }
    if (m_bModal) {
        // Closed when events are next dispatched, unless the operation ends first.
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    }
    if (m_pOwner) {
        m_pOwner->window()->raise();
        m_pOwner->window()->activateWindow();
    }
}

void CProgressWnd::ClearProgress() {
    SetStatusText(u"");
    SetPosition(0);
    m_bCancelled = false;
    m_nLastPosition = 0;
    if (m_bWindow) {
        repaint();
    }
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
    EndWindow();
    event->accept();
}

void CProgressWnd::EndWindow() {
    if (!m_bWindow) {
        return;
    }
    SavePosition();
    if (m_bModal) {
        m_bModal = false;
        if (m_pDisabledOwner) {
            m_pDisabledOwner->setEnabled(true);
        }
        m_pDisabledOwner = nullptr;
    }
    m_bWindow = false;
    hide();
}

QString CProgressWnd::StatusText() const {
    return m_pText->text();
}

int CProgressWnd::BarPosition() const {
    return std::max(m_pBar->value(), m_pBar->minimum());
}
