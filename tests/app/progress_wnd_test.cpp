// The progress window: title percentages, layout, the owner it disables, cancelling by
// Escape and by the button at the next pump, the remembered position, and the hidden
// window of an operation that goes on after a cancel.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/progress_wnd.h"
#include "app/qt_ui_services.h"
#include "support/memory_settings.h"

namespace {

struct Owner {
    Owner() {
        window.resize(600, 400);
        window.move(50, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    std::unique_ptr<CProgressWnd> Make(std::u16string_view title = u"Exporting...") {
        auto p = std::make_unique<CProgressWnd>(&window, title, false, &settings);
        p->SetRange(0, 100, 1);
        p->Begin(u"Progress", false);
        return p;
    }
    QMainWindow window;
    CMemorySettings settings;
};

QPoint CentreOf(const QWidget& w) {
    return w.frameGeometry().center();
}

// An event that counts its deliveries, to see whether a pump dispatched anything.
class CCounter final : public QObject {
public:
    int events = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++events;
            return true;
        }
        return QObject::event(e);
    }
};

}  // namespace

class ProgressWndTest : public QObject {
    Q_OBJECT

private slots:
    void TitleChangesOnlyWithThePercentage() {
        Owner o;
        auto p = o.Make(u"Scanning emails...");
        QCOMPARE(p->windowTitle(), QStringLiteral("Scanning emails..."));
        p->SetRange(0, 3, 1);
        QSignalSpy titles(p.get(), &QWidget::windowTitleChanged);
        QCOMPARE(p->SetPosition(1), 0);
        QCOMPARE(p->windowTitle(), QStringLiteral("Scanning emails... [33%]"));
        QCOMPARE(p->SetPosition(2), 1);
        QCOMPARE(p->windowTitle(), QStringLiteral("Scanning emails... [67%]"));
        QCOMPARE(titles.count(), 2);
        p->SetPosition(2);
        QCOMPARE(titles.count(), 2);  // same percentage: the title is left alone
        QCOMPARE(p->SetPosition(3), 2);
        QCOMPARE(p->windowTitle(), QStringLiteral("Scanning emails... [100%]"));
        QCOMPARE(titles.count(), 3);
    }

    void EmptyRangeShowsZeroPercent() {
        Owner o;
        auto p = o.Make(u"Export");
        p->SetPosition(50);
        QCOMPARE(p->windowTitle(), QStringLiteral("Export [50%]"));
        p->SetRange(0, 0, 1);
        p->SetPosition(7);
        QCOMPARE(p->windowTitle(), QStringLiteral("Export [0%]"));
        p->SetPosition(1000);
        QCOMPARE(p->LastPercent(), 0);
        QCOMPARE(p->windowTitle(), QStringLiteral("Export [0%]"));
    }

    void StatusTextAndClearProgress() {
        Owner o;
        auto p = o.Make(u"Export");
        p->SetStatusText(u"3 files exported. & more");
        QCOMPARE(p->StatusText(), QStringLiteral("3 files exported. & more"));
        QCOMPARE(p->TextControl()->textFormat(), Qt::PlainText);
        p->SetStatusText(std::u16string(600, u'x'));
        QCOMPARE(p->StatusText().size(), qsizetype(511));
        p->SetPosition(40);
        QCOMPARE(p->BarPosition(), 40);
        p->RequestCancel();
        QVERIFY(p->IsCancelled());
        p->ClearProgress();
        QVERIFY(!p->IsCancelled());
        QCOMPARE(p->StatusText(), QString());
        QCOMPARE(p->BarPosition(), 0);
        QCOMPARE(p->windowTitle(), QStringLiteral("Export [0%]"));
    }

    void LayoutFollowsTheMargins() {
        Owner o;
        auto p = o.Make();
        const QRect text = p->TextControl()->geometry();
        const QRect button = p->CancelButton()->geometry();
        const QRect bar = p->Bar()->geometry();
        QCOMPARE(p->CancelButton()->text(), QStringLiteral(" Cancel "));
        QCOMPARE(text.topLeft(), QPoint(10, 10));
        QCOMPARE(text.width(), 390);
        QVERIFY(text.height() >= 4 * p->fontMetrics().height());
        QCOMPARE(button.right(), text.right());
        QCOMPARE(button.top(), text.bottom() + 1 + 10);
        QCOMPARE(bar.left(), 10);
        QCOMPARE(bar.right() + 1 + 10, button.left());
        QVERIFY(bar.top() > button.top() && bar.bottom() < button.bottom());
        QCOMPARE(p->width(), 410);
        QCOMPARE(p->height(), button.bottom() + 1 + 10);
        QVERIFY(p->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!p->windowFlags().testFlag(Qt::WindowSystemMenuHint));
    }

