// The DBX writer: builds Outlook Express mailbox files in memory for the tests, the
// benchmarks and mkdbx. A Builder holds a flat set of message records, text chains and
// tree nodes that refer to each other by index (so cycles and 100,000-deep chains are as
// easy to describe as a plain tree); Build lays them out after the 9404-byte header and the
// file-info block and returns the bytes together with the offset of every object.
//
// Everything the reader checks can be made wrong on purpose: self offsets, body lengths,
// slot counts, single slot words, block byte counts and next pointers, entry counts,
// header markers. The defaults always produce a well-formed file.
//
//     dbxw::Builder b;
//     dbxw::NodeRef root = b.AddNode();
//     dbxw::Record r;
//     r.Add(dbxw::Attribute::Direct(dbxw::kAttrId, 7))
//      .Add(dbxw::Attribute::Direct(dbxw::kAttrFlags, dbxw::kFlagHasText))
//      .Add(dbxw::Attribute::String(dbxw::kAttrSubject, "Hello"));
//     r.text = b.AddText(dbxw::Text{"Subject: Hello\r\n\r\nBody\r\n"});
//     b.GetNode(root).entries.push_back({.record = b.AddRecord(std::move(r))});
//     b.root = root;
//     dbxw::Image image = b.Build();
//     image.WriteTo(path);
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dbxw {

// Sizes of the file's fixed structures.
inline constexpr std::uint32_t kHeaderSize = 9404;
inline constexpr std::uint32_t kFileInfoSize = 1560;
inline constexpr std::uint32_t kNodeSize = 636;
inline constexpr std::uint32_t kNodeEntries = 51;
inline constexpr std::uint32_t kRecordHeaderSize = 12;
inline constexpr std::uint32_t kBlockSize = 528;
inline constexpr std::uint32_t kBlockTextSize = 512;

// Header fields.
inline constexpr std::uint32_t kHdrFileInfoLength = 0x1C;
inline constexpr std::uint32_t kHdrFolder6C = 0x6C;
inline constexpr std::uint32_t kHdrFolder70 = 0x70;
inline constexpr std::uint32_t kHdrFolder80 = 0x80;
inline constexpr std::uint32_t kHdrMessageCount = 0xC4;
inline constexpr std::uint32_t kHdrRootOffset = 0xE4;
inline constexpr std::uint32_t kHdrSignature = 0x04;
// Folders.dbx keeps two more trees over its folder records, each with its count.
inline constexpr std::uint32_t kHdrCount2 = 0xC8;
inline constexpr std::uint32_t kHdrCount3 = 0xCC;
inline constexpr std::uint32_t kHdrRoot2 = 0xE8;
inline constexpr std::uint32_t kHdrRoot3 = 0xEC;

// Bytes 4 to 7 of the files of a store, as a little-endian dword.
inline constexpr std::uint32_t kSignatureMessages = 0x6F74FDC5;
inline constexpr std::uint32_t kSignatureFolders = 0x6F74FDC6;
inline constexpr std::uint32_t kSignaturePop3uidl = 0x6F74FDC7;
inline constexpr std::uint32_t kSignatureOffline = 0x26FE9D30;

inline constexpr std::uint32_t kHdrFreeListHead = 0x48;

// Marks of a block header (dword 1, and dword 2 of a freed block).
inline constexpr std::uint32_t kBlockLiveMark = 0x200;
inline constexpr std::uint32_t kBlockFreedMark = 0x1FC;
inline constexpr std::uint32_t kBlockFreedCount = 0x210;

// Record attribute identifiers.
inline constexpr std::uint8_t kAttrId = 0x00;
inline constexpr std::uint8_t kAttrFlags = 0x01;
inline constexpr std::uint8_t kAttrSent = 0x02;
inline constexpr std::uint8_t kAttrLines = 0x03;
inline constexpr std::uint8_t kAttrTextOffset = 0x04;
inline constexpr std::uint8_t kAttrReceived = 0x06;
inline constexpr std::uint8_t kAttrMessageId = 0x07;
inline constexpr std::uint8_t kAttrSubject = 0x08;
inline constexpr std::uint8_t kAttrInReplyTo = 0x0A;
inline constexpr std::uint8_t kAttrSenderName = 0x0D;
inline constexpr std::uint8_t kAttrSenderAddress = 0x0E;
inline constexpr std::uint8_t kAttrPriority = 0x10;
inline constexpr std::uint8_t kAttrRecipientName = 0x13;
inline constexpr std::uint8_t kAttrRecipientAddress = 0x14;

// Bits of the flags attribute.
inline constexpr std::uint32_t kFlagHasText = 0x00000001;
inline constexpr std::uint32_t kFlag0020 = 0x00000020;
inline constexpr std::uint32_t kFlagAttachment = 0x00004000;

// Handles into a Builder; kNone means "nothing".
using RecordRef = std::int32_t;
using TextRef = std::int32_t;
using NodeRef = std::int32_t;
inline constexpr std::int32_t kNone = -1;

// FILETIME (100 ns ticks since 1601-01-01 UTC) of a UTC calendar time. The fields are not
// range-checked beyond what the arithmetic needs: month 1..12, year 1601 and later.
[[nodiscard]] std::uint64_t FileTimeFromUtc(int year, int month, int day, int hour = 0,
                                            int minute = 0, int second = 0);
inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;

// One slot of a record's index table and, when indirect, its value in the data area.
struct Attribute {
    enum class Kind {
        Direct,      // the 24-bit value lives in the slot
        Indirect,    // the bytes live in the data area
        TextOffset,  // the offset of the record's text chain, filled in by Build
    };

    std::uint8_t id = 0;  // 0..127
    Kind kind = Kind::Direct;
    std::uint32_t value = 0;  // Direct: only the low 24 bits are stored
    std::string bytes{};      // Indirect
    // TextOffset: store it indirect (4 bytes) even when it would fit in 24 bits.
    bool forceIndirect = false;
    // Indirect: the data-area offset written into the slot instead of the real one; the
    // bytes are still placed where they belong. Out-of-order offsets come from this.
    std::optional<std::uint32_t> offset{};
    // The whole slot word as written, whatever the rest says.
    std::optional<std::uint32_t> rawSlot{};

    static Attribute Direct(std::uint8_t id, std::uint32_t value);
    static Attribute Bytes(std::uint8_t id, std::string_view bytes);
    // Four little-endian bytes in the data area.
    static Attribute Dword(std::uint8_t id, std::uint32_t value);
    // Eight little-endian bytes in the data area.
    static Attribute Filetime(std::uint8_t id, std::uint64_t ticks);
    // The bytes and a terminating zero, as Outlook Express stores strings.
    static Attribute String(std::uint8_t id, std::string_view text);
    static Attribute TextOffset(bool forceIndirect = false);

    Attribute& AtOffset(std::uint32_t dataOffset) {
        offset = dataOffset;
        return *this;
    }
    Attribute& WithRawSlot(std::uint32_t slot) {
        rawSlot = slot;
        return *this;
    }
};

// One message record: the attributes in slot order, the text chain it points at, and the
// header fields that can be forced wrong.
struct Record {
    std::vector<Attribute> attributes{};
    // The text chain; when set and no attribute has id 0x04, a TextOffset attribute is
    // appended at the end of the table.
    TextRef text = kNone;

    std::optional<std::uint32_t> selfOffset{};  // header dword 0 (default: the real offset)
    std::optional<std::uint32_t> bodyLength{};  // header dword 1 (default: the real length)
    std::optional<std::uint8_t> slotCount{};    // header byte 0x0A (default: the real count)
    // Written as the body instead of the slot table and data area (slot count 0 unless
    // slotCount says otherwise).
    std::optional<std::string> rawBody{};

    Record& Add(Attribute a) {
        attributes.push_back(std::move(a));
        return *this;
    }
};

// A message text stored as a chain of 528-byte blocks of up to 512 text bytes each.
struct Text {
    // Changes to one block of the chain.
    struct BlockFault {
        std::size_t block = 0;
        std::optional<std::uint32_t> selfOffset{};  // dword 0x00
        std::optional<std::uint32_t> byteCount{};   // dword 0x08
        std::optional<std::uint32_t> next{};        // dword 0x0C, a raw offset
        std::optional<std::size_t> nextBlock{};     // dword 0x0C, another block of this chain
    };

    std::string bytes{};                           // empty: one block holding 0 bytes
    std::uint32_t bytesPerBlock = kBlockTextSize;  // 1..512
    std::vector<BlockFault> faults{};

    [[nodiscard]] std::size_t BlockCount() const;
};

// One 12-byte entry of a tree node.
struct Entry {
    RecordRef record = kNone;
    NodeRef child = kNone;                           // the subtree that follows this entry
    std::optional<std::uint32_t> rawRecordOffset{};  // written instead of the record's offset
    std::optional<std::uint32_t> rawChildOffset{};   // written instead of the child's offset
};

// One 636-byte tree node. Entries past the 51st are written right after the node, where
// a reader that trusted the count would find them.
struct Node {
    std::vector<Entry> entries{};
    NodeRef firstChild = kNone;
    std::optional<std::uint32_t> rawFirstChild{};
    std::optional<std::uint32_t> selfOffset{};  // dword 0x00 (default: the real offset)
    std::optional<std::uint8_t> entryCount{};   // byte 0x11 (default: entries, at most 255)
};

// The fields of the 9404-byte header that the reader looks at.
struct Header {
    std::uint32_t fileInfoLength = kFileInfoSize;
    // Whether the 1560-byte block is written after the header (default: when the length
    // says 1560).
    std::optional<bool> writeFileInfo{};
    std::uint32_t folder6C = 0;
    std::uint32_t folder70 = 0;
    std::uint32_t folder80 = 0;
    std::optional<std::uint32_t> messageCount{};  // default: the number of records
    std::optional<std::uint32_t> rootOffset{};    // default: the root node's offset, or 0
    std::uint32_t signature = 0;                  // bytes 4 to 7
    // The second and third trees of a Folders.dbx (0 when the builder has none).
    std::optional<std::uint32_t> count2{};
    std::optional<std::uint32_t> count3{};
};

// The built file and where everything went.
struct Image {
    std::vector<std::uint8_t> bytes{};
    std::vector<std::uint32_t> recordOffsets{};  // by RecordRef
    std::vector<std::uint32_t> textOffsets{};    // by TextRef: the first block
    std::vector<std::uint32_t> nodeOffsets{};    // by NodeRef

    [[nodiscard]] std::uint32_t RecordOffset(RecordRef r) const {
        return recordOffsets.at(std::size_t(r));
    }
    [[nodiscard]] std::uint32_t TextOffset(TextRef t) const {
        return textOffsets.at(std::size_t(t));
    }
    [[nodiscard]] std::uint32_t NodeOffset(NodeRef n) const {
        return nodeOffsets.at(std::size_t(n));
    }
    // The offset of block i of a chain laid out by Build.
    [[nodiscard]] std::uint32_t BlockOffset(TextRef t, std::size_t block) const {
        return TextOffset(t) + std::uint32_t(block) * kBlockSize;
    }

    [[nodiscard]] std::uint32_t GetU32(std::size_t offset) const;
    void PutU32(std::size_t offset, std::uint32_t value);
    // Cuts the file to n bytes (never lengthens it).
    void Truncate(std::size_t n);
    // Zeroes count bytes at the offset (a wiped node or record).
    void Wipe(std::size_t offset, std::size_t count);
    // A copy that lost its first n bytes, or got n bytes put before it: every object's
    // real position then differs from the offsets the file stores.
    void CutStart(std::size_t n);
    void PadStart(std::size_t n, std::uint8_t fill = 0);
    // Replaces the file; false when it cannot be written completely.
    bool WriteTo(const std::filesystem::path& path) const;
};

class Builder {
public:
    Header header;
    NodeRef root = kNone;
    NodeRef root2 = kNone;  // Folders.dbx only
    NodeRef root3 = kNone;
    // Where the first object goes; by default right after the header and the file-info
    // block. Values from 0x100 up place objects inside the unused part of the header.
    std::optional<std::uint32_t> firstObjectOffset{};

    RecordRef AddRecord(Record record);
    TextRef AddText(Text text);
    NodeRef AddNode(Node node = {});

    // Deletes the message as Outlook Express does when Deleted Items is emptied: its tree
    // entry goes (an entry that leads to a subtree keeps it, with record offset 0), its
    // record stays unreferenced, and its text blocks are freed in chain order onto the
    // file's free list, in the order of the calls: dword 1 becomes 0x1FC, dword 2 0x210,
    // and the first payload dword links to the block freed before it. The header's
    // message count leaves it out by default.
    void DeleteMessage(RecordRef record);

    [[nodiscard]] Record& GetRecord(RecordRef r) { return m_Records.at(std::size_t(r)); }
    [[nodiscard]] Text& GetText(TextRef t) { return m_Texts.at(std::size_t(t)); }
    [[nodiscard]] Node& GetNode(NodeRef n) { return m_Nodes.at(std::size_t(n)); }
    [[nodiscard]] std::size_t RecordCount() const { return m_Records.size(); }
    [[nodiscard]] std::size_t NodeCount() const { return m_Nodes.size(); }

    // Nodes first, in the order they were added; then each record followed by the text
    // chains that it is the first to use; then the texts nobody uses.
    [[nodiscard]] Image Build() const;

private:
    std::vector<Record> m_Records;
    std::vector<Text> m_Texts;
    std::vector<Node> m_Nodes;
    std::vector<RecordRef> m_Deleted;
};

// One message as mkdbx and the tests describe it; absent fields get no attribute.
struct Message {
    std::optional<std::uint32_t> id{};  // default: its position in the mailbox, from 1
    std::uint32_t flags = 0;            // kFlagHasText is added when there is a text
    std::optional<std::uint64_t> sent{};
    std::optional<std::uint64_t> received{};
    std::optional<std::uint32_t> lines{};
    std::optional<std::string> messageId{};
    std::optional<std::string> subject{};
    std::optional<std::string> inReplyTo{};
    std::optional<std::string> senderName{};
    std::optional<std::string> senderAddress{};
    std::optional<std::uint32_t> priority{};
    std::optional<std::string> recipientName{};
    std::optional<std::string> recipientAddress{};
    std::optional<std::string> text{};  // the raw message
};

// The record of a message, attributes in identifier order as Outlook Express writes them:
// small numbers direct, dates and strings in the data area. A text gets its chain added to
// the builder.
RecordRef AddMessage(Builder& builder, const Message& message, std::uint32_t defaultId);

// A mailbox holding the messages in a tree at least three levels deep whose walk order is
// the order of the list. Nodes are filled evenly, at most 51 entries each.
[[nodiscard]] Builder SimpleMailboxBuilder(const std::vector<Message>& messages);
// The same for `count` messages made one at a time, so that only the builder holds them.
[[nodiscard]] Builder SimpleMailboxBuilder(std::size_t count,
                                           const std::function<Message(std::size_t)>& make);
[[nodiscard]] Image BuildSimpleMailbox(const std::vector<Message>& messages);

// Fills a new node (and nodes below it) with the records so that the walk meets them in
// this order; returns the new node.
NodeRef AddTree(Builder& builder, const std::vector<RecordRef>& records);

// One folder record of a Folders.dbx; absent fields get no attribute.
struct Folder {
    std::optional<std::uint32_t> id{};      // absent for the root
    std::optional<std::uint32_t> parent{};  // the root: 0xFFFFFFFF; accounts: none
    std::optional<std::string> name{};
    std::optional<std::string> file{};  // the .dbx file's name
    std::optional<std::string> account{};
    std::optional<std::uint32_t> flags{};
    std::optional<std::uint32_t> unread{};
    std::optional<std::uint32_t> special{};    // 1 Inbox .. 5 Drafts
    std::optional<std::uint32_t> storeType{};  // 0 news, 1 IMAP, 2 HTTP, 3 local, 4 root
};

inline constexpr std::uint8_t kFolderAttrId = 0x00;
inline constexpr std::uint8_t kFolderAttrParent = 0x01;
inline constexpr std::uint8_t kFolderAttrName = 0x02;
inline constexpr std::uint8_t kFolderAttrFile = 0x03;
inline constexpr std::uint8_t kFolderAttrAccount = 0x05;
inline constexpr std::uint8_t kFolderAttrFlags = 0x06;
inline constexpr std::uint8_t kFolderAttrUnread = 0x07;
inline constexpr std::uint8_t kFolderAttrSpecial = 0x09;
inline constexpr std::uint8_t kFolderAttrStoreType = 0x0A;

RecordRef AddFolder(Builder& builder, const Folder& folder);

// A Folders.dbx as Outlook Express writes it: the folder signature, 3 at 0x80, the first
// tree over every record in id order, the second over the same records in name order,
// the third over all but the root (the records without an id).
[[nodiscard]] Builder FoldersBuilder(const std::vector<Folder>& folders);

// A message file of a store: SimpleMailboxBuilder with the message-file signature.
[[nodiscard]] Image BuildStoreMailbox(const std::vector<Message>& messages);

// A chain of `depth` nodes, each the first child of the one before, each holding one
// record; returns the builder with the root set.
[[nodiscard]] Builder DeepChainBuilder(std::size_t depth);

void PutU32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value);
[[nodiscard]] std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace dbxw
