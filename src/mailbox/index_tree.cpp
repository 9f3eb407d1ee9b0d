#include "mailbox/index_tree.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "mailbox/byte_reader.h"
#include "mailbox/z_file.h"
#include "platform/diag_log.h"

namespace {

constexpr std::uint32_t kNodeSize = 636;
constexpr std::uint32_t kNodeEntries = 51;
constexpr std::uint32_t kNodeFirstChild = 0x08;
constexpr std::uint32_t kNodeEntryCount = 0x11;
constexpr std::uint32_t kNodeEntryTable = 0x18;
constexpr std::uint32_t kNodeEntrySize = 12;

// Reads one node, hands over its records and queues its children.
bool VisitNode(CZFile& file, std::uint32_t offset, std::vector<std::uint32_t>& pending,
               const std::function<void(std::uint32_t)>& visit) {
    std::uint8_t node[kNodeSize];
    if (offset == 0 || !file.Seek(offset) || !file.Read(node, kNodeSize)) {
        return false;
    }
    const CByteReader reader({node, kNodeSize});
    const std::uint32_t self = reader.U32(0);
    if (self != offset) {
        DiagLogF("TreeNode corrupted at offset %lu (Buffer[0] is different (%lu)",
                 static_cast<unsigned long>(offset), static_cast<unsigned long>(self));
        return false;
    }
    // The count byte can say up to 255; the node has room for 51.
    const std::uint32_t count = std::min<std::uint32_t>(reader.U8(kNodeEntryCount), kNodeEntries);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t record = reader.U32(kNodeEntryTable + i * kNodeEntrySize);
        if (record != 0) {
            visit(record);
        }
    }
    // Pushed in reverse: the first child's subtree comes off the stack first.
    for (std::uint32_t i = count; i-- > 0;) {
        const std::uint32_t child = reader.U32(kNodeEntryTable + i * kNodeEntrySize + 4);
        if (child != 0) {
            pending.push_back(child);
        }
    }
    if (const std::uint32_t firstChild = reader.U32(kNodeFirstChild); firstChild != 0) {
        pending.push_back(firstChild);
    }
    return true;
}

}  // namespace

bool WalkIndexTree(CZFile& file, std::uint32_t rootOffset,
                   const std::function<void(std::uint32_t recordOffset)>& visit,
                   std::uint32_t* damagedNodes) {
    std::vector<std::uint32_t> pending{rootOffset};
    std::unordered_set<std::uint32_t> visited;
    bool first = true;
    while (!pending.empty()) {
        const std::uint32_t offset = pending.back();
        pending.pop_back();
        if (!visited.insert(offset).second) {
            continue;
        }
        const bool read = VisitNode(file, offset, pending, visit);
        if (first && !read) {
            return false;  // only the root's failure is the caller's concern
        }
        if (!read && damagedNodes != nullptr) {
            ++*damagedNodes;
        }
        first = false;
    }
    return !first;
}
