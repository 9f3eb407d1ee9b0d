#include "store/dbx_store.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "mailbox/byte_reader.h"
#include "mailbox/dbx_file.h"
#include "mailbox/index_tree.h"
#include "mailbox/indexed_data.h"
#include "mailbox/z_file.h"
#include "mime/mailbox_code_page.h"
#include "platform/code_page.h"
#include "platform/diag_log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

// Header of a Folders.dbx: three trees over the same folder records, with their counts.
constexpr std::uint32_t kHeaderSize = 9404;
struct TreeField {
    std::uint32_t root;
    std::uint32_t count;
};
constexpr TreeField kFolderTrees[] = {{0xE4, 0xC4}, {0xE8, 0xC8}, {0xEC, 0xCC}};
constexpr std::uint32_t kMessageCountOffset = 0xC4;
constexpr std::uint32_t kFolderKindOffset = 0x80;

// Bytes 4 to 7 of the store's files.
constexpr std::uint32_t kSignatureMessages = 0x6F74FDC5;
constexpr std::uint32_t kSignatureFolders = 0x6F74FDC6;
constexpr std::uint32_t kSignaturePop3uidl = 0x6F74FDC7;
constexpr std::uint32_t kSignatureOffline = 0x26FE9D30;

// Attributes of a folder record.
constexpr std::uint32_t kAttrId = 0x00;
constexpr std::uint32_t kAttrParent = 0x01;
constexpr std::uint32_t kAttrName = 0x02;
constexpr std::uint32_t kAttrFile = 0x03;
constexpr std::uint32_t kAttrAccount = 0x05;
constexpr std::uint32_t kAttrSpecial = 0x09;
constexpr std::uint32_t kAttrStoreType = 0x0A;

constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
constexpr std::uint32_t kStoreTypeNews = 0;
constexpr std::uint32_t kStoreTypeRoot = 4;

constexpr char16_t kRootName[] = u"Outlook Express";
constexpr char16_t kLocalFoldersName[] = u"Local Folders";
constexpr char16_t kFoldersFileName[] = u"folders.dbx";

// Searching a whole disk for a store must end: no more folders than this are looked at.
constexpr std::size_t kMaxSearchFolders = 20000;

// The regular files of a folder by name folded to lower case (the first of two that fold
// alike wins, in name order), never following a link out of the folder's listing.
struct Listing {
    std::vector<std::u16string> names;  // sorted
    std::unordered_map<std::u16string, std::u16string> byFolded;
};

Listing ListFiles(const std::u16string& folder) {
    Listing listing;
    std::error_code error;
    for (fs::directory_iterator it(PathFromWide(folder), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) {
            continue;
        }
        listing.names.push_back(WideFromPath(it->path().filename()));
    }
    std::sort(listing.names.begin(), listing.names.end());
    for (const std::u16string& name : listing.names) {
        listing.byFolded.emplace(AsciiLowered(name), name);
    }
    return listing;
}

// The first 0xC8 bytes of a file: enough for its kind and its message count.
bool ReadHead(const std::u16string& path, std::uint8_t (&head)[0xC8]) {
    CZFile file;
    return file.Open(path, CZFile::ModeRead) && file.Read(head, std::uint32_t(sizeof head));
}

bool IsMessageFile(const std::u16string& path, std::uint32_t& headerCount) {
    std::uint8_t head[0xC8];
    if (!ReadHead(path, head)) {
        return false;
    }
    const CByteReader reader({head, sizeof head});
    const std::uint32_t signature = reader.U32(4);
    if (signature == kSignatureFolders || signature == kSignaturePop3uidl ||
        signature == kSignatureOffline || reader.U32(kFolderKindOffset) == 3) {
        return false;
    }
    headerCount = reader.U32(kMessageCountOffset);
    return true;
}

bool IsFoldersFile(const std::u16string& path) {
    std::uint8_t head[0xC8];
    return ReadHead(path, head) && CByteReader({head, sizeof head}).U32(4) == kSignatureFolders;
}

// The stem of a file name: "Sent Items" of "Sent Items.dbx".
std::u16string FileStem(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    return std::u16string(dot == std::u16string_view::npos || dot == 0 ? name
                                                                       : name.substr(0, dot));
}

