#include "export/export_threads.h"

#include <algorithm>

#include <cstring>
#include <memory>
#include <string>

#include "analysis/email_sort.h"
#include "analysis/message_thread.h"
#include "export/export_session.h"
#include "export/file_times.h"
#include "export/template.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/mime_email.h"
#include "platform/paths.h"

namespace {

constexpr char16_t kThreadsProgressTitle[] = u"Export emails as HTML files, per thread...";

// Beyond this many same-named files the folder is not worth searching further.
constexpr std::uint32_t kMaxNameClashes = 100000;

// The decoded Subject field of the raw text, else the stored subject; "(No subject)" when
// empty. Cleaned for use as a file name.
std::u16string ThreadTitle(const CEmailDBX& first, const std::string& raw, std::uint32_t codePage) {
    CZHyperString subject;
    CMimeEmail email;
    const std::size_t length = strnlen(raw.data(), raw.size());
    const bool parsed =
        length <= std::size_t(INT32_MAX) && email.Parse(raw.data(), std::int32_t(length)) > 0;
    if (!parsed || !email.GetFieldText("Subject", subject))
        subject = first.m_Subject;
    if (subject.IsEmpty())
        subject.SetText("(No subject)");
    subject.ToWide(codePage);
    subject.SanitizeFileName();
    return std::u16string(subject.GetWide());
}

// folder + title + ".html", or the first free "(k).html" form; the stem is cut so that the
// name fits the file system.
bool FreeThreadPath(CExportSession& session, const std::u16string& folder,
                    const std::u16string& title, std::u16string& path) {
    path = folder + FitFileNameStem(title, u".html") + u".html";
    if (!FileExists(path.c_str()))
        return true;
    // Many threads share a subject ("(No subject)" above all): go on where the last
    // search for this title stopped.
    std::uint32_t& start = session.ClashStart(folder + title);
    for (std::uint32_t k = std::max<std::uint32_t>(start, 1);; ++k) {
        if (k > kMaxNameClashes)
            return false;
        std::u16string tail = u"(";
        for (const char c : std::to_string(k))
            tail += char16_t(c);
        tail += u").html";
        path = folder + FitFileNameStem(title, tail) + tail;
        if (!FileExists(path.c_str())) {
            start = k;
            return true;
        }
    }
}

// The date of the thread's file: that of its latest message written into it.
FILETIME64 LatestSelectedDate(const CEmailArray& list) {
    FILETIME64 latest = 0;
    for (const CEmailDBX* entry : list.Items()) {
        if (entry != nullptr && entry->m_bSelected)
            latest = std::max(latest, MessageDate(*entry));
    }
    return latest;
}

}  // namespace

bool ExportThreads(CExportSession& session, const CThreadExportRequest& request) {
    const std::uint32_t total = session.BeginExportProgress(kThreadsProgressTitle);
    if (total == 0)
        return false;
    CTemplate tpl;
    if (!ReadTemplate(request.templatePath, tpl, session.Ui())) {
        session.EndExportProgress();
        return false;
    }
    const std::u16string folder = WithTrailingSeparator(request.folder);

    CEmailArray& emails = session.Emails();
    const auto count = static_cast<std::size_t>(emails.GetCount());
    auto threads = std::make_unique<CMessageThread[]>(count);
    const std::uint32_t n =
        ScanThreads(emails, std::span<CMessageThread>(threads.get(), count), session.Ui());

    std::uint32_t done = 0;
    for (std::uint32_t t = 0; t < n && t < count; ++t) {
        CEmailArray& list = threads[t].m_ThreadEmails;
        const std::uint32_t selected = threads[t].CountSelected();
        if (selected == 0)
            continue;
        SortEmails(list, SortById, true);
        const CEmailDBX* first = list.Get(0);
        if (first == nullptr)
            continue;
        std::string raw;
        if (!session.Dbx().GetMessageText(first, raw)) {
            session.ShowReadError(static_cast<std::uint32_t>(first->m_Id));
            continue;
        }
        const std::u16string title = ThreadTitle(*first, raw, session.Dbx().GetCodePage());
        if (request.sortBy == 1)
            SortEmails(list, SortByReceived, request.ascending);

        std::u16string path;
        CZFile output;
        if (FreeThreadPath(session, folder, title, path) && output.Open(path, CZFile::ModeWrite)) {
            CExpandRequest expand;
            expand.pTemplate = &tpl;
            expand.pOutput = &output;
            expand.pEntries = &list;
            expand.title = title;
            expand.codePage = request.codePage;
            expand.showProgress = false;
            ExpandTemplate(session, expand);
            output.Close();
            DateExportedFile(session, path, LatestSelectedDate(list));
        } else if (!session.ReportWriteFailure(path)) {
            break;
        }
        done += selected;
        if (!session.StepExportProgress(done, total))
            break;
    }
    for (std::size_t t = 0; t < count; ++t)
        threads[t].m_ThreadEmails.ReleaseAll();
    session.EndExportProgress();
    return true;
}
