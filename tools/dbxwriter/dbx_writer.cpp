#include "dbxwriter/dbx_writer.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace dbxw {

namespace {

constexpr std::uint32_t kMaxDirect = 0xFFFFFF;

std::string LittleEndian(std::uint64_t value, int bytes) {
    std::string out(std::size_t(bytes), '\0');
    for (int i = 0; i < bytes; ++i) {
        out[std::size_t(i)] = char((value >> (8 * i)) & 0xFF);
    }
    return out;
}

std::uint32_t RoundUp4(std::uint64_t n) {
    return std::uint32_t((n + 3) & ~std::uint64_t(3));
}

// How Build stores each record, decided before any offset is known.
struct RecordPlan {
    bool appendTextOffset = false;  // no attribute 0x04 in the table: add one
    std::uint32_t slots = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t bodySize = 0;   // slots and data, unpadded
    std::uint32_t totalSize = 0;  // header and padded body
};

bool IsIndirect(const Attribute& a, bool textOffsetsIndirect) {
    switch (a.kind) {
        case Attribute::Kind::Direct:
            return false;
        case Attribute::Kind::Indirect:
            return true;
        case Attribute::Kind::TextOffset:
            return a.forceIndirect || textOffsetsIndirect;
    }
    return false;
}

std::uint32_t IndirectSize(const Attribute& a) {
    return a.kind == Attribute::Kind::TextOffset ? 4 : std::uint32_t(a.bytes.size());
}

RecordPlan PlanRecord(const Record& r, bool textOffsetsIndirect) {
    RecordPlan plan;
    if (r.rawBody) {
        plan.bodySize = std::uint32_t(r.rawBody->size());
        plan.totalSize = kRecordHeaderSize + RoundUp4(plan.bodySize);
        return plan;
    }
    plan.appendTextOffset =
        r.text != kNone && std::none_of(r.attributes.begin(), r.attributes.end(),
                                        [](const Attribute& a) { return a.id == kAttrTextOffset; });
    plan.slots = std::uint32_t(r.attributes.size()) + (plan.appendTextOffset ? 1 : 0);
    for (const Attribute& a : r.attributes) {
        if (IsIndirect(a, textOffsetsIndirect)) {
            plan.dataSize += IndirectSize(a);
        }
    }
    if (plan.appendTextOffset && textOffsetsIndirect) {
        plan.dataSize += 4;
    }
    plan.bodySize = 4 * plan.slots + plan.dataSize;
    plan.totalSize = kRecordHeaderSize + RoundUp4(plan.bodySize);
    return plan;
}

std::uint32_t NodeSize(const Node& n) {
    const std::size_t extra = n.entries.size() > kNodeEntries ? n.entries.size() - kNodeEntries : 0;
    return kNodeSize + std::uint32_t(12 * extra);
}

std::uint32_t BlockBytes(const Text& t) {
    return std::clamp<std::uint32_t>(t.bytesPerBlock, 1, kBlockTextSize);
}

}  // namespace

std::uint64_t FileTimeFromUtc(int year, int month, int day, int hour, int minute, int second) {
    // Days since 1970-01-01 of a proleptic Gregorian date, counted in 400-year eras.
    std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const std::int64_t days = era * 146097 + doe - 719468;
    const std::int64_t seconds =
        days * 86400 + std::int64_t(hour) * 3600 + std::int64_t(minute) * 60 + second;
    constexpr std::int64_t kUnixEpochFrom1601 = 11644473600;
    return std::uint64_t(seconds + kUnixEpochFrom1601) * kTicksPerSecond;
}

Attribute Attribute::Direct(std::uint8_t id, std::uint32_t value) {
    Attribute a;
    a.id = id;
    a.kind = Kind::Direct;
    a.value = value;
    return a;
}

Attribute Attribute::Bytes(std::uint8_t id, std::string_view bytes) {
    Attribute a;
    a.id = id;
    a.kind = Kind::Indirect;
    a.bytes = std::string(bytes);
    return a;
}

