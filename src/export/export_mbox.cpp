#include "export/export_mbox.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "export/export_message.h"
#include "export/export_session.h"
#include "export/file_times.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "platform/file_time.h"
#include "platform/progress.h"
#include "platform/progress_stepper.h"
#include "platform/text.h"
#include "platform/ui_services.h"

namespace {

constexpr std::string_view kFromPrefix = "From ";
constexpr std::string_view kNoSender = "MAILER-DAEMON";
constexpr std::string_view kEpochDate = "Thu Jan  1 00:00:00 1970";

// A message is written as soon as it is formatted, but a run of small ones is gathered
// first so that the file sees few large writes.
constexpr std::size_t kFlushBytes = 256 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// asctime's form without its line end; false when the date cannot be converted.
bool AsctimeText(FILETIME64 time, char (&buffer)[64], std::size_t& length) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    SystemTime st;
    if (time == 0 || !FileTimeToSystemTime(time, st) || st.wDayOfWeek > 6 || st.wMonth < 1 ||
        st.wMonth > 12) {
        return false;
    }
    const int n =
        std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3u %.2u:%.2u:%.2u %u", kDays[st.wDayOfWeek],
                      kMonths[st.wMonth - 1], unsigned(st.wDay), unsigned(st.wHour),
                      unsigned(st.wMinute), unsigned(st.wSecond), unsigned(st.wYear));
    if (n <= 0 || std::size_t(n) >= sizeof buffer) {
        return false;
    }
    length = std::size_t(n);
    return true;
}

// Whether the line starting at `line` matches ^>*From .
bool NeedsQuote(const char* line, const char* end) {
    while (line < end && *line == '>') {
        ++line;
    }
    return std::size_t(end - line) >= kFromPrefix.size() &&
           std::memcmp(line, kFromPrefix.data(), kFromPrefix.size()) == 0;
}

// The marked messages' progress: the export's own window, the caller's callback, both or
// neither.
class CMboxProgress {
public:
    CMboxProgress(CExportSession& session, const CMboxRequest& request, std::uint32_t total)
        : m_Request(request), m_nTotal(total) {
        if (request.showProgress && total > 0) {
            m_Window.emplace(session.Ui(), kMboxProgressTitle, true);
        }
    }
    CMboxProgress(const CMboxProgress&) = delete;
    CMboxProgress& operator=(const CMboxProgress&) = delete;
    ~CMboxProgress() {
        if (m_Window) {
            m_Window->Clear();
        }
    }

    // False once the user or the caller asked to stop.
    bool Step(std::uint32_t done, std::uint32_t written) {
        if (m_Window &&
            !m_Window->Step(done, m_nTotal,
                            FormatText("%i emails exported.", static_cast<int>(written)))) {
            return false;
        }
        return !m_Request.onMessage || m_Request.onMessage(done, m_nTotal);
    }

private:
    const CMboxRequest& m_Request;
    std::uint32_t m_nTotal;
    std::optional<CProgressStepper> m_Window;
};

}  // namespace

std::string MboxFromLine(const CEmailDBX& entry) {
    std::string line(kFromPrefix);
    const std::size_t before = line.size();
    for (const char c : CutAtZero(entry.m_SenderAddress)) {
        if (!IsBlank(c)) {
            line += c;
        }
    }
    if (line.size() == before) {
        line += kNoSender;
    }
    line += ' ';

    char date[64];
    std::size_t length = 0;
    if (AsctimeText(MessageDate(entry), date, length)) {
        line.append(date, length);
    } else {
        line += kEpochDate;
    }
    line += '\n';
    return line;
}

void AppendMboxMessage(std::string& out, const CEmailDBX& entry, std::string_view text) {
    text = CutAtZero(text);
    out += MboxFromLine(entry);
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* lineEnd = lf != nullptr ? lf : end;
        if (NeedsQuote(p, lineEnd)) {
            out += '>';
        }
        // CRLF becomes LF; a CR anywhere else is data.
        const char* contentEnd = lf != nullptr && lf > p && lf[-1] == '\r' ? lf - 1 : lineEnd;
        out.append(p, std::size_t(contentEnd - p));
        out += '\n';
        p = lf != nullptr ? lf + 1 : end;
    }
    out += '\n';
}

bool ExportMbox(CExportSession& session, const CMboxRequest& request, CMboxResult* result) {
    CMboxResult local;
    CMboxResult& r = result != nullptr ? *result : local;
    r = CMboxResult{};

    CZFile output;
    if (session.RefuseMailboxAsOutput(request.outputFile)) {
        r.fileFailed = true;
        return false;
    }
    if (!output.Open(request.outputFile, CZFile::ModeWrite)) {
        session.ShowWriteError(request.outputFile);
        r.fileFailed = true;
        return false;
    }
    CEmailArray& emails = session.Emails();
    const std::uint32_t total = CountSelected(emails);
    CMboxProgress progress(session, request, total);

    std::string text;
    std::string pending;
    pending.reserve(kFlushBytes + 64 * 1024);
    bool writeFailed = false;
    auto flush = [&] {
        if (!pending.empty() && !writeFailed) {
            writeFailed = !output.Write(pending.data(), std::int64_t(pending.size()));
        }
        pending.clear();
    };

    std::uint32_t done = 0;
    for (const CEmailDBX* entry : emails.Items()) {
        if (entry == nullptr || !entry->m_bSelected) {
            continue;
        }
        ++done;
        if (LoadMessageText(session.Dbx(), *entry, text) && !text.empty()) {
            AppendMboxMessage(pending, *entry, text);
            ++r.written;
            if (pending.size() >= kFlushBytes) {
                flush();
            }
        } else {
            ++r.skipped;
            session.ShowReadError(static_cast<std::uint32_t>(entry->m_Id));
        }
        if (writeFailed) {
            break;
        }
        if (!progress.Step(done, r.written)) {
            r.cancelled = true;
            break;
        }
    }
    flush();
    const bool closed = output.CloseFile();
    if (writeFailed || !closed) {
        // A file cut short loses mail silently unless the user hears about it.
        session.ShowWriteError(request.outputFile);
        r.fileFailed = true;
        return false;
    }
    return !r.cancelled;
}
