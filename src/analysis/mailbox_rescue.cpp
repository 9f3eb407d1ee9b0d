#include "analysis/mailbox_rescue.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "analysis/duplicates.h"
#include "mailbox/crc32.h"
#include "mailbox/dbx_file.h"
#include "mime/charset.h"
#include "mime/mail_fields.h"
#include "mime/mime_char.h"
#include "mime/mime_email.h"
#include "platform/code_page.h"
#include "platform/progress.h"
#include "platform/progress_stepper.h"
#include "platform/ui_services.h"

namespace {

// A decoded field value, from its charset into the mailbox code page, as the index stores
// its strings; the bytes as they are when the charset is unknown or absent.
std::string StoredText(std::string_view value, std::optional<std::string_view> charset,
                       std::uint32_t codePage) {
    std::string out;
    if (charset && !charset->empty() &&
        ConvertCharset(*charset, codePage, value.data(), std::int32_t(value.size()), out, false)) {
        return out;
    }
    return std::string(value);
}

std::string Trimmed(std::string_view s) {
    const std::size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(first, last - first + 1));
}

// Folded lines joined into one, as the list shows a field.
std::string Unfolded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        if (c != '\r' && c != '\n') {
            out += c;
        }
    }
    return Trimmed(out);
}

bool HasAttachedPart(const CMimeBody& part) {
    if (part.HasName() || !part.GetParameter("Content-Disposition", "filename").empty()) {
        return true;
    }
    for (const auto& child : part.GetParts()) {
        if (HasAttachedPart(*child)) {
            return true;
        }
    }
    return false;
}

// The names a message most often starts with; a deleted message lost the first four bytes
// of the first one.
constexpr std::string_view kFirstFieldNames[] = {
    "Received",     "Return-Path", "Subject",         "Message-ID", "MIME-Version", "Content-Type",
    "X-Priority",   "Reply-To",    "Sender",          "X-Mailer",   "Delivered-To", "Thread-Topic",
    "Organization", "References",  "X-Apparently-To", "From",       "Date",
};

// A deleted message's text with its first field's name restored when the lost bytes took
// its start ("~~~~ect:" is "Subject:"), or with its first line dropped when they left no
// field there; empty when the text needs neither.
std::string WithFirstFieldRepaired(std::string_view text) {
    const std::string lostMark(4, CDBXFile::kLostByte);
    if (!text.starts_with(lostMark)) {
        return {};
    }
    const std::size_t eol = text.find("\r\n");
    const std::string_view line = text.substr(0, eol);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view rest = line.substr(4, colon - 4);
        const std::string_view value = line.substr(colon + 1);
        for (const std::string_view name : kFirstFieldNames) {
            if (name.size() < 4 || name.size() - 4 != rest.size() ||
                !EqualsNoCase(name.substr(4), rest)) {
                continue;
            }
            // Four letters leave nothing to compare: a date tells Date from From.
            if (rest.empty() && (name == "Date") != mailfields::ParseMailDate(value).has_value()) {
                continue;
            }
            return std::string(name) + std::string(text.substr(colon));
        }
    }
    if (eol == std::string_view::npos || colon != std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(eol + 2));
}

}  // namespace

void FillEntryFromText(CEmailDBX& entry, std::string_view text, std::uint32_t codePage) {
    entry.m_nLines = mailfields::CountLines(text);
    const std::string repaired = WithFirstFieldRepaired(text);
    const std::string_view parsed = repaired.empty() ? text : std::string_view(repaired);
    CMimeEmail mail;
    if (mail.Parse(parsed) <= 0) {
        // Not even a header: the row still shows its lines and its text.
        return;
    }
    auto field = [&mail](std::string_view name) { return mail.GetFieldValue(name); };
    if (const auto subject = field("Subject")) {
        entry.m_Subject.SetGrowBy(1);
        entry.m_Subject.SetText(
            StoredText(Unfolded(*subject), mail.GetFieldCharset("Subject"), codePage));
    }
    auto mailbox = [&](std::string_view name, std::string& display, std::string& address,
                       bool& hasName) {
        const auto value = field(name);
        if (!value) {
            return;
        }
        if (const auto box = mailfields::ParseFirstMailbox(Unfolded(*value))) {
            display = StoredText(box->name, mail.GetFieldCharset(name), codePage);
            address = box->address;
            hasName = true;
        }
    };
    mailbox("From", entry.m_SenderName, entry.m_SenderAddress, entry.m_bHasSenderName);
    mailbox("To", entry.m_RecipientName, entry.m_RecipientAddress, entry.m_bHasRecipientName);
    if (const auto date = field("Date")) {
        if (const auto sent = mailfields::ParseMailDate(Unfolded(*date))) {
            entry.m_SentTime = *sent;
            entry.m_ReceivedTime = *sent;
        }
    }
    if (const auto priority = field("X-Priority")) {
        if (const auto p = mailfields::ParsePriority(*priority)) {
            entry.m_nPriority = std::int32_t(*p);
        }
    }
    if (const auto id = field("Message-ID")) {
        entry.m_MessageId = Unfolded(*id);
        entry.m_bHasMessageId = true;
        entry.m_nMessageIdCrc = Crc32(entry.m_MessageId);
    }
    if (const auto reply = field("In-Reply-To")) {
        entry.m_InReplyTo = Unfolded(*reply);
        entry.m_nInReplyToCrc = Crc32(entry.m_InReplyTo);
    }
    entry.m_bHasAttachment = HasAttachedPart(mail);
}

