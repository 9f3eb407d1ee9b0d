#include "export/export_attachments.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <vector>

#include "export/export_message.h"
#include "export/export_session.h"
#include "export/export_settings.h"
#include "export/file_times.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/decoder_uu.h"
#include "mime/mime_email.h"
#include "platform/app_settings.h"
#include "platform/paths.h"
#include "platform/progress_stepper.h"
#include "platform/ui_services.h"

namespace {

void ShowNameError(IUiServices& ui) {
    ui.MessageBox(u"Unable to read the name of this attached file.", kErrorCaption, MsgIcon::Error,
                  MsgButtons::Ok);
}

// Where a part named `name` is saved: the name itself, or the first free "stem(k).ext".
// Empty when a taken name has no extension (such a part is not saved again); `exhausted`
// when every candidate up to the bound is taken.
std::u16string ChooseAttachmentPath(CExportSession& session, std::u16string_view folder,
                                    std::u16string_view name, bool& exhausted) {
    exhausted = false;
    const std::size_t dot = name.rfind(u'.');
    const std::u16string_view stem = dot == std::u16string_view::npos ? name : name.substr(0, dot);
    if (dot == std::u16string_view::npos) {
        std::u16string path = JoinFileName(folder, name, {});
        return FileExists(path.c_str()) ? std::u16string() : path;
    }
    // The first copy of report.pdf is report(2).pdf.
    std::u16string path;
    exhausted = !FindFreeFileName(session, folder, stem, name.substr(dot), 2, path);
    return path;
}

// Saves one named part, dated like its message; true when it counts as saved.
bool SaveNamedPart(CExportSession& session, const CMimeBody& part, std::u16string_view folder,
                   FILETIME64 date) {
    CZHyperString name;
    if (!part.GetParameterText("Content-Type", "name", name) ||
        !name.ToWide(session.Dbx().GetCodePage())) {
        ShowNameError(session.Ui());
        return false;
    }
    name.SanitizeFileName();
    const std::u16string_view cleaned = name.GetWideView();
    // Nothing of these names a file inside the folder.
    if (cleaned.empty() || cleaned == u"." || cleaned == u"..") {
        ShowNameError(session.Ui());
        return false;
    }
    bool exhausted = false;
    const std::u16string path = ChooseAttachmentPath(session, folder, cleaned, exhausted);
    if (path.empty()) {
        return false;
    }
    // Never overwrite a file that is already there.
    if (exhausted || !part.SaveContent(path)) {
        session.ReportWriteFailure(path);
        return false;
    }
    DateExportedFile(session, path, date);
    return true;
}

// The uuencoded file of each plain-text body; yEnc data is not saved.
std::int32_t SaveUuencodedFiles(const CExportSession& session, CMimeEmail& mime,
                                std::u16string_view folder, FILETIME64 date,
                                std::uint32_t codePage) {
    std::int32_t count = 0;
    const std::u16string target(folder);
    for (const CMimeEmailContent& content : mime.GetContents()) {
        if (content.GetKind() != CMimeEmailContent::ContentPlainText || content.GetLength() <= 0) {
            continue;
        }
        CDecoderUU decoder(codePage);
        if (decoder.Detect(content.GetText()) != CDecoder::DetectUuencode) {
            continue;
        }
        if (decoder.DecodeToFolder(content.GetText(), target)) {
            DateExportedFile(session, decoder.GetOutputPath(), date);
            ++count;
        }
    }
    return count;
}

// The progress loop shared by the wizard and the command. A null entry (a row without
// an entry) is skipped but still counts towards the position.
std::int32_t RunAttachmentLoop(CExportSession& session,
                               const std::vector<const CEmailDBX*>& entries,
                               std::u16string_view folder) {
    session.ClearClashStarts();
    session.WriteFailures().Reset();
    std::optional<CProgressStepper> progress(std::in_place, session.Ui(),
                                             u"Export attached files...", false);

    const std::uint64_t total = entries.size();
    std::int32_t files = 0;
    std::uint64_t k = 0;
    int position = 0;
    bool cancelled = false;
    for (const CEmailDBX* entry : entries) {
        ++k;
        if (entry == nullptr) {
            continue;
        }
        files += SaveAttachments(session, entry, folder);
        position = static_cast<int>(k * 100 / total);
        cancelled = !progress->Step(k, total, FormatText("%i attached files exported.", files));
        if (cancelled || session.WriteFailures().Stopped()) {
            break;
        }
    }
    // The window ends before the boxes of the result, which it would cover; a run that
    // went through shows its bar full first, whatever rows had no entry.
    if (!cancelled && !session.WriteFailures().Stopped() && position != 100) {
        progress->Fill();
    }
    progress.reset();
    session.FinishWriteFailures();
    session.Ui().MessageBox(AttachedFilesSummaryText(files), kAppName, MsgIcon::None,
                            MsgButtons::Ok);
    return files;
}

}  // namespace