struct FoundStore {
    std::u16string folder;       // ends with '/'
    std::u16string foldersFile;  // empty when the store has none
    std::vector<std::u16string> others;
};

std::u16string FindFoldersFile(const Listing& listing) {
    const auto it = listing.byFolded.find(kFoldersFileName);
    return it == listing.byFolded.end() ? std::u16string() : it->second;
}

bool HasMessageFiles(const std::u16string& folder, const Listing& listing) {
    return std::any_of(listing.names.begin(), listing.names.end(), [&](const std::u16string& n) {
        std::uint32_t count = 0;
        return EndsWithNoCase(n, u".dbx") && IsMessageFile(folder + n, count);
    });
}

// Breadth first below the folder, sub-folders in name order, for folders holding a
// Folders.dbx: where copied disks keep them (Identities/{GUID}/Microsoft/Outlook Express).
std::vector<std::u16string> SearchStores(const std::u16string& top, int maxDepth) {
    std::vector<std::u16string> found;
    std::deque<std::pair<std::u16string, int>> queue{{top, 0}};
    std::size_t looked = 0;
    while (!queue.empty() && looked < kMaxSearchFolders) {
        auto [folder, depth] = queue.front();
        queue.pop_front();
        ++looked;
        if (depth > 0 && !FindFoldersFile(ListFiles(folder)).empty()) {
            found.push_back(folder);
            continue;
        }
        if (depth == maxDepth) {
            continue;
        }
        std::vector<std::u16string> subfolders;
        std::error_code error;
        for (fs::directory_iterator it(PathFromWide(folder), error), end; !error && it != end;
             it.increment(error)) {
            std::error_code typeError;
            // Links are not followed: a link to a parent would loop.
            if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
                subfolders.push_back(WideFromPath(it->path().filename()));
            }
        }
        std::sort(subfolders.begin(), subfolders.end());
        for (const std::u16string& sub : subfolders) {
            queue.emplace_back(folder + sub + u'/', depth + 1);
        }
    }
    return found;
}

bool LocateStore(std::u16string_view path, FoundStore& store) {
    std::u16string wide(path);
    std::error_code error;
    const fs::path native = PathFromWide(wide);
    if (fs::is_regular_file(native, error)) {
        store.folder = native.has_parent_path()
                           ? WithTrailingSeparator(WideFromPath(native.parent_path()))
                           : std::u16string(u"./");
        const std::u16string name = WideFromPath(native.filename());
        if (CompareNoCase(name, kFoldersFileName) == 0 || IsFoldersFile(wide)) {
            store.foldersFile = name;
        } else {
            // A message file: its folder is the store.
            store.foldersFile = FindFoldersFile(ListFiles(store.folder));
        }
        return true;
    }
    if (!fs::is_directory(native, error)) {
        return false;
    }
    const std::u16string folder = WithTrailingSeparator(wide);
    const Listing listing = ListFiles(folder);
    store.foldersFile = FindFoldersFile(listing);
    if (!store.foldersFile.empty() || HasMessageFiles(folder, listing)) {
        store.folder = folder;
        return true;
    }
    std::vector<std::u16string> found = SearchStores(folder, CDbxStore::kMaxSearchDepth);
    if (found.empty()) {
        return false;
    }
    store.folder = found.front();
    store.foldersFile = FindFoldersFile(ListFiles(store.folder));
    store.others.assign(found.begin() + 1, found.end());
    return true;
}

StoreFolderKind SpecialKind(std::uint32_t special) {
    switch (special) {
        case 1:
            return StoreFolderKind::Inbox;
        case 2:
            return StoreFolderKind::Outbox;
        case 3:
            return StoreFolderKind::Sent;
        case 4:
            return StoreFolderKind::Deleted;
        case 5:
            return StoreFolderKind::Drafts;
        default:
            return StoreFolderKind::Folder;
    }
}

}  // namespace

// One folder record as read, before the tree decides where it goes.
struct CDbxStore::RawFolder {
    bool hasId = false;
    std::uint32_t id = 0;
    bool hasParent = false;
    std::uint32_t parent = 0;
    std::u16string name;
    bool hasFile = false;
    std::u16string file;
    std::u16string account;
    // The stored 8-bit texts, decoded once the store's code page is known.
    std::string nameBytes;
    std::string fileBytes;
    std::string accountBytes;
    std::uint32_t special = 0;
    bool hasStoreType = false;
    std::uint32_t storeType = 0;
};