CRescueResult RecoverMessages(CDBXFile& dbx, IUiServices& ui) {
    CRescueResult result;
    CProgressStepper progress(ui, kRescueProgressTitle, false);
    int lastPercent = -1;
    std::vector<CRecoveredChain> chains;
    const bool scanned = dbx.ScanForChains(chains, [&](std::uint64_t done, std::uint64_t total) {
        const int percent = total == 0 ? 100 : int(done * 100 / total);
        if (percent != lastPercent) {
            lastPercent = percent;
            progress.Show(std::uint64_t(percent), 100,
                          FormatText("%i%% of the file scanned", percent));
        }
        return progress.Pump();
    });
    if (!scanned) {
        progress.Clear();
        return result;
    }
    std::unordered_set<std::uint32_t> known;
    for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
        if (entry != nullptr && entry->IsRecovered()) {
            known.insert(entry->m_nTextOffset);
        }
    }
    std::vector<std::unique_ptr<CEmailDBX>> found;
    std::string text;
    for (const CRecoveredChain& chain : chains) {
        if (known.count(chain.m_nHead) != 0) {
            continue;
        }
        std::unique_ptr<CEmailDBX> entry = dbx.MakeRecoveredEntry(chain);
        // A chain with nothing readable in it is no message.
        if (!dbx.GetMessageText(entry.get(), text)) {
            continue;
        }
        if (chain.m_nRecordOffset == 0) {
            FillEntryFromText(*entry, text, dbx.GetCodePage());
        }
        (chain.m_Kind == RecoveredKind::Deleted ? result.m_nDeleted : result.m_nUnlisted)++;
        found.push_back(std::move(entry));
    }
    if (!progress.Pump()) {
        progress.Clear();
        return CRescueResult{};
    }
    for (std::unique_ptr<CEmailDBX>& entry : found) {
        dbx.GetEmails().Append(std::move(entry));
    }
    progress.Clear();
    result.m_bCompleted = true;
    return result;
}

std::uint32_t CountRecovered(const CDBXFile& dbx) {
    std::uint32_t n = 0;
    for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
        n += entry != nullptr && entry->IsRecovered() ? 1 : 0;
    }
    return n;
}

bool ShouldOfferRescue(const CDBXFile& dbx, std::int32_t status) {
    if (!dbx.IsOpen() || dbx.GetFileLength() <= CDBXFile::kHeaderSize + CDBXFile::kFileInfoSize) {
        return false;
    }
    if (status == DbxNoEmail) {
        return true;
    }
    return status == DbxOk && dbx.GetEmails().GetCount() == 0 && dbx.GetDamageCount() > 0;
}

CRescueResult RunRecoverCommand(CDBXFile& dbx, IUiServices& ui) {
    const CRescueResult result = RecoverMessages(dbx, ui);
    if (result.m_bCompleted && result.Recovered() == 0) {
        ui.MessageBox(kRescueNothingFound, kAppName, MsgIcon::None, MsgButtons::Ok);
    }
    return result;
}

std::u16string MailboxCountText(const CDBXFile& dbx) {
    const std::uint32_t count = std::uint32_t(std::max(dbx.GetEmails().GetCount(), 0));
    const std::uint32_t recovered = CountRecovered(dbx);
    if (recovered > 0) {
        return FormatText("%lu emails, %lu recovered", static_cast<unsigned long>(count),
                          static_cast<unsigned long>(recovered));
    }
    std::u16string text = EmailCountText(count);
    if (dbx.GetDamageCount() > 0) {
        text += u", damaged: Tools > Recover Messages";
    }
    return text;
}
