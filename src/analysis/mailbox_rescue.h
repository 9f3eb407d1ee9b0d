// The rescue of messages the index no longer lists: a scan of the whole open file finds
// the chains of deleted and unlisted messages (mailbox layer), and each becomes a
// recovered entry appended after the index's rows. An entry whose record survived takes
// its fields from it; the others are filled from the message's own header fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

class CDBXFile;
class CEmailDBX;
class IUiServices;

struct CRescueResult {
    bool m_bCompleted = false;  // false when the file could not be scanned or was cancelled
    std::uint32_t m_nDeleted = 0;
    std::uint32_t m_nUnlisted = 0;

    [[nodiscard]] std::uint32_t Recovered() const { return m_nDeleted + m_nUnlisted; }
};

// Scans the open file with a progress window ("Scanning for messages...", percent of the
// file) and appends the recovered entries to its list. Nothing is appended when the user
// cancels. Rows recovered before are not found twice.
CRescueResult RecoverMessages(CDBXFile& dbx, IUiServices& ui);

// Fills an entry's list fields from the message text: Subject, From and To decoded into the
// mailbox code page (as the index would have stored them), Date as the sent and received date,
// lines, priority, message identifiers, and the attachment mark from the MIME tree.
void FillEntryFromText(CEmailDBX& entry, std::string_view text,
                       std::uint32_t codePage = kDefaultMailboxCodePage);

// The recovered rows of the list.
[[nodiscard]] std::uint32_t CountRecovered(const CDBXFile& dbx);

// Tools > Recover Messages: the scan, then a notice when it found nothing new.
CRescueResult RunRecoverCommand(CDBXFile& dbx, IUiServices& ui);

// The status bar's count: "%lu emails"; "%lu emails, %lu recovered" once a scan added rows;
// and while the index walk skipped damage that no scan looked at, ", damaged: Tools >
// Recover Messages" after the count.
[[nodiscard]] std::u16string MailboxCountText(const CDBXFile& dbx);

// Whether a failed or empty open should offer the scan: the index is damaged (a bad root or
// count, or a tree that yields nothing although the walk met damage) while the file holds
// more than its header.
[[nodiscard]] bool ShouldOfferRescue(const CDBXFile& dbx, std::int32_t status);

inline constexpr char16_t kRescueQuestion[] =
    u"The index of this file is damaged. Scan the whole file for messages?";
inline constexpr char16_t kRescueProgressTitle[] = u"Scanning for messages...";
inline constexpr char16_t kRescueNothingFound[] =
    u"The scan found no deleted message and no message missing from the index.";