    void OwnerIsDisabledUntilTheWindowEnds() {
        Owner o;
        auto p = std::make_unique<CProgressWnd>(&o.window, u"Export", false, &o.settings);
        QVERIFY(p->isVisible());
        QVERIFY(o.window.isEnabled());  // only Begin makes it modal
        p->Begin(u"Progress", false);
        QVERIFY(p->IsModal());
        QVERIFY(!o.window.isEnabled());
        QVERIFY(p->isEnabled());
        QCOMPARE(p->DisabledOwner(), &o.window);
        QCOMPARE(p->windowTitle(), QStringLiteral("Export"));  // "Progress" is not used
        p.reset();
        QVERIFY(o.window.isEnabled());
    }

    void AnAlreadyDisabledOwnerIsLeftAlone() {
        Owner o;
        o.window.setEnabled(false);
        auto p = o.Make();
        QCOMPARE(p->DisabledOwner(), nullptr);
        p.reset();
        QVERIFY(!o.window.isEnabled());
    }

    void EscapeCancelsAtTheNextPump() {
        Owner o;
        auto p = o.Make();
        QCoreApplication::postEvent(
            p.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        QVERIFY(!p->IsCancelled());  // nothing happens until the operation pumps
        p->PumpMessages(true);
        QVERIFY(p->IsCancelled());
        QVERIFY(!p->isVisible());
    }

    void EscapeIsIgnoredWhenNotAsked() {
        Owner o;
        auto p = o.Make();
        QCoreApplication::postEvent(
            p.get(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
        p->PumpMessages(false);
        QVERIFY(!p->IsCancelled());
        QVERIFY(p->isVisible());
    }

    void ReleaseOverTheButtonCancelsAtTheNextPump() {
        Owner o;
        auto p = o.Make();
        QPushButton* button = p->CancelButton();
        const QPoint local = button->rect().center();
        // Only the release: the button itself never sees a whole click.
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(local),
                                    QPointF(button->mapToGlobal(local)), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier));
        QVERIFY(!p->IsCancelled());
        p->PumpMessages(true);
        QVERIFY(p->IsCancelled());
    }

    void ReleaseElsewhereDoesNotCancel() {
        Owner o;
        auto p = o.Make();
        QLabel* text = p->TextControl();
        const QPoint local = text->rect().center();
        QCoreApplication::postEvent(
            text, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(local),
                                  QPointF(text->mapToGlobal(local)), Qt::LeftButton, Qt::NoButton,
                                  Qt::NoModifier));
        p->PumpMessages(true);
        QVERIFY(!p->IsCancelled());
    }

    void ClickingCancelCancels() {
        Owner o;
        auto p = o.Make();
        QTest::mouseClick(p->CancelButton(), Qt::LeftButton);
        QVERIFY(p->IsCancelled());
        QVERIFY(!p->isVisible());
    }

    void CancelQueuesTheCloseThatReenablesTheOwner() {
        Owner o;
        auto p = o.Make();
        p->RequestCancel();
        QVERIFY(!o.window.isEnabled());  // still modal until the close is dispatched
        QCoreApplication::processEvents();
        QVERIFY(o.window.isEnabled());
        QVERIFY(!p->HasWindow());
        QCOMPARE(p->SetPosition(30), 0);  // no window: the last position, nothing else
        p->SetStatusText(u"ignored");
        QCOMPARE(p->StatusText(), QString());
    }

    void CancelledWindowStaysHiddenAndPumpsNothing() {
        // The thread scan goes on after a cancel: it sets positions and pumps, and the
        // window must neither come back nor dispatch the user's input.
        Owner o;
        auto p = o.Make(u"Scanning threads...");
        p->RequestCancel();
        CCounter counter;
        QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
        p->SetPosition(50);
        p->PumpMessages(true);
        QVERIFY(!p->isVisible());
        QCOMPARE(counter.events, 0);
        QCOMPARE(p->windowTitle(), QStringLiteral("Scanning threads... [50%]"));
        p.reset();
        QCoreApplication::processEvents();
        QCOMPARE(counter.events, 1);
    }

