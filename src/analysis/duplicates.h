// The two duplicate tools: entries are duplicates when both carry a message identifier
// and the identifiers are equal but for ASCII letter case. Both tools sort a borrowed copy
// of the list by identifier and walk it once; deleting changes the list in memory only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CEmailArray;
class CEmailDBX;
class CEmailSortState;
class IUiServices;

// Both identifiers stored and not empty, and equal without regard to ASCII case.
[[nodiscard]] bool SameMessageId(const CEmailDBX& a, const CEmailDBX& b);

// Count Duplicate Emails: one notice with the count (or "No duplicate messages." for
// fewer than two entries). Returns the count.
std::uint32_t CountDuplicateEmails(CEmailArray& emails, IUiServices& ui);

// Told the new number of entries and the status text "%lu emails" once the list is
// rebuilt, before the final notice: the window resizes and redraws its list there.
using ListRebuiltFn = std::function<void(std::int32_t count, std::u16string_view statusText)>;

// Delete Duplicate Emails: the note, then the list rebuilt from one entry of each
// identifier and sorted by the window's current column, then the notice with the number
// removed. Entries removed from an owning list are destroyed. Returns that number.
std::uint32_t DeleteDuplicateEmails(CEmailArray& emails, IUiServices& ui,
                                    const CEmailSortState& sort,
                                    const ListRebuiltFn& onListRebuilt = {});

// The notice texts, for callers that show them elsewhere.
inline constexpr char16_t kNoDuplicatesText[] = u"No duplicate messages.";
inline constexpr char16_t kDeleteDuplicatesNote[] =
    u"Note : This tool will only delete duplicate messages\nin memory, and will not affect "
    u"your emails file.";
[[nodiscard]] std::u16string DuplicatesFoundText(std::uint32_t count);
[[nodiscard]] std::u16string DuplicatesDeletedText(std::uint32_t count);
[[nodiscard]] std::u16string EmailCountText(std::uint32_t count);
