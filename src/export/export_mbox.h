// Mbox export: the marked messages of one open mailbox, in list order, written into one
// file in the mboxrd form that mail clients and servers import (Thunderbird, Evolution,
// mutt, Apple Mail, Dovecot) and that reads back exactly. Each message is
//
//   From <sender address, spaces removed; MAILER-DAEMON when empty> <date>\n
//   the stored text, up to its first zero byte, with CRLF turned into LF and one more '>'
//   before every line that matches ^>*From \n
//   \n
//
// where the date is C's asctime form ("Mon Nov  3 17:05:00 2008") of the sent date in UTC,
// the received date when there is no sent date, 1970-01-01 00:00:00 when there is neither.
// A text that does not end with a line break gets one. A bare CR is data, not a line end,
// and stays. A message without a stored text is reported ("Unable to read the message
// %lu...") and left out; the others are still written.
//
// One folder of a store is one call: open the folder's mailbox, mark the entries to
// write (m_bSelected), make a CExportSession over it and call ExportMbox. A caller that
// runs its own progress window over many folders sets showProgress to false and follows
// the messages through onMessage. With no entry marked the file is still created, empty:
// an empty mbox is an empty folder to every mail client.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CEmailDBX;
class CExportSession;

inline constexpr char16_t kMboxProgressTitle[] = u"Exporting emails in a mbox file...";

struct CMboxRequest {
    std::u16string outputFile;  // created or truncated
    // The export's own progress window: "%i emails exported.", cancel between messages.
    bool showProgress = true;
    // Called after each marked message (written or skipped) with the messages handled so
    // far and the number marked; returning false stops the export as a cancel does.
    std::function<bool(std::uint32_t done, std::uint32_t total)> onMessage;
};

struct CMboxResult {
    std::uint32_t written = 0;  // messages in the file
    std::uint32_t skipped = 0;  // marked messages without a stored text (each reported)
    bool cancelled = false;     // stopped by the progress window or onMessage
    bool fileFailed = false;    // the file could not be created or written (reported)
};

// False when the output file cannot be created or fully written (the write error message
// has been shown; what was written stays) or when the run was cancelled; true otherwise,
// also when messages were skipped. `result`, when given, says what happened.
bool ExportMbox(CExportSession& session, const CMboxRequest& request,
                CMboxResult* result = nullptr);

// The separator line of the entry, with its LF.
[[nodiscard]] std::string MboxFromLine(const CEmailDBX& entry);

// Appends the entry's whole mbox form (separator line, escaped text, empty line) to `out`.
// `text` is the raw text; it is cut at its first zero byte.
void AppendMboxMessage(std::string& out, const CEmailDBX& entry, std::string_view text);
