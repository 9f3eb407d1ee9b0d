#include "analysis/email_selection.h"

#include <gtest/gtest.h>

#include <vector>

#include "mailbox_fixture.h"

namespace {

using Runs = std::vector<CRowRun>;

class SelectionRules : public ::testing::Test {
protected:
    void SetUp() override {
        // Rows:        0  1  2  3  4  5  6
        // attachment:  -  x  x  -  x  -  x
        // priority:    3  1  5  1  1  0  1
        const bool attached[] = {false, true, true, false, true, false, true};
        const std::int32_t priority[] = {3, 1, 5, 1, 1, 0, 1};
        for (std::int32_t i = 0; i < 7; ++i) {
            CEmailDBX& e = box.Add(i + 1);
            e.m_bHasAttachment = attached[i];
            e.m_nPriority = priority[i];
        }
    }
    fixture::Mailbox box;
};

TEST_F(SelectionRules, AttachmentsAndHighPriorityGiveTheirRunsInRowOrder) {
    EXPECT_EQ(SelectRowRuns(box.List(), 7, RowSelection::WithAttachments),
              (Runs{{1, 2}, {4, 4}, {6, 6}}));
    EXPECT_EQ(SelectRowRuns(box.List(), 7, RowSelection::HighPriority),
              (Runs{{1, 1}, {3, 4}, {6, 6}}));
    EXPECT_EQ(SelectRowRuns(box.List(), 7, RowSelection::All), (Runs{{0, 6}}));
}

TEST_F(SelectionRules, OnlyTheListedRowsCount) {
    // Fewer rows than entries: the list shows only these.
    EXPECT_EQ(SelectRowRuns(box.List(), 3, RowSelection::WithAttachments), (Runs{{1, 2}}));
    // Rows past the entries have nothing to match, but Select All takes them.
    EXPECT_EQ(SelectRowRuns(box.List(), 9, RowSelection::HighPriority),
              (Runs{{1, 1}, {3, 4}, {6, 6}}));
    EXPECT_EQ(SelectRowRuns(box.List(), 9, RowSelection::All), (Runs{{0, 8}}));
    EXPECT_TRUE(SelectRowRuns(box.List(), 0, RowSelection::All).empty());
    fixture::Mailbox empty;
    EXPECT_TRUE(SelectRowRuns(empty.List(), 0, RowSelection::WithAttachments).empty());
}

TEST_F(SelectionRules, AFilteredListMatchesTheEntriesItsRowsShow) {
    // The list shows entries 1, 3, 4, 5, 6 and one past the end.
    const std::vector<std::int32_t> shown = {1, 3, 4, 5, 6, 9};
    EXPECT_EQ(SelectRowRuns(box.List(), shown, RowSelection::WithAttachments),
              (Runs{{0, 0}, {2, 2}, {4, 4}}));
    EXPECT_EQ(SelectRowRuns(box.List(), shown, RowSelection::HighPriority), (Runs{{0, 2}, {4, 4}}));
    EXPECT_EQ(SelectRowRuns(box.List(), shown, RowSelection::All), (Runs{{0, 5}}));
    EXPECT_TRUE(SelectRowRuns(box.List(), std::vector<std::int32_t>{}, RowSelection::All).empty());
}

TEST_F(SelectionRules, ChangedFlagsChangeTheRuns) {
    for (std::int32_t row = 0; row < 7; ++row) {
        box[row]->m_bHasAttachment = true;
        box[row]->m_nPriority = 2;
    }
    EXPECT_EQ(SelectRowRuns(box.List(), 7, RowSelection::WithAttachments), (Runs{{0, 6}}));
    EXPECT_TRUE(SelectRowRuns(box.List(), 7, RowSelection::HighPriority).empty());
}

}  // namespace

TEST(RowRuns, SortedRowsJoinWhereTheyFollowEachOther) {
    EXPECT_TRUE(RunsOfRows({}).empty());
    const std::vector<std::int32_t> one = {7};
    EXPECT_EQ(RunsOfRows(one), (std::vector<CRowRun>{{7, 7}}));
    const std::vector<std::int32_t> rows = {0, 1, 2, 5, 7, 8, 10};
    EXPECT_EQ(RunsOfRows(rows), (std::vector<CRowRun>{{0, 2}, {5, 5}, {7, 8}, {10, 10}}));
}