const char16_t* GetStoreStatusText(std::int32_t status) {
    switch (status) {
        case StoreOk:
            return u"No error.";
        case StoreNotFound:
            return u"No Outlook Express store was found there: no Folders.dbx, and no .dbx "
                   u"message file.";
        default:
            return u"Unknown error.";
    }
}

const char* StoreFolderKindName(StoreFolderKind kind) {
    switch (kind) {
        case StoreFolderKind::Root:
            return "root";
        case StoreFolderKind::Account:
            return "account";
        case StoreFolderKind::Inbox:
            return "inbox";
        case StoreFolderKind::Outbox:
            return "outbox";
        case StoreFolderKind::Sent:
            return "sent";
        case StoreFolderKind::Deleted:
            return "deleted";
        case StoreFolderKind::Drafts:
            return "drafts";
        case StoreFolderKind::News:
            return "news";
        case StoreFolderKind::Folder:
            break;
    }
    return "folder";
}

std::u16string DecodeStoreText(std::string_view bytes, unsigned codePage) {
    std::u16string text;
    if (!MultiByteToWideString(codePage, bytes, text)) {
        text = Utf8ToWide(bytes);
    }
    return text;
}

unsigned DetectStoreCodePage(const std::vector<std::u16string>& messageFiles,
                             std::string_view storedNames) {
    const bool ascii = std::all_of(storedNames.begin(), storedNames.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 128; });
    if (ascii) {
        return kDefaultMailboxCodePage;  // nothing to decode: no file is opened
    }
    // The message files were written by the same Windows: the first that tells a code page
    // of its own tells the store's. A few files are enough, and keep a big store quick.
    constexpr std::size_t kMaxFilesAsked = 8;
    std::size_t asked = 0;
    for (const std::u16string& path : messageFiles) {
        if (asked == kMaxFilesAsked) {
            break;
        }
        CDBXFile dbx;
        if (dbx.Open(path) != DbxOk) {
            continue;
        }
        ++asked;
        if (const std::uint32_t codePage = DetectMailboxCodePage(dbx);
            codePage != kDefaultMailboxCodePage) {
            return codePage;
        }
    }
    const std::uint32_t guessed = GuessCodePageFromBytes(std::string(storedNames));
    return guessed != 0 ? guessed : kDefaultMailboxCodePage;
}

std::optional<std::uint32_t> CountFolderMessages(const CDbxStore& store,
                                                 const CStoreFolder& folder) {
    if (folder.m_FileState != StoreFileState::Present) {
        return std::nullopt;
    }
    CDBXFile dbx;
    switch (dbx.Open(store.FilePath(folder))) {
        case DbxOk:
            return std::uint32_t(dbx.GetEmails().GetCount());
        case DbxNoEmail:
            return 0;
        default:
            return std::nullopt;
    }
}

void CDbxStore::Close() {
    m_strFolder.clear();
    m_bHasFolderTree = false;
    m_bUsedSpareTrees = false;
    m_Folders.clear();
    m_Unlisted.clear();
    m_OtherStores.clear();
}

std::u16string CDbxStore::FilePath(const CStoreFolder& folder) const {
    return folder.m_FileState == StoreFileState::Present ? m_strFolder + folder.m_strFile
                                                         : std::u16string();
}

