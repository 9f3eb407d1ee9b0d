// CDbxStore: a whole Outlook Express store, the folder that holds Folders.dbx and the
// message files it lists. Open finds the store (from Folders.dbx, its folder, or a folder
// above an Identities tree), reads the folder records of Folders.dbx and builds the folder
// tree; each folder knows its message file on disk, matched ignoring ASCII case. The tree
// is always whole: cycles, missing parents, extra roots and duplicate ids are resolved so
// that every record appears once, orphans under the root. Message files no record names
// are kept apart as unlisted folders; without a usable Folders.dbx every message file
// becomes a folder of a flat list under "Local Folders". Nothing in the store is written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum StoreStatus : std::int32_t {
    StoreOk = 1,
    StoreNotFound = 201,  // no Folders.dbx and no message file where the path leads
};

[[nodiscard]] const char16_t* GetStoreStatusText(std::int32_t status);

enum class StoreFolderKind { Root, Account, Inbox, Outbox, Sent, Deleted, Drafts, Folder, News };

// "root", "account", "inbox"... as the command line prints them.
[[nodiscard]] const char* StoreFolderKindName(StoreFolderKind kind);

enum class StoreFileState {
    None,     // the record names no file (a folder that never held mail)
    Missing,  // the record names a file that is not in the store's folder
    Present,
};

struct CStoreFolder {
    std::uint32_t m_nId = 0;
    // The parent as the tree has it: the root's id for account folders and orphans.
    // Meaningless for the root.
    std::uint32_t m_nParentId = 0;
    std::int32_t m_nParent = -1;           // index in the folder list; -1 for the root
    std::vector<std::int32_t> m_Children;  // indexes, in name order ignoring case
    std::int32_t m_nDepth = 0;             // 0 for the root
    std::u16string m_strName;
    std::u16string m_strPath;  // names from below the root joined with '/'; "" for the root
    StoreFolderKind m_Kind = StoreFolderKind::Folder;
    std::u16string m_strStoredFile;  // the file name the record gives; empty for none
    std::u16string m_strFile;        // the name found on disk; empty unless Present
    StoreFileState m_FileState = StoreFileState::None;
    std::uint32_t m_nHeaderCount = 0;  // the message count the file's header gives
    std::u16string m_strAccount;       // account key, "LocalStore" for Local Folders
};

class CDbxStore {
public:
    // How many folder levels below the given one the search for a store goes.
    static constexpr int kMaxSearchDepth = 8;
    // Folders nested deeper than this start again below the root.
    static constexpr int kMaxFolderDepth = 64;

    CDbxStore() = default;
    CDbxStore(const CDbxStore&) = delete;
    CDbxStore& operator=(const CDbxStore&) = delete;

    std::int32_t Open(std::u16string_view path);
    void Close();

    [[nodiscard]] bool IsOpen() const { return !m_Folders.empty(); }
    // The store's folder, ending with '/'.
    [[nodiscard]] const std::u16string& Folder() const { return m_strFolder; }
    // Folders.dbx was found and at least one of its trees could be read.
    [[nodiscard]] bool HasFolderTree() const { return m_bHasFolderTree; }
    // The first tree of Folders.dbx was damaged; the other two filled in.
    [[nodiscard]] bool UsedSpareTrees() const { return m_bUsedSpareTrees; }
    // Depth first in tree order: the root first, a parent before its children.
    [[nodiscard]] const std::vector<CStoreFolder>& Folders() const { return m_Folders; }
    // Message files of the folder that no record names, in name order ignoring case.
    [[nodiscard]] const std::vector<CStoreFolder>& Unlisted() const { return m_Unlisted; }
    // Other stores found by the search below an Identities tree (their folders).
    [[nodiscard]] const std::vector<std::u16string>& OtherStores() const { return m_OtherStores; }
    [[nodiscard]] unsigned CodePage() const { return m_nCodePage; }

    // The full path of the folder's message file; empty unless it is present.
    [[nodiscard]] std::u16string FilePath(const CStoreFolder& folder) const;

private:
    struct RawFolder;
    bool ReadFoldersFile(const std::u16string& path, std::vector<RawFolder>& raw);
    void BuildTree(std::vector<RawFolder> raw);
    void FlatList(const std::vector<std::u16string>& files);

    std::u16string m_strFolder;
    bool m_bHasFolderTree = false;
    bool m_bUsedSpareTrees = false;
    unsigned m_nCodePage = 0;
    std::vector<CStoreFolder> m_Folders;
    std::vector<CStoreFolder> m_Unlisted;
    std::vector<std::u16string> m_OtherStores;
};

// Names and file names of folder records, read in the store's code page. Everything that
// turns such bytes into text goes through here.
[[nodiscard]] std::u16string DecodeStoreText(std::string_view bytes, unsigned codePage);

// The code page the folder records of a store are read in, that of the Windows that wrote
// it: 1252 when the stored names are ASCII; else the first code page other than 1252 that
// a few of its message files detect, else the byte statistics of the names, else 1252.
[[nodiscard]] unsigned DetectStoreCodePage(const std::vector<std::u16string>& messageFiles,
                                           std::string_view storedNames);

// The entries File > Open yields for the folder's file: 0 for an empty file, nullopt when
// the folder has no file or it cannot be opened.
[[nodiscard]] std::optional<std::uint32_t> CountFolderMessages(const CDbxStore& store,
                                                               const CStoreFolder& folder);
