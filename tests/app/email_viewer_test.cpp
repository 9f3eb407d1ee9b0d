// The viewer bar: its tabs and pages, and what the main window's ShowEmail puts on them
// for plain, multipart, encoded, unreadable and very large messages, for the row already
// shown, after a sort and after another file is opened.
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>

#include "app/dlg_email_view.h"
#include "app/email_viewer_tabs.h"
#include "app/message_page_view.h"
#include "app/my_quick_list.h"
#include "app/sizing_control_bar.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"

namespace {

const std::string kPlain = "Subject: Lunch\r\nContent-Type: text/plain\r\n\r\nSee you at noon.\r\n";

std::string Mixed(const std::string& textPart) {
    return "Subject: Report\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
           "--XX\r\nContent-Type: text/plain\r\n\r\n" +
           textPart +
           "\r\n--XX\r\nContent-Type: application/pdf; name=\"report.pdf\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--XX--\r\n";
}

const std::string kImageOnly =
    "Subject: Photo\r\nContent-Type: image/png; name=\"a.png\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\niVBORw0KGgo=\r\n";

const std::string kAlternative =
    "Subject: News\r\nContent-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain\r\n\r\nPlain news\r\n"
    "--b1\r\nContent-Type: text/html\r\n\r\n<html><b>Bold news</b></html>\r\n--b1--\r\n";

QString TextPage(CMainFrame& f) {
    return f.Viewer()->TextPage()->Edit()->toPlainText();
}
QString MimePage(CMainFrame& f) {
    return f.Viewer()->MimePage()->Edit()->toPlainText();
}

// The box shows line breaks as paragraph ends; compare the text without CRs.
QString Shown(const std::string& bytes) {
    return QString::fromLatin1(bytes).remove(QLatin1Char('\r'));
}
QString NoCr(QString s) {
    return s.remove(QLatin1Char('\r'));
}

}  // namespace

class EmailViewerTest : public QObject {
    Q_OBJECT

private slots:
    void TabsAndPages() {
        ViewerFrameHarness h;
        CEmailViewerTabs* tabs = h.frame.Viewer();
        QVERIFY(tabs != nullptr);
        QCOMPARE(h.frame.ViewerBar()->widget(), tabs);
        QCOMPARE(tabs->tabPosition(), QTabWidget::South);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Message"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Text or HTML"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("MIME Source"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->currentWidget(), static_cast<QWidget*>(tabs->MessagePage()));
        QVERIFY(!tabs->TextPage()->isVisible());
        tabs->setCurrentIndex(1);
        QVERIFY(tabs->TextPage()->isVisible());
        QVERIFY(!tabs->MimePage()->isVisible());
        tabs->setCurrentIndex(2);
        QVERIFY(!tabs->TextPage()->isVisible());
        QVERIFY(tabs->MimePage()->isVisible());
        for (CDlgEmailView* page : {static_cast<CDlgEmailView*>(tabs->TextPage()),
                                    static_cast<CDlgEmailView*>(tabs->MimePage())}) {
            QPlainTextEdit* edit = page->Edit();
            QVERIFY(edit->isReadOnly());
            QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
            QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        }
    }