Attribute Attribute::Dword(std::uint8_t id, std::uint32_t value) {
    return Bytes(id, LittleEndian(value, 4));
}

Attribute Attribute::Filetime(std::uint8_t id, std::uint64_t ticks) {
    return Bytes(id, LittleEndian(ticks, 8));
}

Attribute Attribute::String(std::uint8_t id, std::string_view text) {
    Attribute a = Bytes(id, text);
    a.bytes.push_back('\0');
    return a;
}

Attribute Attribute::TextOffset(bool forceIndirect) {
    Attribute a;
    a.id = kAttrTextOffset;
    a.kind = Kind::TextOffset;
    a.forceIndirect = forceIndirect;
    return a;
}

std::size_t Text::BlockCount() const {
    const std::size_t per = BlockBytes(*this);
    return bytes.empty() ? 1 : (bytes.size() + per - 1) / per;
}

void PutU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        throw std::out_of_range("dbxw::PutU32 outside the file");
    }
    for (int i = 0; i < 4; ++i) {
        bytes[offset + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    }
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        throw std::out_of_range("dbxw::GetU32 outside the file");
    }
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | bytes[offset + std::size_t(i)];
    }
    return v;
}

std::uint32_t Image::GetU32(std::size_t offset) const {
    return dbxw::GetU32(bytes, offset);
}

void Image::PutU32(std::size_t offset, std::uint32_t value) {
    dbxw::PutU32(bytes, offset, value);
}

void Image::Truncate(std::size_t n) {
    if (n < bytes.size()) {
        bytes.resize(n);
    }
}

void Image::Wipe(std::size_t offset, std::size_t count) {
    if (offset > bytes.size() || bytes.size() - offset < count) {
        throw std::out_of_range("dbxw::Image::Wipe outside the file");
    }
    std::fill_n(bytes.begin() + std::ptrdiff_t(offset), count, std::uint8_t(0));
}

void Image::CutStart(std::size_t n) {
    bytes.erase(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min(n, bytes.size())));
}

void Image::PadStart(std::size_t n, std::uint8_t fill) {
    bytes.insert(bytes.begin(), n, fill);
}

bool Image::WriteTo(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    return bool(out);
}

RecordRef Builder::AddRecord(Record record) {
    m_Records.push_back(std::move(record));
    return RecordRef(m_Records.size() - 1);
}

TextRef Builder::AddText(Text text) {
    m_Texts.push_back(std::move(text));
    return TextRef(m_Texts.size() - 1);
}

NodeRef Builder::AddNode(Node node) {
    m_Nodes.push_back(std::move(node));
    return NodeRef(m_Nodes.size() - 1);
}

void Builder::DeleteMessage(RecordRef record) {
    if (record < 0 || std::size_t(record) >= m_Records.size()) {
        throw std::out_of_range("dbxw::Builder::DeleteMessage: no such record");
    }
    if (std::find(m_Deleted.begin(), m_Deleted.end(), record) == m_Deleted.end()) {
        m_Deleted.push_back(record);
    }
}

