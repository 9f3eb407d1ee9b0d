// The rules of the Selection menu: which rows of the list a command selects. The window
// turns the runs into one selection, replacing the one it had.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class CEmailArray;

enum class RowSelection {
    All,              // Select All
    WithAttachments,  // Select All Emails with Attached Files
    HighPriority,     // Select All Emails with High Priority
};

// A run of consecutive rows, both ends included.
struct CRowRun {
    std::int32_t first = 0;
    std::int32_t last = 0;
    friend bool operator==(const CRowRun&, const CRowRun&) = default;
};

// The runs that cover the rows, which come sorted and without repeats.
[[nodiscard]] std::vector<CRowRun> RunsOfRows(std::span<const std::int32_t> sortedRows);

// The runs of the first `rowCount` rows that the rule selects, in row order. A row
// without an entry is selected only by All.
[[nodiscard]] std::vector<CRowRun> SelectRowRuns(const CEmailArray& emails, std::int32_t rowCount,
                                                 RowSelection rule);
// The same for a filtered list, whose row r shows the entry at entryRows[r].
[[nodiscard]] std::vector<CRowRun> SelectRowRuns(const CEmailArray& emails,
                                                 std::span<const std::int32_t> entryRows,
                                                 RowSelection rule);
