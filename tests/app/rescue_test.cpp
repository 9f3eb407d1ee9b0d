// The rescue in the main window: Tools > Recover Messages appends the recovered rows with
// their kind and icon, the status pane counts them, a damaged index is offered a scan on
// Open, and damage the walk skipped shows in the status pane.
#include <QLabel>
#include <QTest>

#include "analysis/mailbox_rescue.h"
#include "app/my_quick_list.h"
#include "app/quick_filter_bar.h"
#include "app/quick_list_cell.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"

namespace {

std::vector<dbxw::Message> Notes(int n) {
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < n; ++i) {
        dbxw::Message m;
        m.subject = "note " + std::to_string(i);
        m.text = "Subject: note " + std::to_string(i) + "\r\nFrom: Ann <ann@example.com>\r\n\r\n" +
                 std::string(200 + 300 * std::size_t(i), 'x') + "\r\n";
        messages.push_back(m);
    }
    return messages;
}

// Five notes, 1 and 3 deleted; the record of 3 wiped, so only its chain tells of it.
dbxw::Image TwoDeletedNotes() {
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(Notes(5));
    b.DeleteMessage(1);
    b.DeleteMessage(3);
    dbxw::Image image = b.Build();
    image.Wipe(image.RecordOffset(3), 12);
    return image;
}

QString CountPane(FrameHarness& h) {
    return h.frame.StatusPaneLabel(CMainFrame::PaneCount)->text();
}

}  // namespace

class RescueTest : public QObject {
    Q_OBJECT

private slots:
    void RecoverMessagesAppendsTheRowsWithTheirKind() {
        FrameHarness h;
        const dbxw::Image image = TwoDeletedNotes();
        h.frame.LoadMailbox(h.WriteImage(image));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 3);
        QCOMPARE(CountPane(h), QStringLiteral("3 emails"));

        h.frame.RunCommand(kIdRecoverMessages);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(CountPane(h), QStringLiteral("5 emails, 2 recovered"));
        QCOMPARE(h.ui.ProgressCount(), std::size_t(1));
        QCOMPARE(QString::fromStdU16String(h.ui.LastProgress().creationTitle),
                 QStringLiteral("Scanning for messages..."));
        QVERIFY(h.ui.messages.empty());

        auto cell = [&h](int row, int column) {
            CQuickListCell c;
            c.m_nRow = row;
            c.m_nColumn = column;
            h.frame.GetCellData(*h.frame.EmailList(), c);
            return c;
        };
        QCOMPARE(cell(0, ColId).m_nIconIndex, -1);
        const CQuickListCell kept = cell(3, ColId);
        QCOMPARE(kept.m_strText, QStringLiteral("2 deleted"));
        QCOMPARE(kept.m_nIconIndex, int(IconRecoveredDeleted));
        const CQuickListCell lost = cell(4, ColId);
        QCOMPARE(lost.m_strText, QStringLiteral("deleted"));
        QCOMPARE(cell(4, ColSubject).m_strText, QStringLiteral("note 3"));
        QCOMPARE(h.frame.SmallImages().size(), qsizetype(IconRecoveredUnlisted + 1));

        // A second run finds nothing new, and says so.
        h.frame.RunCommand(kIdRecoverMessages);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdU16String(h.ui.messages[0].text),
                 QString::fromStdU16String(kRescueNothingFound));
    }

    // With a filter on, the scan's rows that match show up, the rows keep standing for their
    // messages, and clearing the filter gives the whole list.
    void RecoverMessagesUnderAFilter() {
        FrameHarness h;
        const dbxw::Image image = TwoDeletedNotes();
        h.frame.LoadMailbox(h.WriteImage(image));
        h.frame.FilterBar()->Field()->setText(QStringLiteral("NOTE 3"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        h.frame.FilterBar()->Field()->setText(QStringLiteral("note"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 3);

        h.frame.RunCommand(kIdRecoverMessages);
        QVERIFY(h.frame.IsFiltered());
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(CountPane(h), QStringLiteral("5 of 5 emails"));
        h.frame.FilterBar()->Field()->setText(QStringLiteral("note 3"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 1);
        CQuickListCell subject;
        subject.m_nRow = 0;
        subject.m_nColumn = ColSubject;
        h.frame.GetCellData(*h.frame.EmailList(), subject);
        QCOMPARE(subject.m_strText, QStringLiteral("note 3"));
        QCOMPARE(h.frame.EntryRow(0), 4);

        h.frame.FilterBar()->Field()->clear();
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(CountPane(h), QStringLiteral("5 emails, 2 recovered"));
    }

    void ADamagedIndexIsOfferedAScan() {
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(Notes(4));
        b.header.rootOffset = 0x3000;
        const dbxw::Image image = b.Build();
        for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
            FrameHarness h;
            h.ui.QueueAnswer(answer);
            const std::u16string path = h.WriteImage(image);
            h.frame.LoadMailbox(path);
            QCOMPARE(h.ui.messages.size(), std::size_t(2));
            QCOMPARE(h.ui.messages[0].caption, std::u16string(u"Error"));
            QCOMPARE(QString::fromStdU16String(h.ui.messages[1].text),
                     QStringLiteral(
                         "The index of this file is damaged. Scan the whole file for messages?"));
            QCOMPARE(h.ui.messages[1].buttons, MsgButtons::YesNo);
            if (answer == MsgAnswer::No) {
                QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
                QCOMPARE(h.frame.windowTitle(), QStringLiteral("Korvane Quillbox"));
                QCOMPARE(CountPane(h), QStringLiteral("0 emails"));
                QVERIFY(!h.frame.Mailbox().IsOpen());
            } else {
                QCOMPARE(h.frame.EmailList()->GetItemCount(), 4);
                QCOMPARE(h.frame.CurrentPath(), path);
                QVERIFY(h.frame.windowTitle().endsWith(QString::fromStdU16String(path)));
                QCOMPARE(CountPane(h), QStringLiteral("4 emails, 4 recovered"));
            }
        }
    }

    void SkippedDamageShowsInTheStatusPane() {
        FrameHarness h;
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(Notes(6));
        b.GetNode(b.GetNode(b.root).firstChild).selfOffset = 8;
        h.frame.LoadMailbox(h.WriteImage(b.Build()));
        QVERIFY(h.ui.messages.empty());  // the index still opened: nothing is asked
        const int listed = h.frame.EmailList()->GetItemCount();
        QVERIFY(listed < 6);
        QCOMPARE(CountPane(h),
                 QStringLiteral("%1 emails, damaged: Tools > Recover Messages").arg(listed));
        h.frame.RunCommand(kIdRecoverMessages);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 6);
        QCOMPARE(CountPane(h), QStringLiteral("6 emails, %1 recovered").arg(6 - listed));
    }
};

QTEST_MAIN(RescueTest)
#include "rescue_test.moc"