std::int32_t CDbxStore::Open(std::u16string_view path) {
    Close();
    FoundStore found;
    if (path.empty() || !LocateStore(path, found)) {
        return StoreNotFound;
    }
    m_strFolder = found.folder;
    m_OtherStores = std::move(found.others);
    m_nCodePage = kDefaultMailboxCodePage;

    std::vector<RawFolder> raw;
    m_bHasFolderTree =
        !found.foldersFile.empty() && ReadFoldersFile(m_strFolder + found.foldersFile, raw);
    const Listing listing = ListFiles(m_strFolder);
    if (m_bHasFolderTree) {
        std::string stored;
        for (const RawFolder& folder : raw) {
            stored += folder.nameBytes + '\n' + folder.fileBytes + '\n';
        }
        std::vector<std::u16string> messageFiles;
        for (const std::u16string& name : listing.names) {
            if (EndsWithNoCase(name, u".dbx")) {
                messageFiles.push_back(m_strFolder + name);
            }
        }
        m_nCodePage = DetectStoreCodePage(messageFiles, stored);
        for (RawFolder& folder : raw) {
            folder.name = DecodeStoreText(folder.nameBytes, m_nCodePage);
            folder.file = DecodeStoreText(folder.fileBytes, m_nCodePage);
            folder.account = DecodeStoreText(folder.accountBytes, m_nCodePage);
        }
    }
    if (!m_bHasFolderTree) {
        std::vector<std::u16string> files;
        for (const std::u16string& name : listing.names) {
            std::uint32_t count = 0;
            if (EndsWithNoCase(name, u".dbx") && IsMessageFile(m_strFolder + name, count)) {
                files.push_back(name);
            }
        }
        if (files.empty() && found.foldersFile.empty()) {
            Close();
            return StoreNotFound;
        }
        FlatList(files);
        return StoreOk;
    }
    BuildTree(std::move(raw));

    // Files: the name as stored, matched ignoring case (a copied disk may have changed it).
    std::unordered_set<std::u16string> named{AsciiLowered(found.foldersFile)};
    for (CStoreFolder& folder : m_Folders) {
        if (folder.m_strStoredFile.empty()) {
            continue;
        }
        const auto it = listing.byFolded.find(AsciiLowered(folder.m_strStoredFile));
        if (it == listing.byFolded.end()) {
            folder.m_FileState = StoreFileState::Missing;
            continue;
        }
        named.insert(it->first);
        folder.m_FileState = StoreFileState::Present;
        folder.m_strFile = it->second;
        std::uint32_t count = 0;
        if (IsMessageFile(m_strFolder + folder.m_strFile, count)) {
            folder.m_nHeaderCount = count;
        }
    }
    for (const std::u16string& name : listing.names) {
        std::uint32_t count = 0;
        if (!EndsWithNoCase(name, u".dbx") || named.count(AsciiLowered(name)) != 0 ||
            !IsMessageFile(m_strFolder + name, count)) {
            continue;
        }
        CStoreFolder folder;
        folder.m_strName = FileStem(name);
        folder.m_strPath = folder.m_strName;
        folder.m_strStoredFile = name;
        folder.m_strFile = name;
        folder.m_FileState = StoreFileState::Present;
        folder.m_nHeaderCount = count;
        m_Unlisted.push_back(std::move(folder));
    }
    std::stable_sort(m_Unlisted.begin(), m_Unlisted.end(),
                     [](const CStoreFolder& a, const CStoreFolder& b) {
                         return CompareNoCase(a.m_strFile, b.m_strFile) < 0;
                     });
    return StoreOk;
}

bool CDbxStore::ReadFoldersFile(const std::u16string& path, std::vector<RawFolder>& raw) {
    CZFile file;
    std::uint8_t header[kHeaderSize];
    if (!file.Open(path, CZFile::ModeRead) || !file.Read(header, kHeaderSize)) {
        DiagLog("Unable to read the header of the folder list " + WideToUtf8(path));
        return false;
    }
    const CByteReader reader({header, kHeaderSize});
    std::vector<std::uint32_t> records;
    std::unordered_set<std::uint32_t> seen;
    auto collect = [&](std::uint32_t offset) {
        if (seen.insert(offset).second) {
            records.push_back(offset);
        }
    };
    // The first tree holds every record. When it cannot be read whole, the other two (the
    // same records in other orders) fill in what it lost.
    bool anyTree = false;
    for (std::size_t t = 0; t < std::size(kFolderTrees); ++t) {
        const std::size_t before = records.size();
        const std::uint32_t root = reader.U32(kFolderTrees[t].root);
        const bool walked = root != 0 && WalkIndexTree(file, root, collect);
        anyTree = anyTree || walked;
        if (t == 0) {
            if (walked && records.size() - before >= reader.U32(kFolderTrees[t].count)) {
                break;
            }
            DiagLog("The first folder tree of " + WideToUtf8(path) + " is damaged");
            m_bUsedSpareTrees = true;
        }
    }
    if (!anyTree) {
        return false;
    }
    for (const std::uint32_t offset : records) {
        CIndexedData record;
        if (!record.Read(file, offset)) {
            continue;
        }
        RawFolder folder;
        folder.hasId = record.GetDword(kAttrId, folder.id);
        folder.hasParent = record.GetDword(kAttrParent, folder.parent);
        (void)record.GetString(kAttrName, folder.nameBytes);
        folder.hasFile = record.GetString(kAttrFile, folder.fileBytes) && !folder.fileBytes.empty();
        (void)record.GetString(kAttrAccount, folder.accountBytes);
        (void)record.GetDword(kAttrSpecial, folder.special);
        folder.hasStoreType = record.GetDword(kAttrStoreType, folder.storeType);
        raw.push_back(std::move(folder));
    }
    return true;
}

