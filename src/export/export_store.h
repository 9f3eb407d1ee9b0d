// Export of a whole store: every folder that has a message file is opened as File > Open
// would and exported with the format's own export, into a tree of the destination that
// mirrors the folder tree: DEST/<path>/ for the formats that write a folder, DEST/<path>.ext
// for those that write one file; unlisted files under DEST/Unlisted/. Folder names become
// file names through the cleaning of exported file names; siblings whose cleaned names
// clash (ignoring case) get " (2)", " (3)"... One progress window covers the whole run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_wizard.h"

class CDbxStore;
struct CStoreFolder;
class IUiServices;

// How the one-file outputs of a store are laid out. Plain: DEST/<path>.ext. Thunderbird
// (mbox only): DEST/<name> without extension, its subfolders in DEST/<name>.sbd/, so that
// DEST copied into a profile's "Mail/Local Folders/" shows the whole tree; the folders of
// the store's Local Folders account come at the top.
enum class StoreLayout { Plain, Thunderbird };

// Where one folder goes, relative to the destination, with '/' between the levels: a
// folder ("Local Folders/Inbox") or a file ("Local Folders/Inbox.html").
struct CStoreExportItem {
    const CStoreFolder* folder = nullptr;
    std::u16string relative;
    bool unlisted = false;
    // Thunderbird shows a subfolder only below a parent mbox file: an empty one is written
    // for a parent that has no messages of its own. `folder` is null for the parent of the
    // unlisted files.
    bool placeholder = false;
};

// Every folder with a file (listed, missing or unlisted), in tree order, then the unlisted
// ones. Folders without a file are left out: they have nothing to export, except as the
// parent placeholders of the Thunderbird layout.
[[nodiscard]] std::vector<CStoreExportItem> PlanStoreExport(
    const CDbxStore& store, std::int32_t format, StoreLayout layout = StoreLayout::Plain);

// A folder name as a file name: the cleaning of exported names; nothing left, ".", or
// ".." become "_".
[[nodiscard]] std::u16string CleanFolderName(std::u16string_view name);

struct CStoreExportRequest {
    std::int32_t format = FormatEml;
    std::u16string destination;  // a folder, ending with '/'
    // The template options of the formats that have them, resolved (code page included);
    // each folder's title is its name.
    CExportOptions options;
    // The first file of a folder that cannot be written asks whether to go on (No stops
    // the whole run); false shows every such file and goes on, as the command line does.
    bool askOnWriteFailure = true;
    StoreLayout layout = StoreLayout::Plain;  // mbox only
    bool fileTimes = true;                    // message dates on the files per message
    // Each folder's file is also scanned for deleted and unlisted messages, which are
    // exported after the index's ones; a file whose index is damaged is exported from
    // what the scan finds.
    bool recover = false;
};

struct CStoreExportResult {
    std::uint32_t exported = 0;   // folders whose export ran (an empty one included)
    std::uint32_t failed = 0;     // folders reported as failed
    std::uint64_t files = 0;      // messages handled
    std::uint64_t recovered = 0;  // rows the scans added
    bool cancelled = false;
};

// Exports the store. A folder whose file is missing or does not open, or whose export
// reported an error, is failed; the run goes on with the next one. Cancel stops after the
// current file. True when no folder failed and the run was not cancelled.
bool ExportStore(const CDbxStore& store, IUiServices& ui, const CStoreExportRequest& request,
                 CStoreExportResult& result);

// "Exporting folder %s..."
[[nodiscard]] std::u16string ExportingFolderText(std::u16string_view path);
