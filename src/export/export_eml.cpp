#include "export/export_eml.h"

#include "export/export_message.h"
#include "export/export_session.h"
#include "export/file_times.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/z_file.h"
#include "mime/mime_body.h"
#include "platform/paths.h"
#include "platform/progress.h"

namespace {

constexpr char16_t kEmlExtension[] = u".eml";

}  // namespace

std::u16string EmlFileName(const CEmailDBX& entry, std::string_view text, std::uint32_t codePage) {
    // Only the header: the subject is all a name needs. Fields before a stop still count.
    CMimeBody header;
    ParseMessageHeader(text, header);
    // A recovered message without its record has no identifier: its kind and the offset of
    // its first block name it, which stays the same however often the file is scanned.
    std::u16string stem =
        entry.IsRecovered() && entry.m_Id < 0
            ? FormatText("[%s-%08lX]", RecoveredKindName(entry.m_Recovered),
                         static_cast<unsigned long>(entry.m_nTextOffset))
            : FormatText("[%lu]",
                         static_cast<unsigned long>(static_cast<std::uint32_t>(entry.m_Id)));
    stem += SubjectFileStem(&header, entry, codePage);
    // The number comes first, so a cut for the length limit only ever shortens the subject.
    return FitFileNameStem(stem, kEmlExtension) + kEmlExtension;
}

bool ExportEml(CExportSession& session, std::u16string_view folder) {
    const std::uint32_t total = session.BeginExportProgress(u"Export emails as EML files...");
    if (total == 0) {
        return false;
    }

    CEmailArray& emails = session.Emails();
    std::uint32_t done = 0;
    for (std::int32_t i = 0; i < emails.GetCount(); ++i) {
        const CEmailDBX* entry = emails.Get(i);
        if (entry == nullptr || !entry->m_bSelected) {
            continue;
        }
        ++done;
        std::string raw;
        if (!LoadMessageText(session.Dbx(), *entry, raw)) {
            session.ShowReadError(static_cast<std::uint32_t>(entry->m_Id));
            continue;
        }
        std::u16string path(folder);
        path += EmlFileName(*entry, raw, session.Dbx().GetCodePage());

        if (!WriteWholeFile(path, raw)) {
            // A file that opened but did not fully reach the disk is as lost as one that
            // never opened: the user gets the same message instead of a silent success.
            if (!session.ReportWriteFailure(path)) {
                break;
            }
            continue;
        }
        DateExportedFile(session, path, MessageDate(*entry));
        if (!session.StepExportProgress(done, total)) {
            break;
        }
    }
    session.EndExportProgress();
    return true;
}
