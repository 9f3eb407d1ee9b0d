// The mailbox code page in the main window: the status pane that names it, the View
// submenu that overrides it, and the list and viewer drawn again in the chosen one.
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include "app/dlg_email_view.h"
#include "app/email_viewer_tabs.h"
#include "app/message_page_view.h"
#include "app/my_quick_list.h"
#include "app/quick_filter_bar.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"
#include "mime/message_page.h"

namespace {

// "Привет" as a Russian Windows stored it, and the header it came with.
dbxw::Message Russian() {
    dbxw::Message m;
    m.subject = "\xCF\xF0\xE8\xE2\xE5\xF2";
    m.senderName = "\xC8\xE2\xE0\xED";  // "Иван"
    m.text =
        "From: =?utf-8?B?0JjQstCw0L0=?= <ivan@example.ru>\r\n"
        "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n"
        "Content-Type: text/plain; charset=windows-1251\r\n\r\n"
        "\xC4\xEE \xE2\xF1\xF2\xF0\xE5\xF7\xE8\r\n";  // "До встречи"
    return m;
}

QString Cell(CMainFrame& frame, int row, int column) {
    QAbstractItemModel* model = frame.EmailList()->model();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

QAction* CodePageAction(CMainFrame& frame, std::uint32_t codePage) {
    for (QAction* action : frame.CodePageMenu()->actions()) {
        if (!action->isSeparator() && action->data().toUInt() == codePage) {
            return action;
        }
    }
    return nullptr;
}

QString TextPage(CMainFrame& frame) {
    return frame.Viewer()->TextPage()->Edit()->toPlainText().trimmed();
}

}  // namespace

class CodePageMenuTest : public QObject {
    Q_OBJECT
private slots:
    void DetectedCodePageIsNamedAndUsed() {
        ViewerFrameHarness h;
        QVERIFY(h.frame.StatusPaneLabel(CMainFrame::PaneCodePage)->text().isEmpty());
        h.frame.LoadMailbox(h.Write({Russian(), Russian(), Russian(), Russian()}));
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCodePage)->text(),
                 QStringLiteral("Windows-1251"));
        QCOMPARE(Cell(h.frame, 0, ColSubject),
                 QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));
        QCOMPARE(Cell(h.frame, 0, ColFrom), QStringLiteral("\u0418\u0432\u0430\u043d"));
        h.frame.ShowEmail(0);
        QCOMPARE(TextPage(h.frame),
                 QStringLiteral("\u0414\u043e \u0432\u0441\u0442\u0440\u0435\u0447\u0438"));

        // The menu names the detected code page and offers every ANSI one.
        emit h.frame.CodePageMenu()->aboutToShow();
        QAction* automatic = CodePageAction(h.frame, 0);
        QVERIFY(automatic != nullptr);
        QCOMPARE(automatic->text(), QStringLiteral("Automatic (Cyrillic, Windows-1251)"));
        QVERIFY(automatic->isChecked());
        for (std::uint32_t cp : {874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u,
                                 1255u, 1256u, 1257u, 1258u}) {
            QVERIFY2(CodePageAction(h.frame, cp) != nullptr, QByteArray::number(cp).constData());
        }
        QCOMPARE(CodePageAction(h.frame, 1253)->text(), QStringLiteral("Greek (Windows-1253)"));
    }

    void ChoosingACodePageRedrawsAtOnceAndIsNotKept() {
        ViewerFrameHarness h;
        const std::u16string path = h.Write({Russian(), Russian(), Russian(), Russian()});
        h.frame.LoadMailbox(path);
        h.frame.ShowEmail(0);

        CodePageAction(h.frame, 1252)->trigger();
        QCOMPARE(h.frame.Mailbox().GetCodePage(), 1252u);
        QCOMPARE(Cell(h.frame, 0, ColSubject),
                 QStringLiteral("\u00cf\u00f0\u00e8\u00e2\u00e5\u00f2"));
        QCOMPARE(TextPage(h.frame),
                 QStringLiteral("\u00c4\u00ee \u00e2\u00f1\u00f2\u00f0\u00e5\u00f7\u00e8"));
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCodePage)->text(),
                 QStringLiteral("Windows-1252"));
        emit h.frame.CodePageMenu()->aboutToShow();
        QVERIFY(CodePageAction(h.frame, 1252)->isChecked());
        QVERIFY(!CodePageAction(h.frame, 0)->isChecked());

        CodePageAction(h.frame, 0)->trigger();
        QCOMPARE(Cell(h.frame, 0, ColSubject),
                 QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCodePage)->text(),
                 QStringLiteral("Windows-1251"));

        // Opening a file detects again.
        CodePageAction(h.frame, 1253)->trigger();
        h.frame.LoadMailbox(path);
        QCOMPARE(h.frame.Mailbox().GetCodePage(), 1251u);
        QCOMPARE(Cell(h.frame, 0, ColSubject),
                 QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442"));
    }

    // The quick filter folds the names again, and the Message page reads undeclared bytes
    // again, in the chosen code page; the filter text stays.
    void FilterAndMessagePageFollowTheCodePage() {
        ViewerFrameHarness h;
        dbxw::Message undeclared = Russian();
        undeclared.text = "Subject: \xCF\xF0\xE8\xE2\xE5\xF2\r\n\r\n\xC4\xEE\r\n";
        h.frame.LoadMailbox(h.Write({Russian(), Russian(), Russian(), undeclared}));
        QCOMPARE(h.frame.Mailbox().GetCodePage(), 1251u);
        h.frame.FilterBar()->Field()->setText(QStringLiteral("\u0418\u0412\u0410\u041d"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 4);
        h.frame.EmailList()->selectRow(3);
        CMessagePageView* page = h.frame.Viewer()->MessagePage();
        QCOMPARE(page->Page().m_Subject, std::u16string(u"\u041f\u0440\u0438\u0432\u0435\u0442"));
        QCOMPARE(page->Page().m_Text, std::u16string(u"\u0414\u043e\n"));

        CodePageAction(h.frame, 1252)->trigger();
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCount)->text(),
                 QStringLiteral("0 of 4 emails"));
        QCOMPARE(h.frame.FilterBar()->Text(), QStringLiteral("\u0418\u0412\u0410\u041d"));
        h.frame.FilterBar()->Field()->clear();
        h.frame.EmailList()->selectRow(3);
        QCOMPARE(page->Page().m_Text, std::u16string(u"\u00c4\u00ee\n"));

        CodePageAction(h.frame, 0)->trigger();
        QCOMPARE(page->Page().m_Text, std::u16string(u"\u0414\u043e\n"));
        h.frame.FilterBar()->Field()->setText(
            QStringLiteral("ivan \u043f\u0440\u0438\u0432\u0435\u0442"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        h.frame.FilterBar()->Field()->setText(
            QStringLiteral("\u0438\u0432\u0430\u043d \u043f\u0440\u0438\u0432\u0435\u0442"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 4);
    }
};

QTEST_MAIN(CodePageMenuTest)
#include "code_page_menu_test.moc"
