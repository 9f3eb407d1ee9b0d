// The reply links and the whole thread scan against the plain rule: every entry compared
// with every other, the last match in list order winning.
#include "analysis/thread_links.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <unordered_map>

#include "analysis/message_thread.h"
#include "mailbox_fixture.h"
#include "platform/text.h"
#include "support/recording_ui.h"

namespace {

using fixture::Mailbox;

std::string_view Cut(const std::string& s) {
    return {s.c_str()};
}

// The rule as stated: n x (n - 1) substring searches.
std::vector<std::int32_t> PairwiseParents(const CEmailArray& emails) {
    const std::int32_t n = emails.GetCount();
    std::vector<std::int32_t> parents(std::size_t(n), -1);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::string_view text = Cut(emails.Get(i)->m_InReplyTo);
        if (text.empty()) {
            continue;
        }
        for (std::int32_t j = 0; j < n; ++j) {
            const std::string_view id = Cut(emails.Get(j)->m_MessageId);
            if (j != i && !id.empty() && text.find(id) != std::string_view::npos) {
                parents[std::size_t(i)] = j;
            }
        }
    }
    return parents;
}

// The scan's whole visible result computed the plain way from the pairwise links.
struct ReferenceScan {
    std::uint32_t threads = 0;
    std::vector<std::int32_t> parent;
    std::vector<std::int32_t> threadIndex;
    std::vector<std::int32_t> number;
    std::vector<std::vector<std::int32_t>> members;
    std::size_t oops = 0;
};