void CDbxStore::FlatList(const std::vector<std::u16string>& files) {
    // As Outlook Express rebuilds a lost folder list: every file a folder of Local Folders.
    static constexpr std::pair<const char16_t*, std::uint32_t> kSpecialNames[] = {
        {u"Inbox", 1}, {u"Outbox", 2}, {u"Sent Items", 3}, {u"Deleted Items", 4}, {u"Drafts", 5}};
    std::vector<RawFolder> raw(2);
    raw[0].hasId = false;
    raw[0].hasParent = true;
    raw[0].parent = kNoParent;
    raw[0].name = kRootName;
    raw[0].hasStoreType = true;
    raw[0].storeType = kStoreTypeRoot;
    raw[1].hasId = true;
    raw[1].id = 1;
    raw[1].name = kLocalFoldersName;
    raw[1].account = u"LocalStore";
    std::uint32_t id = 2;
    for (const std::u16string& file : files) {
        RawFolder folder;
        folder.hasId = true;
        folder.id = id++;
        folder.hasParent = true;
        folder.parent = 1;
        folder.name = FileStem(file);
        folder.hasFile = true;
        folder.file = file;
        for (const auto& [name, special] : kSpecialNames) {
            if (CompareNoCase(folder.name, name) == 0) {
                folder.special = special;
            }
        }
        raw.push_back(std::move(folder));
    }
    BuildTree(std::move(raw));
    for (CStoreFolder& folder : m_Folders) {
        if (!folder.m_strStoredFile.empty()) {
            folder.m_FileState = StoreFileState::Present;
            folder.m_strFile = folder.m_strStoredFile;
            (void)IsMessageFile(m_strFolder + folder.m_strFile, folder.m_nHeaderCount);
        }
    }
}

