// The store exported for today's mail clients: mbox files in the plain and the Thunderbird
// layout, the messages' dates on the files, and the scan for lost messages per folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <map>

#include "export/export_mbox.h"
#include "export/export_session.h"
#include "export/export_settings.h"
#include "export/export_store.h"
#include "export/export_wizard.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"
#include "store/dbx_store.h"
#include "store/store_fixture.h"
#include "support/memory_settings.h"
#include "support/recording_ui.h"

namespace {

namespace fs = std::filesystem;
using storetest::Account;
using storetest::Root;
using storetest::Sub;

// Every file below the folder with its bytes; folders end with '/'.
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).generic_string();
        if (entry.is_directory()) {
            out[relative + "/"] = "";
        } else {
            out[relative] = dbxw::ReadWholeFile(entry.path());
        }
    }
    return out;
}

std::size_t CountSeparators(const std::string& mbox) {
    std::size_t n = mbox.rfind("From ", 0) == 0 ? 1 : 0;
    for (std::size_t at = mbox.find("\nFrom "); at != std::string::npos;
         at = mbox.find("\nFrom ", at + 1)) {
        ++n;
    }
    return n;
}

std::int64_t Mtime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_mtim.tv_sec) : -1;
}

class StoreMboxTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }

    // Local Folders with Inbox, an empty Outbox, a nest whose middle folder has no file, an
    // account with nothing in it, and an unlisted file.
    void WriteNestedStore() {
        const fs::path store = temp.Path("store");
        storetest::WriteFolders(
            store, {Root(), Account(1, "Local Folders"), Sub(4, 1, "Inbox", "Inbox.dbx", 1),
                    Sub(5, 1, "Outbox", "Outbox.dbx", 2), Sub(10, 1, "projects", "projects.dbx"),
                    Sub(11, 10, "Alpha", "Alpha.dbx"), Sub(12, 11, "Deep"),
                    Sub(13, 12, "Deeper", "Deeper.dbx"), Account(9, "Hotmail", 2)});
        storetest::WriteMailbox(store / "Inbox.dbx", "Inbox", 3);
        storetest::WriteMailbox(store / "Outbox.dbx", "Outbox", 0);
        storetest::WriteMailbox(store / "projects.dbx", "Projects", 2);
        storetest::WriteMailbox(store / "Alpha.dbx", "Alpha", 1);
        storetest::WriteMailbox(store / "Deeper.dbx", "Deeper", 4);
        storetest::WriteMailbox(store / "Orphan.dbx", "Orphan", 1);
    }

    std::map<std::string, std::string> Export(StoreLayout layout, const std::string& name) {
        CDbxStore store;
        EXPECT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);
        fs::create_directories(temp.Path(name));
        CStoreExportRequest request;
        request.format = FormatMbox;
        request.layout = layout;
        request.destination = temp.Path(name).u16string() + u"/";
        CStoreExportResult result;
        EXPECT_TRUE(ExportStore(store, ui, request, result));
        EXPECT_EQ(result.failed, 0u);
        return Tree(temp.Path(name));
    }

    dbxw::TempDir temp;
    CRecordingUi ui;
};

TEST_F(StoreMboxTest, ThunderbirdLayoutNestsEachFolderInItsParentsSbd) {
    WriteNestedStore();
    const auto files = Export(StoreLayout::Thunderbird, "tb");
    const std::map<std::string, std::size_t> expected = {
        // Local Folders is Thunderbird's own: its folders come at the top.
        {"Inbox", 3},
        {"Outbox", 0},
        {"projects", 2},
        {"projects.sbd/Alpha", 1},
        {"projects.sbd/Alpha.sbd/Deep", 0},  // no file of its own: the parent Thunderbird needs
        {"projects.sbd/Alpha.sbd/Deep.sbd/Deeper", 4},
        {"Unlisted", 0},
        {"Unlisted.sbd/Orphan", 1},
    };
    std::map<std::string, std::size_t> got;
    for (const auto& [path, bytes] : files) {
        if (path.back() != '/') {
            got[path] = CountSeparators(bytes);
        } else {
            // Every folder is the .sbd of a file beside it, as Thunderbird looks for them.
            const std::string dir = path.substr(0, path.size() - 1);
            ASSERT_TRUE(dir.ends_with(".sbd")) << dir;
            EXPECT_EQ(files.count(dir.substr(0, dir.size() - 4)), 1u) << dir;
        }
    }
    EXPECT_EQ(got, expected);

    // The folder's file is the one-mailbox mbox export of its .dbx, byte for byte.
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(temp.Path("store/Deeper.dbx").u16string()), DbxOk);
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        entry->m_bSelected = true;
    }
    CRecordingUi referenceUi;
    CExportSession session(dbx, referenceUi);
    CMboxRequest one;
    one.outputFile = temp.Path("Deeper.mbox").u16string();
    ASSERT_TRUE(ExportMbox(session, one));
    EXPECT_EQ(files.at("projects.sbd/Alpha.sbd/Deep.sbd/Deeper"),
              dbxw::ReadWholeFile(temp.Path("Deeper.mbox")));
}

