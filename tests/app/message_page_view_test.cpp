// The viewer's Message page: decoded header block, bodies, inline images served from the
// message alone, links that ask first, the attached files' row, and messages too large or
// too intricate to lay out.
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include "app/email_viewer_tabs.h"
#include "app/message_page_view.h"
#include "app/sizing_control_bar.h"
#include "app_test_support.h"

namespace {

QByteArray PngBytes(QColor colour) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::string Base64(const QByteArray& bytes) {
    return bytes.toBase64().toStdString();
}

// Lays the document out and paints it, so that every image it holds is asked for.
void Render(CMessageBrowser* browser) {
    browser->resize(600, 400);
    (void)browser->document()->size();
    (void)browser->grab();
}

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

}  // namespace

class MessagePageViewTest : public QObject {
    Q_OBJECT

private slots:
    void HeaderBlockAndPlainBody() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail(
            "x",
            "From: =?iso-8859-1?Q?Ren=E9?= <r@example.fr>\r\nTo: bob@example.org\r\n"
            "Date: Tue, 3 Feb 2004 10:00:00 +0100\r\nSubject: Pipes\r\n\r\nThe plumber.\r\n")}));
        h.frame.ShowEmail(0);
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        QVERIFY(page->isVisible());
        QCOMPARE(page->HeaderValue(CMessagePageView::FieldFrom)->text(),
                 QStringLiteral("René <r@example.fr>"));
        QCOMPARE(page->HeaderValue(CMessagePageView::FieldSubject)->text(),
                 QStringLiteral("Pipes"));
        QVERIFY(!page->HeaderValue(CMessagePageView::FieldCc)->isVisible());
        QVERIFY(!page->ShowsTextBox());
        QCOMPARE(page->Browser()->toPlainText(), QStringLiteral("The plumber.\n"));
        QCOMPARE(page->Browser()->lineWrapMode(), QTextEdit::WidgetWidth);
        QVERIFY(!page->Browser()->font().fixedPitch());
        QVERIFY(!page->AttachmentRow()->isVisible());
        QVERIFY(!page->Notice()->isVisible());
    }

    void OnlyTheMessagesOwnPartsAreLoaded() {
        ViewerFrameHarness h;
        // A real picture on this machine that a file: or relative reference could reach.
        const QByteArray secret = PngBytes(Qt::red);
        dbxw::WriteWholeFile(h.temp.Path("secret.png"), secret.toStdString());
        const QString fileUrl =
            QUrl::fromLocalFile(QString::fromStdString(h.temp.Path("secret.png").string()))
                .toString();
        const std::string html =
            "<html><head><meta http-equiv=\"refresh\" content=\"0;url=http://127.0.0.1:9/\">"
            "<script>document.write('ran')</script></head>"
            "<body onload=\"document.write('ran')\" background=\"" +
            fileUrl.toStdString() +
            "\"><p>Hello</p><img src=\"http://127.0.0.1:9/pixel.gif\">"
            "<img src=\"" +
            fileUrl.toStdString() +
            "\"><img src=\"secret.png\"><img src=\"cid:logo@x\">"
            "<table><tr><td background=\"secret.png\">cell</td></tr></table></body></html>";
        const std::string raw =
            "Subject: x\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
            "--r\r\nContent-Type: text/html\r\n\r\n" +
            html +
            "\r\n--r\r\nContent-Type: image/png\r\nContent-ID: <logo@x>\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n" +
            Base64(PngBytes(Qt::blue)) + "\r\n--r--\r\n";
        h.frame.LoadMailbox(h.Write({RawMail("x", raw)}));
        h.frame.ShowEmail(0);
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        CMessageBrowser* browser = page->Browser();
        Render(browser);
        QTest::qWait(50);  // a refresh, if anything honoured it, would have moved by now
        // The page asked for its own image only, and got it.
        QCOMPARE(browser->ServedCount(), 1);
        QCOMPARE(int(browser->ResourceRequests().size()), 1);
        QCOMPARE(browser->ResourceRequests()[0], QUrl(QStringLiteral("cid:logo@x")));
        QVERIFY(browser->source().isEmpty());
        QVERIFY(!browser->toPlainText().contains(QStringLiteral("ran")));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("Hello")));
        QVERIFY(page->Notice()->isVisible());

        // Whatever markup reaches the widget, it reads no file and nothing remote.
        browser->setHtml(QStringLiteral("<img src=\"%1\"><img src=\"secret.png\">"
                                        "<img src=\"http://127.0.0.1:9/a.png\">"
                                        "<img src=\"qrc:/quillbox/quillbox.svg\">"
                                        "<img src=\"cid:nothere@x\">")
                             .arg(fileUrl));
        Render(browser);
        QCOMPARE(browser->ServedCount(), 1);
        QCOMPARE(int(browser->ResourceRequests().size()), 6);
        for (const QUrl& url : browser->ResourceRequests()) {
            const QVariant held = browser->document()->resource(QTextDocument::ImageResource, url);
            if (url.scheme() != QStringLiteral("cid") || url.path() != QStringLiteral("logo@x")) {
                QVERIFY2(held.toByteArray().isEmpty(), qPrintable(url.toString()));
            }
        }
        QVERIFY(!browser->document()
                     ->resource(QTextDocument::ImageResource, QUrl(fileUrl))
                     .toByteArray()
                     .contains("PNG"));
    }

    void LinksAskBeforeLeaving() {
        ViewerFrameHarness h;
        CUrlCatcher catcher({QStringLiteral("http")});
        h.frame.LoadMailbox(h.Write({RawMail(
            "x", "Content-Type: text/html\r\n\r\n<a href=\"http://example.com/a\">go</a>")}));
        h.frame.ShowEmail(0);
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        QVERIFY(!page->Browser()->openLinks());
        QVERIFY(!page->Browser()->openExternalLinks());
        const QUrl url(QStringLiteral("http://example.com/a"));
        h.ui.QueueAnswer(MsgAnswer::No);
        emit page->Browser()->anchorClicked(url);
        QVERIFY(catcher.urls.empty());
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(h.ui.messages[0].buttons, MsgButtons::YesNo);
        QVERIFY(Q(h.ui.messages[0].text).contains(QStringLiteral("http://example.com/a")));
        h.ui.QueueAnswer(MsgAnswer::Yes);
        emit page->Browser()->anchorClicked(url);
        QCOMPARE(catcher.urls.size(), std::size_t(1));
        QCOMPARE(catcher.urls[0], url);
        QVERIFY(page->Browser()->source().isEmpty());  // the page itself never moved
    }

    void AttachedFilesRowSavesEachFile() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write({RawMail(
            "x",
            "Subject: files\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
            "--m\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
            "--m\r\nContent-Type: application/pdf; name=\"bill/2004.pdf\"\r\n\r\n%PDF-1\r\n"
            "--m\r\nContent-Type: image/png; name=\"b.png\"\r\n\r\nPNG\r\n--m--\r\n")}));
        h.frame.ShowEmail(0);
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        QVERIFY(page->AttachmentRow()->isVisible());
        auto* first = page->findChild<QLabel*>(QStringLiteral("Attachment0"));
        QVERIFY(first != nullptr);
        QCOMPARE(first->text(), QStringLiteral("bill/2004.pdf (6 bytes)"));
        auto* save = page->findChild<QPushButton*>(QStringLiteral("SaveAttachment0"));
        QVERIFY(save != nullptr);
        QCOMPARE(save->text(), QStringLiteral("Save As..."));
        QVERIFY(page->findChild<QPushButton*>(QStringLiteral("SaveAttachment1")) != nullptr);
        const QString target = QString::fromStdString(h.temp.Path("out.pdf").string());
        h.dialogs.answers.push_back(target);
        save->click();
        QCOMPARE(h.dialogs.requests.back().kind, QStringLiteral("save"));
        QCOMPARE(h.dialogs.requests.back().initial, QStringLiteral("bill_2004.pdf"));
        QCOMPARE(dbxw::ReadWholeFile(h.temp.Path("out.pdf")), std::string("%PDF-1"));
        // A folder that cannot be written says so.
        h.dialogs.answers.push_back(QStringLiteral("/proc/no/such/dir/x.pdf"));
        save->click();
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(h.ui.messages[0].icon, MsgIcon::Error);
    }

    void LargeAndIntricateMessagesAreShownAsText() {
        ViewerFrameHarness h;
        std::string big = "Subject: big\r\n\r\n";
        const std::string line = "All work and no play makes a very large message.\r\n";
        while (big.size() < 20u * 1024 * 1024) {
            big += line;
        }
        std::string table = "Subject: table\r\nContent-Type: text/html\r\n\r\n<table>";
        for (int r = 0; r < 20000; ++r) {
            table += "<tr><td>cell</td><td>" + std::to_string(r) + "</td></tr>";
        }
        table += "</table>";
        h.frame.LoadMailbox(h.Write({RawMail("big", big), RawMail("table", table)}));
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        h.frame.ShowEmail(0);
        QVERIFY(page->ShowsTextBox());
        QVERIFY(page->TextBox()->toPlainText().startsWith(QStringLiteral("All work")));
        // Only the beginning: the other pages hold the whole text.
        QVERIFY(page->TextBox()->toPlainText().size() <= CMessagePageView::kMaxBoxText);
        QVERIFY(page->Notice()->isVisible());
        QVERIFY(page->Browser()->toPlainText().isEmpty());
        h.frame.ShowEmail(1);
        QVERIFY(page->ShowsTextBox());
        QVERIFY(page->Notice()->isVisible());
        QVERIFY(page->TextBox()->toPlainText().startsWith(QStringLiteral("cell\t0\ncell\t1")));
        QVERIFY(page->Browser()->document()->isEmpty());
    }
};

QTEST_MAIN(MessagePageViewTest)
#include "message_page_view_test.moc"
