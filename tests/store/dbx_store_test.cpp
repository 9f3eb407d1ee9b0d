#include "store/dbx_store.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/code_page.h"
#include "store/store_fixture.h"

namespace {

using storetest::Account;
using storetest::Root;
using storetest::Sub;

std::vector<std::string> Paths(const CDbxStore& store) {
    std::vector<std::string> out;
    for (const CStoreFolder& f : store.Folders()) {
        out.push_back(WideToUtf8(f.m_strPath));
    }
    return out;
}

const CStoreFolder& ByPath(const CDbxStore& store, const std::string& path) {
    for (const CStoreFolder& f : store.Folders()) {
        if (WideToUtf8(f.m_strPath) == path) {
            return f;
        }
    }
    ADD_FAILURE() << "no folder " << path;
    static const CStoreFolder none;
    return none;
}

// Each folder once, the root first, every parent before its children, the child lists
// and depths in agreement with the parents.
void ExpectWholeTree(const CDbxStore& store) {
    const auto& folders = store.Folders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders[0].m_nParent, -1);
    EXPECT_EQ(folders[0].m_Kind, StoreFolderKind::Root);
    std::size_t children = 0;
    for (std::size_t i = 1; i < folders.size(); ++i) {
        const std::int32_t p = folders[i].m_nParent;
        ASSERT_GE(p, 0);
        ASSERT_LT(std::size_t(p), i) << "a parent after its child";
        EXPECT_EQ(folders[i].m_nDepth, folders[std::size_t(p)].m_nDepth + 1);
        EXPECT_EQ(folders[i].m_nParentId, folders[std::size_t(p)].m_nId);
        const auto& list = folders[std::size_t(p)].m_Children;
        EXPECT_EQ(std::count(list.begin(), list.end(), std::int32_t(i)), 1);
    }
    for (const CStoreFolder& f : folders) {
        children += f.m_Children.size();
    }
    EXPECT_EQ(children, folders.size() - 1);
}

class StoreTest : public ::testing::Test {
protected:
    dbxw::TempDir temp;
};

TEST_F(StoreTest, TypicalStoreGivesTheTreeInNameOrderWithKindsFilesAndCounts) {
    storetest::WriteTypicalStore(temp.Path());
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    EXPECT_TRUE(store.HasFolderTree());
    EXPECT_FALSE(store.UsedSpareTrees());
    ExpectWholeTree(store);
    EXPECT_EQ(Paths(store), (std::vector<std::string>{
                                "",
                                "Hotmail",
                                "Local Folders",
                                "Local Folders/Deleted Items",
                                "Local Folders/Drafts",
                                "Local Folders/Gone",
                                "Local Folders/Inbox",
                                "Local Folders/Never used",
                                "Local Folders/Outbox",
                                "Local Folders/projects",
                                "Local Folders/projects/Alpha",
                                "Local Folders/projects/Alpha/Deep",
                                "Local Folders/Sent Items",
                                "news.example.com",
                                "news.example.com/comp.lang.c++",
                            }));
    const std::map<std::string, StoreFolderKind> kinds = {
        {"", StoreFolderKind::Root},
        {"Hotmail", StoreFolderKind::Account},
        {"Local Folders", StoreFolderKind::Account},
        {"Local Folders/Inbox", StoreFolderKind::Inbox},
        {"Local Folders/Outbox", StoreFolderKind::Outbox},
        {"Local Folders/Sent Items", StoreFolderKind::Sent},
        {"Local Folders/Deleted Items", StoreFolderKind::Deleted},
        {"Local Folders/Drafts", StoreFolderKind::Drafts},
        {"Local Folders/projects/Alpha/Deep", StoreFolderKind::Folder},
        {"news.example.com", StoreFolderKind::Account},
        {"news.example.com/comp.lang.c++", StoreFolderKind::News},
    };
    for (const auto& [path, kind] : kinds) {
        EXPECT_EQ(ByPath(store, path).m_Kind, kind) << path;
    }
    EXPECT_EQ(ByPath(store, "Local Folders").m_nParentId, 0u);
    EXPECT_EQ(ByPath(store, "Local Folders/projects/Alpha").m_nParentId, 10u);
    EXPECT_EQ(WideToUtf8(ByPath(store, "Local Folders").m_strAccount), "LocalStore");

    // Inbox.dbx is "INBOX.DBX" on this disk.
    const CStoreFolder& inbox = ByPath(store, "Local Folders/Inbox");
    EXPECT_EQ(inbox.m_FileState, StoreFileState::Present);
    EXPECT_EQ(WideToUtf8(inbox.m_strFile), "INBOX.DBX");
    EXPECT_EQ(WideToUtf8(store.FilePath(inbox)), (temp.Path() / "INBOX.DBX").string());
    EXPECT_EQ(inbox.m_nHeaderCount, 3u);
    EXPECT_EQ(CountFolderMessages(store, inbox), 3u);

    const CStoreFolder& unused = ByPath(store, "Local Folders/Never used");
    EXPECT_EQ(unused.m_FileState, StoreFileState::None);
    EXPECT_EQ(CountFolderMessages(store, unused), std::nullopt);
    const CStoreFolder& gone = ByPath(store, "Local Folders/Gone");
    EXPECT_EQ(gone.m_FileState, StoreFileState::Missing);
    EXPECT_EQ(WideToUtf8(gone.m_strStoredFile), "Gone.dbx");
    EXPECT_TRUE(store.FilePath(gone).empty());
    EXPECT_EQ(CountFolderMessages(store, gone), std::nullopt);
    // An empty message file opens with no entry: 0, not "none".
    EXPECT_EQ(CountFolderMessages(store, ByPath(store, "Local Folders/Outbox")), 0u);
    EXPECT_EQ(CountFolderMessages(store, ByPath(store, "Local Folders/projects/Alpha/Deep")), 4u);

    // Only the message file nobody lists; Folders.dbx, Offline.dbx and Pop3uidl.dbx are not.
    ASSERT_EQ(store.Unlisted().size(), 1u);
    EXPECT_EQ(WideToUtf8(store.Unlisted()[0].m_strFile), "Orphan.dbx");
    EXPECT_EQ(WideToUtf8(store.Unlisted()[0].m_strName), "Orphan");
    EXPECT_EQ(CountFolderMessages(store, store.Unlisted()[0]), 1u);
}

