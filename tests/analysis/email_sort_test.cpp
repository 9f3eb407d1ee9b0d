// Ordering of entries: the eleven keys in both directions, present-first names, and the
// list header's column and direction state.
#include "analysis/email_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mailbox_fixture.h"
#include "platform/text.h"

namespace {

using fixture::Mailbox;
using Setter = std::function<void(CEmailDBX&, int rank)>;

std::vector<CEmailDBX*> Order(CEmailArray& list) {
    const auto items = list.Items();
    return {items.begin(), items.end()};
}

// Entries whose keys rise with their rank, stored out of order: the sort must put them
// back in rank order ascending and in reverse rank order descending.
void ExpectRankOrder(std::int32_t mode, int ranks, const Setter& set) {
    Mailbox box;
    std::vector<CEmailDBX*> byRank(std::size_t(ranks), nullptr);
    std::vector<int> stored(static_cast<std::size_t>(ranks));
    for (int r = 0; r < ranks; ++r) {
        stored[std::size_t(r)] =
            (r * 7 + 2) % ranks;  // a fixed scramble (7 is prime to every size used)
    }
    ASSERT_EQ(std::set<int>(stored.begin(), stored.end()).size(), std::size_t(ranks));
    for (int rank : stored) {
        CEmailDBX& e = box.Add(100 + rank);
        set(e, rank);
        byRank[std::size_t(rank)] = &e;
    }
    SortEmails(box.List(), mode, true);
    EXPECT_EQ(Order(box.List()), byRank) << "mode " << mode << " ascending";
    SortEmails(box.List(), mode, false);
    std::reverse(byRank.begin(), byRank.end());
    EXPECT_EQ(Order(box.List()), byRank) << "mode " << mode << " descending";
}

void SetSenderName(CEmailDBX& e, const char* name) {
    if (name != nullptr) {
        e.m_SenderName = name;
        e.m_bHasSenderName = true;
    }
}

TEST(CompareNoCase, FoldsAsciiLettersOnlyAndEndsAtTheFirstZero) {
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_EQ(CompareNoCase("Message-ID", "mESSAGE-id"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(CompareNoCase("Zeta", "alpha"), 0);  // folded: 'z' after 'a'
    // '[' lies between 'Z' and 'a': it is compared with the folded letter.
    EXPECT_LT(CompareNoCase("[", "A"), 0);
    EXPECT_LT(CompareNoCase("ab", "abc"), 0);
    EXPECT_GT(CompareNoCase("b", "abc"), 0);
    // Bytes from 128 up are unsigned and not folded.
    EXPECT_GT(CompareNoCase("\xC9", "z"), 0);
    EXPECT_NE(CompareNoCase("\xC9", "\xE9"), 0);
    EXPECT_EQ(CompareNoCase(std::string("ab\0c", 4), "AB"), 0);
    EXPECT_EQ(CompareNoCase("", ""), 0);
}

TEST(SortEmails, NumberAndDateKeysInBothDirections) {
    const std::int32_t ids[] = {-7, -1, 0, 5, 2147483647};
    ExpectRankOrder(SortById, 5, [&](CEmailDBX& e, int r) { e.m_Id = ids[r]; });
    // Priority compares unsigned: -1 is the largest.
    const std::int32_t priorities[] = {1, 3, 5, 2147483647, -1};
    ExpectRankOrder(SortByPriority, 5, [&](CEmailDBX& e, int r) { e.m_nPriority = priorities[r]; });
    const std::uint32_t lines[] = {0, 1, 12, 2147483648u, 4294967295u};
    ExpectRankOrder(SortByLines, 5, [&](CEmailDBX& e, int r) { e.m_nLines = lines[r]; });
    // FILETIME order is the unsigned tick count, top bit included.
    const FILETIME64 times[] = {0, 1, dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5),
                                0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull};
    ExpectRankOrder(SortBySent, 5, [&](CEmailDBX& e, int r) {
        e.m_SentTime = times[r];
        e.m_ReceivedTime = times[4 - r];  // must not matter
    });
    ExpectRankOrder(SortByReceived, 5, [&](CEmailDBX& e, int r) {
        e.m_ReceivedTime = times[r];
        e.m_SentTime = times[4 - r];
    });
}

TEST(SortEmails, SubjectsCompareTheirWideFormCaseSensitively) {
    // Empty first; "ABC" before "abc"; the stored byte 0xE9 is the unit U+00E9, above
    // every ASCII letter and below U+0100.
    ExpectRankOrder(SortBySubject, 6, [](CEmailDBX& e, int r) {
        switch (r) {
            case 0:
                break;  // no subject
            case 1:
                e.m_Subject.SetText("ABC");
                break;
            case 2:
                e.m_Subject.SetText("abc");
                break;
            case 3:
                e.m_Subject.SetText("abd");
                break;
            case 4:
                e.m_Subject.SetText("\xE9t\xE9");
                break;
            default:
                e.m_Subject.SetWide(u"\u0100");
        }
    });

    CEmailDBX a;
    CEmailDBX b;
    a.m_Subject.SetText("ABC");
    b.m_Subject.SetText("abc");
    EXPECT_LT(CompareEmails(a, b, SortBySubject, true), 0);
    EXPECT_GT(CompareEmails(a, b, SortBySubject, false), 0);
    CEmailDBX empty1;
    CEmailDBX empty2;
    empty2.m_Subject.SetText("");
    EXPECT_EQ(CompareEmails(empty1, empty2, SortBySubject, true), 0);
    EXPECT_LT(CompareEmails(empty1, a, SortBySubject, true), 0);
    EXPECT_GT(CompareEmails(empty1, a, SortBySubject, false), 0);
}

TEST(SortEmails, NamesAndIdentifiersPutAbsentFirstThenEmptyThenFoldedText) {
    const char* texts[] = {nullptr, "", "abc", "ABD", "b"};
    ExpectRankOrder(SortByFrom, 5, [&](CEmailDBX& e, int r) {
        SetSenderName(e, texts[r]);
        e.m_RecipientName = "zzz";  // other keys must not matter
        e.m_bHasRecipientName = true;
    });
    ExpectRankOrder(SortByTo, 5, [&](CEmailDBX& e, int r) {
        if (texts[r] != nullptr) {
            e.m_RecipientName = texts[r];
            e.m_bHasRecipientName = true;
        }
    });
    ExpectRankOrder(SortByMessageId, 5, [&](CEmailDBX& e, int r) {
        if (texts[r] != nullptr) {
            fixture::SetMessageId(e, texts[r]);
        }
    });

    // Equal but for case: neither goes first, in either direction.
    CEmailDBX a;
    CEmailDBX b;
    SetSenderName(a, "abc");
    SetSenderName(b, "ABC");
    EXPECT_EQ(CompareEmails(a, b, SortByFrom, true), 0);
    EXPECT_EQ(CompareEmails(a, b, SortByFrom, false), 0);
    // Text without the stored flag counts as absent.
    CEmailDBX unflagged;
    unflagged.m_SenderName = "aaa";
    EXPECT_LT(CompareEmails(unflagged, a, SortByFrom, true), 0);
    EXPECT_GT(CompareEmails(unflagged, a, SortByFrom, false), 0);
}

TEST(SortEmails, FlagKeysPutSetFlagsFirstWhenAscending) {
    for (const std::int32_t mode : {std::int32_t(SortByAttachment), std::int32_t(SortByFlag)}) {
        Mailbox box;
        std::vector<CEmailDBX*> set;
        std::vector<CEmailDBX*> clear;
        for (int i = 0; i < 7; ++i) {
            CEmailDBX& e = box.Add(i);
            const bool on = i % 3 == 1;
            (mode == SortByAttachment ? e.m_bHasAttachment : e.m_bFlag0020) = on;
            (mode == SortByAttachment ? e.m_bFlag0020 : e.m_bHasAttachment) = !on;
            (on ? set : clear).push_back(&e);
        }
        // Ties keep the order they had.
        std::vector<CEmailDBX*> ascending = set;
        ascending.insert(ascending.end(), clear.begin(), clear.end());
        std::vector<CEmailDBX*> descending = clear;
        descending.insert(descending.end(), set.begin(), set.end());
        SortEmails(box.List(), mode, true);
        EXPECT_EQ(Order(box.List()), ascending) << mode;
        SortEmails(box.List(), mode, false);
        EXPECT_EQ(Order(box.List()), descending) << mode;
    }
}

TEST(SortEmails, UnknownModesShortListsAndEmptySlotsChangeNothingHarmful) {
    Mailbox box;
    for (int id : {5, 1, 4, 2, 3}) {
        box.Add(id).m_nLines = std::uint32_t(10 - id);
    }
    for (const std::int32_t mode : {-1, 11, 99}) {
        SortEmails(box.List(), mode, true);
        SortEmails(box.List(), mode, false);
        EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{5, 1, 4, 2, 3})) << mode;
    }

