// Reply links of a mailbox: which entry each entry answers. An entry answers the last
// entry in list order, other than itself, whose non-empty message identifier occurs in
// its In-Reply-To text (case-sensitive; both texts end at their first zero byte).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

class CEmailArray;
class CEmailDBX;

// The row of the answered entry for every row of the list, -1 where there is none.
// One automaton over all identifiers is run once over every In-Reply-To text, so the
// whole list costs about the total length of its identifiers and texts rather than a
// search per pair of entries.
[[nodiscard]] std::vector<std::int32_t> FindThreadParents(const CEmailArray& emails);
