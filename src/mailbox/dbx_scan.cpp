// The rescue scan: finds message chains the index no longer reaches by looking at every
// 4-aligned position of the file for a block header, live or freed.
//
// A live block: dword 0 its own offset, dword 1 0x200, dword 2 the bytes used (1..512),
// dword 3 the next block (0 ends). Deleting a message frees its blocks in chain order
// without wiping them: dword 1 becomes 0x1FC, dword 2 0x210, and the first payload dword
// links to the block freed just before, so a freed chain A->B->C reads back through
// B.link == A, C.link == B even when other freed blocks carry the same stale next pointer.
#include <algorithm>
#include <bit>
#include <cstring>
#include <span>
#include <unordered_map>
#include <vector>

#include "mailbox/byte_reader.h"
#include "mailbox/dbx_file.h"
#include "mailbox/indexed_data.h"
#include "platform/diag_log.h"
#include "platform/large_alloc.h"
#include "platform/text.h"

static_assert(std::endian::native == std::endian::little,
              "the scan loads the file's little-endian dwords directly");

namespace {

constexpr std::uint32_t kLiveMark = 0x200;
constexpr std::uint32_t kFreedMark = 0x1FC;
constexpr std::uint32_t kFreedCount = 0x210;
constexpr std::uint32_t kHeaderBytes = 16;
constexpr std::size_t kProbeBytes = 20;  // the header and a freed block's link
constexpr std::size_t kChunk = std::size_t(4) << 20;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

// One block header found by the pass. Its stored offset is its position less its group's
// shift. Links are 4-aligned, so bit 0 of `link` is free to mark a freed block.
struct FoundBlock {
    std::uint32_t pos;   // real position in the file
    std::uint32_t next;  // dword 3
    std::uint32_t link;  // freed blocks: the block freed before this one, and bit 0 set

    [[nodiscard]] bool Freed() const { return (link & 1) != 0; }
    [[nodiscard]] std::uint32_t FreedBefore() const { return link & ~std::uint32_t(1); }
};

// The blocks of one shift, in file order (hence by stored offset too). A block is named
// across groups by its number: the group's first number plus its slot.
struct ShiftGroup {
    std::int64_t shift = 0;
    LargeVector<FoundBlock> blocks;
    std::uint32_t first = 0;

    [[nodiscard]] std::uint32_t StoredAt(std::size_t slot) const {
        return std::uint32_t(std::int64_t(blocks[slot].pos) - shift);
    }
};

std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Whether a next pointer can name a block of this file: 4-aligned, and its real position
// (the stored offset moved by the shift) leaves room for a header.
bool NextFits(std::uint32_t next, std::int64_t shift, std::uint64_t length) {
    if (next == 0) {
        return true;
    }
    const std::int64_t real = std::int64_t(next) + shift;
    return next % 4 == 0 && real > 0 && std::uint64_t(real) + kHeaderBytes <= length;
}

class ChainFinder {
public:
    explicit ChainFinder(std::uint64_t length) : m_Length(length) {}

    // Checks the header at the position and keeps it when it is one; true when kept.
    bool Probe(const std::uint8_t* p, std::uint64_t pos) {
        const std::uint32_t mark = Load32(p + 4);
        if (mark != kLiveMark && mark != kFreedMark) {
            return false;
        }
        const std::uint32_t stored = Load32(p);
        const std::uint32_t count = Load32(p + 8);
        const std::uint32_t next = Load32(p + 12);
        const bool freed = mark == kFreedMark;
        if (freed ? count != kFreedCount : (count == 0 || count > CDBXFile::kBlockTextSize)) {
            return false;
        }
        if (stored == 0 || stored % 4 != 0) {
            return false;
        }
        const std::int64_t shift = std::int64_t(pos) - std::int64_t(stored);
        if (!NextFits(next, shift, m_Length)) {
            return false;
        }
        const std::uint32_t link = freed ? Load32(p + 16) : 0;
        if (link % 4 != 0) {
            return false;
        }
        if (m_Count >= kNone - 1) {
            return false;  // cannot happen below 4 GiB, but never wrap the numbers
        }
        m_Groups[GroupOf(shift)].blocks.push_back({std::uint32_t(pos), next, freed ? link | 1 : 0});
        ++m_Count;
        return true;
    }