TEST_F(StoreTest, TheStoreIsFoundFromItsFoldersFileAFileBesideItOrAnIdentitiesTree) {
    storetest::WriteTypicalStore(temp.Path("direct"));
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("direct/Folders.dbx").u16string()), StoreOk);
    EXPECT_EQ(WideToUtf8(store.Folder()), temp.Path("direct").string() + "/");
    EXPECT_EQ(store.Folders().size(), storetest::TypicalFolders().size());
    ASSERT_EQ(store.Open(temp.Path("direct/Drafts.dbx").u16string()), StoreOk);
    EXPECT_TRUE(store.HasFolderTree());

    // Two identities below an old profile: the first in name order is opened, the other
    // reported.
    const auto identities = temp.Path(
        "disk/Documents and Settings/ann/Local Settings/"
        "Application Data/Identities");
    const auto first = identities / "{1AAA}" / "Microsoft" / "Outlook Express";
    const auto second = identities / "{2BBB}" / "Microsoft" / "Outlook Express";
    storetest::WriteFolders(
        first, {Root(), Account(1, "Local Folders"), Sub(4, 1, "Inbox", "Inbox.dbx", 1)},
        "FOLDERS.DBX");
    storetest::WriteMailbox(first / "Inbox.dbx", "First", 2);
    storetest::WriteFolders(second, {Root(), Account(1, "Local Folders")});
    ASSERT_EQ(store.Open(temp.Path("disk").u16string()), StoreOk);
    EXPECT_EQ(WideToUtf8(store.Folder()), first.string() + "/");
    ASSERT_EQ(store.OtherStores().size(), 1u);
    EXPECT_EQ(WideToUtf8(store.OtherStores()[0]), second.string() + "/");
    EXPECT_EQ(CountFolderMessages(store, ByPath(store, "Local Folders/Inbox")), 2u);

    // As deep as the search goes, and one level deeper.
    for (const int levels : {CDbxStore::kMaxSearchDepth, CDbxStore::kMaxSearchDepth + 1}) {
        const auto top = temp.Path("deep" + std::to_string(levels));
        auto deep = top;
        for (int i = 0; i < levels; ++i) {
            deep /= "d" + std::to_string(i);
        }
        storetest::WriteFolders(deep, {Root()});
        EXPECT_EQ(store.Open(top.u16string()),
                  levels <= CDbxStore::kMaxSearchDepth ? StoreOk : StoreNotFound);
    }
    EXPECT_FALSE(store.IsOpen());
    std::filesystem::create_directories(temp.Path("empty"));
    EXPECT_EQ(store.Open(temp.Path("empty").u16string()), StoreNotFound);
    EXPECT_EQ(store.Open(temp.Path("nowhere").u16string()), StoreNotFound);
    EXPECT_EQ(store.Open(u""), StoreNotFound);
}

