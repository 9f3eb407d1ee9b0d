// A 100,000-message mailbox in the list: loading asks for no cell, and each repaint asks
// only for the cells it paints, wherever the list is scrolled to.
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>

#include "app/my_quick_list.h"
#include "app_test_support.h"

namespace {

// Remembers which rows the list asked for.
class CCountingFrame final : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    void GetCellData(CQuickList& list, CQuickListCell& cell) override {
        minRow = std::min(minRow, cell.m_nRow);
        maxRow = std::max(maxRow, cell.m_nRow);
        CMainFrame::GetCellData(list, cell);
    }
    void ResetRows() {
        minRow = INT_MAX;
        maxRow = -1;
    }
    int minRow = INT_MAX;
    int maxRow = -1;
};

constexpr int kMessages = 100000;

}  // namespace

class ListRepaintTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        RegisterStandardCodecs();
        std::vector<dbxw::Message> messages(kMessages);
        for (int i = 0; i < kMessages; ++i) {
            messages[std::size_t(i)].subject = "Message number " + std::to_string(i);
            messages[std::size_t(i)].lines = std::uint32_t(i % 97);
        }
        QVERIFY(dbxw::BuildSimpleMailbox(messages).WriteTo(m_Temp.Path("big.dbx")));
    }

    void RepaintsAskOnlyForVisibleCells() {
        CRecordingUi ui;
        CFakeAppDialogs dialogs;
        CMemorySettings settings;
        CCountingFrame frame(ui, dialogs, settings);
        frame.Create();
        frame.resize(1200, 800);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CMyQuickList& list = *frame.EmailList();

        QElapsedTimer load;
        load.start();
        list.ResetCellRequestCount();
        frame.LoadMailbox(m_Temp.WidePath("big.dbx"));
        QCOMPARE(list.GetItemCount(), kMessages);
        QCOMPARE(list.CellRequestCount(), 0);  // the count alone changed
        qInfo("load of %d messages: %lld ms", kMessages, static_cast<long long>(load.elapsed()));

        const int rowHeight = list.verticalHeader()->defaultSectionSize();
        const int viewportHeight = list.viewport()->height();
        const int visibleRows = (viewportHeight + rowHeight - 1) / rowHeight;
        int visibleColumns = 0;
        for (int c = 0; c < list.model()->columnCount(); ++c) {
            visibleColumns += list.columnViewportPosition(c) < list.viewport()->width() ? 1 : 0;
        }
        QVERIFY(visibleRows > 5);
        QCOMPARE(visibleColumns, 10);

        QScrollBar* scroll = list.verticalScrollBar();
        long long total = 0;
        int repaints = 0;
        QElapsedTimer timer;
        timer.start();
        for (int top : {0, kMessages / 2, kMessages / 2 + 3, kMessages - visibleRows}) {
            scroll->setValue(top);
            const int first = list.rowAt(0);
            list.ResetCellRequestCount();
            frame.ResetRows();
            (void)list.viewport()->grab();
            const std::int64_t asked = list.CellRequestCount();
            ++repaints;
            total += asked;
            qInfo("top row %d: %lld cell requests for %d visible rows x %d columns", first,
                  static_cast<long long>(asked), visibleRows, visibleColumns);
            QVERIFY(asked >= std::int64_t(viewportHeight / rowHeight) * visibleColumns);
            QVERIFY(asked <= std::int64_t(visibleRows + 1) * visibleColumns);
            QVERIFY(frame.minRow >= first);
            QVERIFY(frame.maxRow <= first + visibleRows);
        }
        qInfo("%d repaints in %lld ms, %lld requests on average", repaints,
              static_cast<long long>(timer.elapsed()), total / repaints);

        // Scrolling a page at a time through a stretch of the list stays cheap.
        timer.restart();
        list.ResetCellRequestCount();
        for (int page = 0; page < 200; ++page) {
            scroll->setValue(page * visibleRows);
            (void)list.viewport()->grab();
        }
        const qint64 ms = timer.elapsed();
        qInfo("200 page scrolls: %lld ms, %lld cell requests", static_cast<long long>(ms),
              static_cast<long long>(list.CellRequestCount()));
        QVERIFY(list.CellRequestCount() <= std::int64_t(200) * (visibleRows + 1) * visibleColumns);

        // Selecting every row costs no cell requests until the next paint.
        list.ResetCellRequestCount();
        frame.OnSelectAll();
        QCOMPARE(list.selectionModel()->selectedRows().size(), kMessages);
        QCOMPARE(list.CellRequestCount(), 0);
    }

private:
    dbxw::TempDir m_Temp;
};

QTEST_MAIN(ListRepaintTest)
#include "list_repaint_test.moc"