std::u16string AttachedFilesSummaryText(std::int32_t files) {
    return FormatText("%i attached file(s) exported.", files);
}

std::int32_t SaveAttachments(CExportSession& session, const CEmailDBX* entry,
                             std::u16string_view folder) {
    if (entry == nullptr) {
        return 0;
    }
    std::string text;
    CMimeEmail mime;
    bool parsed = false;
    if (!LoadMessage(session.Dbx(), *entry, text, mime, parsed)) {
        session.ShowReadError(static_cast<std::uint32_t>(entry->m_Id));
        return 0;
    }

    std::vector<const CMimeBody*> leaves;
    mime.CollectLeaves(leaves);
    const FILETIME64 date = MessageDate(*entry);
    std::int32_t count = 0;
    bool searchedUuencode = false;
    for (const CMimeBody* leaf : leaves) {
        // The user chose to stop after a file that could not be written.
        if (session.WriteFailures().Stopped()) {
            break;
        }
        if (leaf->HasName()) {
            if (SaveNamedPart(session, *leaf, folder, date)) {
                ++count;
            }
        } else if (!searchedUuencode) {
            // Once per message: a second nameless part would only find the same file.
            searchedUuencode = true;
            count += SaveUuencodedFiles(session, mime, folder, date, session.Dbx().GetCodePage());
        }
    }
    return count;
}

std::int32_t ExportAttachments(CExportSession& session, std::u16string_view folder) {
    std::vector<const CEmailDBX*> entries;
    for (const CEmailDBX* entry : session.Emails().Items()) {
        if (entry != nullptr && entry->m_bSelected) {
            entries.push_back(entry);
        }
    }
    return RunAttachmentLoop(session, entries, folder);
}

std::int32_t SaveAttachmentsOfRows(CExportSession& session, std::span<const std::int32_t> rows,
                                   std::u16string_view folder) {
    const CEmailArray& emails = session.Emails();
    std::vector<const CEmailDBX*> entries;
    entries.reserve(rows.size());
    for (const std::int32_t row : rows) {
        entries.push_back(row < emails.GetCount() ? emails.Get(row) : nullptr);
    }
    return RunAttachmentLoop(session, entries, folder);
}

std::optional<std::int32_t> RunSaveAttachmentsCommand(CExportSession& session,
                                                      CAppSettings& settings,
                                                      std::span<const std::int32_t> rows,
                                                      const FolderChooser& chooseFolder) {
    if (rows.empty()) {
        session.Ui().MessageBox(u"Please select one or more message...", u"Info", MsgIcon::Warning,
                                MsgButtons::Ok);
        return std::nullopt;
    }
    const std::u16string current = settings.ReadString(kConfigSection, kKeyLastFolderOut);
    std::optional<std::u16string> chosen = chooseFolder ? chooseFolder(current) : std::nullopt;
    if (!chosen || chosen->empty()) {
        return std::nullopt;
    }
    const std::u16string folder = WithTrailingSeparator(*chosen);
    settings.WriteString(kConfigSection, kKeyLastFolderOut, folder);
    // The command has no step of its own for it: the wizard's remembered choice holds.
    session.SetFileTimes(CExportConfig::Load(settings).fileTimes);
    return SaveAttachmentsOfRows(session, rows, folder);
}