TEST_F(StoreTest, BrokenParentLinksLoseNoFolder) {
    storetest::WriteFolders(temp.Path(),
                            {
                                Root(),
                                Account(1, "Local Folders"),
                                // A cycle of three: 30 -> 32 -> 31 -> 30.
                                Sub(30, 32, "Cycle A"),
                                Sub(31, 30, "Cycle B"),
                                Sub(32, 31, "Cycle C"),
                                Sub(40, 40, "Own parent"),
                                Sub(41, 999, "Lost parent"),
                                Sub(42, 41, "Child of lost"),
                                // Two records with one id: both stay; children find the first.
                                Sub(50, 1, "Twin one"),
                                Sub(50, 1, "Twin two"),
                                Sub(51, 50, "Twin child"),
                                // A second root.
                                {.parent = 0xFFFFFFFF, .name = "Second root", .storeType = 4},
                            });
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    ExpectWholeTree(store);
    EXPECT_EQ(store.Folders().size(), 12u);
    std::multiset<std::string> names;
    for (const CStoreFolder& f : store.Folders()) {
        names.insert(WideToUtf8(f.m_strName));
    }
    EXPECT_EQ(names,
              (std::multiset<std::string>{"Outlook Express", "Local Folders", "Cycle A", "Cycle B",
                                          "Cycle C", "Own parent", "Lost parent", "Child of lost",
                                          "Twin one", "Twin two", "Twin child", "Second root"}));
    // The cycle is cut where the walk up met a folder again: Cycle A under the root,
    // the rest below it in their stored order.
    EXPECT_EQ(WideToUtf8(ByPath(store, "Cycle A/Cycle B/Cycle C").m_strName), "Cycle C");
    EXPECT_EQ(ByPath(store, "Cycle A").m_nParentId, 0u);
    EXPECT_EQ(ByPath(store, "Own parent").m_nDepth, 1);
    EXPECT_EQ(ByPath(store, "Lost parent/Child of lost").m_nDepth, 2);
    EXPECT_EQ(ByPath(store, "Local Folders/Twin one/Twin child").m_nParentId, 50u);
    EXPECT_EQ(ByPath(store, "Local Folders/Twin two").m_nDepth, 2);
    EXPECT_EQ(ByPath(store, "Second root").m_Kind, StoreFolderKind::Account);
    EXPECT_EQ(WideToUtf8(store.Folders()[0].m_strName), "Outlook Express");

    // Without any record that is a root, one is made.
    storetest::WriteFolders(temp.Path("rootless"), {Sub(3, 2, "A"), Sub(2, 3, "B")});
    ASSERT_EQ(store.Open(temp.Path("rootless").u16string()), StoreOk);
    ExpectWholeTree(store);
    // The first tree is in id order: B is met first and its walk up is cut at B.
    EXPECT_EQ(Paths(store), (std::vector<std::string>{"", "B", "B/A"}));
}

