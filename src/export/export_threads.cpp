#include "export/export_threads.h"

#include <memory>
#include <string>

#include "analysis/email_sort.h"
#include "analysis/message_thread.h"
#include "export/export_message.h"
#include "export/export_session.h"
#include "export/file_times.h"
#include "export/template.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "mime/mime_body.h"
#include "platform/paths.h"

namespace {

constexpr char16_t kThreadsProgressTitle[] = u"Export emails as HTML files, per thread...";

// The first message's subject, from its header alone; a header that does not parse to
// its end gives the stored subject.
std::u16string ThreadTitle(const CEmailDBX& first, std::string_view raw, std::uint32_t codePage) {
    CMimeBody header;
    const bool parsed = ParseMessageHeader(raw, header);
    return SubjectFileStem(parsed ? &header : nullptr, first, codePage, u"(No subject)");
}

// The date of the thread's file: that of its latest message written into it.
FILETIME64 LatestSelectedDate(const CEmailArray& list) {
    FILETIME64 latest = 0;
    for (const CEmailDBX* entry : list.Items()) {
        if (entry != nullptr && entry->m_bSelected) {
            latest = std::max(latest, MessageDate(*entry));
        }
    }
    return latest;
}

}  // namespace

bool ExportThreads(CExportSession& session, const CThreadExportRequest& request) {
    const std::uint32_t total = session.BeginExportProgress(kThreadsProgressTitle);
    if (total == 0) {
        return false;
    }
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
        if (selected == 0) {
            continue;
        }
        SortEmails(list, SortById, true);
        const CEmailDBX* first = list.Get(0);
        if (first == nullptr) {
            continue;
        }
        std::string raw;
        if (!LoadMessageText(session.Dbx(), *first, raw)) {
            session.ShowReadError(static_cast<std::uint32_t>(first->m_Id));
            continue;
        }
        const std::u16string title = ThreadTitle(*first, raw, session.Dbx().GetCodePage());
        if (request.sortBy == 1) {
            SortEmails(list, SortByReceived, request.ascending);
        }

        std::u16string path;
        CZFile output;
        // Many threads share a subject ("(No subject)" above all): numbers tell them apart.
        if (FindFreeFileName(session, folder, title, u".html", 1, path) &&
            output.Open(path, CZFile::ModeWrite)) {
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
        if (!session.StepExportProgress(done, total)) {
            break;
        }
    }
    for (std::size_t t = 0; t < count; ++t) {
        threads[t].m_ThreadEmails.ReleaseAll();
    }
    session.EndExportProgress();
    return true;
}
