#include "export/export_store.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <unordered_set>

#include "analysis/mailbox_rescue.h"
#include "export/export_attachments.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_array.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/mailbox_code_page.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/text.h"
#include "platform/ui_services.h"
#include "store/dbx_store.h"

namespace {

constexpr char16_t kUnlistedFolder[] = u"Unlisted";
constexpr char16_t kStoreProgressTitle[] = u"Export the whole store...";

bool WritesOneFile(std::int32_t format) {
    const CExportFormatInfo* info = FindExportFormat(format);
    return info != nullptr && info->destination == ExportDestination::File;
}

// The index of the store's Local Folders account below the root, 0 when there is none.
std::size_t LocalFoldersAccount(const std::vector<CStoreFolder>& folders) {
    for (std::size_t i = 1; i < folders.size(); ++i) {
        const CStoreFolder& f = folders[i];
        if (f.m_nParent == 0 && f.m_Kind == StoreFolderKind::Account &&
            f.m_strAccount == u"LocalStore" && f.m_FileState == StoreFileState::None) {
            return i;
        }
    }
    return 0;
}

std::u16string FileExtension(std::int32_t format) {
    if (format == FormatMbox) {
        return u".mbox";
    }
    return format == FormatTextAllInOne ? u".txt" : u".html";
}

// Names given among one set of siblings: a clean name taken (ignoring case) gets " (2)",
// " (3)"..., and every name is cut to fit the file system with its extension.
class CSiblingNames {
public:
    explicit CSiblingNames(std::u16string_view extension) : m_Extension(extension) {}

    void Reserve(std::u16string_view name) { m_Taken.insert(AsciiLowered(name)); }

    std::u16string Take(std::u16string_view name) {
        const std::u16string clean = CleanFolderName(name);
        for (std::uint32_t n = 1;; ++n) {
            const std::u16string suffix =
                n == 1 ? std::u16string() : FormatText(" (%lu)", static_cast<unsigned long>(n));
            std::u16string candidate = FitFileNameStem(clean, suffix + m_Extension) + suffix;
            if (m_Taken.insert(AsciiLowered(candidate)).second) {
                return candidate;
            }
        }
    }

private:
    std::u16string m_Extension;
    std::unordered_set<std::u16string> m_Taken;
};

// The progress a folder's export sees: its window is the store's one, which it only
// advances. Every item the export pumps for counts as one file.
class CStoreProgress;

class CFolderProgress final : public IProgress {
public:
    explicit CFolderProgress(CStoreProgress& owner) : m_Owner(owner) {}
    void SetRange(int, int, int) override {}
    bool Begin(std::u16string_view, bool) override { return true; }
    int SetPosition(int) override { return 0; }
    void SetStatusText(std::u16string_view) override {}
    void PumpMessages(bool cancelOnEscape) override;
    [[nodiscard]] bool IsCancelled() const override;
    void ClearProgress() override {}

private:
    CStoreProgress& m_Owner;
};

// The UI services a folder's export runs with: its message boxes go to the user as they
// are, its errors are counted for the folder, its progress windows are the store's one.
class CStoreProgress final : public IUiServices {
public:
    CStoreProgress(IUiServices& ui, std::uint64_t totalMessages)
        : m_Ui(ui), m_nTotal(totalMessages) {
        m_pWindow = ui.CreateProgress(kStoreProgressTitle, true);
        m_pWindow->SetRange(0, 100, 1);
        m_pWindow->Begin(u"Progress", true);
    }

    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override {
        if (icon == MsgIcon::Error) {
            ++m_nErrors;
        }
        return m_Ui.MessageBox(text, caption, icon, buttons);
    }
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view, bool) override {
        return std::make_unique<CFolderProgress>(*this);
    }

