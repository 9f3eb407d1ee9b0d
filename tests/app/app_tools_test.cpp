// The Tools menu and Save Attachments as the main window runs them: each command's
// message boxes and texts in order, the progress it opens, the Code Pages dialog, the list
// and status pane after deleting duplicates, and the folder browser of Save Attachments.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/dlg_code_pages.h"
#include "app/my_quick_list.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"

namespace {

dbxw::Message Mail(std::string subject, std::optional<std::string> messageId = std::nullopt,
                   std::optional<std::string> inReplyTo = std::nullopt,
                   std::string text = "Subject: x\r\n\r\nbody\r\n") {
    dbxw::Message m;
    m.subject = std::move(subject);
    m.messageId = std::move(messageId);
    m.inReplyTo = std::move(inReplyTo);
    m.text = std::move(text);
    return m;
}

std::string WithCharsets(const char* first, const char* second) {
    std::string text =
        "Subject: c\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain; charset=";
    text += first;
    text += "\r\n\r\nplain\r\n--b\r\nContent-Type: text/html; charset=";
    text += second;
    text += "\r\n\r\n<p>html</p>\r\n--b--\r\n";
    return text;
}

std::string WithAttachment(const std::string& name) {
    return "Subject: files\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
           "--m\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
           "--m\r\nContent-Type: application/pdf; name=\"" +
           name + "\"\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--m--\r\n";
}

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

struct SeenDialog {
    bool shown = false;
    QString caption;
    QString intro;
    QStringList headers;
    std::vector<int> widths;
    std::vector<std::pair<QString, QString>> rows;
};

// Reads whatever Code Pages dialog comes up next and closes it with OK.
void ReadNextCodePagesDialog(SeenDialog* seen) {
    QTimer::singleShot(0, [seen] {
        auto* dialog = qobject_cast<CDlgCodePages*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        seen->shown = true;
        seen->caption = dialog->windowTitle();
        seen->intro = dialog->Intro()->text();
        QTreeWidget* list = dialog->List();
        for (int c = 0; c < list->columnCount(); ++c) {
            seen->headers << list->headerItem()->text(c);
            seen->widths.push_back(list->columnWidth(c));
        }
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            seen->rows.emplace_back(list->topLevelItem(r)->text(0), list->topLevelItem(r)->text(1));
        }
        dialog->OkButton()->click();
    });
}

}  // namespace