Image Builder::Build() const {
    const bool fileInfo = header.writeFileInfo.value_or(header.fileInfoLength == kFileInfoSize);
    const std::uint64_t start =
        firstObjectOffset.value_or(kHeaderSize + (fileInfo ? kFileInfoSize : 0));

    // Offsets that fit in 24 bits are stored direct; once the file grows past that, every
    // automatic text offset moves to the data area, which changes the record sizes.
    std::vector<RecordPlan> plans(m_Records.size());
    Image image;
    image.recordOffsets.assign(m_Records.size(), 0);
    image.textOffsets.assign(m_Texts.size(), 0);
    image.nodeOffsets.assign(m_Nodes.size(), 0);
    std::uint64_t end = 0;
    for (bool indirect : {false, true}) {
        std::vector<bool> placed(m_Texts.size(), false);
        std::uint64_t at = start;
        for (std::size_t n = 0; n < m_Nodes.size(); ++n) {
            image.nodeOffsets[n] = std::uint32_t(at);
            at += NodeSize(m_Nodes[n]);
        }
        auto placeText = [&](TextRef t) {
            if (t == kNone || placed.at(std::size_t(t))) {
                return;
            }
            placed[std::size_t(t)] = true;
            image.textOffsets[std::size_t(t)] = std::uint32_t(at);
            at += std::uint64_t(m_Texts[std::size_t(t)].BlockCount()) * kBlockSize;
        };
        for (std::size_t r = 0; r < m_Records.size(); ++r) {
            plans[r] = PlanRecord(m_Records[r], indirect);
            image.recordOffsets[r] = std::uint32_t(at);
            at += plans[r].totalSize;
            placeText(m_Records[r].text);
        }
        for (std::size_t t = 0; t < m_Texts.size(); ++t) {
            placeText(TextRef(t));
        }
        end = at;
        if (end <= kMaxDirect) {
            break;
        }
    }
    if (end > 0xFFFFFFFFull) {
        throw std::length_error("dbxw::Builder: the mailbox would pass 4 GiB");
    }

    std::vector<std::uint8_t>& out = image.bytes;
    out.assign(std::size_t(std::max<std::uint64_t>(end, kHeaderSize)), 0);
    const bool textOffsetsIndirect = end > kMaxDirect;

    auto isDeleted = [this](RecordRef r) {
        return r != kNone && std::find(m_Deleted.begin(), m_Deleted.end(), r) != m_Deleted.end();
    };
    auto nodeOffset = [&](NodeRef n) -> std::uint32_t {
        return n == kNone ? 0 : image.nodeOffsets.at(std::size_t(n));
    };
    auto recordOffset = [&](RecordRef r) -> std::uint32_t {
        return r == kNone ? 0 : image.recordOffsets.at(std::size_t(r));
    };

    for (std::size_t n = 0; n < m_Nodes.size(); ++n) {
        const Node& node = m_Nodes[n];
        const std::uint32_t at = image.nodeOffsets[n];
        const std::size_t count = std::min<std::size_t>(node.entries.size(), 255);
        PutU32(out, at, node.selfOffset.value_or(at));
        PutU32(out, at + 0x08, node.rawFirstChild.value_or(nodeOffset(node.firstChild)));
        PutU32(out, at + 0x10, std::uint32_t(node.entryCount.value_or(std::uint8_t(count))) << 8);
        std::vector<Entry> entries;
        for (const Entry& e : node.entries) {
            if (!isDeleted(e.record)) {
                entries.push_back(e);
            } else if (e.child != kNone || e.rawChildOffset) {
                Entry kept = e;
                kept.record = kNone;
                kept.rawRecordOffset = 0;
                entries.push_back(kept);
            }
        }
        if (!node.entryCount) {
            PutU32(out, at + 0x10, std::uint32_t(std::min<std::size_t>(entries.size(), 255)) << 8);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            const std::size_t entryAt = at + 0x18 + 12 * i;
            PutU32(out, entryAt, e.rawRecordOffset.value_or(recordOffset(e.record)));
            PutU32(out, entryAt + 4, e.rawChildOffset.value_or(nodeOffset(e.child)));
        }
    }

    for (std::size_t r = 0; r < m_Records.size(); ++r) {
        const Record& rec = m_Records[r];
        const RecordPlan& plan = plans[r];
        const std::uint32_t at = image.recordOffsets[r];
        const std::uint32_t textAt =
            rec.text == kNone ? 0 : image.textOffsets.at(std::size_t(rec.text));
        PutU32(out, at, rec.selfOffset.value_or(at));
        PutU32(out, at + 4, rec.bodyLength.value_or(plan.bodySize));
        out[at + 0x0A] =
            rec.slotCount.value_or(std::uint8_t(std::min<std::uint32_t>(plan.slots, 255)));
        const std::size_t body = at + kRecordHeaderSize;
        if (rec.rawBody) {
            std::copy(rec.rawBody->begin(), rec.rawBody->end(), out.begin() + std::ptrdiff_t(body));
            continue;
        }
        std::size_t slotAt = body;
        std::uint32_t dataOffset = 0;
        const std::size_t dataStart = body + 4 * plan.slots;
        auto emit = [&](const Attribute& a) {
            std::uint32_t slot = a.id & 0x7F;
            if (!IsIndirect(a, textOffsetsIndirect)) {
                const std::uint32_t v = a.kind == Attribute::Kind::TextOffset ? textAt : a.value;
                slot |= 0x80 | ((v & kMaxDirect) << 8);
            } else {
                const std::string offsetBytes =
                    a.kind == Attribute::Kind::TextOffset ? LittleEndian(textAt, 4) : std::string();
                const std::string_view bytes =
                    a.kind == Attribute::Kind::TextOffset ? offsetBytes : a.bytes;
                std::copy(bytes.begin(), bytes.end(),
                          out.begin() + std::ptrdiff_t(dataStart + dataOffset));
                slot |= (a.offset.value_or(dataOffset) & kMaxDirect) << 8;
                dataOffset += std::uint32_t(bytes.size());
            }
            PutU32(out, slotAt, a.rawSlot.value_or(slot));
            slotAt += 4;
        };
        for (const Attribute& a : rec.attributes) {
            emit(a);
        }
        if (plan.appendTextOffset) {
            emit(Attribute::TextOffset());
        }
    }

    for (std::size_t t = 0; t < m_Texts.size(); ++t) {
        const Text& text = m_Texts[t];
        const std::uint32_t at = image.textOffsets[t];
        const std::size_t blocks = text.BlockCount();
        const std::size_t per = BlockBytes(text);
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::size_t blockAt = at + b * kBlockSize;
            const std::size_t from = b * per;
            const std::size_t n =
                std::min(per, text.bytes.size() - std::min(from, text.bytes.size()));
            PutU32(out, blockAt, std::uint32_t(blockAt));
            PutU32(out, blockAt + 4, kBlockTextSize);
            PutU32(out, blockAt + 8, std::uint32_t(n));
            PutU32(out, blockAt + 12, b + 1 < blocks ? std::uint32_t(blockAt + kBlockSize) : 0);
            std::copy_n(text.bytes.begin() + std::ptrdiff_t(from), n,
                        out.begin() + std::ptrdiff_t(blockAt + 16));
        }
        for (const Text::BlockFault& f : text.faults) {
            if (f.block >= blocks) {
                throw std::out_of_range("dbxw::Text: a fault names a block past the chain");
            }
            const std::size_t blockAt = at + f.block * kBlockSize;
            if (f.selfOffset) {
                PutU32(out, blockAt, *f.selfOffset);
            }
            if (f.byteCount) {
                PutU32(out, blockAt + 8, *f.byteCount);
            }
            if (f.nextBlock) {
                PutU32(out, blockAt + 12, std::uint32_t(at + *f.nextBlock * kBlockSize));
            }
            if (f.next) {
                PutU32(out, blockAt + 12, *f.next);
            }
        }
    }

    // Deleted messages give their blocks to the free list, one chain after the other.
    std::uint32_t freeHead = 0;
    for (const RecordRef r : m_Deleted) {
        const TextRef t = m_Records[std::size_t(r)].text;
        if (t == kNone) {
            continue;
        }
        const std::size_t blocks = m_Texts[std::size_t(t)].BlockCount();
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::uint32_t blockAt = image.BlockOffset(t, b);
            PutU32(out, blockAt + 4, kBlockFreedMark);
            PutU32(out, blockAt + 8, kBlockFreedCount);
            PutU32(out, blockAt + 16, freeHead);
            freeHead = blockAt;
        }
    }

    // Last, so that objects placed inside the header cannot clobber the fields.
    PutU32(out, kHdrFileInfoLength, header.fileInfoLength);
    PutU32(out, kHdrFolder6C, header.folder6C);
    PutU32(out, kHdrFolder70, header.folder70);
    PutU32(out, kHdrFolder80, header.folder80);
    PutU32(out, kHdrMessageCount,
           header.messageCount.value_or(std::uint32_t(m_Records.size() - m_Deleted.size())));
    PutU32(out, kHdrFreeListHead, freeHead);
    PutU32(out, kHdrRootOffset, header.rootOffset.value_or(nodeOffset(root)));
    PutU32(out, kHdrSignature, header.signature);
    PutU32(out, kHdrCount2, header.count2.value_or(0));
    PutU32(out, kHdrCount3, header.count3.value_or(0));
    PutU32(out, kHdrRoot2, nodeOffset(root2));
    PutU32(out, kHdrRoot3, nodeOffset(root3));
    return image;
}

