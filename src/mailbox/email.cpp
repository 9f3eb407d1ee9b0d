#include "mailbox/email.h"

#include <cstdio>

#include "mailbox/crc32.h"
#include "mailbox/indexed_data.h"
#include "platform/code_page.h"

namespace {

enum RecordAttribute : std::uint32_t {
    AttrId = 0x00,
    AttrFlags = 0x01,
    AttrSentTime = 0x02,
    AttrLines = 0x03,
    AttrTextOffset = 0x04,
    AttrReceivedTime = 0x06,
    AttrMessageId = 0x07,
    AttrSubject = 0x08,
    AttrInReplyTo = 0x0A,
    AttrSenderName = 0x0D,
    AttrSenderAddress = 0x0E,
    AttrPriority = 0x10,
    AttrRecipientName = 0x13,
    AttrRecipientAddress = 0x14,
};

constexpr std::uint32_t kFlagHasText = 0x00000001;
constexpr std::uint32_t kFlag0020 = 0x00000020;
constexpr std::uint32_t kFlagHasAttachment = 0x00004000;

// Formats into buf; false when the date cannot be converted.
bool FormatDate(FILETIME64 time, char (&buf)[128]) {
    SystemTime st;
    if (!FileTimeToSystemTime(time, st)) {
        return false;
    }
    std::snprintf(buf, sizeof buf, "%04lu-%02li-%02lu %02lu:%02lu",
                  static_cast<unsigned long>(st.wYear), static_cast<long>(st.wMonth),
                  static_cast<unsigned long>(st.wDay), static_cast<unsigned long>(st.wHour),
                  static_cast<unsigned long>(st.wMinute));
    return true;
}

}  // namespace

const char* RecoveredKindName(RecoveredKind kind) {
    switch (kind) {
        case RecoveredKind::Deleted:
            return "deleted";
        case RecoveredKind::Unlisted:
            return "unlisted";
        case RecoveredKind::None:
            break;
    }
    return "";
}

std::unique_ptr<CEmailDBX> BuildEmailEntry(CZFile& file, std::uint32_t offset) {
    CIndexedData record;
    if (!record.Read(file, offset)) {
        return nullptr;
    }
    auto entry = std::make_unique<CEmailDBX>();
    std::uint32_t id = 0;
    if (!record.GetDword(AttrId, id)) {
        return nullptr;
    }
    entry->m_Id = std::int32_t(id);
    std::uint32_t flags = 0;
    if (!record.GetDword(AttrFlags, flags)) {
        return nullptr;
    }
    entry->m_bHasText = (flags & kFlagHasText) != 0;
    entry->m_bFlag0020 = (flags & kFlag0020) != 0;
    entry->m_bHasAttachment = (flags & kFlagHasAttachment) != 0;

    // Every attribute from here on is optional: a missing one keeps its initial value.
    (void)record.GetFiletime(AttrSentTime, entry->m_SentTime);
    (void)record.GetFiletime(AttrReceivedTime, entry->m_ReceivedTime);
    // A mailbox holds many entries: keep each subject to its own size.
    entry->m_Subject.SetGrowBy(1);
    (void)record.GetText(AttrSubject, entry->m_Subject);
    (void)record.GetDword(AttrLines, entry->m_nLines);
    entry->m_bHasSenderName = record.GetString(AttrSenderName, entry->m_SenderName);
    (void)record.GetString(AttrSenderAddress, entry->m_SenderAddress);
    entry->m_bHasRecipientName = record.GetString(AttrRecipientName, entry->m_RecipientName);
    (void)record.GetString(AttrRecipientAddress, entry->m_RecipientAddress);
    std::uint32_t priority = 0;
    if (record.GetDword(AttrPriority, priority)) {
        entry->m_nPriority = std::int32_t(priority);
    }
    entry->m_bHasMessageId = record.GetString(AttrMessageId, entry->m_MessageId);
    entry->m_nMessageIdCrc = Crc32(entry->m_MessageId);
    (void)record.GetString(AttrInReplyTo, entry->m_InReplyTo);
    entry->m_nInReplyToCrc = Crc32(entry->m_InReplyTo);

    entry->m_nTextOffset = RecordTextOffset(record);
    return entry;
}

std::uint32_t RecordTextOffset(const CIndexedData& record) {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t textOffset = 0;
    if (!record.GetDword(AttrId, id) || !record.GetDword(AttrFlags, flags) ||
        (flags & kFlagHasText) == 0 || !record.GetDword(AttrTextOffset, textOffset)) {
        return 0;
    }
    return textOffset;
}

std::u16string DateText(FILETIME64 time) {
    char buf[128];
    if (!FormatDate(time, buf)) {
        return {};
    }
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

void DateText(FILETIME64 time, std::string& target) {
    char buf[128];
    if (FormatDate(time, buf)) {
        target = buf;
    }
}

std::u16string CEmail::GetSubjectText(std::uint32_t codePage) const {
    if (m_Subject.GetType() == CZHyperString::TypeAnsi) {
        return MailboxBytesToWide(codePage, m_Subject.GetTextView());
    }
    CZHyperString copy(m_Subject);
    return copy.ToWide() ? std::u16string(copy.GetWideView()) : std::u16string();
}
