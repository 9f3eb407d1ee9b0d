// Email entries: the in-memory summary of one stored message, built from its record while
// the mailbox is walked. CEmail holds what every list needs (subject, identifier, export
// mark); CEmailDBX adds the record's flags, dates, names, message identifiers, the offset
// of the stored text and the links that thread grouping writes. Besides each name and
// message identifier the entry remembers whether the record stored it at all, because an
// absent attribute sorts apart from an empty one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mailbox/hyper_string.h"
#include "platform/file_time.h"

class CIndexedData;
class CZFile;

// Where a row came from: the index, or a scan of the whole file that found a message the
// index no longer reaches (its blocks freed by a delete, or its record or node lost).
enum class RecoveredKind : std::uint8_t { None = 0, Deleted = 1, Unlisted = 2 };

// "deleted" or "unlisted"; "" for an index row.
[[nodiscard]] const char* RecoveredKindName(RecoveredKind kind);

class CEmail {
public:
    CEmail() = default;
    CEmail(const CEmail&) = delete;
    CEmail& operator=(const CEmail&) = delete;
    virtual ~CEmail() = default;

    // The subject as shown: stored 8-bit text read in the mailbox's code page. m_Subject
    // itself is never converted in place, so that another code page can be chosen later.
    [[nodiscard]] std::u16string GetSubjectText(std::uint32_t codePage) const;

    CZHyperString m_Subject;
    std::int32_t m_Id = -1;
    bool m_bSelected = false;
};

class CEmailDBX : public CEmail {
public:
    bool m_bHasText = false;
    bool m_bFlag0020 = false;
    bool m_bHasAttachment = false;
    FILETIME64 m_SentTime = 0;
    FILETIME64 m_ReceivedTime = 0;
    std::string m_SenderAddress;
    std::string m_SenderName;
    std::string m_RecipientAddress;
    std::string m_RecipientName;
    std::uint32_t m_nLines = 0;
    std::int32_t m_nPriority = 3;
    std::string m_MessageId;
    std::uint32_t m_nMessageIdCrc = 0;
    std::string m_InReplyTo;
    std::uint32_t m_nInReplyToCrc = 0;
    std::uint32_t m_nTextOffset = 0;
    CEmailDBX* m_pThreadParent = nullptr;
    bool m_bThreadVisited = false;
    std::int32_t m_nThreadIndex = 0;

    // Whether the record stored the attribute, even with an empty text.
    bool m_bHasSenderName = false;
    bool m_bHasRecipientName = false;
    bool m_bHasMessageId = false;

    // Recovered rows only. m_nTextOffset is then the real file position of the first
    // block; a block's stored offsets differ from real positions by m_nShift (a copy cut
    // or padded at its start), and the chain the scan found is m_nBlockCount blocks long.
    RecoveredKind m_Recovered = RecoveredKind::None;
    std::int64_t m_nShift = 0;
    std::uint32_t m_nBlockCount = 0;
    std::uint32_t m_nLostBytes = 0;

    [[nodiscard]] bool IsRecovered() const { return m_Recovered != RecoveredKind::None; }
};

// Decodes the record at the offset into a new entry; null when the record cannot be read
// or lacks its identifier or flags.
[[nodiscard]] std::unique_ptr<CEmailDBX> BuildEmailEntry(CZFile& file, std::uint32_t offset);
// The text offset of the entry BuildEmailEntry makes of a record already read; 0 when it
// makes none, or one without a text.
[[nodiscard]] std::uint32_t RecordTextOffset(const CIndexedData& record);

// "%04lu-%02li-%02lu %02lu:%02lu" in UTC as stored; empty when not convertible.
[[nodiscard]] std::u16string DateText(FILETIME64 time);
// The 8-bit form; the target is left unchanged when the date cannot be converted.
void DateText(FILETIME64 time, std::string& target);
