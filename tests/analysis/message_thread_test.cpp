// Conversation threads: linking, numbering, gathering order, cycles, the progress of the
// scan and the Count Threads notice.
#include "analysis/message_thread.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mailbox_fixture.h"
#include "support/recording_ui.h"

namespace {

using fixture::Mailbox;

std::vector<std::int32_t> MemberIds(const CMessageThread& thread) {
    std::vector<std::int32_t> ids;
    for (const CEmailDBX* e : thread.m_ThreadEmails.Items()) {
        ids.push_back(e->m_Id);
    }
    return ids;
}

struct Scan {
    std::uint32_t count = 0;
    std::vector<CMessageThread> threads;
    CRecordingUi ui;
};

std::unique_ptr<Scan> RunScan(Mailbox& box) {
    auto scan = std::make_unique<Scan>();
    scan->threads = std::vector<CMessageThread>(std::size_t(box.Count()));
    scan->count = ScanThreads(box.List(), scan->threads, scan->ui);
    return scan;
}

TEST(ScanThreads, ChainOfRepliesIsOneThreadGatheredFromItsFirstEntry) {
    Mailbox box;
    CEmailDBX& a = box.Add(1, "<a@x>");
    CEmailDBX& b = box.Add(2, "<b@x>", "<a@x>");
    CEmailDBX& c = box.Add(3, "<c@x>", "<b@x>");
    auto scan = RunScan(box);
    EXPECT_EQ(scan->count, 1u);
    EXPECT_EQ(a.m_pThreadParent, nullptr);
    EXPECT_EQ(b.m_pThreadParent, &a);
    EXPECT_EQ(c.m_pThreadParent, &b);
    EXPECT_EQ(a.m_nThreadIndex, 0);
    EXPECT_EQ(b.m_nThreadIndex, -1);
    EXPECT_EQ(c.m_nThreadIndex, -1);
    for (const CEmailDBX* e : {&a, &b, &c}) {
        EXPECT_EQ(GetThreadNumber(e), 0);
        EXPECT_TRUE(e->m_bThreadVisited);
    }
    EXPECT_EQ(MemberIds(scan->threads[0]), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_EQ(scan->threads[1].m_ThreadEmails.GetCount(), 0);
    EXPECT_TRUE(scan->ui.messages.empty());

    // Stored leaf first, each entry brings its ancestors after it.
    Mailbox reversed;
    reversed.Add(3, "<c@x>", "<b@x>");
    reversed.Add(2, "<b@x>", "<a@x>");
    reversed.Add(1, "<a@x>");
    auto second = RunScan(reversed);
    EXPECT_EQ(second->count, 1u);
    EXPECT_EQ(reversed[2]->m_nThreadIndex, 0);
    EXPECT_EQ(MemberIds(second->threads[0]), (std::vector<std::int32_t>{3, 2, 1}));
}

TEST(ScanThreads, RootsAreNumberedInListOrderAndGatheredByFirstEntry) {
    Mailbox box;
    box.Add(1, "<r1@x>");
    box.Add(2, "<x@x>", "<r2@x>");
    box.Add(3, "<r2@x>");
    box.Add(4, "<y@x>", "<r1@x>");
    box.Add(5, "<z@x>", "<x@x>");
    box.Add(6, "<lone@x>", "<nobody@x>");  // answers nothing here: its own root
    auto scan = RunScan(box);
    EXPECT_EQ(scan->count, 3u);
    EXPECT_EQ(box[0]->m_nThreadIndex, 0);
    EXPECT_EQ(box[2]->m_nThreadIndex, 1);
    EXPECT_EQ(box[5]->m_nThreadIndex, 2);
    EXPECT_EQ(box[5]->m_pThreadParent, nullptr);
    EXPECT_EQ(MemberIds(scan->threads[0]), (std::vector<std::int32_t>{1, 4}));
    EXPECT_EQ(MemberIds(scan->threads[1]), (std::vector<std::int32_t>{2, 3, 5}));
    EXPECT_EQ(MemberIds(scan->threads[2]), (std::vector<std::int32_t>{6}));
    EXPECT_EQ(GetThreadNumber(box[4]), 1);
}

TEST(ScanThreads, SeveralIdentifiersLinkToTheLastEntryInListOrder) {
    Mailbox box;
    box.Add(1, "<first@x>");
    box.Add(2, "<second@x>");
    // The text names the later entry first: list order decides, not text order.
    CEmailDBX& reply = box.Add(3, "<r@x>", "<second@x> <first@x>");
    CEmailDBX& other = box.Add(4, "<s@x>", "<first@x>\t<unknown@x>");
    auto scan = RunScan(box);
    EXPECT_EQ(reply.m_pThreadParent, box[1]);
    EXPECT_EQ(other.m_pThreadParent, box[0]);
    EXPECT_EQ(scan->count, 2u);
}

TEST(ScanThreads, EntriesWithoutIdentifierAreNeverParents) {
    Mailbox box;
    box.Add(1);                             // no identifier at all
    fixture::SetMessageId(box.Add(2), "");  // stored empty: a substring of anything
    CEmailDBX& e = box.Add(3, "<e@x>", "<anything@x>");
    CEmailDBX& crcless = box.Add(4, "<z@x>");
    crcless.m_nMessageIdCrc = 0;  // the identifier text is what counts
    CEmailDBX& f = box.Add(5, "<f@x>", "<z@x>");
    auto scan = RunScan(box);
    EXPECT_EQ(e.m_pThreadParent, nullptr);
    EXPECT_EQ(f.m_pThreadParent, &crcless);
    EXPECT_EQ(scan->count, 4u);
}

TEST(ScanThreads, CyclesEndWithMinusOneAndOopsForEachEntryCaught) {
    Mailbox box;
    box.Add(1, "<root@x>");
    box.Add(2, "<a@x>", "<b@x>");
    box.Add(3, "<b@x>", "<a@x>");
    box.Add(4, "<d@x>", "<a@x>");  // leads into the cycle
    box.Add(5, "<e@x>", "<root@x>");
    // Two copies of one message, each answering that identifier: each other's parent.
    box.Add(6, "<dup@x>", "<dup@x>");
    box.Add(7, "<dup@x>", "<dup@x>");
    auto scan = RunScan(box);
    EXPECT_EQ(scan->count, 1u);
    EXPECT_EQ(box[5]->m_pThreadParent, box[6]);
    EXPECT_EQ(box[6]->m_pThreadParent, box[5]);
    for (const std::int32_t row : {1, 2, 3, 5, 6}) {
        EXPECT_EQ(GetThreadNumber(box[row]), -1) << row;
        EXPECT_FALSE(box[row]->m_bThreadVisited) << row;
    }
    EXPECT_EQ(MemberIds(scan->threads[0]), (std::vector<std::int32_t>{1, 5}));
    ASSERT_EQ(scan->ui.messages.size(), 5u);
    for (const RecordedMessageBox& m : scan->ui.messages) {
        EXPECT_EQ(m.text, u"Oops");
        EXPECT_EQ(m.caption, kAppName);
        EXPECT_EQ(m.icon, MsgIcon::None);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
}

TEST(ScanThreads, ProgressEveryTenthEntryPumpedEveryEntryAndNeverCancelled) {
    Mailbox box;
    for (int i = 0; i < 25; ++i) {
        box.Add(i, "<" + std::to_string(i) + "@x>",
                i > 0 ? "<" + std::to_string(i - 1) + "@x>" : "");
    }
    CRecordingUi ui;
    ui.SetCancelAfterPumps(1);  // a cancel must not stop the scan
    std::vector<CMessageThread> threads(25);
    EXPECT_EQ(ScanThreads(box.List(), threads, ui), 1u);
    EXPECT_EQ(threads[0].m_ThreadEmails.GetCount(), 25);

    ASSERT_EQ(ui.ProgressCount(), 1u);
    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, u"Scanning threads...");
    EXPECT_FALSE(p.creationSmooth);
    EXPECT_EQ(p.ranges, (std::vector<ProgressRange>{{0, 100, 1}}));
    EXPECT_EQ(p.beginTitles, (std::vector<std::u16string>{u"Progress"}));
    // The bar fills before the window goes.
    EXPECT_EQ(p.positions, (std::vector<int>{0, 40, 80, 100}));
    EXPECT_EQ(p.statusTexts, (std::vector<std::u16string>{u"0 emails scanned", u"10 emails scanned",
                                                          u"20 emails scanned"}));
    EXPECT_EQ(p.pumpCount, 25);
    EXPECT_EQ(p.pumpWithEscapeCount, 25);
    EXPECT_EQ(p.titles, (std::vector<std::u16string>{
                            u"Scanning threads...", u"Scanning threads... [40%]",
                            u"Scanning threads... [80%]", u"Scanning threads... [100%]",
                            u"Scanning threads... [0%]"}));
    ASSERT_GE(p.events.size(), 6u);
    EXPECT_EQ(p.events[0], "Create Scanning threads...");
    EXPECT_EQ(p.events[1], "SetRange 0 100 1");
    EXPECT_EQ(p.events[2], "Begin Progress");
    EXPECT_EQ(p.events[3], "SetPosition 0");
    EXPECT_EQ(p.events[4], "Status 0 emails scanned");
    EXPECT_EQ(p.events[5], "Pump escape");
    EXPECT_EQ(p.events[p.events.size() - 2], "Clear");
    EXPECT_EQ(p.events.back(), "Destroy");
    EXPECT_EQ(p.clearCount, 1);
}

TEST(ScanThreads, ARescanForgetsTheLastOne) {
    Mailbox box;
    box.Add(1, "<a@x>");
    CEmailDBX& b = box.Add(2, "<b@x>", "<a@x>");
    auto first = RunScan(box);
    EXPECT_EQ(first->count, 1u);
    fixture::SetInReplyTo(b, "");
    auto second = RunScan(box);
    EXPECT_EQ(second->count, 2u);
    EXPECT_EQ(b.m_pThreadParent, nullptr);
    EXPECT_EQ(b.m_nThreadIndex, 1);
    EXPECT_EQ(MemberIds(second->threads[0]), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(MemberIds(second->threads[1]), (std::vector<std::int32_t>{2}));
}

TEST(ScanThreads, ReplyChainAsLongAsTheMailbox) {
    Mailbox box;
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        box.Add(i, "<" + std::to_string(i) + "@x>",
                i > 0 ? "<" + std::to_string(i - 1) + "@x>" : "");
    }
    // Deepest reply first: gathering walks the whole chain from it.
    std::reverse(box.List().Items().begin(), box.List().Items().end());
    auto scan = RunScan(box);
    EXPECT_EQ(scan->count, 1u);
    const CEmailArray& members = scan->threads[0].m_ThreadEmails;
    ASSERT_EQ(members.GetCount(), n);
    EXPECT_EQ(members.Get(0)->m_Id, n - 1);
    EXPECT_EQ(members.Get(n - 1)->m_Id, 0);
    EXPECT_EQ(GetThreadNumber(box[0]), 0);
}

TEST(ScanThreads, AThreadArrayTooShortLosesThreadsButNothingElse) {
    Mailbox box;
    box.Add(1, "<a@x>");
    box.Add(2, "<b@x>");
    box.Add(3, "<c@x>", "<b@x>");
    CRecordingUi ui;
    std::vector<CMessageThread> threads(1);
    EXPECT_EQ(ScanThreads(box.List(), threads, ui), 2u);
    EXPECT_EQ(MemberIds(threads[0]), (std::vector<std::int32_t>{1}));
    EXPECT_FALSE(box[1]->m_bThreadVisited);
}

TEST(MessageThread, CollectStopsAtGatheredEntriesAndCountsSelected) {
    CEmailDBX root;
    CEmailDBX middle;
    CEmailDBX leaf;
    CEmailDBX other;
    middle.m_pThreadParent = &root;
    leaf.m_pThreadParent = &middle;
    other.m_pThreadParent = &middle;
    CMessageThread thread;
    EXPECT_EQ(thread.m_ThreadEmails.GetCount(), 0);
    thread.Collect(&leaf);
    EXPECT_EQ(thread.m_ThreadEmails.GetCapacity(), 100);
    EXPECT_EQ(thread.m_ThreadEmails.GetGrowBy(), 200);
    EXPECT_FALSE(thread.m_ThreadEmails.OwnsEntries());
    thread.Collect(&other);
    thread.Collect(&leaf);  // already gathered: nothing
    thread.Collect(nullptr);
    ASSERT_EQ(thread.m_ThreadEmails.GetCount(), 4);
    EXPECT_EQ(thread.m_ThreadEmails.Get(0), &leaf);
    EXPECT_EQ(thread.m_ThreadEmails.Get(1), &middle);
    EXPECT_EQ(thread.m_ThreadEmails.Get(2), &root);
    EXPECT_EQ(thread.m_ThreadEmails.Get(3), &other);
    EXPECT_EQ(thread.CountSelected(), 0u);
    root.m_bSelected = true;
    other.m_bSelected = true;
    EXPECT_EQ(thread.CountSelected(), 2u);
}

TEST(GetThreadNumber, FollowsParentsAndEndsOnEveryCycle) {
    EXPECT_EQ(GetThreadNumber(nullptr), -1);
    CEmailDBX root;
    root.m_nThreadIndex = 7;
    EXPECT_EQ(GetThreadNumber(&root), 7);
    // Cycles of every length up to 40, entered from a tail of every length up to 5.
    for (int length = 1; length <= 40; ++length) {
        for (int tail = 0; tail <= 5; ++tail) {
            std::vector<CEmailDBX> nodes(std::size_t(length + tail));
            for (int i = 0; i + 1 < length + tail; ++i) {
                nodes[std::size_t(i)].m_pThreadParent = &nodes[std::size_t(i + 1)];
            }
            nodes.back().m_pThreadParent = &nodes[std::size_t(tail)];
            EXPECT_EQ(GetThreadNumber(&nodes[0]), -1) << length << " " << tail;
            nodes.back().m_pThreadParent = &root;  // the same path, now with a root
            EXPECT_EQ(GetThreadNumber(&nodes[0]), 7) << length << " " << tail;
        }
    }
}

TEST(CountThreads, ReportsTheCountAndShowsNothingForAnEmptyList) {
    Mailbox empty;
    CRecordingUi ui;
    EXPECT_EQ(CountThreads(empty.List(), ui), 0u);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.ProgressCount(), 0u);

    Mailbox four;
    for (int i = 0; i < 4; ++i) {
        four.Add(i, "<" + std::to_string(i) + "@x>");
    }
    EXPECT_EQ(CountThreads(four.List(), ui), 4u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"4 threads found.\n");
    EXPECT_EQ(ui.messages[0].caption, kAppName);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.ProgressCount(), 1u);
    EXPECT_TRUE(ui.LastProgress().destroyed);

    // The Oops notices come first, during the scan.
    Mailbox cycle;
    cycle.Add(1, "<a@x>", "<b@x>");
    cycle.Add(2, "<b@x>", "<a@x>");
    CRecordingUi cycleUi;
    EXPECT_EQ(CountThreads(cycle.List(), cycleUi), 0u);
    EXPECT_EQ(cycleUi.MessageTexts(),
              (std::vector<std::u16string>{u"Oops", u"Oops", u"0 threads found.\n"}));
    EXPECT_EQ(ThreadsFoundText(4000000000u), u"4000000000 threads found.\n");
}

}  // namespace
