#include <cstring>
#include <unordered_set>
#include <vector>

#include "mailbox/byte_reader.h"
#include "mailbox/dbx_file.h"

bool CDBXFile::ReadMessageText(std::uint32_t offset, std::string& text) {
    text.clear();
    if (offset == 0 || !m_File.Seek(offset)) {
        return false;
    }
    std::uint8_t block[kBlockSize];
    const CByteReader reader({block, kBlockSize});
    std::uint32_t expected = offset;
    bool gathered = false;
    // A chain that loops back ends at the first block it would read again. A loop needs a
    // backward step, so the offsets are only looked up once the chain has stepped back.
    std::vector<std::uint32_t> chain;
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t highest = 0;

    for (;;) {
        if (expected <= highest) {
            if (seen.empty()) {
                seen.insert(chain.begin(), chain.end());
            }
            if (!seen.insert(expected).second) {
                break;
            }
        } else {
            highest = expected;
            if (seen.empty()) {
                chain.push_back(expected);
            } else {
                seen.insert(expected);
            }
        }
        if (!m_File.Read(block, kBlockSize)) {
            break;
        }
        if (reader.U32(0) != expected) {
            break;
        }
        // A byte count above the block's room is cut to it.
        const std::uint32_t count = std::min(reader.U32(8), kBlockTextSize);
        if (count > 0) {
            gathered = true;
            const char* bytes = reinterpret_cast<const char*>(block + 16);
            const void* zero = std::memchr(bytes, 0, count);
            if (zero) {
                // The text ends at its first zero byte; nothing after it can be seen.
                text.append(bytes, std::size_t(static_cast<const char*>(zero) - bytes));
                break;
            }
            text.append(bytes, count);
        }
        expected = reader.U32(12);
        if (expected == 0 || !m_File.Seek(expected)) {
            break;
        }
    }
    return gathered;
}
