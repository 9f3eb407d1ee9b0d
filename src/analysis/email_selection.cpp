#include "analysis/email_selection.h"

#include "mailbox/email.h"
#include "mailbox/email_array.h"

namespace {

bool Selects(const CEmailArray& emails, std::int32_t entryRow, RowSelection rule) {
    if (rule == RowSelection::All) {
        return true;
    }
    const CEmailDBX* e =
        entryRow >= 0 && entryRow < emails.GetCount() ? emails.Get(entryRow) : nullptr;
    if (e == nullptr) {
        return false;
    }
    // Priority 1 is the highest the flag can say.
    return rule == RowSelection::WithAttachments ? e->m_bHasAttachment : e->m_nPriority == 1;
}

template <typename EntryOfRow>
std::vector<CRowRun> Runs(const CEmailArray& emails, std::int32_t rowCount, RowSelection rule,
                          EntryOfRow entryOfRow) {
    std::vector<CRowRun> runs;
    std::int32_t first = -1;
    for (std::int32_t row = 0; row <= rowCount; ++row) {
        const bool on = row < rowCount && Selects(emails, entryOfRow(row), rule);
        if (on && first < 0) {
            first = row;
        } else if (!on && first >= 0) {
            runs.push_back({first, row - 1});
            first = -1;
        }
    }
    return runs;
}

}  // namespace

std::vector<CRowRun> SelectRowRuns(const CEmailArray& emails, std::int32_t rowCount,
                                   RowSelection rule) {
    return Runs(emails, rowCount, rule, [](std::int32_t row) { return row; });
}

std::vector<CRowRun> SelectRowRuns(const CEmailArray& emails,
                                   std::span<const std::int32_t> entryRows, RowSelection rule) {
    return Runs(emails, std::int32_t(entryRows.size()), rule,
                [entryRows](std::int32_t row) { return entryRows[std::size_t(row)]; });
}

std::vector<CRowRun> RunsOfRows(std::span<const std::int32_t> sortedRows) {
    std::vector<CRowRun> runs;
    for (const std::int32_t row : sortedRows) {
        if (!runs.empty() && runs.back().last + 1 == row) {
            runs.back().last = row;
        } else {
            runs.push_back({row, row});
        }
    }
    return runs;
}