    void StartFolder(std::u16string_view path) {
        m_strFolder = ExportingFolderText(path);
        Show();
        m_pWindow->PumpMessages(true);
    }
    void EndFolder(std::uint64_t messages) {
        m_nBefore += messages;
        m_nFiles += m_nItems;
        m_nItems = 0;
    }
    void Item(bool cancelOnEscape) {
        if (!m_bScanning) {
            ++m_nItems;
            Show();
        }
        m_pWindow->PumpMessages(cancelOnEscape);
    }
    // A folder's scan for lost messages counts no file.
    void BeginScan() { m_bScanning = true; }
    void EndScan() { m_bScanning = false; }
    [[nodiscard]] bool IsCancelled() const { return m_pWindow->IsCancelled(); }
    [[nodiscard]] std::uint32_t Errors() const { return m_nErrors; }
    [[nodiscard]] std::uint64_t Files() const { return m_nFiles + m_nItems; }

private:
    void Show() {
        const std::uint64_t done = m_nBefore + m_nItems;
        const int percent =
            m_nTotal == 0 ? 0 : int(std::min<std::uint64_t>(done, m_nTotal) * 100 / m_nTotal);
        m_pWindow->SetPosition(percent);
        m_pWindow->SetStatusText(
            m_strFolder + u" " +
            FormatText("%llu files exported.", static_cast<unsigned long long>(Files())));
    }

    IUiServices& m_Ui;
    std::unique_ptr<IProgress> m_pWindow;
    std::uint64_t m_nTotal = 0;
    std::uint64_t m_nBefore = 0;
    std::uint64_t m_nItems = 0;
    std::uint64_t m_nFiles = 0;
    std::uint32_t m_nErrors = 0;
    bool m_bScanning = false;
    std::u16string m_strFolder;
};

void CFolderProgress::PumpMessages(bool cancelOnEscape) {
    m_Owner.Item(cancelOnEscape);
}

bool CFolderProgress::IsCancelled() const {
    return m_Owner.IsCancelled();
}

std::u16string FolderText(std::u16string_view path) {
    return path.empty() ? std::u16string(u"/") : std::u16string(path);
}

void ShowFolderError(IUiServices& ui, const std::u16string& text) {
    ui.MessageBox(text, kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
}

bool WriteEmptyFile(const std::u16string& path) {
    CZFile file;
    return file.Open(path, CZFile::ModeWrite) && file.CloseFile();
}

// Opens a folder's file as File > Open does; with `recover` the file is scanned as well,
// and one whose index is damaged is opened for the scan alone. Returns Open's status.
std::int32_t OpenFolderFile(CDBXFile& dbx, const std::u16string& path, bool recover,
                            CStoreProgress& progress, CStoreExportResult& result) {
    if (!recover) {
        return OpenMailbox(dbx, path);
    }
    const std::int32_t status = dbx.OpenForRecovery(path.c_str());
    if (dbx.IsOpen()) {
        // The recovered rows store their header fields in the code page the index rows
        // tell; a file without readable rows learns it from the recovered ones.
        if (status == DbxOk) {
            UseMailboxCodePage(dbx, 0);
        }
        progress.BeginScan();
        result.recovered += RecoverMessages(dbx, progress).Recovered();
        progress.EndScan();
        if (status != DbxOk) {
            UseMailboxCodePage(dbx, 0);
        }
    }
    return status;
}

// What one folder's export came to.
struct CFolderOutcome {
    bool ran = false;  // false: the export refused to run (reported)
    std::uint64_t writeFailures = 0;
    bool stopped = false;  // the user chose to stop after a write failure
};

// One folder's export, through the format's own export.
CFolderOutcome ExportFolder(CDBXFile& dbx, CStoreProgress& ui, const CStoreExportRequest& request,
                            const CStoreFolder& folder, const std::u16string& target,
                            std::uint64_t& attachedFiles) {
    CExportSession session(dbx, ui);
    session.WriteFailures().SetAskToContinue(request.askOnWriteFailure);
    session.SetFileTimes(request.fileTimes);
    ExportStep1Next(dbx.GetEmails(), SelectionAll, {});
    CFolderOutcome outcome;
    if (request.format == FormatAttachments) {
        // The per-message saving without the loop's closing notice: one per folder would
        // bury the user in boxes.
        session.WriteFailures().Reset();
        for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
            attachedFiles += std::uint64_t(std::max(SaveAttachments(session, entry, target), 0));
            ui.Item(true);
            if (ui.IsCancelled() || session.WriteFailures().Stopped()) {
                break;
            }
        }
        session.FinishWriteFailures();
        outcome.ran = true;
    } else {
        CExportRun run;
        run.format = request.format;
        run.options = request.options;
        run.options.title = folder.m_strName.empty() ? std::u16string(u"Title") : folder.m_strName;
        run.fileTimes = request.fileTimes;
        if (WritesOneFile(request.format)) {
            run.file = target;
        } else {
            run.folder = target;
        }
        outcome.ran = RunExport(session, run);
    }
    outcome.writeFailures = session.WriteFailures().Count();
    outcome.stopped = session.WriteFailures().Stopped();
    return outcome;
}

}  // namespace

