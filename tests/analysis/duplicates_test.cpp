// The duplicate tools: their notices in order, which entries stay, and how the rebuilt
// list is sorted and handed back to the window.
#include "analysis/duplicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "analysis/email_sort.h"
#include "mailbox/email_columns.h"
#include "mailbox_fixture.h"
#include "platform/code_page.h"
#include "platform/text.h"
#include "support/recording_ui.h"

namespace {

using fixture::Mailbox;

const std::u16string kNote = kDeleteDuplicatesNote;

void ExpectPlainNotices(const CRecordingUi& ui) {
    for (const RecordedMessageBox& m : ui.messages) {
        EXPECT_EQ(m.caption, kAppName) << WideToUtf8(m.text);
        EXPECT_EQ(m.icon, MsgIcon::None);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
}

// An entry that reports its own destruction.
class CountedEmail final : public CEmailDBX {
public:
    explicit CountedEmail(int& destroyed) : m_destroyed(destroyed) {}
    ~CountedEmail() override { ++m_destroyed; }

private:
    int& m_destroyed;
};

TEST(DuplicateEmails, FewerThanTwoEntriesHaveNoDuplicates) {
    for (const int n : {0, 1}) {
        Mailbox box;
        if (n == 1) {
            box.Add(1, "<a@x>");
        }
        CRecordingUi countUi;
        EXPECT_EQ(CountDuplicateEmails(box.List(), countUi), 0u);
        EXPECT_EQ(countUi.MessageTexts(), (std::vector<std::u16string>{u"No duplicate messages."}));
        CRecordingUi deleteUi;
        CEmailSortState sort;
        bool rebuilt = false;
        EXPECT_EQ(DeleteDuplicateEmails(box.List(), deleteUi, sort,
                                        [&](std::int32_t, std::u16string_view) { rebuilt = true; }),
                  0u);
        EXPECT_EQ(deleteUi.MessageTexts(),
                  (std::vector<std::u16string>{kNote, u"No duplicate messages."}));
        EXPECT_FALSE(rebuilt);
        EXPECT_EQ(box.Count(), n);
        ExpectPlainNotices(countUi);
        ExpectPlainNotices(deleteUi);
    }
    EXPECT_EQ(kNote,
              u"Note : This tool will only delete duplicate messages\nin memory, and will not "
              u"affect your emails file.");
}

TEST(DuplicateEmails, IdentifiersDifferingOnlyInCaseAreDuplicates) {
    Mailbox box;
    box.Add(1, "<Minutes.One@Example.COM>");
    box.Add(2, "<other@x>");
    box.Add(3, "<minutes.one@example.com>");
    CRecordingUi ui;
    EXPECT_EQ(CountDuplicateEmails(box.List(), ui), 1u);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"1 duplicate messages found.\n"}));
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{1, 2, 3}));  // counting changes nothing

    CEmailSortState sort;
    EXPECT_EQ(DeleteDuplicateEmails(box.List(), ui, sort), 1u);
    EXPECT_EQ(ui.messages.back().text, u"1 duplicate messages found and deleted.\n");
    ASSERT_EQ(box.Count(), 2);
    const std::vector<std::int32_t> ids = box.Ids();
    const std::set<std::int32_t> left(ids.begin(), ids.end());
    EXPECT_EQ(left.count(2), 1u);
    EXPECT_EQ(left.count(1) + left.count(3), 1u);
    ExpectPlainNotices(ui);
}

TEST(DuplicateEmails, MissingAndEmptyIdentifiersAreNeverDuplicates) {
    Mailbox box;
    for (int i = 0; i < 4; ++i) {
        box.Add(i);
    }
    fixture::SetMessageId(box.Add(10), "");
    fixture::SetMessageId(box.Add(11), "");
    CEmailDBX& unflagged = box.Add(12);
    unflagged.m_MessageId = "<a@x>";  // text without the stored flag: not an identifier
    box.Add(13, "<a@x>");
    CRecordingUi ui;
    EXPECT_EQ(CountDuplicateEmails(box.List(), ui), 0u);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"0 duplicate messages found.\n"}));
    CEmailSortState sort;
    EXPECT_EQ(DeleteDuplicateEmails(box.List(), ui, sort), 0u);
    EXPECT_EQ(box.Count(), 8);
    EXPECT_EQ(ui.messages.back().text, u"0 duplicate messages found and deleted.\n");
}

TEST(DuplicateEmails, ThreeCopiesAndOneOther) {
    Mailbox box;
    box.Add(1, "<copy@x>");
    box.Add(2, "<single@x>");
    box.Add(3, "<COPY@x>");
    box.Add(4, "<copy@X>");
    CRecordingUi ui;
    EXPECT_EQ(CountDuplicateEmails(box.List(), ui), 2u);
    CEmailSortState sort;
    EXPECT_EQ(DeleteDuplicateEmails(box.List(), ui, sort), 2u);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::u16string>{u"2 duplicate messages found.\n", kNote,
                                           u"2 duplicate messages found and deleted.\n"}));
    // No column chosen: the survivors stay in identifier order, one of each.
    ASSERT_EQ(box.Count(), 2);
    EXPECT_EQ(CompareNoCase(box[0]->m_MessageId, "<copy@x>"), 0);
    EXPECT_EQ(box[1]->m_Id, 2);
}