RecordRef AddMessage(Builder& builder, const Message& m, std::uint32_t defaultId) {
    Record r;
    auto number = [&r](std::uint8_t id, std::uint32_t v) {
        r.Add(v <= kMaxDirect ? Attribute::Direct(id, v) : Attribute::Dword(id, v));
    };
    auto string = [&r](std::uint8_t id, const std::optional<std::string>& s) {
        if (s) {
            r.Add(Attribute::String(id, *s));
        }
    };
    number(kAttrId, m.id.value_or(defaultId));
    number(kAttrFlags, m.flags | (m.text ? kFlagHasText : 0));
    if (m.sent) {
        r.Add(Attribute::Filetime(kAttrSent, *m.sent));
    }
    if (m.lines) {
        number(kAttrLines, *m.lines);
    }
    if (m.text) {
        r.Add(Attribute::TextOffset());
        r.text = builder.AddText(Text{*m.text});
    }
    if (m.received) {
        r.Add(Attribute::Filetime(kAttrReceived, *m.received));
    }
    string(kAttrMessageId, m.messageId);
    string(kAttrSubject, m.subject);
    string(kAttrInReplyTo, m.inReplyTo);
    string(kAttrSenderName, m.senderName);
    string(kAttrSenderAddress, m.senderAddress);
    if (m.priority) {
        number(kAttrPriority, *m.priority);
    }
    string(kAttrRecipientName, m.recipientName);
    string(kAttrRecipientAddress, m.recipientAddress);
    return builder.AddRecord(std::move(r));
}

