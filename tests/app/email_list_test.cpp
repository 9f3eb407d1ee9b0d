// Loading a mailbox into the main window, the email list's cells and icons, the error
// boxes, header-click sorting, the selection commands and the viewer notifications.
#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include "app/my_quick_list.h"
#include "app/quick_list_delegate.h"
#include "app_test_support.h"
#include "mailbox/email_columns.h"

namespace {

dbxw::Message Msg(std::uint32_t id, std::string subject, std::uint32_t flags = 0,
                  std::optional<std::uint32_t> priority = std::nullopt) {
    dbxw::Message m;
    m.id = id;
    m.subject = std::move(subject);
    m.flags = flags;
    m.priority = priority;
    return m;
}

QString Cell(CMainFrame& frame, int row, int column) {
    CQuickList& list = *frame.EmailList();
    return list.model()->data(list.model()->index(row, column), Qt::DisplayRole).toString();
}

int Icon(CMainFrame& frame, int row, int column) {
    return frame.EmailList()->GetCellData(row, column).m_nIconIndex;
}

QStringList Column(CMainFrame& frame, int column) {
    QStringList texts;
    for (int row = 0; row < frame.EmailList()->GetItemCount(); ++row) {
        texts.push_back(Cell(frame, row, column));
    }
    return texts;
}

std::vector<int> SelectedRows(CMainFrame& frame) {
    std::vector<int> rows;
    for (int row = 0; row < frame.EmailList()->GetItemCount(); ++row) {
        if (frame.EmailList()->IsRowSelected(row)) {
            rows.push_back(row);
        }
    }
    return rows;
}

void ClickHeader(CMainFrame& frame, int column) {
    QHeaderView* header = frame.EmailList()->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

// Five messages: attachments on rows 1 and 3, priority 1 on row 2, 5 on row 4, 3 on row 0.
std::vector<dbxw::Message> MixedMessages() {
    return {Msg(30, "charlie", 0, 3), Msg(10, "alpha", dbxw::kFlagAttachment),
            Msg(50, "echo", dbxw::kFlag0020, 1), Msg(20, "bravo & co", dbxw::kFlagAttachment),
            Msg(40, "delta", 0, 5)};
}

}  // namespace

class EmailListTest : public QObject {
    Q_OBJECT

private slots:
    void LoadShowsTitleCountAndCells() {
        FrameHarness h;
        std::vector<dbxw::Message> messages = MixedMessages();
        messages[0].senderName = "Zo\xeb Fran\xe7ois";  // Windows-1252 bytes
        messages[0].recipientName = "Bob";
        messages[0].lines = 42;
        messages[0].sent = dbxw::FileTimeFromUtc(2004, 3, 7, 9, 5);
        messages[0].received = dbxw::FileTimeFromUtc(2004, 3, 8, 23, 59);
        const std::u16string path = h.Write(messages);
        h.frame.LoadMailbox(path);

        QCOMPARE(h.frame.windowTitle(),
                 QStringLiteral("Korvane Quillbox - ") + QString::fromStdU16String(path));
        QCOMPARE(h.frame.CurrentPath(), path);
        QCOMPARE(h.frame.StatusPaneLabel(1)->text(), QStringLiteral("5 emails"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QVERIFY(h.ui.messages.empty());

        QCOMPARE(Column(h.frame, 0), QStringList({"30", "10", "50", "20", "40"}));
        QCOMPARE(Column(h.frame, 4),
                 QStringList({"charlie", "alpha", "echo", "bravo & co", "delta"}));
        QCOMPARE(Cell(h.frame, 0, 5), QStringLiteral("2004-03-07 09:05"));
        QCOMPARE(Cell(h.frame, 0, 6), QStringLiteral("2004-03-08 23:59"));
        QCOMPARE(Cell(h.frame, 0, 7), QStringLiteral(u"Zo\u00eb Fran\u00e7ois"));
        QCOMPARE(Cell(h.frame, 0, 8), QStringLiteral("Bob"));
        QCOMPARE(Cell(h.frame, 0, 9), QStringLiteral("42"));
        for (int column : {1, 2, 3}) {
            QCOMPARE(Cell(h.frame, 1, column), QString());  // icon cells carry no text
        }
        // Icons: 1 paper clip, 2 flag, 3 exclamation mark, 4 blue arrow; -1 none.
        QCOMPARE(Icon(h.frame, 0, 1), -1);
        QCOMPARE(Icon(h.frame, 1, 1), 1);
        QCOMPARE(Icon(h.frame, 3, 1), 1);
        QCOMPARE(Icon(h.frame, 0, 2), -1);  // priority 3
        QCOMPARE(Icon(h.frame, 2, 2), 3);
        QCOMPARE(Icon(h.frame, 4, 2), 4);
        QCOMPARE(Icon(h.frame, 2, 3), 2);
        QCOMPARE(Icon(h.frame, 1, 3), -1);
        const CQuickListCell& clip = h.frame.EmailList()->GetCellData(1, 1);
        QVERIFY(clip.m_bIconCentered);
        QVERIFY(!clip.m_bIconNoSelection);
        QCOMPARE(clip.m_pIconList, &h.frame.SmallImages());
        QCOMPARE(h.frame.SmallImages().size(), 7);
        for (const QIcon& image : h.frame.SmallImages()) {
            QVERIFY(!image.pixmap(16, 16).isNull());
        }
        // The paper clip draws something; the blank image draws nothing.
        const QImage clipImage = h.frame.SmallImages()[1].pixmap(16, 16).toImage();
        const QImage blankImage = h.frame.SmallImages()[0].pixmap(16, 16).toImage();
        int clipPixels = 0, blankPixels = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                clipPixels += clipImage.pixelColor(x, y).alpha() > 0 ? 1 : 0;
                blankPixels += blankImage.pixelColor(x, y).alpha() > 0 ? 1 : 0;
            }
        }
        QVERIFY(clipPixels > 10);
        QCOMPARE(blankPixels, 0);
        // Text cells take their column's alignment; icon columns are centred.
        QVERIFY(h.frame.EmailList()->GetCellData(0, 4).m_nTextFormat.testFlag(Qt::AlignLeft));
        QVERIFY(h.frame.EmailList()->ColumnAlignment(2).testFlag(Qt::AlignHCenter));
    }

