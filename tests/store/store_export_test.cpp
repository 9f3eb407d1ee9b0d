#include "export/export_store.h"

#include <gtest/gtest.h>

#include <map>

#include "export/export_all_in_one.h"
#include "export/export_eml.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"
#include "platform/code_page.h"
#include "store/dbx_store.h"
#include "store/store_fixture.h"
#include "support/recording_ui.h"

namespace {

namespace fs = std::filesystem;
using storetest::Account;
using storetest::Root;
using storetest::Sub;

// Every file below the folder with its bytes, by path relative to it.
std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_regular_file()) {
            files[fs::relative(it->path(), folder).generic_string()] =
                dbxw::ReadWholeFile(it->path());
        }
    }
    return files;
}

std::vector<std::string> Relatives(const std::vector<CStoreExportItem>& plan) {
    std::vector<std::string> out;
    for (const CStoreExportItem& item : plan) {
        out.push_back(WideToUtf8(item.relative));
    }
    return out;
}

class StoreExportTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }

    std::u16string Dest(const std::string& name) {
        fs::create_directories(temp.Path(name));
        return temp.Path(name).u16string() + u"/";
    }

    dbxw::TempDir temp;
    CRecordingUi ui;
};

TEST_F(StoreExportTest, EmlOfTheStoreIsTheExportOfEachFolderInItsPlace) {
    storetest::WriteTypicalStore(temp.Path("store"));
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);

    CStoreExportRequest request;
    request.format = FormatEml;
    request.destination = Dest("out");
    CStoreExportResult result;
    EXPECT_FALSE(ExportStore(store, ui, request, result));  // Gone.dbx is missing
    EXPECT_EQ(result.failed, 1u);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.exported, 10u);  // 9 listed files (one empty) and the unlisted one
    EXPECT_EQ(result.files, 17u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
    EXPECT_NE(WideToUtf8(ui.messages[0].text).find("'Local Folders/Gone'"), std::string::npos);

    // The same folders exported one by one with the plain EML export.
    CRecordingUi referenceUi;
    for (const CStoreExportItem& item : PlanStoreExport(store, FormatEml)) {
        CDBXFile dbx;
        if (dbx.Open(store.FilePath(*item.folder)) != DbxOk) {
            continue;
        }
        const fs::path folder = temp.Path("reference") / WideToUtf8(item.relative);
        fs::create_directories(folder);
        CExportSession session(dbx, referenceUi);
        for (CEmailDBX* entry : dbx.GetEmails().Items()) {
            entry->m_bSelected = true;
        }
        ASSERT_TRUE(ExportEml(session, folder.u16string() + u"/"));
    }
    const auto exported = Files(temp.Path("out"));
    EXPECT_EQ(exported, Files(temp.Path("reference")));
    EXPECT_EQ(exported.size(), 17u);
    EXPECT_EQ(exported.count("Local Folders/projects/Alpha/Deep/[4]Deep 4.eml"), 1u);
    EXPECT_EQ(exported.count("Unlisted/Orphan/[1]Orphan 1.eml"), 1u);
    EXPECT_EQ(exported.count("news.example.com/comp.lang.c++/[2]News 2.eml"), 1u);
    // Folders without a file, or without mail, leave nothing behind.
    EXPECT_FALSE(fs::exists(temp.Path("out/Local Folders/Never used")));
    EXPECT_FALSE(fs::exists(temp.Path("out/Local Folders/Outbox")));

    // One window over the whole run, naming each folder with the running file count.
    ASSERT_EQ(ui.ProgressCount(), 1u);
    const CProgressRecord& progress = ui.Progress(0);
    EXPECT_TRUE(progress.destroyed);
    const auto& texts = progress.statusTexts;
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        u"Exporting folder Local Folders/projects/Alpha/Deep... 12 files "
                        u"exported."),
              texts.end());
    EXPECT_EQ(texts.back(), u"Exporting folder Unlisted/Orphan... 17 files exported.");
    EXPECT_EQ(progress.positions.back(), 100);
}

TEST_F(StoreExportTest, FolderNamesAreCleanedAndClashingSiblingsNumbered) {
    storetest::WriteFolders(
        temp.Path(), {Root(), Account(1, "Unlisted"), Sub(2, 1, "a/b", "1.dbx"),
                      Sub(3, 1, "A:B", "2.dbx"), Sub(4, 1, "..", "3.dbx"), Sub(5, 1, "", "4.dbx"),
                      Sub(6, 4, "..", "5.dbx"), Sub(7, 1, "a_b (2)", "6.dbx")});
    for (int i = 1; i <= 7; ++i) {
        storetest::WriteMailbox(temp.Path(std::to_string(i) + ".dbx"), "m", 1);
    }
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path().u16string()), StoreOk);
    ASSERT_EQ(store.Unlisted().size(), 1u);  // 7.dbx
    EXPECT_EQ(
        Relatives(PlanStoreExport(store, FormatEml)),
        (std::vector<std::string>{"Unlisted (2)/_", "Unlisted (2)/_ (2)", "Unlisted (2)/_ (2)/_",
                                  "Unlisted (2)/a_b", "Unlisted (2)/A_B (2)",
                                  "Unlisted (2)/a_b (2) (2)", "Unlisted/7"}));
    EXPECT_EQ(Relatives(PlanStoreExport(store, FormatTextAllInOne)).back(), "Unlisted/7.txt");

    CStoreExportRequest request;
    request.format = FormatEml;
    request.destination = Dest("out");
    CStoreExportResult result;
    EXPECT_TRUE(ExportStore(store, ui, request, result));
    EXPECT_EQ(result.exported, 7u);
    // Everything landed inside the destination, one folder per store folder.
    EXPECT_EQ(Files(temp.Path("out")).size(), 7u);
    EXPECT_EQ(Files(temp.Path()).size(), Files(temp.Path("out")).size() + 8u);
}