std::u16string ExportingFolderText(std::u16string_view path) {
    return u"Exporting folder " + FolderText(path) + u"...";
}

std::u16string CleanFolderName(std::u16string_view name) {
    CZHyperString text;
    text.SetWide(name);
    text.SanitizeFileName();
    std::u16string clean(text.GetWideView());
    if (clean.empty() || clean == u"." || clean == u"..") {
        return u"_";
    }
    return clean;
}

std::vector<CStoreExportItem> PlanStoreExport(const CDbxStore& store, std::int32_t format,
                                              StoreLayout layout) {
    const bool thunderbird = layout == StoreLayout::Thunderbird && format == FormatMbox;
    const std::u16string extension =
        WritesOneFile(format) && !thunderbird ? FileExtension(format) : u"";
    // A Thunderbird folder's subfolders live beside its mbox file, in "<name>.sbd".
    const std::u16string level = thunderbird ? u".sbd/" : u"/";
    const std::vector<CStoreFolder>& folders = store.Folders();
    std::vector<CStoreExportItem> plan;
    if (folders.empty()) {
        return plan;
    }

    // Each folder's place: its parent's place and its own name among its siblings.
    std::vector<std::u16string> place(folders.size());
    std::vector<CSiblingNames> siblings(folders.size(), CSiblingNames(extension));
    CSiblingNames& top = siblings[0];
    if (!store.Unlisted().empty()) {
        top.Reserve(kUnlistedFolder);
    }
    if (folders[0].m_FileState != StoreFileState::None) {
        place[0] = top.Take(folders[0].m_strName);
    }
    // DEST goes into Thunderbird's own "Local Folders": the store's Local Folders account
    // is not made a level of its own, its folders come at the top.
    const std::size_t local = thunderbird ? LocalFoldersAccount(folders) : 0;
    auto atTop = [local](std::size_t parent) { return parent == 0 || parent == local; };
    for (std::size_t i = 1; i < folders.size(); ++i) {
        if (i == local) {
            continue;
        }
        const std::size_t parent = std::size_t(folders[i].m_nParent);
        const std::u16string name = siblings[atTop(parent) ? 0 : parent].Take(folders[i].m_strName);
        place[i] = atTop(parent) ? name : place[parent] + level + name;
    }
    // The Thunderbird layout needs a file for every folder above one that is exported.
    std::vector<bool> needed(folders.size(), false);
    for (std::size_t i = folders.size(); i-- > 1;) {
        const std::size_t parent = std::size_t(folders[i].m_nParent);
        if (!atTop(parent) && (folders[i].m_FileState != StoreFileState::None || needed[i])) {
            needed[parent] = true;
        }
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].m_FileState != StoreFileState::None) {
            plan.push_back({&folders[i], place[i] + extension, false, false});
        } else if (thunderbird && needed[i]) {
            plan.push_back({&folders[i], place[i], false, true});
        }
    }
    CSiblingNames unlisted(extension);
    if (thunderbird && !store.Unlisted().empty()) {
        plan.push_back({nullptr, kUnlistedFolder, true, true});
    }
    for (const CStoreFolder& folder : store.Unlisted()) {
        plan.push_back(
            {&folder,
             std::u16string(kUnlistedFolder) + level + unlisted.Take(folder.m_strName) + extension,
             true, false});
    }
    return plan;
}