    void PumpDispatchesWaitingEvents() {
        Owner o;
        auto p = o.Make();
        CCounter counter;
        QCoreApplication::postEvent(&counter, new QEvent(QEvent::User));
        p->PumpMessages(true);
        QCOMPARE(counter.events, 1);
    }

    void SavedPositionIsUsed() {
        Owner o;
        o.settings.WriteInt(u"Settings", u"X", 120);
        o.settings.WriteInt(u"Settings", u"Y", 90);
        auto p = o.Make();
        QCOMPARE(p->pos(), QPoint(120, 90));
    }

    void OffScreenOrMissingPositionCentres() {
        Owner o;
        {
            auto p = o.Make();  // no values stored: -1
            QVERIFY((CentreOf(*p) - CentreOf(o.window)).manhattanLength() <= 2);
        }
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        o.settings.WriteInt(u"Settings", u"X", 5000);
        o.settings.WriteInt(u"Settings", u"Y", 5000);
        QVERIFY(screen.width() < 5000);
        {
            auto p = o.Make();
            QVERIFY((CentreOf(*p) - CentreOf(o.window)).manhattanLength() <= 2);
        }
        o.settings.WriteInt(u"Settings", u"X", 10);
        o.settings.WriteInt(u"Settings", u"Y", screen.height());  // one past the bottom
        auto p = o.Make();
        QVERIFY((CentreOf(*p) - CentreOf(o.window)).manhattanLength() <= 2);
    }

    void CancelSavesThePlaceForTheNextRun() {
        Owner o;
        {
            auto p = o.Make();
            p->move(130, 140);
            p->RequestCancel();
            QCOMPARE(o.settings.IntValue(u"Settings", u"X"), std::optional<int>(130));
            QCOMPARE(o.settings.IntValue(u"Settings", u"Y"), std::optional<int>(140));
        }
        auto again = o.Make();
        QCOMPARE(again->pos(), QPoint(130, 140));
    }

    void UiServicesHandOutProgressWindows() {
        Owner o;
        CQtUiServices ui(&o.window);
        ui.SetSettings(&o.settings);
        o.settings.WriteInt(u"Settings", u"X", 77);
        o.settings.WriteInt(u"Settings", u"Y", 66);
        std::unique_ptr<IProgress> progress = ui.CreateProgress(u"Export attached files...", true);
        auto* wnd = dynamic_cast<CProgressWnd*>(progress.get());
        QVERIFY(wnd != nullptr);
        QCOMPARE(wnd->windowTitle(), QStringLiteral("Export attached files..."));
        QCOMPARE(wnd->pos(), QPoint(77, 66));
        progress->Begin(u"Progress", true);
        QVERIFY(!o.window.isEnabled());
        progress.reset();
        QVERIFY(o.window.isEnabled());
    }

    // A box over a running operation: usable although the progress window disabled the
    // main window, not covered by the always-on-top progress window (which steps aside and
    // comes back), and wide enough for its whole caption.
    void MessageBoxStepsOverTheProgressWindowAndShowsItsCaption() {
        Owner o;
        CQtUiServices ui(&o.window);
        std::unique_ptr<IProgress> progress = ui.CreateProgress(u"Export emails...", true);
        progress->Begin(u"Progress", true);
        auto* wnd = dynamic_cast<CProgressWnd*>(progress.get());
        QVERIFY(wnd != nullptr && wnd->isVisible());
        const QString caption =
            QStringLiteral("Korvane Quillbox: a caption much longer than the text below it");
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QVERIFY(box->isEnabled());
            QVERIFY(!wnd->isVisible());
            QCOMPARE(box->windowTitle(), caption);
            QFont bold = box->font();
            bold.setBold(true);
            QVERIFY(box->width() > QFontMetrics(bold).horizontalAdvance(caption));
            checked = true;
            box->button(QMessageBox::No)->click();
        });
        const MsgAnswer answer =
            ui.MessageBox(u"?", caption.toStdU16String(), MsgIcon::Error, MsgButtons::YesNo);
        QVERIFY(checked);
        QCOMPARE(answer, MsgAnswer::No);
        QVERIFY(wnd->isVisible());
        QVERIFY(!o.window.isEnabled());
    }
};

QTEST_MAIN(ProgressWndTest)
#include "progress_wnd_test.moc"
