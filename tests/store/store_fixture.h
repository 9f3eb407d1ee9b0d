// Stores built on disk for the tests: a Folders.dbx from folder records and message files
// of a few messages each, all made by the DBX writer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"

namespace storetest {

inline dbxw::Folder Root() {
    return {.parent = 0xFFFFFFFF, .name = "Outlook Express", .storeType = 4};
}
// Local Folders (type 3) has the account key "LocalStore"; a mail account its own name.
inline dbxw::Folder Account(std::uint32_t id, std::string name, std::uint32_t type = 3) {
    std::string account = type == 3 ? "LocalStore" : name;
    return {.id = id, .name = std::move(name), .account = std::move(account), .storeType = type};
}
inline dbxw::Folder Sub(std::uint32_t id, std::uint32_t parent, std::string name,
                        std::optional<std::string> file = std::nullopt,
                        std::optional<std::uint32_t> special = std::nullopt) {
    return {.id = id,
            .parent = parent,
            .name = std::move(name),
            .file = std::move(file),
            .special = special,
            .storeType = 3};
}

inline std::vector<dbxw::Message> Messages(const std::string& tag, int count) {
    std::vector<dbxw::Message> out;
    for (int i = 0; i < count; ++i) {
        dbxw::Message m;
        m.id = std::uint32_t(i + 1);
        m.subject = tag + " " + std::to_string(i + 1);
        m.senderAddress = "ann@example.com";
        m.sent = dbxw::FileTimeFromUtc(2008, 11, 3, 17, i % 60);
        m.text = "From: ann@example.com\r\nSubject: " + *m.subject + "\r\n\r\nBody of " +
                 *m.subject + "\r\n";
        out.push_back(std::move(m));
    }
    return out;
}

inline void WriteMailbox(const std::filesystem::path& path, const std::string& tag, int count) {
    std::filesystem::create_directories(path.parent_path());
    dbxw::BuildStoreMailbox(Messages(tag, count)).WriteTo(path);
}

inline void WriteFolders(const std::filesystem::path& folder, const std::vector<dbxw::Folder>& f,
                         const std::string& name = "Folders.dbx") {
    std::filesystem::create_directories(folder);
    dbxw::FoldersBuilder(f).Build().WriteTo(folder / name);
}

// The tree of a small real store: Local Folders with the five special folders, a
// three-deep nest of the user's own, an account of another kind and a news account.
inline std::vector<dbxw::Folder> TypicalFolders() {
    return {
        Root(),
        Account(1, "Local Folders"),
        Sub(4, 1, "Inbox", "Inbox.dbx", 1),
        Sub(5, 1, "Outbox", "Outbox.dbx", 2),
        Sub(6, 1, "Sent Items", "Sent Items.dbx", 3),
        Sub(7, 1, "Deleted Items", "Deleted Items.dbx", 4),
        Sub(8, 1, "Drafts", "Drafts.dbx", 5),
        Account(9, "Hotmail", 2),
        Sub(10, 1, "projects", "projects.dbx"),
        Sub(11, 10, "Alpha", "Alpha.dbx"),
        Sub(12, 11, "Deep", "Deep.dbx"),
        Sub(13, 1, "Never used"),
        Sub(14, 1, "Gone", "Gone.dbx"),
        {.id = 20, .name = "news.example.com", .account = "news", .storeType = 0},
        {.id = 21,
         .parent = 20,
         .name = "comp.lang.c++",
         .file = "comp.lang.c++.dbx",
         .storeType = 0},
    };
}

// TypicalFolders on disk: every listed file but Gone.dbx, Inbox written "INBOX.DBX", an
// unlisted Orphan.dbx and the store's other files, which are no folders.
inline void WriteTypicalStore(const std::filesystem::path& folder) {
    WriteFolders(folder, TypicalFolders());
    WriteMailbox(folder / "INBOX.DBX", "Inbox", 3);
    WriteMailbox(folder / "Outbox.dbx", "Outbox", 0);
    WriteMailbox(folder / "Sent Items.dbx", "Sent", 2);
    WriteMailbox(folder / "Deleted Items.dbx", "Deleted", 1);
    WriteMailbox(folder / "Drafts.dbx", "Draft", 1);
    WriteMailbox(folder / "projects.dbx", "Projects", 2);
    WriteMailbox(folder / "Alpha.dbx", "Alpha", 1);
    WriteMailbox(folder / "Deep.dbx", "Deep", 4);
    WriteMailbox(folder / "comp.lang.c++.dbx", "News", 2);
    WriteMailbox(folder / "Orphan.dbx", "Orphan", 1);
    for (const auto& [name, signature] : {std::pair{"Offline.dbx", dbxw::kSignatureOffline},
                                          std::pair{"Pop3uidl.dbx", dbxw::kSignaturePop3uidl}}) {
        dbxw::Builder b;
        b.header.signature = signature;
        b.Build().WriteTo(folder / name);
    }
    dbxw::WriteWholeFile(folder / "cleanup.log", "cleanup\r\n");
}

}  // namespace storetest