namespace {

// Records a tree of `depth` levels with `k` entries per node can hold.
std::uint64_t TreeCapacity(std::uint64_t k, int depth) {
    std::uint64_t cap = k;
    for (int d = 2; d <= depth; ++d) {
        cap = k + (k + 1) * cap;
    }
    return cap;
}

// Fills the node with records[first, first + count) so that the walk visits them in
// order: the node's own entries, then the first child, then each entry's child.
void FillNode(Builder& b, NodeRef node, const std::vector<RecordRef>& records, std::size_t first,
              std::size_t count, std::size_t k, int depth) {
    const std::size_t own = std::min(count, k);
    for (std::size_t i = 0; i < own; ++i) {
        b.GetNode(node).entries.push_back({.record = records[first + i]});
    }
    std::size_t rest = count - own;
    std::size_t next = first + own;
    if (rest == 0 || depth <= 1) {
        return;
    }
    // Spread the rest over the first child and the entries' children.
    const std::size_t slots = own + 1;
    for (std::size_t s = 0; s < slots && rest > 0; ++s) {
        const std::size_t share = (rest + (slots - s) - 1) / (slots - s);
        const NodeRef child = b.AddNode();
        if (s == 0) {
            b.GetNode(node).firstChild = child;
        } else {
            b.GetNode(node).entries[s - 1].child = child;
        }
        FillNode(b, child, records, next, share, k, depth - 1);
        next += share;
        rest -= share;
    }
}

}  // namespace

NodeRef AddTree(Builder& b, const std::vector<RecordRef>& records) {
    const std::size_t count = records.size();
    int depth = 3;
    while (TreeCapacity(kNodeEntries, depth) < count) {
        ++depth;
    }
    std::size_t k = 1;
    while (TreeCapacity(k, depth) < count) {
        ++k;
    }
    const NodeRef node = b.AddNode();
    FillNode(b, node, records, 0, records.size(), k, depth);
    return node;
}

