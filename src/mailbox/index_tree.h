// The index tree every Outlook Express file keeps its records in: 636-byte nodes of up to
// 51 entries, each entry pointing at a record and at the subtree that follows it. The walk
// hands over every record offset in the order the list shows the records: a node's own
// entries, then its first child's subtree, then each entry's subtree in entry order.
#pragma once

#include <cstdint>
#include <functional>

class CZFile;

// False when the node at rootOffset cannot be read or fails its self-offset check (nothing
// is handed over then). A damaged node further down loses only its own subtree. Each node
// is read at most once, so offsets that lead back into the walk cannot make it endless,
// and the walk keeps its own stack, so no chain of nodes can exhaust the call stack.
// Nodes below the root that fail are counted in damagedNodes when it is given.
bool WalkIndexTree(CZFile& file, std::uint32_t rootOffset,
                   const std::function<void(std::uint32_t recordOffset)>& visit,
                   std::uint32_t* damagedNodes = nullptr);
