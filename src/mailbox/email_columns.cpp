#include "mailbox/email_columns.h"

#include <cstdio>

#include "mailbox/email.h"
#include "platform/code_page.h"

const std::array<EmailColumnInfo, kEmailColumnCount> kEmailColumns = {{
    {u"ID", ColumnAlign::Left, 40},
    {u"A", ColumnAlign::Centre, 21},
    {u"P", ColumnAlign::Centre, 21},
    {u"F", ColumnAlign::Centre, 21},
    {u"Subject", ColumnAlign::Left, 250},
    {u"Sent", ColumnAlign::Left, 100},
    {u"Received", ColumnAlign::Left, 100},
    {u"From", ColumnAlign::Left, 150},
    {u"To", ColumnAlign::Left, 150},
    {u"Lines", ColumnAlign::Left, 60},
}};

namespace {

std::u16string Ascii(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

}  // namespace

bool IsIconColumn(std::int32_t column) {
    return column == ColAttachment || column == ColPriority || column == ColFlag;
}

std::u16string GetEmailCellText(const CEmailDBX& entry, std::int32_t column,
                                std::uint32_t codePage) {
    char buf[32];
    switch (column) {
        case ColId:
            // A recovered row says what it is; its identifier too when its record survived.
            if (entry.IsRecovered()) {
                if (entry.m_Id < 0) {
                    return Ascii(RecoveredKindName(entry.m_Recovered));
                }
                std::snprintf(buf, sizeof buf, "%li %s", static_cast<long>(entry.m_Id),
                              RecoveredKindName(entry.m_Recovered));
                return Ascii(buf);
            }
            std::snprintf(buf, sizeof buf, "%li", static_cast<long>(entry.m_Id));
            return Ascii(buf);
        case ColSubject:
            return entry.GetSubjectText(codePage);
        case ColSent:
            return DateText(entry.m_SentTime);
        case ColReceived:
            return DateText(entry.m_ReceivedTime);
        case ColFrom:
            return MailboxBytesToWide(codePage, entry.m_SenderName);
        case ColTo:
            return MailboxBytesToWide(codePage, entry.m_RecipientName);
        case ColLines:
            std::snprintf(buf, sizeof buf, "%lu", static_cast<unsigned long>(entry.m_nLines));
            return Ascii(buf);
        default:
            return {};
    }
}

EmailIcon GetEmailRowIcon(const CEmailDBX& entry) {
    switch (entry.m_Recovered) {
        case RecoveredKind::Deleted:
            return IconRecoveredDeleted;
        case RecoveredKind::Unlisted:
            return IconRecoveredUnlisted;
        case RecoveredKind::None:
            break;
    }
    return IconNone;
}

EmailIcon GetEmailCellIcon(const CEmailDBX& entry, std::int32_t column) {
    switch (column) {
        case ColAttachment:
            return entry.m_bHasAttachment ? IconAttachment : IconNone;
        case ColPriority:
            if (entry.m_nPriority == 1) {
                return IconHighPriority;
            }
            return entry.m_nPriority == 5 ? IconLowPriority : IconNone;
        case ColFlag:
            return entry.m_bFlag0020 ? IconFlag : IconNone;
        default:
            return IconNone;
    }
}