ReferenceScan Reference(const CEmailArray& emails) {
    ReferenceScan r;
    r.parent = PairwiseParents(emails);
    const std::size_t n = r.parent.size();
    r.threadIndex.assign(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (r.parent[i] < 0) {
            r.threadIndex[i] = std::int32_t(r.threads++);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::int32_t row = std::int32_t(i);
        std::size_t steps = 0;
        while (r.parent[std::size_t(row)] >= 0 && steps <= n) {
            row = r.parent[std::size_t(row)];
            ++steps;
        }
        r.number.push_back(steps > n ? -1 : r.threadIndex[std::size_t(row)]);
    }
    r.members.resize(n);
    std::vector<bool> visited(n, false);
    for (std::size_t k = 0; k < n; ++k) {
        if (visited[k]) {
            continue;
        }
        if (r.number[k] < 0) {
            ++r.oops;
            continue;
        }
        for (std::int32_t e = std::int32_t(k); e >= 0 && !visited[std::size_t(e)];
             e = r.parent[std::size_t(e)]) {
            visited[std::size_t(e)] = true;
            r.members[std::size_t(r.number[k])].push_back(e);
        }
    }
    return r;
}

void ExpectScanMatchesReference(Mailbox& box, const std::string& label) {
    const ReferenceScan expected = Reference(box.List());
    ASSERT_EQ(FindThreadParents(box.List()), expected.parent) << label;

    std::unordered_map<const CEmailDBX*, std::int32_t> rows;
    for (std::int32_t r = 0; r < box.Count(); ++r) {
        rows[box[r]] = r;
    }
    rows[nullptr] = -1;
    CRecordingUi ui;
    std::vector<CMessageThread> threads(std::size_t(box.Count()));
    ASSERT_EQ(ScanThreads(box.List(), threads, ui), expected.threads) << label;
    for (std::int32_t r = 0; r < box.Count(); ++r) {
        const CEmailDBX* e = box[r];
        ASSERT_EQ(rows.at(e->m_pThreadParent), expected.parent[std::size_t(r)]) << label << r;
        ASSERT_EQ(e->m_nThreadIndex, expected.threadIndex[std::size_t(r)]) << label << r;
        ASSERT_EQ(GetThreadNumber(e), expected.number[std::size_t(r)]) << label << r;
        ASSERT_EQ(e->m_bThreadVisited, expected.number[std::size_t(r)] >= 0) << label << r;
    }
    for (std::size_t t = 0; t < threads.size(); ++t) {
        std::vector<std::int32_t> got;
        for (const CEmailDBX* e : threads[t].m_ThreadEmails.Items()) {
            got.push_back(rows.at(e));
        }
        ASSERT_EQ(got, expected.members[t]) << label << " thread " << t;
    }
    ASSERT_EQ(ui.messages.size(), expected.oops) << label;
    for (const RecordedMessageBox& box : ui.messages) {
        ASSERT_EQ(box.text, u"Oops");
    }
}

// Short identifiers over a tiny alphabet, so that identifiers inside identifiers,
// repeated identifiers, self references and cycles all turn up.
std::string RandomToken(std::mt19937& rng, std::size_t maxLength) {
    static const char kAlphabet[] = "ab<>@";
    std::string s(1 + rng() % maxLength, ' ');
    for (char& c : s) {
        c = kAlphabet[rng() % 5];
    }
    return s;
}

void FillNasty(Mailbox& box, std::mt19937& rng, int n) {
    for (int i = 0; i < n; ++i) {
        CEmailDBX& e = box.Add(i);
        switch (rng() % 8) {
            case 0:
                break;  // no identifier
            case 1:
                fixture::SetMessageId(e, "");  // stored, but empty
                break;
            case 2:
                fixture::SetMessageId(e, RandomToken(rng, 3) + std::string(1, '\0') + "b");
                break;
            default:
                fixture::SetMessageId(e, RandomToken(rng, 4));
        }
    }
    for (int i = 0; i < n; ++i) {
        CEmailDBX& e = *box[i];
        auto anyId = [&] {
            return std::string(Cut(box[std::int32_t(rng() % std::uint32_t(n))]->m_MessageId));
        };
        const std::string some = anyId();
        std::string text;
        switch (rng() % 9) {
            case 0:
                break;
            case 1:
                text = some;
                break;
            case 2:
                text = some + " " + anyId();
                break;
            case 3:
                text = RandomToken(rng, 8);
                break;
            case 4:
                text = std::string(Cut(e.m_MessageId));  // itself
                break;
            case 5:
                text = "x" + some + "y";
                break;
            case 6:
                text = some + std::string(1, '\0') + RandomToken(rng, 4);  // after a zero: unseen
                break;
            case 7:
                text = some;
                std::replace(text.begin(), text.end(), 'a', 'A');  // case matters here
                break;
            default:
                text = RandomToken(rng, 3) + RandomToken(rng, 3) + RandomToken(rng, 3);
        }
        fixture::SetInReplyTo(e, text);
    }
}

TEST(ThreadLinks, MatchThePairwiseRuleOnNastyMailboxes) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 400; ++round) {
        Mailbox box;
        FillNasty(box, rng, int(rng() % 60));
        ExpectScanMatchesReference(box, "round " + std::to_string(round));
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST(ThreadLinks, MatchThePairwiseRuleOnRealisticChains) {
    std::mt19937 rng(99);
    Mailbox box;
    const int n = 1500;
    for (int i = 0; i < n; ++i) {
        const std::string id = "<" + std::to_string(1000 + i) + "." + std::to_string(rng() % 97) +
                               "@mail.example.com>";
        std::string reply;
        if (i > 0 && rng() % 4 != 0) {
            const int parent = int(rng() % std::uint32_t(i));
            reply = box[parent]->m_MessageId;
            if (rng() % 5 == 0) {
                reply = box[int(rng() % std::uint32_t(i))]->m_MessageId + " " + reply;
            }
        } else if (rng() % 3 == 0) {
            reply = "<gone." + std::to_string(i) + "@elsewhere.example>";
        }
        box.Add(i, id, reply);
    }
    // Lists are seldom in reply order.
    std::shuffle(box.List().Items().begin(), box.List().Items().end(), rng);
    ExpectScanMatchesReference(box, "realistic");
}

TEST(ThreadLinks, IdentifiersInsideIdentifiersAndRepeats) {
    Mailbox box;
    box.Add(0, "abc");
    box.Add(1, "b");
    box.Add(2, "zz", "xabcx");  // holds "abc" and "b": the later row wins
    box.Add(3, "abc");          // same identifier as row 0, later
    box.Add(4, "q", "b");
    box.Add(5, "b", "b");        // its own identifier is passed over, row 1 remains
    box.Add(6, "r", "abc");      // exactly an identifier, and "b" is inside it
    box.Add(7, "abcb", "abcb");  // itself, with "abc" and "b" inside
    EXPECT_EQ(FindThreadParents(box.List()),
              (std::vector<std::int32_t>{-1, -1, 5, -1, 5, 1, 5, 5}));
    EXPECT_EQ(FindThreadParents(box.List()), PairwiseParents(box.List()));
    EXPECT_EQ(CutAtZero(std::string("ab\0cd", 5)), "ab");
}

}  // namespace
