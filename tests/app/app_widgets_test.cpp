// The smaller pieces: hyperlink labels and the about box, the shell links, the MFC filter
// conversion, the Qt message boxes, and the delegate's icon blending.
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/about_dialog.h"
#include "app/hyperlink_static.h"
#include "app/qt_ui_services.h"
#include "app/quick_list_delegate.h"
#include "app/shell_operations.h"
#include "app_test_support.h"

namespace {

// Presses the button of whatever message box is up next.
void AnswerNextBox(QMessageBox::StandardButton button, QString* seenText, QString* seenTitle,
                   QMessageBox::Icon* seenIcon) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        *seenText = box->text();
        *seenTitle = box->windowTitle();
        *seenIcon = box->icon();
        box->button(button)->click();
    });
}

}  // namespace

class AppWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void MailtoLinkIsJoinedWithoutEscaping() {
        QCOMPARE(MailtoLink(QStringLiteral("quillbox@korvane.example"),
                            QStringLiteral("Quillbox Bug Report")),
                 QStringLiteral("mailto:quillbox@korvane.example?subject=Quillbox Bug Report"));
        QCOMPARE(MailtoLink(QStringLiteral("a@b"), QStringLiteral("x&y z")),
                 QStringLiteral("mailto:a@b?subject=x&y z"));
        QCOMPARE(OnlineHelpUrl(), QStringLiteral("https://korvane.example/lnk_help?s=qbx&t=index"));
        QCOMPARE(DonateUrl(), QStringLiteral("https://korvane.example/donate.php?src=qbx"));
    }

    void HyperlinkOpensOnlyOnItsText() {
        QWidget parent;
        parent.resize(400, 100);
        auto* link = new CHyperlinkStatic(QStringLiteral("korvane.example"), &parent);
        link->SetLink(QStringLiteral("https://korvane.example/"));
        link->setGeometry(10, 10, 300, 40);  // wider and taller than the text
        parent.show();
        CUrlCatcher catcher({QStringLiteral("https")});
        const QRect text = link->TextExtent();
        QVERIFY(text.width() < 300);
        QVERIFY(text.height() < 40);

        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(text.right() + 20, text.center().y()));
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(text.center().x(), 38));
        QTest::mouseClick(link, Qt::RightButton, {}, text.center());
        QVERIFY(catcher.urls.empty());
        QTest::mouseClick(link, Qt::LeftButton, {}, text.center());
        QCOMPARE(catcher.urls.size(), std::size_t(1));
        QCOMPARE(catcher.urls[0], QUrl(QStringLiteral("https://korvane.example/")));
    }

    void HyperlinkCursorFollowsTheText() {
        QWidget parent;
        auto* link = new CHyperlinkStatic(QStringLiteral("korvane.example"), &parent);
        link->setGeometry(0, 0, 300, 40);
        parent.show();
        const QRect text = link->TextExtent();
        QTest::mouseMove(link, text.center());
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(link, QPoint(text.right() + 30, text.center().y()));
        QCOMPARE(link->cursor().shape(), Qt::ArrowCursor);
    }

    void AboutBoxTexts() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Korvane Quillbox"));
        QStringList texts;
        for (QLabel* label : about.findChildren<QLabel*>()) {
            texts.push_back(label->text());
        }
        QVERIFY(texts.contains(QStringLiteral("Korvane Quillbox\nVersion 1.8")));
        QVERIFY(texts.contains(QStringLiteral("Website:")));
        QVERIFY(texts.contains(QStringLiteral("Donate:")));
        QCOMPARE(about.WebsiteLink()->text(), QStringLiteral("korvane.example"));
        QCOMPARE(about.WebsiteLink()->GetLink(), QStringLiteral("https://korvane.example/"));
        QCOMPARE(about.DonateLink()->text(), QStringLiteral("korvane.example/donate.php"));
        QCOMPARE(about.DonateLink()->GetLink(),
                 QStringLiteral("https://korvane.example/donate.php?src=qbx"));
        auto buttons = about.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons[0]->text(), QStringLiteral("OK"));
        const QSize expected = CAboutDlg::DialogUnitsToPixels(QSize(235, 140), about.font());
        QVERIFY(about.width() >= expected.width());
        QVERIFY(about.height() >= expected.height());
        about.show();
        buttons[0]->click();
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void DialogUnitsScaleWithTheFont() {
        QFont small = QApplication::font();
        small.setPointSize(8);
        QFont big = small;
        big.setPointSize(16);
        const QSize a = CAboutDlg::DialogUnitsToPixels(QSize(235, 140), small);
        const QSize b = CAboutDlg::DialogUnitsToPixels(QSize(235, 140), big);
        QVERIFY(a.width() > 235 / 2 && a.height() > 140 / 2);
        QVERIFY(b.width() > a.width() && b.height() > a.height());
    }

    void MfcFiltersBecomeQtFilters() {
        QCOMPARE(QtFiltersFromMfc(QStringLiteral(
                     "Outlook Express DBX File (*.dbx)|*.dbx|All Files (*.*)|*.*||")),
                 QStringList({QStringLiteral("Outlook Express DBX File (*.dbx)"),
                              QStringLiteral("All Files (*)")}));
        QCOMPARE(QtFiltersFromMfc(QStringLiteral("Pages (*.htm;*.html)|*.htm;*.html||")),
                 QStringList({QStringLiteral("Pages (*.htm *.html)")}));
        QVERIFY(QtFiltersFromMfc(QString()).isEmpty());
    }

    void MessageBoxesShowCaptionIconAndAnswer() {
        QWidget parent;
        parent.show();
        CQtUiServices ui(&parent);
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        AnswerNextBox(QMessageBox::Ok, &text, &title, &icon);
        QCOMPARE(ui.MessageBox(u"Unknown error.", u"Error", MsgIcon::Error, MsgButtons::Ok),
                 MsgAnswer::Ok);
        QCOMPARE(text, QStringLiteral("Unknown error."));
        QCOMPARE(title, QStringLiteral("Error"));
        QCOMPARE(icon, QMessageBox::Critical);

        AnswerNextBox(QMessageBox::No, &text, &title, &icon);
        QCOMPARE(ui.MessageBox(u"Go on?", u"Korvane Quillbox", MsgIcon::Question,
                               MsgButtons::YesNoCancel),
                 MsgAnswer::No);
        QCOMPARE(icon, QMessageBox::Question);
        AnswerNextBox(QMessageBox::Cancel, &text, &title, &icon);
        QCOMPARE(ui.MessageBox(u"Stop?", u"Korvane Quillbox", MsgIcon::None, MsgButtons::OkCancel),
                 MsgAnswer::Cancel);
        QCOMPARE(icon, QMessageBox::NoIcon);

        std::unique_ptr<IProgress> progress = ui.CreateProgress(u"Export", true);
        QVERIFY(progress != nullptr);
        QVERIFY(!progress->IsCancelled());
        QCOMPARE(progress->SetPosition(5), 0);
        QCOMPARE(progress->SetPosition(9), 5);
    }

    void SelectedIconsAreBlended() {
        QPixmap icon(16, 16);
        icon.fill(Qt::transparent);
        {
            QPainter p(&icon);
            p.fillRect(4, 4, 8, 8, Qt::red);
        }
        const QPixmap blended = CQuickListDelegate::BlendIcon(icon, QColor(0, 0, 255), 50);
        const QImage img = blended.toImage();
        const QColor inside = img.pixelColor(8, 8);
        QVERIFY(inside.red() > 80 && inside.red() < 180);
        QVERIFY(inside.blue() > 80 && inside.blue() < 180);
        QCOMPARE(img.pixelColor(1, 1).alpha(), 0);  // transparent stays transparent
    }
};

QTEST_MAIN(AppWidgetsTest)
#include "app_widgets_test.moc"