TEST_F(StoreTest, ADamagedFirstTreeIsMadeGoodFromTheOthers) {
    const std::vector<dbxw::Folder> folders = storetest::TypicalFolders();
    dbxw::Builder builder = dbxw::FoldersBuilder(folders);
    dbxw::Image intact = builder.Build();
    // Root node of the first tree gone; and separately, one node below it.
    dbxw::Image noRoot = intact;
    noRoot.PutU32(intact.NodeOffset(builder.root), 1);
    const dbxw::NodeRef inner = builder.GetNode(builder.root).firstChild;
    ASSERT_NE(inner, dbxw::kNone);
    dbxw::Image noInner = intact;
    noInner.PutU32(intact.NodeOffset(inner), 1);

    for (const dbxw::Image* image : {&noRoot, &noInner}) {
        dbxw::TempDir dir;
        image->WriteTo(dir.Path("Folders.dbx"));
        CDbxStore store;
        ASSERT_EQ(store.Open(dir.Path().u16string()), StoreOk);
        EXPECT_TRUE(store.UsedSpareTrees());
        EXPECT_EQ(store.Folders().size(), folders.size());
        ExpectWholeTree(store);
        EXPECT_EQ(ByPath(store, "Local Folders/projects/Alpha/Deep").m_nId, 12u);
    }

    // All three trees gone: the folder's message files as a flat list.
    dbxw::Image none = intact;
    for (dbxw::NodeRef n : {builder.root, builder.root2, builder.root3}) {
        none.PutU32(intact.NodeOffset(n), 1);
    }
    dbxw::TempDir dir;
    none.WriteTo(dir.Path("Folders.dbx"));
    storetest::WriteMailbox(dir.Path("Inbox.dbx"), "Inbox", 1);
    CDbxStore store;
    ASSERT_EQ(store.Open(dir.Path().u16string()), StoreOk);
    EXPECT_FALSE(store.HasFolderTree());
    EXPECT_EQ(Paths(store), (std::vector<std::string>{"", "Local Folders", "Local Folders/Inbox"}));
}

TEST_F(StoreTest, WithoutFoldersFileEveryMessageFileIsAFolderOfLocalFolders) {
    storetest::WriteMailbox(temp.Path("Inbox.dbx"), "Inbox", 2);
    storetest::WriteMailbox(temp.Path("sent items.DBX"), "Sent", 1);
    storetest::WriteMailbox(temp.Path("Archive 2004.dbx"), "Old", 5);
    dbxw::WriteWholeFile(temp.Path("notes.txt"), "not a mailbox");
    dbxw::Builder offline;
    offline.header.signature = dbxw::kSignatureOffline;
    offline.Build().WriteTo(temp.Path("Offline.dbx"));

    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    EXPECT_FALSE(store.HasFolderTree());
    ExpectWholeTree(store);
    EXPECT_EQ(Paths(store),
              (std::vector<std::string>{"", "Local Folders", "Local Folders/Archive 2004",
                                        "Local Folders/Inbox", "Local Folders/sent items"}));
    EXPECT_EQ(ByPath(store, "Local Folders").m_Kind, StoreFolderKind::Account);
    EXPECT_EQ(ByPath(store, "Local Folders/Inbox").m_Kind, StoreFolderKind::Inbox);
    EXPECT_EQ(ByPath(store, "Local Folders/sent items").m_Kind, StoreFolderKind::Sent);
    EXPECT_EQ(ByPath(store, "Local Folders/Archive 2004").m_Kind, StoreFolderKind::Folder);
    EXPECT_EQ(CountFolderMessages(store, ByPath(store, "Local Folders/Archive 2004")), 5u);
    EXPECT_TRUE(store.Unlisted().empty());
}

TEST_F(StoreTest, NamesAreReadInTheStoresCodePageAndFilesMatchedIgnoringCase) {
    storetest::WriteFolders(temp.Path(), {Root(), Account(1, "Lokale Ordner"),
                                          Sub(2, 1,
                                              "Entw\xFC"
                                              "rfe",
                                              "Entw\xFC"
                                              "rfe.dbx",
                                              5),
                                          Sub(3, 1,
                                              "Stra\xDF"
                                              "e",
                                              "STRASSE.dbx")});
    storetest::WriteMailbox(temp.Path("ENTWÜRFE.dbx"), "Draft", 1);
    storetest::WriteMailbox(temp.Path("strasse.DBX"), "Road", 2);
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    EXPECT_EQ(store.CodePage(), kDefaultMailboxCodePage);
    const CStoreFolder& drafts = ByPath(store, "Lokale Ordner/Entwürfe");
    EXPECT_EQ(drafts.m_Kind, StoreFolderKind::Drafts);
    // Only ASCII letters fold: the u-umlaut must match exactly, the rest in any case.
    EXPECT_EQ(drafts.m_FileState, StoreFileState::Missing);
    const CStoreFolder& road = ByPath(store, "Lokale Ordner/Straße");
    EXPECT_EQ(road.m_FileState, StoreFileState::Present);
    EXPECT_EQ(WideToUtf8(road.m_strFile), "strasse.DBX");
    EXPECT_EQ(CountFolderMessages(store, road), 2u);
    EXPECT_EQ(store.Unlisted().size(), 1u);
}

