// Ordering of email entries by one of the eleven keys: the list's ten columns and the
// message identifier. SortEmails reorders a list of entry pointers in place; the list
// header and the exports call it, and the duplicate tools sort a borrowed copy by
// message identifier so that equal identifiers stand side by side.
#pragma once

#include <cstdint>
#include <string_view>

class CEmailArray;
class CEmailDBX;

// Modes 0 to 9 are the list's column indexes; any other mode compares everything as equal.
enum EmailSortMode : std::int32_t {
    SortById = 0,
    SortByAttachment = 1,
    SortByPriority = 2,
    SortByFlag = 3,
    SortBySubject = 4,
    SortBySent = 5,
    SortByReceived = 6,
    SortByFrom = 7,
    SortByTo = 8,
    SortByLines = 9,
    SortByMessageId = 10,
    kSortModeCount = 11,
};

// The comparison the sort uses: negative when a goes before b. Comparing by subject
// turns both subjects into their wide form.
[[nodiscard]] int CompareEmails(CEmailDBX& a, CEmailDBX& b, std::int32_t mode, bool ascending);

// Sorts in place. Entries that compare equal keep their relative order, which is one of
// the orders an unstable sort may leave; a mode that compares everything as equal leaves
// the list as it is.
void SortEmails(CEmailArray& emails, std::int32_t mode, bool ascending);

// CEmailSortState: the column the main window's list is sorted by and the direction,
// as the header clicks leave them (-1 and ascending until the first click). The window
// owns one for its lifetime; the duplicate tools re-sort the rebuilt list by it.
class CEmailSortState {
public:
    // A header click: another column keeps the direction, the same column reverses it.
    // Returns false, sorting nothing, for a column outside 0 to 9; otherwise the list is
    // sorted and the caller redraws every row.
    bool OnSortColumn(std::int32_t column, CEmailArray& emails);

    // Sorts by the current column and direction (nothing moves before the first click).
    void Sort(CEmailArray& emails) const;

    [[nodiscard]] std::int32_t GetSortColumn() const { return m_nSortColumn; }
    [[nodiscard]] bool IsAscending() const { return m_bSortAscending; }

private:
    std::int32_t m_nSortColumn = -1;
    bool m_bSortAscending = true;
};