TEST_F(StoreMboxTest, PlainLayoutWritesPathDotMboxAndEmptyFoldersToo) {
    WriteNestedStore();
    const auto files = Export(StoreLayout::Plain, "plain");
    std::map<std::string, std::size_t> got;
    for (const auto& [path, bytes] : files) {
        if (path.back() != '/') {
            got[path] = CountSeparators(bytes);
        }
    }
    const std::map<std::string, std::size_t> expected = {
        {"Local Folders/Inbox.mbox", 3},
        {"Local Folders/Outbox.mbox", 0},
        {"Local Folders/projects.mbox", 2},
        {"Local Folders/projects/Alpha.mbox", 1},
        {"Local Folders/projects/Alpha/Deep/Deeper.mbox", 4},
        {"Unlisted/Orphan.mbox", 1},
    };
    EXPECT_EQ(got, expected);
    // The layout choice is the mbox's alone: other formats keep their places.
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);
    const auto plan = PlanStoreExport(store, FormatEml, StoreLayout::Thunderbird);
    ASSERT_FALSE(plan.empty());
    EXPECT_EQ(plan.front().relative, u"Local Folders/Inbox");
    for (const CStoreExportItem& item : plan) {
        EXPECT_FALSE(item.placeholder);
    }
}

TEST_F(StoreMboxTest, FileTimesAndTheScanApplyToEveryFolder) {
    const fs::path storeFolder = temp.Path("store");
    storetest::WriteFolders(
        storeFolder, {Root(), Account(1, "Local Folders"), Sub(4, 1, "Inbox", "Inbox.dbx", 1)});
    // Four messages, the second deleted as Outlook Express deletes it.
    std::vector<dbxw::Message> messages = storetest::Messages("Inbox", 4);
    for (dbxw::Message& m : messages) {
        while (m.text->size() < 900) {
            *m.text += "more text of the message\r\n";
        }
    }
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    b.header.signature = dbxw::kSignatureMessages;
    b.DeleteMessage(1);
    b.Build().WriteTo(storeFolder / "Inbox.dbx");

    CDbxStore store;
    ASSERT_EQ(store.Open(storeFolder.u16string()), StoreOk);
    auto run = [&](const std::string& name, bool fileTimes, bool recover) {
        fs::create_directories(temp.Path(name));
        CStoreExportRequest request;
        request.format = FormatEml;
        request.destination = temp.Path(name).u16string() + u"/";
        request.fileTimes = fileTimes;
        request.recover = recover;
        CStoreExportResult result;
        EXPECT_TRUE(ExportStore(store, ui, request, result));
        return result;
    };
    const std::time_t before = std::time(nullptr);
    EXPECT_EQ(run("dated", true, false).recovered, 0u);
    EXPECT_EQ(run("now", false, false).recovered, 0u);
    const CStoreExportResult rescued = run("rescued", true, true);
    EXPECT_EQ(rescued.recovered, 1u);

    auto emlFiles = [&](const std::string& name) {
        std::vector<fs::path> out;
        for (const auto& e : fs::directory_iterator(temp.Path(name) / "Local Folders/Inbox")) {
            out.push_back(e.path());
        }
        return out;
    };
    const auto dated = emlFiles("dated");
    ASSERT_EQ(dated.size(), 3u);
    const std::int64_t sent2008 = std::int64_t(1225731600);  // 2008-11-03 17:00 UTC
    for (const fs::path& p : dated) {
        EXPECT_GE(Mtime(p), sent2008) << p;
        EXPECT_LT(Mtime(p), sent2008 + 3600) << p;
    }
    for (const fs::path& p : emlFiles("now")) {
        EXPECT_GE(Mtime(p), std::int64_t(before) - 1) << p;
    }
    // The deleted message comes back after the listed ones.
    const auto rescuedFiles = emlFiles("rescued");
    EXPECT_EQ(rescuedFiles.size(), 4u);
    bool found = false;
    for (const fs::path& p : rescuedFiles) {
        found = found || dbxw::ReadWholeFile(p).find("Body of Inbox 2") != std::string::npos;
    }
    EXPECT_TRUE(found);
}

TEST_F(StoreMboxTest, WizardStepThreeOffersTheLayoutForAStoreAsMbox) {
    CMemorySettings settings;
    const CExportStep3View store = InitExportStep3(FormatMbox, settings, true);
    EXPECT_EQ(store.destination, ExportDestination::Folder);
    EXPECT_TRUE(store.showThunderbirdLayout);
    EXPECT_FALSE(store.thunderbirdLayout);
    EXPECT_FALSE(store.showFileTimes);  // one file per folder: nothing to date
    ExportStep3StoreThunderbirdLayout(true, settings);
    EXPECT_TRUE(InitExportStep3(FormatMbox, settings, true).thunderbirdLayout);

    // One mailbox as mbox still goes to a file, without the layout.
    const CExportStep3View one = InitExportStep3(FormatMbox, settings);
    EXPECT_EQ(one.destination, ExportDestination::File);
    EXPECT_FALSE(one.showThunderbirdLayout);
    // A store as EML: a folder, dated files, no layout.
    const CExportStep3View eml = InitExportStep3(FormatEml, settings, true);
    EXPECT_TRUE(eml.showFileTimes);
    EXPECT_FALSE(eml.showThunderbirdLayout);
    const CExportStep3View html = InitExportStep3(FormatHtmlAllInOne, settings, true);
    EXPECT_EQ(html.destination, ExportDestination::Folder);
    EXPECT_FALSE(html.showFileTimes);
}

}  // namespace