TEST_F(StoreExportTest, OneFileFormatsWriteEachFolderBesideItsSubfolders) {
    storetest::WriteFolders(temp.Path("store"),
                            {Root(), Account(1, "Local Folders"),
                             Sub(4, 1, "Inbox", "Inbox.dbx", 1), Sub(10, 4, "Work", "Work.dbx")});
    storetest::WriteMailbox(temp.Path("store/Inbox.dbx"), "Inbox", 2);
    storetest::WriteMailbox(temp.Path("store/Work.dbx"), "Work", 3);
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);

    CStoreExportRequest request;
    request.format = FormatTextAllInOne;
    request.destination = Dest("out");
    request.options.textMode = true;
    request.options.templatePath = Utf8ToWide(QUILLBOX_TEMPLATE_DIR) + u"/simple_text_file.txt";
    request.options.codePage = 65001;
    CStoreExportResult result;
    ASSERT_TRUE(ExportStore(store, ui, request, result));
    const auto files = Files(temp.Path("out"));
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(files.count("Local Folders/Inbox.txt"), 1u);
    ASSERT_EQ(files.count("Local Folders/Inbox/Work.txt"), 1u);

    // Byte for byte what the one-folder export writes, the folder's name as title.
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(temp.Path("store/Work.dbx").u16string()), DbxOk);
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        entry->m_bSelected = true;
    }
    CRecordingUi referenceUi;
    CExportSession session(dbx, referenceUi);
    CAllInOneRequest one;
    one.templatePath = request.options.templatePath;
    one.outputFile = temp.Path("Work.txt").u16string();
    one.title = u"Work";
    one.codePage = 65001;
    one.textOutput = true;
    ASSERT_TRUE(ExportAllInOne(session, one));
    EXPECT_EQ(files.at("Local Folders/Inbox/Work.txt"), dbxw::ReadWholeFile(temp.Path("Work.txt")));
    EXPECT_NE(files.at("Local Folders/Inbox/Work.txt").find("Work 3"), std::string::npos);
}

TEST_F(StoreExportTest, AnUnreadableFolderIsReportedOnceAndTheRunGoesOn) {
    storetest::WriteFolders(temp.Path("store"),
                            {Root(), Account(1, "Local Folders"), Sub(2, 1, "A", "A.dbx"),
                             Sub(3, 1, "B", "B.dbx"), Sub(4, 1, "C", "C.dbx")});
    storetest::WriteMailbox(temp.Path("store/A.dbx"), "A", 2);
    dbxw::WriteWholeFile(temp.Path("store/B.dbx"), std::string(100, 'x'));  // no header
    storetest::WriteMailbox(temp.Path("store/C.dbx"), "C", 2);
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);

    CStoreExportRequest request;
    request.format = FormatEml;
    request.destination = Dest("out");
    CStoreExportResult result;
    EXPECT_FALSE(ExportStore(store, ui, request, result));
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(result.exported, 2u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(WideToUtf8(ui.messages[0].text),
              "Unable to export the folder 'Local Folders/B' (B.dbx):\n" +
                  WideToUtf8(GetStatusText(DbxCannotRead)));
    EXPECT_EQ(Files(temp.Path("out")).size(), 4u);
}

TEST_F(StoreExportTest, AnOutputFolderThatCannotBeMadeFailsItsFoldersOnly) {
    storetest::WriteTypicalStore(temp.Path("store"));
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);
    const std::u16string dest = Dest("out");
    dbxw::WriteWholeFile(temp.Path("out/Local Folders"), "a file where a folder should go");
    CStoreExportRequest request;
    request.format = FormatEml;
    request.destination = dest;
    CStoreExportResult result;
    EXPECT_FALSE(ExportStore(store, ui, request, result));
    // Seven folders of Local Folders with mail, and the missing file; the empty Outbox,
    // the news folder and the unlisted file go through.
    EXPECT_EQ(result.failed, 8u);
    EXPECT_EQ(result.exported, 3u);
    EXPECT_EQ(ui.messages.size(), 8u);
    const auto files = Files(temp.Path("out"));
    EXPECT_EQ(files.size(), 4u);  // 2 news messages, 1 unlisted, and the blocking file
    EXPECT_EQ(files.count("news.example.com/comp.lang.c++/[1]News 1.eml"), 1u);

    request.destination = u"  ";
    EXPECT_FALSE(ExportStore(store, ui, request, result));
    EXPECT_EQ(WideToUtf8(ui.messages.back().text), "Please choose an output folder.");
}

TEST_F(StoreExportTest, CancelStopsAfterTheCurrentFile) {
    storetest::WriteTypicalStore(temp.Path("store"));
    CDbxStore store;
    ASSERT_EQ(store.Open(temp.Path("store").u16string()), StoreOk);
    ui.SetCancelAfterPumps(4);
    CStoreExportRequest request;
    request.format = FormatEml;
    request.destination = Dest("out");
    CStoreExportResult result;
    EXPECT_FALSE(ExportStore(store, ui, request, result));
    EXPECT_TRUE(result.cancelled);
    const auto files = Files(temp.Path("out"));
    EXPECT_GE(files.size(), 1u);
    EXPECT_LE(files.size(), 3u);
}

}  // namespace
