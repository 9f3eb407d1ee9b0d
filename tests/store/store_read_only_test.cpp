// A store is only ever read: opening it, counting its folders and exporting it in every
// format leave each of its files as it was, byte for byte and time for time, and add none.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "export/export_store.h"
#include "mime/transfer_codec.h"
#include "store/dbx_store.h"
#include "store/store_fixture.h"
#include "support/recording_ui.h"

namespace {

namespace fs = std::filesystem;

struct FileState {
    std::string bytes;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    bool operator==(const FileState&) const = default;
};

std::map<std::string, FileState> Snapshot(const fs::path& folder) {
    std::map<std::string, FileState> files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        EXPECT_EQ(stat(item.path().c_str(), &info), 0);
        FileState state;
        if (item.is_regular_file()) {
            state.bytes = dbxw::ReadWholeFile(item.path());
        }
        state.seconds = info.st_mtim.tv_sec;
        state.nanoseconds = info.st_mtim.tv_nsec;
        files[fs::relative(item.path(), folder).generic_string()] = state;
    }
    return files;
}

TEST(StoreReadOnly, OpeningAndExportingInEveryFormatLeaveTheStoreAsItWas) {
    RegisterStandardCodecs();
    dbxw::TempDir temp;
    const fs::path storeFolder = temp.Path("store");
    storetest::WriteTypicalStore(storeFolder);
    const auto before = Snapshot(storeFolder);
    ASSERT_EQ(before.size(), 14u);
    // Nobody may write to the store's files, as on a disk copied read-only.
    for (const auto& [name, state] : before) {
        fs::permissions(storeFolder / name, fs::perms::owner_read | fs::perms::group_read);
    }

    CDbxStore store;
    ASSERT_EQ(store.Open(storeFolder.u16string()), StoreOk);
    for (const CStoreFolder& folder : store.Folders()) {
        (void)CountFolderMessages(store, folder);
    }
    const std::u16string templates = fs::path(QUILLBOX_TEMPLATE_DIR).u16string();
    for (const std::int32_t format : {FormatEml, FormatAttachments, FormatHtmlAllInOne,
                                      FormatHtmlThreads, FormatTextAllInOne}) {
        CRecordingUi ui;
        CStoreExportRequest request;
        request.format = format;
        request.destination = temp.Path("out" + std::to_string(format)).u16string() + u"/";
        fs::create_directories(temp.Path("out" + std::to_string(format)));
        request.options.textMode = format == FormatTextAllInOne;
        request.options.templatePath =
            templates +
            (request.options.textMode ? u"/simple_text_file.txt" : u"/html_style1.html");
        request.options.codePage = 65001;
        CStoreExportResult result;
        ExportStore(store, ui, request, result);
        EXPECT_EQ(result.failed, 1u) << format;  // the missing file, and nothing else
        EXPECT_EQ(result.exported, 10u) << format;
    }
    for (const auto& [name, state] : before) {
        fs::permissions(storeFolder / name, fs::perms::owner_all);
    }
    EXPECT_EQ(Snapshot(storeFolder), before);
}

}  // namespace
