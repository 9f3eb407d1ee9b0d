// The quick filter over the email list, every command on a filtered list, and the list and
// viewer staying together: keys that move the selection, the viewer's way back, and a
// selection that survives a filter being cleared.
#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <filesystem>

#include "app/email_viewer_tabs.h"
#include "app/message_page_view.h"
#include "app/my_quick_list.h"
#include "app/quick_filter_bar.h"
#include "app/sizing_control_bar.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"

namespace {

dbxw::Message Mail(std::string subject, std::string sender, std::string body,
                   bool attachment = false) {
    dbxw::Message m;
    m.subject = subject;
    m.senderName = std::move(sender);
    m.flags = attachment ? dbxw::kFlagAttachment : 0;
    m.messageId = "<" + subject + "@example.com>";
    std::string text = "Subject: " + subject + "\r\n";
    if (attachment) {
        text +=
            "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\nContent-Type: "
            "text/plain\r\n\r\n" +
            body + "\r\n--m\r\nContent-Type: application/pdf; name=\"" + subject +
            ".pdf\"\r\n\r\nPDF\r\n--m--\r\n";
    } else {
        text += "\r\n" + body + "\r\n";
    }
    m.text = text;
    return m;
}

// Rows: 0 Pipe leak (Joël Plumber, file), 1 Lunch (Ann), 2 Invoice (Plumber Ltd, file),
// 3 Réunion (René), 4 Привет (cp1252 cannot hold it: a plain word in the body instead).
std::vector<dbxw::Message> Messages() {
    return {Mail("Pipe leak", "Jo\xEBl Plumber", "water everywhere", true),
            Mail("Lunch", "Ann", "noon at the plumber's cafe"),
            Mail("Invoice", "Plumber Ltd", "please pay", true),
            Mail("R\xE9union", "Ren\xE9", "jeudi"), Mail("Hello", "Ivan", "Privet")};
}

QString Cell(CMainFrame& frame, int row, int column) {
    return frame.EmailList()->model()->index(row, column).data().toString();
}

QStringList Subjects(CMainFrame& frame) {
    QStringList subjects;
    for (int row = 0; row < frame.EmailList()->GetItemCount(); ++row) {
        subjects << Cell(frame, row, ColSubject);
    }
    return subjects;
}

QString CountPane(CMainFrame& frame) {
    return frame.StatusPaneLabel(CMainFrame::PaneCount)->text();
}

void Select(CMainFrame& frame, std::initializer_list<int> rows) {
    CMyQuickList* list = frame.EmailList();
    list->selectionModel()->clearSelection();
    for (const int row : rows) {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

}  // namespace

class QuickFilterTest : public QObject {
    Q_OBJECT

private slots:
    void TypingNarrowsTheListAndEscapeRestoresIt() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write(Messages()));
        CQuickFilterBar* bar = h.frame.FilterBar();
        QVERIFY(bar != nullptr && bar->isVisible());
        // The bar sits above the list.
        QVERIFY(bar->geometry().bottom() <= h.frame.EmailList()->geometry().top());
        h.frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&h.frame));
        QTest::keyClick(h.frame.EmailList(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->Field()->hasFocus());

        QTest::keyClicks(bar->Field(), QStringLiteral("PLUMB"));
        QCOMPARE(Subjects(h.frame), QStringList({"Pipe leak", "Invoice"}));
        QCOMPARE(CountPane(h.frame), QStringLiteral("2 of 5 emails"));
        QVERIFY(h.frame.IsFiltered());
        bar->Field()->setText(QStringLiteral("joel"));  // accents ignored
        QCOMPARE(Subjects(h.frame), QStringList({"Pipe leak"}));
        bar->Field()->setText(QStringLiteral("REUNION"));
        QCOMPARE(Subjects(h.frame), QStringList({"Réunion"}));
        bar->Field()->setText(QStringLiteral("nothing like it"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QCOMPARE(CountPane(h.frame), QStringLiteral("0 of 5 emails"));
        QTest::keyClick(bar->Field(), Qt::Key_Escape);
        QCOMPARE(bar->Text(), QString());
        QVERIFY(!h.frame.IsFiltered());
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(CountPane(h.frame), QStringLiteral("5 emails"));
    }

    void SelectionAndViewerFollowTheFilter() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write(Messages()));
        CMyQuickList* list = h.frame.EmailList();
        Select(h.frame, {2, 3});
        list->selectionModel()->setCurrentIndex(list->model()->index(2, 0),
                                                QItemSelectionModel::NoUpdate);
        QCOMPARE(h.frame.ShownRow(), 2);
        h.frame.FilterBar()->Field()->setText(QStringLiteral("plumber"));
        // Invoice is now row 1 of the filtered list, still selected and shown.
        QCOMPARE(list->GetSelectionMark(), 1);
        QVERIFY(list->IsRowSelected(1));
        QVERIFY(!list->IsRowSelected(0));
        QCOMPARE(h.frame.ShownRow(), 1);
        QCOMPARE(h.frame.Viewer()->MessagePage()->Page().m_Subject, u"Invoice");
        // Clicking a filtered row shows its own message.
        h.frame.ShowEmail(0);
        QCOMPARE(h.frame.Viewer()->MessagePage()->Page().m_Subject, u"Pipe leak");
        // Clearing brings back every row and the earlier selection.
        list->selectionModel()->setCurrentIndex(list->model()->index(1, 0),
                                                QItemSelectionModel::NoUpdate);
        h.frame.FilterBar()->Field()->clear();
        QCOMPARE(list->GetItemCount(), 5);
        QVERIFY(list->IsRowSelected(2));
        QVERIFY(list->IsRowSelected(3));
        QCOMPARE(list->GetSelectionMark(), 2);
        QCOMPARE(h.frame.ShownRow(), 2);
        // A shown message that the filter hides leaves the viewer.
        h.frame.FilterBar()->Field()->setText(QStringLiteral("lunch"));
        QCOMPARE(h.frame.ShownRow(), -1);
        QVERIFY(h.frame.Viewer()->MessagePage()->Page().m_Subject.empty());
    }

    void EveryCommandWorksOnTheRowsShown() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(Messages()));
        h.frame.FilterBar()->Field()->setText(QStringLiteral("plumber"));
        QCOMPARE(Subjects(h.frame), QStringList({"Pipe leak", "Invoice"}));
        CMyQuickList* list = h.frame.EmailList();

        h.frame.RunCommand(kIdSelectAll);
        QCOMPARE(h.frame.SelectedEntryRows(), (std::vector<std::int32_t>{0, 2}));
        h.frame.RunCommand(kIdInvertSelection);
        QVERIFY(h.frame.SelectedEntryRows().empty());
        h.frame.RunCommand(kIdSelectAttachments);
        QCOMPARE(h.frame.SelectedEntryRows(), (std::vector<std::int32_t>{0, 2}));
        h.frame.RunCommand(kIdSelectHighPriority);
        QVERIFY(h.frame.SelectedEntryRows().empty());

        // The viewer asks for list rows; the frame maps them to their messages.
        h.frame.shown.clear();
        list->setCurrentIndex(list->model()->index(1, 0));
        QCOMPARE(h.frame.shown.back(), 1);
        QCOMPARE(h.frame.EntryRow(1), 2);
        QCOMPARE(h.frame.EntryRow(2), -1);
        QCOMPARE(h.frame.ListRowOfEntry(2), 1);
        QCOMPARE(h.frame.ListRowOfEntry(1), -1);

        // Save Attachments takes the selected rows that are shown.
        Select(h.frame, {1});
        const std::filesystem::path out = h.temp.Path("out");
        std::filesystem::create_directory(out);
        h.dialogs.answers.push_back(QString::fromStdString(out.string()));
        h.frame.RunCommand(kIdSaveAttachments);
        QVERIFY(std::filesystem::exists(out / "Invoice.pdf"));
        QVERIFY(!std::filesystem::exists(out / "Pipe leak.pdf"));

        // A sort keeps the filter and the selection on their messages.
        h.frame.OnSortColumn(ColSubject);
        QCOMPARE(Subjects(h.frame), QStringList({"Invoice", "Pipe leak"}));
        QCOMPARE(h.frame.SelectedEntryRows().size(), std::size_t(1));
        QCOMPARE(Cell(h.frame, 0, ColSubject), QStringLiteral("Invoice"));
        QVERIFY(list->IsRowSelected(0));
        QCOMPARE(CountPane(h.frame), QStringLiteral("2 of 5 emails"));
        // The export wizard's "selected emails" are the same mailbox rows.
        const int invoiceRow = h.frame.SelectedEntryRows()[0];
        QCOMPARE(QString::fromStdU16String(
                     GetEmailCellText(*h.frame.Mailbox().GetEmails().Get(invoiceRow), ColSubject,
                                      h.frame.Mailbox().GetCodePage())),
                 QStringLiteral("Invoice"));
        // Duplicate deletion keeps the filter and counts both numbers.
        h.frame.RunCommand(kIdDeleteDuplicates);
        QCOMPARE(Subjects(h.frame), QStringList({"Invoice", "Pipe leak"}));
        QCOMPARE(CountPane(h.frame), QStringLiteral("2 of 5 emails"));
    }

    void BodySearchFromTheDropDown() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write(Messages()));
        CQuickFilterBar* bar = h.frame.FilterBar();
        bar->Field()->setText(QStringLiteral("plumber"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 2);
        // Ticking the option searches the bodies at once, with the progress window.
        bar->SearchBodiesAction()->setChecked(true);
        QCOMPARE(Subjects(h.frame), QStringList({"Pipe leak", "Lunch", "Invoice"}));
        QCOMPARE(h.ui.LastProgress().creationTitle, u"Searching emails...");
        bar->Field()->setText(QStringLiteral("privet"));  // typing alone filters headers
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QTest::keyClick(bar->Field(), Qt::Key_Return);
        QCOMPARE(Subjects(h.frame), QStringList({"Hello"}));
        // A cancelled search leaves the list as it was.
        h.ui.SetCancelAfterPumps(1);
        bar->Field()->setText(QStringLiteral("jeudi"));
        QTest::keyClick(bar->Field(), Qt::Key_Return);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        // Opening another file drops the filter.
        h.ui.SetCancelAfterPumps(0);
        h.frame.LoadMailbox(h.Write(Messages(), "other.dbx"));
        QCOMPARE(bar->Text(), QString());
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
    }

    void HomeEndAndTheViewersWayBack() {
        ViewerFrameHarness h;
        h.frame.LoadMailbox(h.Write(Messages()));
        CMyQuickList* list = h.frame.EmailList();
        list->setFocus();
        list->setCurrentIndex(list->model()->index(2, 3));
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->GetSelectionMark(), 4);
        QCOMPARE(h.frame.ShownRow(), 4);
        QVERIFY(list->IsRowSelected(4));
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(list->GetSelectionMark(), 0);
        QCOMPARE(h.frame.ShownRow(), 0);
        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(h.frame.ShownRow(), 4);
        QTest::keyClick(list, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(h.frame.ShownRow(), 0);
        QCOMPARE(list->selectionModel()->selectedRows().size(), qsizetype(1));

        CMySizingControlBarG* bar = h.frame.ViewerBar();
        QAction* menuItem = h.frame.CommandAction(kIdViewEmailViewer);
        QVERIFY(menuItem->isCheckable());
        QVERIFY(menuItem->isChecked());
        bar->close();  // its close box
        QVERIFY(!bar->isVisible());
        h.frame.UpdateViewChecks();
        QVERIFY(!menuItem->isChecked());
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(bar->isVisible());
        bar->close();
        emit list->doubleClicked(list->model()->index(1, ColSubject));
        QVERIFY(bar->isVisible());
        h.frame.RunCommand(kIdViewEmailViewer);
        QVERIFY(!bar->isVisible());
        QVERIFY(!menuItem->isChecked());
        h.frame.RunCommand(kIdViewEmailViewer);
        QVERIFY(bar->isVisible());
        QVERIFY(menuItem->isChecked());
    }
};

QTEST_MAIN(QuickFilterTest)
#include "quick_filter_test.moc"