TEST_F(StoreTest, ARussianStoreIsReadInTheCodePageItsMessageFilesTell) {
    // "Входящие" and "Письма" as a Russian Windows stored them, in Windows-1251.
    const std::string inbox = "\xC2\xF5\xEE\xE4\xFF\xF9\xE8\xE5";
    const std::string letters = "\xCF\xE8\xF1\xFC\xEC\xE0";
    storetest::WriteFolders(
        temp.Path(), {Root(), Account(1, "Local Folders"), Sub(4, 1, inbox, inbox + ".dbx", 1),
                      Sub(5, 1, letters, "Letters.dbx")});
    // The file names on disk are what the copy made of them: UTF-8.
    storetest::WriteMailbox(temp.Path("Входящие.dbx"), "Hello", 2);
    std::vector<dbxw::Message> russian = storetest::Messages("x", 3);
    for (dbxw::Message& m : russian) {
        m.subject = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет"
        m.text = "From: ann@example.com\r\nSubject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n\r\nx\r\n";
    }
    dbxw::BuildStoreMailbox(russian).WriteTo(temp.Path("Letters.dbx"));
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    EXPECT_EQ(store.CodePage(), 1251u);
    const CStoreFolder& in = ByPath(store, "Local Folders/Входящие");
    EXPECT_EQ(in.m_FileState, StoreFileState::Present);
    EXPECT_EQ(WideToUtf8(in.m_strFile), "Входящие.dbx");
    EXPECT_EQ(in.m_Kind, StoreFolderKind::Inbox);
    EXPECT_EQ(ByPath(store, "Local Folders/Письма").m_FileState, StoreFileState::Present);

    // A Western store with the same layout stays Western, and opens no message file to
    // learn it when every name is ASCII.
    const std::string west =
        "Entw\xFC"
        "rfe";
    storetest::WriteFolders(
        temp.Path("west"), {Root(), Account(1, "Local Folders"), Sub(4, 1, west, "Drafts.dbx", 5)});
    storetest::WriteMailbox(temp.Path("west/Drafts.dbx"), "Draft", 2);
    ASSERT_EQ(store.Open(temp.Path("west").u16string()), StoreOk);
    EXPECT_EQ(store.CodePage(), 1252u);
    EXPECT_EQ(ByPath(store, "Local Folders/Entwürfe").m_FileState, StoreFileState::Present);
}

TEST_F(StoreTest, AChainOfThousandsOfFoldersKeepsEveryFolderAtABoundedDepth) {
    std::vector<dbxw::Folder> folders{Root(), Account(1, "Local Folders")};
    for (std::uint32_t id = 2; id < 20000; ++id) {
        folders.push_back(Sub(id, id - 1, "n"));
    }
    storetest::WriteFolders(temp.Path(), folders);
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    ASSERT_EQ(store.Folders().size(), folders.size());
    ExpectWholeTree(store);
    int deepest = 0;
    for (const CStoreFolder& f : store.Folders()) {
        deepest = std::max(deepest, f.m_nDepth);
    }
    EXPECT_EQ(deepest, CDbxStore::kMaxFolderDepth);
}

TEST(StoreWriter, FoldersFileHasItsSignatureAndThreeTrees) {
    dbxw::Builder b = dbxw::FoldersBuilder(storetest::TypicalFolders());
    const dbxw::Image image = b.Build();
    EXPECT_EQ(image.GetU32(4), dbxw::kSignatureFolders);
    EXPECT_EQ(image.GetU32(0x80), 3u);
    EXPECT_EQ(image.GetU32(0xC4), 15u);
    EXPECT_EQ(image.GetU32(0xC8), 15u);
    EXPECT_EQ(image.GetU32(0xCC), 14u);  // all but the root
    for (std::uint32_t field : {0xE4u, 0xE8u, 0xECu}) {
        const std::uint32_t node = image.GetU32(field);
        ASSERT_NE(node, 0u);
        EXPECT_EQ(image.GetU32(node), node);
    }
}

}  // namespace
