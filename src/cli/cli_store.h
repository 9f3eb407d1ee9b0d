// The store commands of quillbox-cli; exit statuses as in cli_commands.h.
#pragma once

#include <string>

struct FoldersOptions {
    std::string store;  // Folders.dbx, its folder, or a folder above an Identities tree
    bool json = false;
};

struct ExportStoreOptions {
    std::string store;
    std::string destination;  // a folder, created when missing
    std::string format;       // eml, attachments, html, html-threads, text, mbox
    std::string layout;       // mbox only: plain (the default) or thunderbird
    bool noFileTimes = false;
    bool recover = false;
};

int RunFolders(const FoldersOptions& options);
int RunExportStore(const ExportStoreOptions& options);