    // A position whose first dword is its own offset but holds no block: maybe a record.
    // One that lies whole in the bytes at hand is read from them; the few cut by the end of
    // what was read are read from the file afterwards.
    void NoteSelfOffset(std::span<const std::uint8_t> bytes, std::uint64_t pos) {
        if (Load32(bytes.data()) != pos || pos == 0) {
            return;
        }
        const std::uint32_t mark = Load32(bytes.data() + 4);
        if (mark == kLiveMark || mark == kFreedMark) {
            return;
        }
        if (!m_Record.Parse(bytes, std::uint32_t(pos))) {
            m_Records.push_back({std::uint32_t(pos), kNone});
            return;
        }
        const std::uint32_t text = RecordTextOffset(m_Record);
        if (text != 0) {
            m_Records.push_back({std::uint32_t(pos), text});
        }
    }

    // Links every block to its successor in its group; a block takes at most one
    // predecessor, the first in file order that names it.
    void Link() {
        m_Next.assign(m_Count, kNone);
        m_State.assign(m_Count, 0);
        for (ShiftGroup& group : m_Groups) {
            for (std::size_t slot = 0; slot < group.blocks.size(); ++slot) {
                const FoundBlock& block = group.blocks[slot];
                if (block.next == 0) {
                    continue;
                }
                const std::size_t t = Find(group, block.next, slot + 1);
                if (t == kNone || t == slot || (m_State[group.first + t] & kHasPred) != 0) {
                    continue;
                }
                const FoundBlock& target = group.blocks[t];
                if (target.Freed() != block.Freed() ||
                    (block.Freed() && target.FreedBefore() != group.StoredAt(slot))) {
                    continue;
                }
                m_Next[group.first + slot] = group.first + std::uint32_t(t);
                m_State[group.first + t] |= kHasPred;
            }
        }
    }

    // Marks the blocks that the index's texts (sorted) reach by their next pointers.
    void MarkReached(const std::vector<std::uint32_t>& sortedTexts) {
        const auto zero = m_GroupOfShift.find(0);
        if (zero == m_GroupOfShift.end()) {
            return;
        }
        const ShiftGroup& group = m_Groups[zero->second];
        std::size_t near = 0;
        for (const std::uint32_t offset : sortedTexts) {
            std::size_t slot = Find(group, offset, near);
            if (slot != kNone) {
                near = slot;
            }
            while (slot != kNone && (m_State[group.first + slot] & kReached) == 0) {
                m_State[group.first + slot] |= kReached;
                // A link Link made is the block the next pointer names; only a refused
                // one needs the search.
                const std::uint32_t linked = m_Next[group.first + slot];
                const std::uint32_t next = group.blocks[slot].next;
                slot = linked != kNone ? linked - group.first
                       : next == 0     ? kNone
                                       : Find(group, next, slot + 1);
            }
        }
    }