class AppToolsTest : public QObject {
    Q_OBJECT

private slots:
    void CountThreadsReportsTheThreads() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("A", "<a@x>"), Mail("B", "<b@x>", "<a@x>"),
                                     Mail("C", "<c@x>", "<b@x>"), Mail("D", "<d@x>")}));
        h.frame.RunCommand(kIdCountThreads);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(Q(h.ui.messages[0].text), QStringLiteral("2 threads found.\n"));
        QCOMPARE(Q(h.ui.messages[0].caption), QStringLiteral("Korvane Quillbox"));
        QCOMPARE(h.ui.messages[0].icon, MsgIcon::None);
        QCOMPARE(h.ui.ProgressCount(), std::size_t(1));
        QCOMPARE(Q(h.ui.LastProgress().creationTitle), QStringLiteral("Scanning threads..."));
        QVERIFY(h.ui.LastProgress().destroyed);
    }

    void CountThreadsOnAnEmptyListShowsNothing() {
        FrameHarness h;
        h.frame.RunCommand(kIdCountThreads);
        QVERIFY(h.ui.messages.empty());
        QCOMPARE(h.ui.ProgressCount(), std::size_t(0));
    }

    void CountDuplicates() {
        FrameHarness h;
        h.frame.LoadMailbox(
            h.Write({Mail("1", "<dup@x>"), Mail("2", "<DUP@x>"), Mail("3", "<Dup@X>"),
                     Mail("4", "<other@x>"), Mail("5"), Mail("6")}));
        h.frame.RunCommand(kIdCountDuplicates);
        QCOMPARE(h.ui.MessageTexts(),
                 std::vector<std::u16string>{u"2 duplicate messages found.\n"});
        QCOMPARE(Q(h.ui.messages[0].caption), QStringLiteral("Korvane Quillbox"));
        QCOMPARE(h.frame.Mailbox().GetEmails().GetCount(), 6);  // counting changes nothing
    }

    void CountDuplicatesOfOneEntry() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", "<a@x>")}));
        h.frame.RunCommand(kIdCountDuplicates);
        QCOMPARE(h.ui.MessageTexts(), std::vector<std::u16string>{u"No duplicate messages."});
    }

    void DeleteDuplicatesOfOneEntryShowsTheNoteFirst() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", "<a@x>")}));
        h.frame.RunCommand(kIdDeleteDuplicates);
        QCOMPARE(h.ui.MessageTexts(),
                 (std::vector<std::u16string>{
                     u"Note : This tool will only delete duplicate messages\nin memory, and will "
                     u"not affect your emails file.",
                     u"No duplicate messages."}));
    }

    void DeleteDuplicatesRebuildsSortsAndCounts() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("Delta", "<dup@x>"), Mail("Charlie", "<DUP@x>"),
                                     Mail("Bravo", "<other@x>"), Mail("Echo", "<dup@X>"),
                                     Mail("Alpha", "<last@x>")}));
        h.frame.OnSortColumn(ColSubject);
        h.frame.RunCommand(kIdDeleteDuplicates);
        const std::vector<std::u16string> texts = h.ui.MessageTexts();
        QCOMPARE(texts.size(), std::size_t(2));
        QVERIFY(texts[0].starts_with(u"Note : This tool"));
        QCOMPARE(Q(texts[1]), QStringLiteral("2 duplicate messages found and deleted.\n"));
        for (const RecordedMessageBox& box : h.ui.messages) {
            QCOMPARE(Q(box.caption), QStringLiteral("Korvane Quillbox"));
            QCOMPARE(box.icon, MsgIcon::None);
        }
        CEmailArray& emails = h.frame.Mailbox().GetEmails();
        QCOMPARE(emails.GetCount(), 3);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 3);
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCount)->text(),
                 QStringLiteral("3 emails"));
        // Re-sorted by the chosen column: Alpha, Bravo, then whichever copy survived.
        QCOMPARE(Q(GetEmailCellText(*emails.Get(0), ColSubject, 1252)), QStringLiteral("Alpha"));
        QCOMPARE(Q(GetEmailCellText(*emails.Get(1), ColSubject, 1252)), QStringLiteral("Bravo"));
        const QString third = Q(GetEmailCellText(*emails.Get(2), ColSubject, 1252));
        QVERIFY(third == QStringLiteral("Charlie") || third == QStringLiteral("Delta") ||
                third == QStringLiteral("Echo"));
    }

    void DeleteWithoutDuplicatesStillRefreshes() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("B", "<1@x>"), Mail("A", "<2@x>")}));
        h.frame.StatusPaneLabel(CMainFrame::PaneCount)->setText(QStringLiteral("stale"));
        h.frame.RunCommand(kIdDeleteDuplicates);
        QCOMPARE(Q(h.ui.MessageTexts().back()),
                 QStringLiteral("0 duplicate messages found and deleted.\n"));
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCount)->text(),
                 QStringLiteral("2 emails"));
    }

    void DetectEncodingShowsTheCodePages() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({
            Mail("1", {}, {}, WithCharsets("iso-8859-1", "UTF-8")),
            Mail("2", {}, {}, WithCharsets("utf-8", "x-nowhere")),
            Mail("3", {}, {}, "Subject: none\r\n\r\nno charset at all\r\n"),
        }));
        SeenDialog seen;
        ReadNextCodePagesDialog(&seen);
        h.frame.RunCommand(kIdDetectEncoding);
        QVERIFY(seen.shown);
        QCOMPARE(seen.caption, QStringLiteral("Code Pages"));
        QCOMPARE(seen.intro, QStringLiteral("The following encoding code pages have been "
                                            "detected into your messages :"));
        QCOMPARE(seen.headers,
                 (QStringList{QStringLiteral("Code Page"), QStringLiteral("Description")}));
        QCOMPARE(seen.widths, (std::vector<int>{120, 200}));
        using Row = std::pair<QString, QString>;
        QCOMPARE(seen.rows, (std::vector<Row>{
                                {QStringLiteral("iso-8859-1"),
                                 QStringLiteral("Western European/American (Latin 1-ISO)")},
                                {QStringLiteral("UTF-8"), QStringLiteral("Unicode (UTF-8)")},
                                {QStringLiteral("x-nowhere"), QString()},
                            }));
        QVERIFY(h.ui.messages.empty());
        QCOMPARE(Q(h.ui.LastProgress().creationTitle), QStringLiteral("Scanning emails..."));
        QVERIFY(h.ui.LastProgress().destroyed);
    }

    void CancelledDetectEncodingShowsNothing() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", {}, {}, WithCharsets("utf-8", "utf-8")),
                                     Mail("2", {}, {}, WithCharsets("koi8-r", "koi8-r"))}));
        h.ui.SetCancelAfterPumps(1);
        SeenDialog seen;
        ReadNextCodePagesDialog(&seen);
        h.frame.RunCommand(kIdDetectEncoding);
        QTest::qWait(20);  // let the reader look: no dialog must be up
        QVERIFY(!seen.shown);
        QVERIFY(h.ui.messages.empty());
    }

    void CodePagesDialogOfNothingIsEmpty() {
        CDlgCodePages dialog;
        QVERIFY(dialog.OnInitDialog());
        QCOMPARE(dialog.List()->topLevelItemCount(), 0);
        QCOMPARE(dialog.List()->columnCount(), 2);
        QCOMPARE(dialog.OkButton()->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.CancelButton()->text(), QStringLiteral("Cancel"));
    }

    void SaveAttachmentsNeedsASelection() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", {}, {}, WithAttachment("report.pdf"))}));
        h.frame.RunCommand(kIdSaveAttachments);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(Q(h.ui.messages[0].text), QStringLiteral("Please select one or more message..."));
        QCOMPARE(Q(h.ui.messages[0].caption), QStringLiteral("Info"));
        QCOMPARE(h.ui.messages[0].icon, MsgIcon::Warning);
        QVERIFY(h.dialogs.requests.empty());
    }

    void SaveAttachmentsOfTheSelectedRows() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", {}, {}, WithAttachment("one.pdf")),
                                     Mail("2", {}, {}, WithAttachment("two.pdf")),
                                     Mail("3", {}, {}, WithAttachment("three.pdf"))}));
        h.settings.WriteString(u"Config", u"LastFolderOut", u"/earlier/place/");
        const std::filesystem::path out = h.temp.Path("out");
        std::filesystem::create_directory(out);
        h.dialogs.answers.push_back(QString::fromStdString(out.string()));
        CMyQuickList* list = h.frame.EmailList();
        QAbstractItemModel* model = list->model();
        list->selectionModel()->select(QModelIndex(model->index(2, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(QModelIndex(model->index(0, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        h.frame.RunCommand(kIdSaveAttachments);

        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].kind, QStringLiteral("folder"));
        QCOMPARE(h.dialogs.requests[0].title, QStringLiteral("Choose a folder..."));
        QCOMPARE(h.dialogs.requests[0].initial, QStringLiteral("/earlier/place/"));
        QCOMPARE(h.settings.StringValue(u"Config", u"LastFolderOut"),
                 std::optional<std::u16string>((out.u16string() + u"/")));
        QVERIFY(std::filesystem::exists(out / "one.pdf"));
        QVERIFY(std::filesystem::exists(out / "three.pdf"));
        QVERIFY(!std::filesystem::exists(out / "two.pdf"));
        QCOMPARE(h.ui.MessageTexts(), std::vector<std::u16string>{u"2 attached file(s) exported."});
        QCOMPARE(Q(h.ui.messages[0].caption), QStringLiteral("Korvane Quillbox"));
        QCOMPARE(Q(h.ui.LastProgress().creationTitle), QStringLiteral("Export attached files..."));
    }

    void CancelledFolderBrowserDoesNothing() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({Mail("1", {}, {}, WithAttachment("one.pdf"))}));
        h.frame.EmailList()->selectRow(0);
        h.frame.RunCommand(kIdSaveAttachments);  // no answer queued: the user cancels
        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].initial, QString());
        QVERIFY(h.ui.messages.empty());
        QVERIFY(!h.settings.Has(u"Config", u"LastFolderOut"));
        QCOMPARE(h.ui.ProgressCount(), std::size_t(0));
    }
};

QTEST_MAIN(AppToolsTest)
#include "app_tools_test.moc"
