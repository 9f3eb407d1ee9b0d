// What the email list shows of an entry: the ten columns, their headings and widths, and
// each cell's text or icon. The desktop list and the CLI's table both read them from here,
// so the two never differ.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CEmailDBX;

enum EmailColumn : std::int32_t {
    ColId = 0,
    ColAttachment = 1,
    ColPriority = 2,
    ColFlag = 3,
    ColSubject = 4,
    ColSent = 5,
    ColReceived = 6,
    ColFrom = 7,
    ColTo = 8,
    ColLines = 9,
    kEmailColumnCount = 10,
};

enum class ColumnAlign { Left, Centre };

struct EmailColumnInfo {
    const char16_t* heading;
    ColumnAlign align;
    std::int32_t width;  // pixels
};

extern const std::array<EmailColumnInfo, kEmailColumnCount> kEmailColumns;

// Icons of the list's image strip.
enum EmailIcon : std::int32_t {
    IconNone = 0,
    IconAttachment = 1,
    IconFlag = 2,
    IconHighPriority = 3,
    IconLowPriority = 4,
    IconRecoveredDeleted = 5,   // grey: a deleted message the scan found
    IconRecoveredUnlisted = 6,  // a message no index entry lists
};

// The text of a text cell, stored strings read in the mailbox's code page; empty for icon
// cells and unknown columns.
[[nodiscard]] std::u16string GetEmailCellText(const CEmailDBX& entry, std::int32_t column,
                                              std::uint32_t codePage);
// The icon of an icon cell; IconNone when none applies.
[[nodiscard]] EmailIcon GetEmailCellIcon(const CEmailDBX& entry, std::int32_t column);
// The icon beside the ID of a recovered row; IconNone for index rows.
[[nodiscard]] EmailIcon GetEmailRowIcon(const CEmailDBX& entry);
[[nodiscard]] bool IsIconColumn(std::int32_t column);
