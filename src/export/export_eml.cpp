#include "export/export_eml.h"

#include <algorithm>
#include <climits>

#include "export/export_session.h"
#include "export/file_times.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/mime_email.h"
#include "platform/paths.h"
#include "platform/progress.h"

namespace {

constexpr char16_t kEmlExtension[] = u".eml";

std::string_view UpToFirstZero(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

// Writes the bytes to a new or truncated file; false when the file cannot be created or
// anything of it fails to reach the disk.
bool WriteWholeFile(const std::u16string& path, std::string_view bytes) {
    CZFile file;
    if (!file.Open(path, CZFile::ModeWrite))
        return false;
    bool written = true;
    if (!bytes.empty())
        written = file.Write(bytes.data(), std::int64_t(bytes.size()));
    const bool closed = file.CloseFile();
    return written && closed;
}

}  // namespace

std::u16string EmlFileName(const CEmailDBX& entry, std::string_view text, std::uint32_t codePage) {
    text = UpToFirstZero(text);
    CMimeEmail mime;
    mime.Parse(text.data(), std::int32_t(std::min<std::size_t>(text.size(), INT32_MAX)));
    CZHyperString subject;
    if (!mime.GetFieldText("Subject", subject))
        subject = entry.m_Subject;
    subject.ToWide(codePage);
    subject.SanitizeFileName();

    // A recovered message without its record has no identifier: its kind and the offset of
    // its first block name it, which stays the same however often the file is scanned.
    std::u16string stem =
        entry.IsRecovered() && entry.m_Id < 0
            ? FormatStatusText("[%s-%08lX]", RecoveredKindName(entry.m_Recovered),
                               static_cast<unsigned long>(entry.m_nTextOffset))
            : FormatStatusText("[%lu]",
                               static_cast<unsigned long>(static_cast<std::uint32_t>(entry.m_Id)));
    if (subject.GetType() == CZHyperString::TypeWide)
        stem += subject.GetWideView();
    // The number comes first, so a cut for the length limit only ever shortens the subject.
    return FitFileNameStem(stem, kEmlExtension) + kEmlExtension;
}

bool ExportEml(CExportSession& session, std::u16string_view folder) {
    const std::uint32_t total = session.BeginExportProgress(u"Export emails as EML files...");
    if (total == 0)
        return false;

    CEmailArray& emails = session.Emails();
    std::uint32_t done = 0;
    for (std::int32_t i = 0; i < emails.GetCount(); ++i) {
        const CEmailDBX* entry = emails.Get(i);
        if (entry == nullptr || !entry->m_bSelected)
            continue;
        ++done;
        std::string text;
        if (!session.Dbx().GetMessageText(entry, text)) {
            session.ShowReadError(static_cast<std::uint32_t>(entry->m_Id));
            continue;
        }
        const std::string_view raw = UpToFirstZero(text);
        std::u16string path(folder);
        path += EmlFileName(*entry, raw, session.Dbx().GetCodePage());

        if (!WriteWholeFile(path, raw)) {
            // A file that opened but did not fully reach the disk is as lost as one that
            // never opened: the user gets the same message instead of a silent success.
            if (!session.ReportWriteFailure(path))
                break;
            continue;
        }
        DateExportedFile(session, path, MessageDate(*entry));
        if (!session.StepExportProgress(done, total))
            break;
    }
    session.EndExportProgress();
    return true;
}
