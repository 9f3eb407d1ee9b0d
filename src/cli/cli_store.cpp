// The store commands of quillbox-cli: `folders` and `export-store`.
#include "cli/cli_store.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_commands.h"
#include "cli/cli_names.h"
#include "cli/cli_output.h"
#include "cli/cli_ui_services.h"
#include "export/export_settings.h"
#include "export/export_store.h"
#include "platform/code_page.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "store/dbx_store.h"

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Opens the store; on failure prints the status text. Other stores the search found are
// named on stderr, so that scripts can go on to them.
bool OpenStore(CDbxStore& store, const std::string& path) {
    const std::int32_t status = store.Open(Utf8ToWide(path));
    if (status != StoreOk) {
        PrintError(WideToUtf8(GetStoreStatusText(status)));
        return false;
    }
    for (const std::u16string& other : store.OtherStores()) {
        PrintError("Another store was found: " + WideToUtf8(other));
    }
    return true;
}

std::string StoreFolderText(const CDbxStore& store) {
    std::u16string folder = store.Folder();
    if (folder.size() > 1 && folder.back() == u'/') {
        folder.pop_back();
    }
    return WideToUtf8(folder);
}

nlohmann::ordered_json OptionalNumber(const std::optional<std::uint32_t>& n) {
    return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
}

}  // namespace

int RunFolders(const FoldersOptions& options) {
    CDbxStore store;
    if (!OpenStore(store, options.store)) {
        return kExitFailure;
    }
    std::vector<std::optional<std::uint32_t>> counts;
    for (const CStoreFolder& folder : store.Folders()) {
        counts.push_back(CountFolderMessages(store, folder));
    }
    if (options.json) {
        nlohmann::ordered_json folders = nlohmann::ordered_json::array();
        for (std::size_t i = 0; i < store.Folders().size(); ++i) {
            const CStoreFolder& f = store.Folders()[i];
            nlohmann::ordered_json item;
            item["id"] = f.m_nId;
            item["parent"] = f.m_nParent < 0 ? nlohmann::ordered_json(nullptr)
                                             : nlohmann::ordered_json(f.m_nParentId);
            item["name"] = WideToUtf8(f.m_strName);
            item["path"] = WideToUtf8(f.m_strPath);
            item["file"] = f.m_FileState == StoreFileState::Present
                               ? nlohmann::ordered_json(WideToUtf8(f.m_strFile))
                               : nlohmann::ordered_json(nullptr);
            item["kind"] = StoreFolderKindName(f.m_Kind);
            item["messages"] = OptionalNumber(counts[i]);
            folders.push_back(std::move(item));
        }
        nlohmann::ordered_json unlisted = nlohmann::ordered_json::array();
        for (const CStoreFolder& f : store.Unlisted()) {
            unlisted.push_back(WideToUtf8(f.m_strFile));
        }
        PrintJson(stdout, nlohmann::ordered_json{{"store", StoreFolderText(store)},
                                                 {"folders", std::move(folders)},
                                                 {"unlisted", std::move(unlisted)}});
        return kExitOk;
    }
    // The tree as a table: the name indented two spaces a level, then the kind, the
    // message count and the file.
    std::printf("Store: %s\n", StoreFolderText(store).c_str());
    std::printf("%-44s %-8s %9s  %s\n", "Folder", "Kind", "Messages", "File");
    auto row = [](const std::string& name, const char* kind,
                  const std::optional<std::uint32_t>& count, const std::string& file) {
        const std::string messages = count ? std::to_string(*count) : std::string("-");
        std::printf("%-44s %-8s %9s  %s\n", name.c_str(), kind, messages.c_str(), file.c_str());
    };
    for (std::size_t i = 0; i < store.Folders().size(); ++i) {
        const CStoreFolder& f = store.Folders()[i];
        std::string file;
        if (f.m_FileState == StoreFileState::Present) {
            file = WideToUtf8(f.m_strFile);
        } else if (f.m_FileState == StoreFileState::Missing) {
            file = WideToUtf8(f.m_strStoredFile) + " (missing)";
        }
        row(std::string(std::size_t(f.m_nDepth) * 2, ' ') + WideToUtf8(f.m_strName),
            StoreFolderKindName(f.m_Kind), counts[i], file);
    }
    if (!store.Unlisted().empty()) {
        std::printf("Unlisted:\n");
        for (const CStoreFolder& f : store.Unlisted()) {
            row("  " + WideToUtf8(f.m_strName), "folder", CountFolderMessages(store, f),
                WideToUtf8(f.m_strFile));
        }
    }
    return kExitOk;
}

int RunExportStore(const ExportStoreOptions& options) {
    const std::int32_t format = FormatFromName(options.format);
    if (format == 0) {
        PrintError("export-store: --format takes " + CliFormatNames(" or ") + "; not \"" +
                   options.format + "\".");
        return kExitUsage;
    }
    StoreLayout layout = StoreLayout::Plain;
    if (options.layout == "thunderbird") {
        layout = StoreLayout::Thunderbird;
    } else if (!options.layout.empty() && options.layout != "plain") {
        PrintError("export-store: --layout takes plain or thunderbird; not \"" + options.layout +
                   "\".");
        return kExitUsage;
    }
    if (!options.layout.empty() && format != FormatMbox) {
        PrintError("export-store: --layout goes with --format mbox.");
        return kExitUsage;
    }
    if (IsBlankPath(Utf8ToWide(options.destination))) {
        PrintError("Please choose an output folder.");  // not the root folder
        return kExitFailure;
    }
    CDbxStore store;
    if (!OpenStore(store, options.store)) {
        return kExitFailure;
    }
    CCliUi::InstallInterruptHandler();
    CCliUi ui;
    CStoreExportRequest request;
    request.format = format;
    request.destination = WithTrailingSeparator(Utf8ToWide(options.destination));
    request.askOnWriteFailure = false;  // every file that failed on stderr, no question
    request.layout = layout;
    request.fileTimes = !options.noFileTimes;
    request.recover = options.recover;
    if (!FolderExists(request.destination) && !CreateFolder(request.destination)) {
        PrintError("Unable to create the output folder '" + WideToUtf8(request.destination) + "'.");
        return kExitFailure;
    }
    const CExportFormatInfo* info = FindExportFormat(format);
    if (info != nullptr && info->hasOptionsStep) {
        CExportOptions& o = request.options;
        o.textMode = info->textTemplate;
        o.templatePath = o.textMode ? DefaultTxtTemplate() : DefaultHtmlTemplate();
        o.charsetMode = 0;
        if (!ResolveTemplateCodePage(o.templatePath, o.charsetMode, o.textMode, ui, o.codePage)) {
            return kExitFailure;
        }
    }
    CStoreExportResult result;
    const bool ok = ExportStore(store, ui, request, result);
    if (result.cancelled) {
        PrintError("export-store: interrupted.");
    }
    if (options.recover) {
        PrintError(std::to_string(result.recovered) +
                   " recovered message(s) exported after the listed ones.");
    }
    return ok ? kExitOk : kExitFailure;
}