    Mailbox one;
    CEmailDBX& only = one.Add(1);
    only.m_Subject.SetText("kept as stored");
    SortEmails(one.List(), SortBySubject, true);
    EXPECT_EQ(one[0], &only);
    EXPECT_EQ(only.m_Subject.GetType(), CZHyperString::TypeAnsi);  // not even converted

    Mailbox none;
    SortEmails(none.List(), SortById, true);
    EXPECT_EQ(none.Count(), 0);

    // A borrowed list with an empty slot: the slot goes last, the rest is sorted.
    CEmailArray borrowed(false, 4, 10);
    borrowed.Append(box[0]);
    borrowed.Append(static_cast<CEmailDBX*>(nullptr));
    borrowed.Append(box[1]);
    SortEmails(borrowed, SortById, true);
    EXPECT_EQ(borrowed.Get(0)->m_Id, 1);
    EXPECT_EQ(borrowed.Get(1)->m_Id, 5);
    EXPECT_EQ(borrowed.Get(2), nullptr);
}

TEST(SortEmails, EveryModeGivesAnOrderedStablePermutation) {
    std::mt19937 rng(7);
    const char* names[] = {"", "a", "A", "b", "Bb", "bB", "\xE9"};
    for (int round = 0; round < 20; ++round) {
        Mailbox box;
        const int n = 2 + int(rng() % 40);
        for (int i = 0; i < n; ++i) {
            CEmailDBX& e = box.Add(std::int32_t(rng() % 5) - 2);
            e.m_bHasAttachment = rng() % 2 != 0;
            e.m_bFlag0020 = rng() % 2 != 0;
            e.m_nPriority = std::int32_t(rng() % 3) * 2 + 1;
            e.m_SentTime = rng() % 3;
            e.m_ReceivedTime = (rng() % 2) << 63;
            e.m_nLines = rng() % 4;
            if (rng() % 4 != 0) {
                e.m_Subject.SetText(names[rng() % 7]);
            }
            if (rng() % 4 != 0) {
                SetSenderName(e, names[rng() % 7]);
            }
            if (rng() % 4 != 0) {
                e.m_RecipientName = names[rng() % 7];
                e.m_bHasRecipientName = true;
            }
            if (rng() % 4 != 0) {
                fixture::SetMessageId(e, names[rng() % 7]);
            }
            e.m_nTextOffset = std::uint32_t(i);  // the original position
        }
        for (std::int32_t mode = 0; mode < kSortModeCount; ++mode) {
            for (const bool ascending : {true, false}) {
                // Back to the stored order, so that ties can be checked against it.
                std::sort(box.List().Items().begin(), box.List().Items().end(),
                          [](const CEmailDBX* a, const CEmailDBX* b) {
                              return a->m_nTextOffset < b->m_nTextOffset;
                          });
                SortEmails(box.List(), mode, ascending);
                std::vector<std::uint32_t> seen;
                for (std::int32_t i = 0; i < n; ++i) {
                    seen.push_back(box[i]->m_nTextOffset);
                }
                std::sort(seen.begin(), seen.end());
                for (std::int32_t i = 0; i < n; ++i) {
                    ASSERT_EQ(seen[std::size_t(i)], std::uint32_t(i));
                }
                for (std::int32_t i = 1; i < n; ++i) {
                    const int order = CompareEmails(*box[i - 1], *box[i], mode, ascending);
                    ASSERT_LE(order, 0) << "mode " << mode << " row " << i;
                    if (order == 0) {
                        ASSERT_LT(box[i - 1]->m_nTextOffset, box[i]->m_nTextOffset)
                            << "mode " << mode << " row " << i;
                    }
                }
            }
        }
    }
}