    // The chains in file order of their first block: heads first, then whatever loops
    // without a head, cut at its first block in file order. Each block is used once.
    void Collect(const std::vector<std::uint32_t>& indexTexts,
                 std::vector<CRecoveredChain>& chains) {
        std::vector<CRecoveredChain> found;
        std::uint32_t used = 0;
        for (bool loops : {false, true}) {
            if (loops && used == m_Count) {
                break;  // the heads used every block: nothing loops
            }
            for (const ShiftGroup& group : m_Groups) {
                for (std::size_t slot = 0; slot < group.blocks.size(); ++slot) {
                    const std::uint32_t b = group.first + std::uint32_t(slot);
                    if ((m_State[b] & kUsed) != 0 || (!loops && (m_State[b] & kHasPred) != 0)) {
                        continue;
                    }
                    CRecoveredChain chain;
                    chain.m_nHead = group.blocks[slot].pos;
                    chain.m_nShift = group.shift;
                    chain.m_Kind = group.blocks[slot].Freed() ? RecoveredKind::Deleted
                                                              : RecoveredKind::Unlisted;
                    bool reached = false;
                    for (std::uint32_t c = b; c != kNone && (m_State[c] & kUsed) == 0;
                         c = m_Next[c]) {
                        m_State[c] |= kUsed;
                        reached = reached || (m_State[c] & kReached) != 0;
                        ++chain.m_nBlockCount;
                        ++used;
                    }
                    if (!Accepted(group) || (chain.m_Kind == RecoveredKind::Unlisted && reached) ||
                        (chain.m_nShift == 0 &&
                         std::binary_search(indexTexts.begin(), indexTexts.end(), chain.m_nHead))) {
                        continue;
                    }
                    found.push_back(chain);
                }
            }
        }
        // Every position holds one block at most, so the heads' positions order them.
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.m_nHead < b.m_nHead; });
        chains.insert(chains.end(), found.begin(), found.end());
    }

    // Numbers the blocks group after group, once the pass has found them all.
    void Number() {
        std::uint32_t first = 0;
        for (ShiftGroup& group : m_Groups) {
            group.first = first;
            first += std::uint32_t(group.blocks.size());
        }
    }

    // Records found by the pass, in file order, with the text offset each names (kNone: not
    // read yet).
    struct FoundRecord {
        std::uint32_t pos;
        std::uint32_t text;
    };
    [[nodiscard]] const std::vector<FoundRecord>& Records() const { return m_Records; }
    [[nodiscard]] std::size_t BlockCount() const { return m_Count; }

private:
    std::uint32_t GroupOf(std::int64_t shift) {
        if (m_LastGroup != kNone && m_Groups[m_LastGroup].shift == shift) {
            return m_LastGroup;
        }
        auto [it, added] = m_GroupOfShift.try_emplace(shift, std::uint32_t(m_Groups.size()));
        if (added) {
            m_Groups.push_back({shift, {}, 0});
            if (shift == 0) {
                // A healthy file is its own blocks nearly end to end: room for that many
                // up front spares the copies of a growing list (only what is filled takes
                // memory).
                m_Groups.back().blocks.reserve(std::size_t(m_Length / CDBXFile::kBlockSize) + 64);
            }
        }
        m_LastGroup = it->second;
        return it->second;
    }

    // The slot of the group's block whose stored offset is the value; kNone when none. The
    // search starts at the slot `near` and widens from there: the successor of a chain
    // written in one go is the next slot, and sorted lookups land close to the one before.
    static std::size_t Find(const ShiftGroup& group, std::uint32_t stored, std::size_t near) {
        const std::int64_t wanted = std::int64_t(stored) + group.shift;
        if (wanted < 0 || wanted > std::int64_t(kNone)) {
            return kNone;
        }
        const auto pos = std::uint32_t(wanted);
        const LargeVector<FoundBlock>& blocks = group.blocks;
        std::size_t lo = 0;
        std::size_t hi = blocks.size();
        if (near < hi) {
            if (blocks[near].pos == pos) {
                return near;
            }
            if (blocks[near].pos > pos) {
                hi = near;
            } else {
                lo = near + 1;
                for (std::size_t step = 1; lo + step <= hi; step *= 2) {
                    const std::size_t probe = lo + step - 1;
                    if (blocks[probe].pos >= pos) {
                        hi = probe + 1;
                        break;
                    }
                    lo = probe + 1;
                }
            }
        }
        const auto end = blocks.begin() + std::ptrdiff_t(hi);
        const auto it = std::lower_bound(
            blocks.begin() + std::ptrdiff_t(lo), end, pos,
            [](const FoundBlock& b, std::uint32_t value) { return b.pos < value; });
        return it != end && it->pos == pos ? std::size_t(it - blocks.begin()) : kNone;
    }

    // The unshifted blocks always count. A lone header at some other shift is more likely
    // bytes of a message that happen to look like one than a copy cut at its start.
    static bool Accepted(const ShiftGroup& group) {
        return group.shift == 0 || group.blocks.size() >= 2;
    }

    std::uint64_t m_Length;
    std::vector<ShiftGroup> m_Groups;
    std::uint32_t m_Count = 0;  // blocks in all groups
    std::unordered_map<std::int64_t, std::uint32_t> m_GroupOfShift;
    std::uint32_t m_LastGroup = kNone;
    LargeVector<std::uint32_t> m_Next;  // by block number
    // Per block number: kHasPred (Link), kReached (MarkReached), kUsed (Collect).
    static constexpr std::uint8_t kHasPred = 1;
    static constexpr std::uint8_t kReached = 2;
    static constexpr std::uint8_t kUsed = 4;
    LargeVector<std::uint8_t> m_State;
    CIndexedData m_Record;  // reused: it holds tables of every attribute
    std::vector<FoundRecord> m_Records;
};

}  // namespace