RecordRef AddFolder(Builder& builder, const Folder& f) {
    Record r;
    auto number = [&r](std::uint8_t id, const std::optional<std::uint32_t>& v) {
        if (v) {
            r.Add(*v <= kMaxDirect ? Attribute::Direct(id, *v) : Attribute::Dword(id, *v));
        }
    };
    auto string = [&r](std::uint8_t id, const std::optional<std::string>& s) {
        if (s) {
            r.Add(Attribute::String(id, *s));
        }
    };
    number(kFolderAttrId, f.id);
    number(kFolderAttrParent, f.parent);
    string(kFolderAttrName, f.name);
    string(kFolderAttrFile, f.file);
    string(kFolderAttrAccount, f.account);
    number(kFolderAttrFlags, f.flags);
    number(kFolderAttrUnread, f.unread);
    number(kFolderAttrSpecial, f.special);
    number(kFolderAttrStoreType, f.storeType);
    return builder.AddRecord(std::move(r));
}

Builder FoldersBuilder(const std::vector<Folder>& folders) {
    Builder b;
    std::vector<RecordRef> records;
    for (const Folder& f : folders) {
        records.push_back(AddFolder(b, f));
    }
    auto order = [&](auto less) {
        std::vector<std::size_t> index(folders.size());
        for (std::size_t i = 0; i < index.size(); ++i) {
            index[i] = i;
        }
        std::stable_sort(index.begin(), index.end(), less);
        std::vector<RecordRef> out;
        for (const std::size_t i : index) {
            out.push_back(records[i]);
        }
        return out;
    };
    const std::vector<RecordRef> byId = order([&](std::size_t a, std::size_t c) {
        return folders[a].id.value_or(0) < folders[c].id.value_or(0);
    });
    const std::vector<RecordRef> byName = order([&](std::size_t a, std::size_t c) {
        return folders[a].name.value_or("") < folders[c].name.value_or("");
    });
    std::vector<RecordRef> noRoot;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].id) {
            noRoot.push_back(records[i]);
        }
    }
    b.root = AddTree(b, byId);
    b.root2 = AddTree(b, byName);
    b.root3 = AddTree(b, noRoot);
    b.header.signature = kSignatureFolders;
    b.header.folder80 = 3;
    b.header.messageCount = std::uint32_t(byId.size());
    b.header.count2 = std::uint32_t(byName.size());
    b.header.count3 = std::uint32_t(noRoot.size());
    return b;
}

Image BuildStoreMailbox(const std::vector<Message>& messages) {
    Builder b = SimpleMailboxBuilder(messages);
    b.header.signature = kSignatureMessages;
    return b.Build();
}

Builder SimpleMailboxBuilder(std::size_t count, const std::function<Message(std::size_t)>& make) {
    Builder b;
    std::vector<RecordRef> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        records.push_back(AddMessage(b, make(i), std::uint32_t(i + 1)));
    }
    b.root = AddTree(b, records);
    return b;
}

Builder SimpleMailboxBuilder(const std::vector<Message>& messages) {
    return SimpleMailboxBuilder(messages.size(), [&](std::size_t i) { return messages[i]; });
}

Image BuildSimpleMailbox(const std::vector<Message>& messages) {
    return SimpleMailboxBuilder(messages).Build();
}

Builder DeepChainBuilder(std::size_t depth) {
    Builder b;
    NodeRef previous = kNone;
    for (std::size_t i = 0; i < depth; ++i) {
        Record r;
        r.Add(Attribute::Direct(kAttrId, std::uint32_t(i + 1) & kMaxDirect))
            .Add(Attribute::Direct(kAttrFlags, 0));
        const RecordRef rec = b.AddRecord(std::move(r));
        const NodeRef node = b.AddNode();
        b.GetNode(node).entries.push_back({.record = rec});
        if (previous == kNone) {
            b.root = node;
        } else {
            b.GetNode(previous).firstChild = node;
        }
        previous = node;
    }
    return b;
}

}  // namespace dbxw