void CDbxStore::BuildTree(std::vector<RawFolder> raw) {
    const std::int32_t n = std::int32_t(raw.size());
    auto looksLikeRoot = [](const RawFolder& f) {
        return (f.hasStoreType && f.storeType == kStoreTypeRoot) ||
               (f.hasParent && f.parent == kNoParent);
    };
    // The root: the record that says it is one, else one without an id; else a made one.
    std::int32_t root = -1;
    for (std::int32_t i = 0; i < n && root < 0; ++i) {
        if (looksLikeRoot(raw[std::size_t(i)])) {
            root = i;
        }
    }
    for (std::int32_t i = 0; i < n && root < 0; ++i) {
        if (!raw[std::size_t(i)].hasId) {
            root = i;
        }
    }
    if (root < 0) {
        RawFolder made;
        made.name = kRootName;
        raw.insert(raw.begin(), std::move(made));
        root = 0;
    } else if (root != 0) {
        std::rotate(raw.begin(), raw.begin() + root, raw.begin() + root + 1);
        root = 0;
    }
    const std::int32_t count = std::int32_t(raw.size());
    raw[0].id = raw[0].hasId ? raw[0].id : 0;

    // Ids to records: the first record of an id is the one its children find.
    std::unordered_map<std::uint32_t, std::int32_t> byId;
    for (std::int32_t i = 0; i < count; ++i) {
        byId.emplace(raw[std::size_t(i)].id, i);
    }
    std::vector<std::int32_t> parent(std::size_t(count), 0);
    std::vector<bool> account(std::size_t(count), false);
    parent[0] = -1;
    for (std::int32_t i = 1; i < count; ++i) {
        const RawFolder& f = raw[std::size_t(i)];
        if (!f.hasParent || looksLikeRoot(f)) {
            account[std::size_t(i)] = true;  // an account folder, or a second root
            continue;
        }
        const auto it = byId.find(f.parent);
        // A parent that does not exist, or the folder itself: an orphan, under the root.
        parent[std::size_t(i)] = it == byId.end() || it->second == i ? 0 : it->second;
    }
    // Cycles: the first folder met again on the way up goes under the root.
    std::vector<std::uint8_t> state(std::size_t(count), 0);  // 0 new, 1 on the path, 2 done
    std::vector<std::int32_t> path;
    for (std::int32_t i = 0; i < count; ++i) {
        path.clear();
        std::int32_t j = i;
        while (j >= 0 && state[std::size_t(j)] == 0) {
            state[std::size_t(j)] = 1;
            path.push_back(j);
            j = parent[std::size_t(j)];
        }
        if (j >= 0 && state[std::size_t(j)] == 1) {
            DiagLogF("Folder %lu is its own ancestor",
                     static_cast<unsigned long>(raw[std::size_t(j)].id));
            parent[std::size_t(j)] = 0;
        }
        for (const std::int32_t k : path) {
            state[std::size_t(k)] = 2;
        }
    }
    std::vector<std::vector<std::int32_t>> children(static_cast<std::size_t>(count));
    for (std::int32_t i = 1; i < count; ++i) {
        children[std::size_t(parent[std::size_t(i)])].push_back(i);
    }
    for (auto& list : children) {
        std::stable_sort(list.begin(), list.end(), [&](std::int32_t a, std::int32_t b) {
            const RawFolder& x = raw[std::size_t(a)];
            const RawFolder& y = raw[std::size_t(b)];
            const int byName = CompareNoCase(x.name, y.name);
            if (byName != 0) {
                return byName < 0;
            }
            return x.name != y.name ? x.name < y.name : x.id < y.id;
        });
    }

    // Depth first with an explicit stack: a chain of thousands of folders is no danger.
    m_Folders.clear();
    m_Folders.reserve(std::size_t(count));
    std::vector<std::int32_t> newIndex(std::size_t(count), -1);
    std::vector<std::int32_t> stack{0};
    while (!stack.empty()) {
        const std::int32_t i = stack.back();
        stack.pop_back();
        const RawFolder& f = raw[std::size_t(i)];
        CStoreFolder folder;
        folder.m_nId = f.id;
        folder.m_strName = f.name;
        folder.m_strStoredFile = f.hasFile ? f.file : std::u16string();
        folder.m_strAccount = f.account;
        if (i == 0) {
            folder.m_Kind = StoreFolderKind::Root;
        } else {
            std::int32_t up = newIndex[std::size_t(parent[std::size_t(i)])];
            if (m_Folders[std::size_t(up)].m_nDepth >= kMaxFolderDepth) {
                // Paths of a nest this deep would cost memory by the square of the depth
                // and no file system could hold them: the rest of the nest starts again
                // below the root.
                DiagLogF("Folder %lu nested too deep", static_cast<unsigned long>(f.id));
                up = 0;
            }
            folder.m_nParent = up;
            const CStoreFolder& upper = m_Folders[std::size_t(up)];
            folder.m_nParentId = upper.m_nId;
            folder.m_nDepth = upper.m_nDepth + 1;
            folder.m_strPath = upper.m_strPath.empty() ? f.name : upper.m_strPath + u'/' + f.name;
            if (account[std::size_t(i)]) {
                folder.m_Kind = StoreFolderKind::Account;
            } else if (f.special >= 1 && f.special <= 5) {
                folder.m_Kind = SpecialKind(f.special);
            } else if (f.hasStoreType && f.storeType == kStoreTypeNews) {
                folder.m_Kind = StoreFolderKind::News;
            }
        }
        newIndex[std::size_t(i)] = std::int32_t(m_Folders.size());
        if (folder.m_nParent >= 0) {
            m_Folders[std::size_t(folder.m_nParent)].m_Children.push_back(
                std::int32_t(m_Folders.size()));
        }
        m_Folders.push_back(std::move(folder));
        const auto& list = children[std::size_t(i)];
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            stack.push_back(*it);
        }
    }
}