bool ExportStore(const CDbxStore& store, IUiServices& ui, const CStoreExportRequest& request,
                 CStoreExportResult& result) {
    result = {};
    if (IsBlankPath(request.destination) || request.destination.back() != u'/') {
        // Blank would be the root folder; the callers hand over a normalised folder.
        ui.MessageBox(u"Please choose an output folder.", u"Output folder", MsgIcon::Warning,
                      MsgButtons::Ok);
        return false;
    }
    const std::vector<CStoreExportItem> plan =
        PlanStoreExport(store, request.format, request.layout);
    const bool oneFile = WritesOneFile(request.format);
    std::uint64_t total = 0;
    for (const CStoreExportItem& item : plan) {
        if (!item.placeholder) {
            total += item.folder->m_nHeaderCount;
        }
    }

    std::uint64_t attachedFiles = 0;
    {
        CStoreProgress progress(ui, total);
        for (const CStoreExportItem& item : plan) {
            const std::u16string shown =
                item.unlisted || item.folder == nullptr ? item.relative : item.folder->m_strPath;
            progress.StartFolder(shown);
            if (progress.IsCancelled()) {
                result.cancelled = true;
                break;
            }
            std::u16string target = request.destination + item.relative;
            // The output folder is made only once there is something to write into it.
            auto makeFolder = [&] {
                const std::u16string folderToMake =
                    oneFile ? target.substr(0, target.rfind(u'/') + 1) : target;
                if (CreateFolder(folderToMake)) {
                    return true;
                }
                ShowFolderError(ui, u"Unable to create the output folder '" + folderToMake +
                                        u"' of the folder '" + FolderText(shown) + u"'.");
                ++result.failed;
                return false;
            };
            // A folder's file with nothing in it: a placeholder, or an empty folder as mbox.
            auto writeEmpty = [&] {
                if (!makeFolder()) {
                    return false;
                }
                if (WriteEmptyFile(target)) {
                    return true;
                }
                ShowFolderError(ui, u"Unable to write the file '" + target + u"'.");
                ++result.failed;
                return false;
            };
            if (item.placeholder) {
                (void)writeEmpty();
                continue;
            }
            const CStoreFolder& folder = *item.folder;
            if (folder.m_FileState == StoreFileState::Missing) {
                ShowFolderError(ui, u"The file of the folder '" + FolderText(folder.m_strPath) +
                                        u"' is missing from the store:\n" + folder.m_strStoredFile);
                ++result.failed;
                continue;
            }
            CDBXFile dbx;
            const std::int32_t status =
                OpenFolderFile(dbx, store.FilePath(folder), request.recover, progress, result);
            if (progress.IsCancelled()) {
                result.cancelled = true;
                break;
            }
            const std::int32_t count = dbx.GetEmails().GetCount();
            if (count == 0 && status != DbxOk && status != DbxNoEmail) {
                ShowFolderError(ui, u"Unable to export the folder '" + FolderText(shown) + u"' (" +
                                        folder.m_strFile + u"):\n" + GetStatusText(status));
                ++result.failed;
                continue;
            }
            if (count == 0) {
                // An empty folder still gets its mbox file: a mail client shows the folder.
                if (request.format != FormatMbox || writeEmpty()) {
                    ++result.exported;
                }
                continue;
            }
            if (!makeFolder()) {
                continue;
            }
            if (!oneFile) {
                target.push_back(u'/');
            }
            const std::uint32_t errorsBefore = progress.Errors();
            const CFolderOutcome outcome =
                ExportFolder(dbx, progress, request, folder, target, attachedFiles);
            progress.EndFolder(std::uint64_t(count));
            if (!outcome.ran || outcome.writeFailures != 0 || progress.Errors() != errorsBefore) {
                ++result.failed;
            } else {
                ++result.exported;
            }
            if (progress.IsCancelled() || outcome.stopped) {
                result.cancelled = true;
                break;
            }
        }
        result.files = progress.Files();
    }
    if (request.format == FormatAttachments) {
        ui.MessageBox(AttachedFilesSummaryText(std::int32_t(
                          std::min<std::uint64_t>(attachedFiles, std::uint64_t(INT32_MAX)))),
                      kAppName, MsgIcon::None, MsgButtons::Ok);
    }
    return result.failed == 0 && !result.cancelled;
}
