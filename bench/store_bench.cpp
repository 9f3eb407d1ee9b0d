// Store benchmark: a generated store of 40 folders (nested up to three deep under Local
// Folders) holding 200,000 messages in all.
//   1. Opening the store and building its tree (what the Folders bar shows: names, kinds,
//      files and the header counts). Goal: under 0.3 s.
//   2. export-store --format eml against the same folders exported one by one as the
//      `export` command does (open the file, export every entry into its folder), in the
//      same run. Goal: within 1.2x.
//
//   store_bench [--messages N] [--folders F] [--runs R] [--export-runs E] [--dir FOLDER]
//
// Times are medians of the runs; each export run starts from an empty output folder.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_messages.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_session.h"
#include "export/export_store.h"
#include "export/export_wizard.h"
#include "mailbox/dbx_file.h"
#include "mime/mailbox_code_page.h"
#include "mime/transfer_codec.h"
#include "platform/paths.h"
#include "store/dbx_store.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::CQuietUi;
using bench::Seconds;

bool Generate(const fs::path& root, std::size_t folders, std::size_t messages) {
    std::mt19937 rng(7);
    std::vector<dbxw::Folder> records{
        {.parent = 0xFFFFFFFF, .name = "Outlook Express", .storeType = 4},
        {.id = 1, .name = "Local Folders", .account = "LocalStore", .storeType = 3}};
    static const char* const kSpecial[] = {"Inbox", "Outbox", "Sent Items", "Deleted Items",
                                           "Drafts"};
    std::size_t next = 0;
    for (std::size_t f = 0; f < folders; ++f) {
        const std::uint32_t id = std::uint32_t(f + 2);
        dbxw::Folder folder;
        folder.id = id;
        folder.storeType = 3;
        if (f < 5) {
            folder.name = kSpecial[f];
            folder.special = std::uint32_t(f + 1);
            folder.parent = 1;
        } else {
            folder.name = "Project " + std::to_string(f);
            // Every third folder nests below the one before it, up to three deep.
            folder.parent = (f % 3 != 0 && f > 5) ? id - 1 : 1;
        }
        folder.file = *folder.name + ".dbx";
        records.push_back(folder);

        const std::size_t count = messages / folders + (f < messages % folders ? 1 : 0);
        std::vector<dbxw::Message> list;
        list.reserve(count);
        for (std::size_t i = 0; i < count; ++i, ++next) {
            dbxw::Message m;
            m.id = std::uint32_t(i + 1);
            m.subject = "Report " + std::to_string(next);
            m.senderAddress = "s" + std::to_string(next % 97) + "@example.com";
            m.messageId = "<" + std::to_string(next) + "@example.com>";
            m.sent = dbxw::FileTimeFromUtc(2008, 11, 3) +
                     std::uint64_t(next) * 60 * dbxw::kTicksPerSecond;
            m.text = bench::SmallMessage(rng, next);
            list.push_back(std::move(m));
        }
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(list);
        b.header.signature = dbxw::kSignatureMessages;
        if (!b.Build().WriteTo(root / *folder.file)) {
            return false;
        }
    }
    return dbxw::FoldersBuilder(records).Build().WriteTo(root / "Folders.dbx");
}

void Fresh(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

std::size_t CountFiles(const fs::path& folder) {
    std::size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        files += item.is_regular_file() ? 1 : 0;
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t messages = 200000;
    std::size_t folders = 40;
    int runs = 7;
    int exportRuns = 3;
    fs::path root;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--messages") == 0) {
            messages = std::strtoul(argv[a + 1], nullptr, 10);
        } else if (std::strcmp(argv[a], "--folders") == 0) {
            folders = std::max<std::size_t>(1, std::strtoul(argv[a + 1], nullptr, 10));
        } else if (std::strcmp(argv[a], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[a + 1]));
        } else if (std::strcmp(argv[a], "--export-runs") == 0) {
            exportRuns = std::max(0, std::atoi(argv[a + 1]));
        } else if (std::strcmp(argv[a], "--dir") == 0) {
            root = argv[a + 1];
        }
    }
    if (root.empty()) {
        root = fs::temp_directory_path() / ("quillbox-store-bench-" + std::to_string(getpid()));
    }
    RegisterStandardCodecs();
    const fs::path storeFolder = root / "store";
    fs::create_directories(storeFolder);
    if (!Generate(storeFolder, folders, messages)) {
        std::fprintf(stderr, "cannot write the store under %s\n", root.c_str());
        return 1;
    }

    std::vector<double> open;
    std::size_t shown = 0;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        CDbxStore store;
        if (store.Open(storeFolder.u16string()) != StoreOk) {
            std::fprintf(stderr, "cannot open the store\n");
            return 1;
        }
        // What the bar shows: every folder's name and count.
        std::uint64_t counted = 0;
        for (const CStoreFolder& f : store.Folders()) {
            counted += f.m_nHeaderCount + f.m_strName.size();
        }
        open.push_back(Seconds(Clock::now() - start));
        shown = store.Folders().size();
        if (counted == 0) {
            std::fprintf(stderr, "the store shows nothing\n");
        }
    }

    CDbxStore store;
    store.Open(storeFolder.u16string());
    CQuietUi ui;
    std::vector<double> whole, oneByOne;
    const fs::path out = root / "out";
    std::size_t files = 0;
    auto folderByFolder = [&] {
        for (const CStoreExportItem& item : PlanStoreExport(store, FormatEml)) {
            CDBXFile dbx;
            if (OpenMailbox(dbx, store.FilePath(*item.folder)) != DbxOk) {
                continue;
            }
            CExportSession session(dbx, ui);
            CExportCommand command;
            command.format = FormatEml;
            command.destination = out.u16string() + u"/" + item.relative;
            RunExportCommand(session, command);
        }
    };
    auto wholeStore = [&] {
        CStoreExportRequest request;
        request.format = FormatEml;
        request.destination = WithTrailingSeparator(out.u16string());
        CStoreExportResult result;
        ExportStore(store, ui, request, result);
    };
    for (int r = 0; r < exportRuns; ++r) {
        // Each goes first every other run, so that neither always pays for the removal of
        // the other's 200,000 files.
        for (int turn = 0; turn < 2; ++turn) {
            const bool runWhole = (turn == 0) == (r % 2 == 1);
            Fresh(out);
            const auto start = Clock::now();
            if (runWhole) {
                wholeStore();
                whole.push_back(Seconds(Clock::now() - start));
                files = CountFiles(out);
            } else {
                folderByFolder();
                oneByOne.push_back(Seconds(Clock::now() - start));
            }
        }
    }

    std::printf("%zu folders, %zu messages; open: median of %d runs, export: of %d\n",
                store.Folders().size(), messages, runs, exportRuns);
    std::printf("  open the store and build the tree: %7.4f s  (goal < 0.3 s; %zu folders)\n",
                bench::Median(open), shown);
    if (exportRuns > 0) {
        const double base = bench::Median(oneByOne);
        std::printf("  export folder by folder (export):  %7.3f s\n", base);
        std::printf(
            "  export-store --format eml:         %7.3f s  (%.3fx; goal <= 1.2x; %zu files)\n",
            bench::Median(whole), bench::Median(whole) / base, files);
    }
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) {
        std::printf("load average %.2f %.2f %.2f; %d message boxes\n", load[0], load[1], load[2],
                    ui.m_nMessages);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS %ld KiB\n", usage.ru_maxrss);
    fs::remove_all(root);
    return 0;
}