TEST(DuplicateEmails, RebuiltListIsSortedByTheWindowsColumnAndReportedBeforeTheNotice) {
    Mailbox box;
    for (const int id : {4, 9, 1, 7, 3}) {
        box.Add(id, "<" + std::to_string(id) + "@x>");
    }
    CEmailSortState sort;
    ASSERT_TRUE(sort.OnSortColumn(ColId, box.List()));
    ASSERT_TRUE(sort.OnSortColumn(ColId, box.List()));  // descending
    SortEmails(box.List(), SortByMessageId, true);      // shuffled again behind its back

    CRecordingUi ui;
    std::vector<std::string> order;
    const std::uint32_t removed = DeleteDuplicateEmails(
        box.List(), ui, sort, [&](std::int32_t count, std::u16string_view status) {
            order.push_back("rebuilt " + std::to_string(count) + " " + WideToUtf8(status) +
                            " after " + std::to_string(ui.messages.size()) + " boxes");
        });
    EXPECT_EQ(removed, 0u);
    EXPECT_EQ(box.Ids(), (std::vector<std::int32_t>{9, 7, 4, 3, 1}));
    EXPECT_EQ(order, (std::vector<std::string>{"rebuilt 5 5 emails after 1 boxes"}));
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::u16string>{kNote, u"0 duplicate messages found and deleted.\n"}));
}

TEST(DuplicateEmails, DroppedEntriesOfTheMailboxAreDestroyedAndUnlinked) {
    int destroyed = 0;
    CEmailArray owning(true, 10, 10);
    auto add = [&](const std::string& id) {
        auto e = std::make_unique<CountedEmail>(destroyed);
        fixture::SetMessageId(*e, id);
        CEmailDBX* raw = e.get();
        owning.Append(std::move(e));
        return raw;
    };
    CEmailDBX* first = add("<a@x>");
    add("<a@x>");
    CEmailDBX* reply = add("<b@x>");
    reply->m_pThreadParent = owning.Get(1);  // a link from an earlier thread scan
    add("<A@x>");
    CRecordingUi ui;
    CEmailSortState sort;
    EXPECT_EQ(DeleteDuplicateEmails(owning, ui, sort), 2u);
    EXPECT_EQ(destroyed, 2);
    ASSERT_EQ(owning.GetCount(), 2);
    EXPECT_EQ(owning.Get(0), first);  // ties keep list order: the first copy stays
    EXPECT_EQ(owning.Get(1), reply);
    EXPECT_EQ(reply->m_pThreadParent, nullptr);

    // A borrowed list forgets its dropped entries without destroying them.
    CEmailArray borrowed(false, 4, 4);
    borrowed.Append(first);
    borrowed.Append(reply);
    CEmailDBX copy;
    fixture::SetMessageId(copy, "<B@X>");
    borrowed.Append(&copy);
    EXPECT_EQ(DeleteDuplicateEmails(borrowed, ui, sort), 1u);
    EXPECT_EQ(borrowed.GetCount(), 2);
    EXPECT_EQ(destroyed, 2);
    owning.RemoveAll();
    EXPECT_EQ(destroyed, 4);
}

TEST(DuplicateEmails, BothToolsAgreeWithACountOfDistinctIdentifiers) {
    std::mt19937 rng(5);
    const char* ids[] = {"<a@x>", "<A@x>", "<a@X>", "<b@x>", "<ab@x>", "", "<\xE9@x>", "<\xC9@x>"};
    for (int round = 0; round < 50; ++round) {
        Mailbox box;
        std::set<std::string> distinct;
        std::uint32_t withId = 0;
        const int n = int(rng() % 30);
        for (int i = 0; i < n; ++i) {
            CEmailDBX& e = box.Add(i);
            if (rng() % 5 != 0) {
                std::string id = ids[rng() % 8];
                fixture::SetMessageId(e, id);
                if (!id.empty()) {
                    ++withId;
                    std::transform(id.begin(), id.end(), id.begin(), [](char c) {
                        return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
                    });
                    distinct.insert(id);
                }
            }
        }
        const std::uint32_t expected = withId - std::uint32_t(distinct.size());
        CRecordingUi ui;
        EXPECT_EQ(CountDuplicateEmails(box.List(), ui), n < 2 ? 0u : expected);
        CEmailSortState sort;
        EXPECT_EQ(DeleteDuplicateEmails(box.List(), ui, sort), n < 2 ? 0u : expected);
        EXPECT_EQ(box.Count(), n < 2 ? n : n - std::int32_t(expected));
        // Nothing left to delete.
        CRecordingUi again;
        if (box.Count() >= 2) {
            EXPECT_EQ(CountDuplicateEmails(box.List(), again), 0u);
        }
    }
}

}  // namespace