TEST(SortEmails, StoredEmptyNamesFromTheFileSortAfterMissingOnes) {
    dbxw::Message missing;
    missing.subject = "Missing";
    dbxw::Message empty;
    empty.senderName = "";
    empty.subject = "Empty";
    dbxw::Message named;
    named.senderName = "ann";
    named.subject = "Named";
    dbxw::TempDir temp;
    ASSERT_TRUE(dbxw::BuildSimpleMailbox({named, empty, missing}).WriteTo(temp.Path("a.dbx")));
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(temp.WidePath("a.dbx")), DbxOk);
    CEmailArray& emails = dbx.GetEmails();
    ASSERT_EQ(emails.GetCount(), 3);

    auto subjects = [&] {
        std::vector<std::u16string> out;
        for (CEmailDBX* e : emails.Items()) {
            out.emplace_back(e->m_Subject.GetWide());
        }
        return out;
    };
    SortEmails(emails, SortByFrom, true);
    EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"Missing", u"Empty", u"Named"}));
    SortEmails(emails, SortByFrom, false);
    EXPECT_EQ(subjects(), (std::vector<std::u16string>{u"Named", u"Empty", u"Missing"}));
}

TEST(EmailSortState, HeaderClicksChooseTheColumnAndToggleTheDirection) {
    Mailbox box;
    // The subjects run against the identifiers, so each click's result is distinct.
    const std::pair<int, const char*> entries[] = {{2, "b"}, {3, "a"}, {1, "c"}};
    for (const auto& [id, subject] : entries) {
        box.Add(id).m_Subject.SetText(subject);
    }
    CEmailSortState state;
    EXPECT_EQ(state.GetSortColumn(), -1);
    EXPECT_TRUE(state.IsAscending());
    state.Sort(box.List());  // nothing chosen yet: nothing moves
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{2, 3, 1}));

    EXPECT_TRUE(state.OnSortColumn(ColId, box.List()));
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_TRUE(state.OnSortColumn(ColId, box.List()));
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{3, 2, 1}));
    EXPECT_FALSE(state.IsAscending());
    EXPECT_TRUE(state.OnSortColumn(ColSubject, box.List()));
    EXPECT_EQ(state.GetSortColumn(), ColSubject);
    EXPECT_FALSE(state.IsAscending());  // another column keeps the direction
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{1, 2, 3}));  // c, b, a

    // Only the ten columns count; the identifier mode has no header.
    for (const std::int32_t column : {-1, 10, 11}) {
        EXPECT_FALSE(state.OnSortColumn(column, box.List()));
        EXPECT_EQ(state.GetSortColumn(), ColSubject);
        EXPECT_FALSE(state.IsAscending());
        EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{1, 2, 3}));
    }
    EXPECT_TRUE(state.OnSortColumn(ColSubject, box.List()));
    EXPECT_TRUE(state.IsAscending());
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{3, 2, 1}));  // a, b, c
    state.Sort(box.List());
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{3, 2, 1}));
}

}  // namespace