std::int32_t CDBXFile::OpenForRecovery(const char16_t* path) {
    const std::int32_t status = Open(path);
    const bool damaged = status == DbxCannotRead || status == DbxFolderFile;
    if (status != DbxOk && status != DbxNoEmail && !damaged) {
        Close();  // nothing there to scan (missing, unreadable): IsOpen says so
    } else if (damaged && !m_File.IsOpen()) {
        (void)m_File.Open(path, CZFile::ModeRead);
    }
    return status;
}

bool CDBXFile::ScanForChains(std::vector<CRecoveredChain>& chains, const ScanProgress& progress) {
    chains.clear();
    if (!m_File.IsOpen()) {
        return false;
    }
    const std::uint64_t length = m_File.GetLength();
    ChainFinder finder(length);
    LargeVector<std::uint8_t> buffer(kChunk + kProbeBytes);
    std::uint64_t base = 0;  // file position of buffer[0]
    std::size_t have = 0;
    std::uint64_t readTo = 0;
    if (progress && !progress(0, length)) {
        return false;
    }
    while (readTo < length) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kChunk, length - readTo));
        if (!m_File.Seek(readTo) || !m_File.Read(buffer.data() + have, std::uint32_t(n))) {
            DiagLogF("Scan stopped: unable to read at offset %llu",
                     static_cast<unsigned long long>(readTo));
            break;
        }
        readTo += n;
        have += n;
        // Positions whose probe fits in what was read; the last few wait for the next chunk
        // unless the file ends here.
        const std::size_t limit = have >= kProbeBytes ? have - kProbeBytes + 1 : 0;
        std::size_t i = 0;
        const std::uint8_t* data = buffer.data();
        for (; i < limit; i += 4) {
            const std::uint32_t mark = Load32(data + i + 4);
            if (mark == kLiveMark || mark == kFreedMark) {
                // A block that stands where it says it does fills its 528 bytes: no other
                // header starts inside it, so its payload need not be looked at. This
                // keeps the pass close to the speed of reading the file.
                if (finder.Probe(data + i, base + i) && Load32(data + i) == base + i &&
                    i + CDBXFile::kBlockSize <= have) {
                    i += CDBXFile::kBlockSize - 4;
                }
            } else if (Load32(data + i) == base + i) {
                finder.NoteSelfOffset({data + i, have - i}, base + i);
            }
        }
        std::memmove(buffer.data(), buffer.data() + i, have - i);
        base += i;
        have -= i;
        if (progress && !progress(readTo, length)) {
            return false;
        }
    }

    finder.Number();
    finder.Link();
    std::vector<std::uint32_t> textOffsets;
    for (const CEmailDBX* entry : m_Emails.Items()) {
        if (entry != nullptr && !entry->IsRecovered() && entry->m_nTextOffset != 0) {
            textOffsets.push_back(entry->m_nTextOffset);
        }
    }
    std::sort(textOffsets.begin(), textOffsets.end());
    finder.MarkReached(textOffsets);
    finder.Collect(textOffsets, chains);

    // Records that still name a recovered chain give it its identifier, flags and dates.
    if (!chains.empty()) {
        std::unordered_map<std::uint32_t, std::size_t> byHead;
        for (std::size_t c = 0; c < chains.size(); ++c) {
            if (chains[c].m_nShift == 0) {
                byHead.emplace(chains[c].m_nHead, c);
            }
        }
        for (const auto& [offset, named] : finder.Records()) {
            if (byHead.empty()) {
                break;
            }
            std::uint32_t text = named;
            if (text == kNone) {
                const std::unique_ptr<CEmailDBX> entry = BuildEmailEntry(m_File, offset);
                text = entry ? entry->m_nTextOffset : 0;
            }
            const auto it = byHead.find(text);
            if (text != 0 && it != byHead.end()) {
                chains[it->second].m_nRecordOffset = offset;
                byHead.erase(it);
            }
        }
    }
    return true;
}