    void CellsOutsideTheMailboxStayEmpty() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(MixedMessages()));
        CQuickListCell cell;
        cell.m_nRow = 5;
        cell.m_nColumn = 4;
        h.frame.GetCellData(*h.frame.EmailList(), cell);
        QVERIFY(cell.m_strText.isEmpty());
        cell.m_nRow = 0;
        cell.m_nColumn = 10;
        h.frame.GetCellData(*h.frame.EmailList(), cell);
        QVERIFY(cell.m_strText.isEmpty());
        QCOMPARE(cell.m_nIconIndex, -1);
    }

    void ColumnsHeadingsAndWidths() {
        FrameHarness h;
        CQuickList& list = *h.frame.EmailList();
        const char* headings[] = {"ID",   "A",        "P",    "F",  "Subject",
                                  "Sent", "Received", "From", "To", "Lines"};
        const int widths[] = {40, 21, 21, 21, 250, 100, 100, 150, 150, 60};
        QCOMPARE(list.model()->columnCount(), 10);
        // Icon columns keep their pixels; text columns all grow by one factor, enough for a
        // date to fit the Sent column.
        const double scale = double(list.columnWidth(4)) / widths[4];
        QVERIFY(scale >= 1.0);
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(list.model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QString::fromLatin1(headings[c]));
            if (c >= 1 && c <= 3) {
                QCOMPARE(list.columnWidth(c), widths[c]);
            } else {
                QVERIFY2(std::abs(list.columnWidth(c) - widths[c] * scale) <= 1.0, headings[c]);
            }
        }
        const int date = list.fontMetrics().horizontalAdvance(QStringLiteral("2009-04-01 00:00"));
        QVERIFY(list.columnWidth(5) >= date + 4);
        QFont tiny = list.font();
        tiny.setPixelSize(6);
        QCOMPARE(TextColumnScale(QFontMetrics(tiny)), 1.0);
        QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(list.selectionBehavior(), QAbstractItemView::SelectRows);
        QVERIFY(list.showGrid());
        QVERIFY(!list.horizontalHeader()->sectionsMovable());
    }

    void EachOpenFailureShowsItsText() {
        FrameHarness h;
        struct Case {
            const char* name;
            dbxw::Image image;
            const char16_t* text;
        };
        dbxw::Image cut = dbxw::BuildSimpleMailbox(MixedMessages());
        cut.Truncate(100);
        dbxw::Builder folder = dbxw::SimpleMailboxBuilder(MixedMessages());
        folder.header.folder6C = 1;
        dbxw::Builder empty = dbxw::SimpleMailboxBuilder(MixedMessages());
        empty.header.messageCount = 0;
        std::vector<Case> cases;
        cases.push_back({"cut.dbx", cut,
                         u"Unable to read this file.\nPlease check if the path is correct,\nand if "
                         u"the file is not open by another application."});
        cases.push_back({"folder.dbx", folder.Build(),
                         u"This file is an Outlook Express folder file. It does not contain any "
                         u"email."});
        cases.push_back(
            {"empty.dbx", empty.Build(), u"This file is empty, and does not contain any email."});
        for (const Case& c : cases) {
            // A good mailbox first, so that the failure has something to empty.
            h.frame.LoadMailbox(h.Write(MixedMessages(), "good.dbx"));
            QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
            h.ui.messages.clear();

            // A bad message count is a damaged index: the scan is offered, and declined.
            h.ui.SetDefaultQuestionAnswer(MsgAnswer::No);
            h.frame.LoadMailbox(h.WriteImage(c.image, c.name));
            QCOMPARE(h.ui.messages.size(), std::size_t(c.name == std::string("empty.dbx") ? 2 : 1));
            QCOMPARE(QString::fromStdU16String(h.ui.messages[0].text), QString::fromUtf16(c.text));
            QCOMPARE(QString::fromStdU16String(h.ui.messages[0].caption), QStringLiteral("Error"));
            QCOMPARE(h.ui.messages[0].icon, MsgIcon::Error);
            QCOMPARE(h.ui.messages[0].buttons, MsgButtons::Ok);
            QCOMPARE(h.frame.windowTitle(), QStringLiteral("Korvane Quillbox"));
            QCOMPARE(h.frame.StatusPaneLabel(1)->text(), QStringLiteral("0 emails"));
            QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
            QVERIFY(h.frame.CurrentPath().empty());
        }
        h.ui.messages.clear();
        h.frame.LoadMailbox(h.temp.WidePath("missing.dbx"));
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdU16String(h.ui.messages[0].text),
                 QStringLiteral("Unable to open this file.\nPlease check if the path is "
                                "correct,\nand if the file is not open by another application."));
    }

    void OpenCommandAsksAndCancelKeepsTheMailbox() {
        FrameHarness h;
        const std::u16string path = h.Write(MixedMessages());
        h.dialogs.answers.push_back(QString::fromStdU16String(path));
        h.frame.OnFileOpen();
        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].title, QStringLiteral("Select the file to open"));
        QCOMPARE(h.dialogs.requests[0].filter,
                 QStringLiteral("Outlook Express DBX File (*.dbx)|*.dbx|All Files (*.*)|*.*||"));
        QCOMPARE(h.dialogs.requests[0].initial, QString());
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        const QString title = h.frame.windowTitle();

        h.frame.OnFileOpen();  // cancelled
        QCOMPARE(h.dialogs.requests.size(), std::size_t(2));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 5);
        QCOMPARE(h.frame.windowTitle(), title);
        QCOMPARE(h.frame.StatusPaneLabel(1)->text(), QStringLiteral("5 emails"));
        QCOMPARE(h.frame.ShownRow(), -1);
    }

    void HeaderClicksSortIdIdSubject() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(MixedMessages()));
        ClickHeader(h.frame, 0);
        QCOMPARE(Column(h.frame, 0), QStringList({"10", "20", "30", "40", "50"}));
        QCOMPARE(h.frame.SortState().GetSortColumn(), 0);
        ClickHeader(h.frame, 0);
        QCOMPARE(Column(h.frame, 0), QStringList({"50", "40", "30", "20", "10"}));
        ClickHeader(h.frame, 4);  // keeps the reversed direction
        QCOMPARE(Column(h.frame, 4),
                 QStringList({"echo", "delta", "charlie", "bravo & co", "alpha"}));
        QVERIFY(!h.frame.SortState().IsAscending());
    }

    void SortKeepsTheSelectionOnItsMessages() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(MixedMessages()));
        const QString first = Cell(h.frame, 0, 0);
        h.frame.EmailList()->selectRow(0);
        ClickHeader(h.frame, 0);
        QCOMPARE(Cell(h.frame, 0, 0), QStringLiteral("10"));
        const std::vector<int> selected = SelectedRows(h.frame);
        QCOMPARE(selected.size(), std::size_t(1));
        QCOMPARE(Cell(h.frame, selected[0], 0), first);
        QCOMPARE(h.frame.EmailList()->GetSelectionMark(), selected[0]);
    }

    void SortingAnEmptyListDoesNothing() {
        FrameHarness h;
        ClickHeader(h.frame, 4);
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QVERIFY(h.frame.windowTitle() == QStringLiteral("Korvane Quillbox"));
    }

    void SelectionCommands() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(MixedMessages()));
        CMyQuickList& list = *h.frame.EmailList();
        list.setCurrentIndex(list.model()->index(2, 0));
        list.selectionModel()->clearSelection();
        list.selectionModel()->select(list.model()->index(0, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);

        h.frame.OnSelectAttachments();  // replaces the selection
        QCOMPARE(SelectedRows(h.frame), std::vector<int>({1, 3}));
        h.frame.OnInvertSelection();
        QCOMPARE(SelectedRows(h.frame), std::vector<int>({0, 2, 4}));
        h.frame.OnSelectHighPriority();  // priority 5 is not high
        QCOMPARE(SelectedRows(h.frame), std::vector<int>({2}));
        h.frame.OnSelectAll();
        QCOMPARE(SelectedRows(h.frame), std::vector<int>({0, 1, 2, 3, 4}));
        h.frame.OnInvertSelection();
        QCOMPARE(SelectedRows(h.frame), std::vector<int>());
        // None of them moves the selection mark; each leaves the list redrawing, focused.
        QCOMPARE(list.GetSelectionMark(), 2);
        QVERIFY(list.updatesEnabled());
    }

    void SelectionChangesAndClicksAskTheViewer() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write(MixedMessages()));
        CMyQuickList& list = *h.frame.EmailList();
        h.frame.shown.clear();
        const QRect row3 = list.visualRect(list.model()->index(3, 4));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row3.center());
        QVERIFY(!h.frame.shown.empty());
        QCOMPARE(h.frame.shown.back(), 3);
        QCOMPARE(list.GetSelectionMark(), 3);

        // Below the last row nothing is hit: no request.
        h.frame.shown.clear();
        const QRect last = list.visualRect(list.model()->index(4, 4));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 40));
        for (int row : h.frame.shown) {
            QVERIFY(row >= 0);  // a cleared selection reports the mark, never a click row
        }
        QVERIFY(std::count(h.frame.shown.begin(), h.frame.shown.end(), 4) == 0);

        // Keyboard moves report the new mark.
        h.frame.shown.clear();
        list.setFocus();
        list.setCurrentIndex(list.model()->index(1, 0));
        QVERIFY(!h.frame.shown.empty());
        QCOMPARE(h.frame.shown.back(), 1);
    }

    void AmpersandsAndEllipsis() {
        const QFontMetrics metrics(QApplication::font());
        QCOMPARE(CQuickListDelegate::DisplayText(QStringLiteral("bravo & co"), metrics, 1000),
                 QStringLiteral("bravo & co"));
        const QString longText(200, u'x');
        const QString cut = CQuickListDelegate::DisplayText(longText, metrics, 60);
        QVERIFY(cut.endsWith(QChar(0x2026)));
        QVERIFY(metrics.horizontalAdvance(cut) <= 60);
    }
};

QTEST_MAIN(EmailListTest)
#include "email_list_test.moc"