    void EnterAndEscapeNeverClosePages() {
        ViewerFrameHarness h;
        CDlgEmailViewText* page = h.frame.Viewer()->TextPage();
        h.frame.Viewer()->setCurrentWidget(page);
        QPlainTextEdit* edit = page->Edit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Enter);
        QVERIFY(page->isVisible());
        QCOMPARE(page->result(), 0);
        page->reject();
        page->accept();
        QVERIFY(page->isVisible());
    }

    void SingleTextPart() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail("Lunch", kPlain)}));
        h.frame.ShowEmail(0);
        QCOMPARE(h.frame.ShownRow(), 0);
        QCOMPARE(NoCr(TextPage(h.frame)), QStringLiteral("See you at noon.\n"));
        QCOMPARE(NoCr(MimePage(h.frame)), Shown(kPlain));
    }

    void TextPartOfAMixedMessageWithAnAttachment() {
        ViewerFrameHarness h;
        const std::string raw = Mixed("Figures attached.");
        h.frame.LoadMailbox(h.Write({RawMail("Report", raw)}));
        h.frame.ShowEmail(0);
        QCOMPARE(NoCr(TextPage(h.frame)), QStringLiteral("Figures attached."));
        QVERIFY(!TextPage(h.frame).contains(QStringLiteral("JVBERi")));
        QVERIFY(MimePage(h.frame).contains(QStringLiteral("application/pdf")));
        QVERIFY(MimePage(h.frame).contains(QStringLiteral("JVBERi0xLjQK")));
    }

    void ImageOnlyGivesAnEmptyTextPage() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail("Photo", kImageOnly)}));
        h.frame.ShowEmail(0);
        QCOMPARE(TextPage(h.frame), QString());
        QCOMPARE(NoCr(MimePage(h.frame)), Shown(kImageOnly));
    }

    void LastTextPartWins() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail("News", kAlternative)}));
        h.frame.ShowEmail(0);
        QCOMPARE(NoCr(TextPage(h.frame)), QStringLiteral("<html><b>Bold news</b></html>"));
    }

    void EncodedPartsAreShownDecoded() {
        ViewerFrameHarness h;
        const std::string qp =
            "Subject: QP\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n\r\nCaf=E9 au lait =80 5\r\n";
        const std::string b64 =
            "Subject: B64\r\nContent-Type: text/plain\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\nSGVsbG8gd29ybGQ=\r\n";
        h.frame.LoadMailbox(h.Write({RawMail("QP", qp), RawMail("B64", b64)}));
        h.frame.ShowEmail(0);
        // The bytes are read as Windows-1252 whatever the part declares: 0x80 is the euro.
        QCOMPARE(NoCr(TextPage(h.frame)).trimmed(), QStringLiteral("Caf\u00e9 au lait \u20ac 5"));
        QVERIFY(MimePage(h.frame).contains(QStringLiteral("Caf=E9 au lait =80 5")));
        h.frame.ShowEmail(1);
        QCOMPARE(TextPage(h.frame), QStringLiteral("Hello world"));
        QVERIFY(MimePage(h.frame).contains(QStringLiteral("SGVsbG8gd29ybGQ=")));
    }

    void RawBytesAboveAsciiUseWindows1252() {
        ViewerFrameHarness h;
        const std::string raw = "Subject: x\r\n\r\nPrice \x80 9, na\xefve, \x93quoted\x94\r\n";
        h.frame.LoadMailbox(h.Write({RawMail("x", raw)}));
        h.frame.ShowEmail(0);
        QVERIFY(MimePage(h.frame).contains(
            QStringLiteral("Price \u20ac 9, na\u00efve, \u201cquoted\u201d")));
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("\u201cquoted\u201d")));
    }

    void MessageWithoutTextLeavesBothPagesEmpty() {
        ViewerFrameHarness h;
        dbxw::Message none;
        none.subject = "No text";
        h.frame.LoadMailbox(h.Write({RawMail("Lunch", kPlain), none}));
        h.frame.ShowEmail(0);
        QVERIFY(!MimePage(h.frame).isEmpty());
        h.frame.ShowEmail(1);
        QCOMPARE(h.frame.ShownRow(), 1);
        QCOMPARE(TextPage(h.frame), QString());
        QCOMPARE(MimePage(h.frame), QString());
        QVERIFY(h.ui.messages.empty());
        h.frame.ShowEmail(7);  // no such row: emptied, nothing else
        QCOMPARE(MimePage(h.frame), QString());
        h.frame.ShowEmail(-1);
        QCOMPARE(h.frame.ShownRow(), 7);
    }

    void DamagedMessageStillShowsItsSource() {
        ViewerFrameHarness h;
        const std::string raw =
            "Subject: broken\r\nContent-Type: multipart/mixed; boundary=\"nope\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n--never closed\r\n\x01\x02garbage";
        h.frame.LoadMailbox(h.Write({RawMail("broken", raw)}));
        h.frame.ShowEmail(0);
        QVERIFY(MimePage(h.frame).contains(QStringLiteral("--never closed")));
    }

    void TheShownRowIsNotReloaded() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail("Lunch", kPlain), RawMail("Photo", kImageOnly)}));
        h.frame.ShowEmail(0);
        h.frame.Viewer()->TextPage()->Edit()->setPlainText(QStringLiteral("marker"));
        h.frame.ShowEmail(0);
        QCOMPARE(TextPage(h.frame), QStringLiteral("marker"));
        h.frame.ShowEmail(1);
        QCOMPARE(TextPage(h.frame), QString());
    }

    void AfterASortTheSelectionAndShownMessageFollowTheirMessages() {
        ViewerFrameHarness h;
        const std::string zulu = "Subject: Zulu\r\n\r\nzulu body\r\n";
        const std::string alpha = "Subject: Alpha\r\n\r\nalpha body\r\n";
        h.frame.LoadMailbox(h.Write({RawMail("Zulu", zulu), RawMail("Alpha", alpha)}));
        CMyQuickList* list = h.frame.EmailList();
        list->setCurrentIndex(list->model()->index(0, 0));  // Zulu, selected and shown
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("zulu body")));
        h.frame.OnSortColumn(ColSubject);  // row 0 now holds Alpha, Zulu moved to row 1
        QCOMPARE(QString::fromStdU16String(
                     GetEmailCellText(*h.frame.Mailbox().GetEmails().Get(0), ColSubject, 1252)),
                 QStringLiteral("Alpha"));
        QCOMPARE(list->GetSelectionMark(), 1);
        QVERIFY(list->IsRowSelected(1));
        QVERIFY(!list->IsRowSelected(0));
        QCOMPARE(h.frame.ShownRow(), 1);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("zulu body")));
        h.frame.ShowEmail(0);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("alpha body")));
        // The sorted column shows the sort arrow.
        QHeaderView* header = list->horizontalHeader();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), int(ColSubject));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        h.frame.OnSortColumn(ColSubject);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void OpeningAnotherFileResetsTheShownRow() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail("Lunch", kPlain)}, "one.dbx"));
        h.frame.ShowEmail(0);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("noon")));
        const std::u16string second =
            h.Write({RawMail("Other", "Subject: Other\r\n\r\nsecond file\r\n")}, "two.dbx");
        h.dialogs.answers.push_back(QString::fromStdU16String(second));
        h.frame.OnFileOpen();
        QCOMPARE(h.frame.CurrentPath(), second);
        // The message of the closed file is gone from every page.
        QCOMPARE(TextPage(h.frame), QString());
        QCOMPARE(MimePage(h.frame), QString());
        QCOMPARE(h.frame.Viewer()->MessagePage()->Page().m_Subject, std::u16string());
        QVERIFY(!h.frame.EmailList()->horizontalHeader()->isSortIndicatorShown());
        h.frame.ShowEmail(0);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("second file")));
    }

    void ClickingARowShowsIt() {
        ViewerFrameHarness h;
        const std::string second = "Subject: Second\r\n\r\nsecond row\r\n";
        h.frame.LoadMailbox(h.Write({RawMail("Lunch", kPlain), RawMail("Second", second)}));
        CMyQuickList* list = h.frame.EmailList();
        QVERIFY(QTest::qWaitForWindowExposed(&h.frame));
        const QRect cell = list->visualRect(list->model()->index(1, ColSubject));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(h.frame.ShownRow(), 1);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("second row")));
        QTest::keyClick(list, Qt::Key_Up);  // the selection mark moves: row 0 is shown
        QCOMPARE(h.frame.ShownRow(), 0);
        QVERIFY(TextPage(h.frame).contains(QStringLiteral("noon")));
    }

    void HugeMessageShowsWithoutStalling() {
        ViewerFrameHarness h;
        // About 20 MB: a text part and a base64 attachment, 76-character lines.
        std::string body;
        const std::string line(76, 'A');
        while (body.size() < 10'000'000) {
            body += line + "\r\n";
        }
        const std::string raw =
            "Subject: Big\r\nContent-Type: multipart/mixed; boundary=\"Q\"\r\n\r\n"
            "--Q\r\nContent-Type: text/plain\r\n\r\n" +
            body + "--Q\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n" +
            "Content-Transfer-Encoding: base64\r\n\r\n" + body + "--Q--\r\n";
        QVERIFY(raw.size() > 20'000'000);
        h.frame.LoadMailbox(h.Write({RawMail("Big", raw)}));
        QElapsedTimer timer;
        timer.start();
        h.frame.ShowEmail(0);
        QCoreApplication::processEvents();
        const qint64 ms = timer.elapsed();
        qInfo("ShowEmail of a %zu-byte message: %lld ms", raw.size(), ms);
        QCOMPARE(h.frame.Viewer()->MimePage()->Edit()->blockCount(),
                 qsizetype(std::count(raw.begin(), raw.end(), '\n') + 1));
        QVERIFY(TextPage(h.frame).startsWith(QString::fromStdString(line)));
        QVERIFY2(ms < 20'000, "showing a 20 MB message took far too long");
    }
};

QTEST_MAIN(EmailViewerTest)
#include "email_viewer_test.moc"