std::unique_ptr<CEmailDBX> CDBXFile::MakeRecoveredEntry(const CRecoveredChain& chain) {
    std::unique_ptr<CEmailDBX> entry;
    if (chain.m_nRecordOffset != 0) {
        entry = BuildEmailEntry(m_File, chain.m_nRecordOffset);
    }
    if (!entry) {
        entry = std::make_unique<CEmailDBX>();
        entry->m_bHasText = true;
    }
    entry->m_Recovered = chain.m_Kind;
    entry->m_nTextOffset = chain.m_nHead;
    entry->m_nShift = chain.m_nShift;
    entry->m_nBlockCount = chain.m_nBlockCount;
    entry->m_nLostBytes = chain.m_Kind == RecoveredKind::Deleted ? 4 * chain.m_nBlockCount : 0;
    return entry;
}

bool CDBXFile::ReadRecoveredText(const CEmailDBX& entry, std::string& text) {
    text.clear();
    const std::uint64_t length = m_File.GetLength();
    const bool freed = entry.m_Recovered == RecoveredKind::Deleted;
    std::uint8_t block[kBlockSize];
    std::int64_t pos = entry.m_nTextOffset;
    std::uint32_t previous = 0;
    // The scan already chose these blocks; the checks only guard against a file that
    // changed since, and the count keeps a loop from running on.
    for (std::uint32_t i = 0; i < entry.m_nBlockCount; ++i) {
        if (pos <= 0 || std::uint64_t(pos) + kHeaderBytes + (freed ? 4 : 0) > length) {
            break;
        }
        const std::uint32_t n =
            std::uint32_t(std::min<std::uint64_t>(kBlockSize, length - std::uint64_t(pos)));
        if (!m_File.Seek(std::uint64_t(pos)) || !m_File.Read(block, n)) {
            break;
        }
        const CByteReader reader({block, n});
        const std::uint32_t stored = reader.U32(0);
        if (std::int64_t(stored) + entry.m_nShift != pos ||
            reader.U32(4) != (freed ? kFreedMark : kLiveMark) ||
            (freed && i > 0 && reader.U32(16) != previous)) {
            break;
        }
        const std::size_t payload = n - kHeaderBytes;
        if (freed) {
            // The first dword went to the free list; the real length of a freed block is
            // lost, so all of its bytes are taken and the text is cut at its end below.
            text.append(4, kLostByte);
            text.append(reinterpret_cast<const char*>(block) + kHeaderBytes + 4, payload - 4);
        } else {
            const std::size_t count = std::min<std::size_t>(reader.U32(8), payload);
            text.append(reinterpret_cast<const char*>(block) + kHeaderBytes, count);
        }
        previous = stored;
        const std::uint32_t next = reader.U32(12);
        if (next == 0) {
            break;
        }
        pos = std::int64_t(next) + entry.m_nShift;
    }
    // Like every raw text, it ends at its first zero byte: the unused tail of a fresh
    // block, whatever a deleted message's last block held after its end.
    text.resize(CutAtZero(text).size());
    if (freed) {
        // A text that is nothing but lost bytes holds nothing.
        if (text.find_first_not_of(kLostByte) == std::string::npos) {
            text.clear();
        }
    }
    return !text.empty();
}
