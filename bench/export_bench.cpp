// Export benchmark: a generated mailbox exported as EML files, as attached files, as one
// HTML file and as one mbox file, next to the floors: the same raw texts copied to files
// by a plain loop (read the text, create the file, write it, close it), and appended to
// one file by a plain loop (the floor of the one-file exports), in the same run.
//
//   export_bench [--messages N] [--runs R] [--attachment-every K] [--dir FOLDER]
//                [--only mbox]
//
// --only mbox runs the two floors and the mbox export alone.
//
// Times are medians of R runs; each run starts from empty output folders. The output
// goes under FOLDER (default: a new folder in the system's temporary folder), removed at
// the end.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_messages.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_all_in_one.h"
#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_mbox.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace {

namespace fs = std::filesystem;
using bench::Clock;
using bench::CQuietUi;
using bench::Seconds;

bool Generate(const fs::path& path, std::size_t count, std::size_t attachmentEvery) {
    std::mt19937 rng(42);
    std::vector<std::string> pool;
    for (std::size_t i = 0; attachmentEvery > 0 && i < bench::kAttachmentPool; ++i) {
        pool.push_back(bench::AttachmentMessage(rng, i));
    }
    std::vector<dbxw::Message> messages;
    messages.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        dbxw::Message m;
        m.id = std::uint32_t(i + 1);
        m.subject = "Weekly report " + std::to_string(i);
        m.senderName = "Sender " + std::to_string(i % 97);
        m.senderAddress = "s" + std::to_string(i % 97) + "@example.com";
        m.recipientName = "Team";
        m.recipientAddress = "team@example.org";
        m.messageId = "<" + std::to_string(i) + "@example.com>";
        m.sent = dbxw::FileTimeFromUtc(2008, 11, 3) + std::uint64_t(i) * 60 * dbxw::kTicksPerSecond;
        m.received = *m.sent + 120 * dbxw::kTicksPerSecond;
        const bool large = attachmentEvery > 0 && i % attachmentEvery == attachmentEvery / 2;
        m.text = large ? pool[(i / attachmentEvery) % pool.size()] : bench::SmallMessage(rng, i);
        messages.push_back(std::move(m));
    }
    return dbxw::BuildSimpleMailbox(messages).WriteTo(path);
}

// The floor: what any EML export must at least do for each message.
std::size_t CopyTexts(CDBXFile& dbx, const fs::path& folder) {
    std::string text;
    std::size_t files = 0;
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        if (!dbx.GetMessageText(entry, text))
            continue;
        const fs::path path = folder / ("[" + std::to_string(entry->m_Id) + "].eml");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr)
            continue;
        files += std::fwrite(text.data(), 1, text.size(), file) == text.size() ? 1 : 0;
        std::fclose(file);
    }
    return files;
}

// The floor of a one-file export: every raw text appended to one file as it is.
std::size_t AppendTexts(CDBXFile& dbx, const fs::path& file) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return 0;
    std::string text;
    std::size_t written = 0;
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        if (dbx.GetMessageText(entry, text))
            written += std::fwrite(text.data(), 1, text.size(), out) == text.size() ? 1 : 0;
    }
    std::fclose(out);
    return written;
}

std::uintmax_t FolderBytes(const fs::path& folder, std::size_t& files) {
    std::uintmax_t bytes = 0;
    files = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file()) {
            bytes += item.file_size();
            ++files;
        }
    }
    return bytes;
}

void Fresh(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 20000;
    int runs = 5;
    std::size_t attachmentEvery = 200;
    fs::path root;
    bool mboxOnly = false;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--messages") == 0) {
            count = std::strtoul(argv[a + 1], nullptr, 10);
        } else if (std::strcmp(argv[a], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[a + 1]));
        } else if (std::strcmp(argv[a], "--attachment-every") == 0) {
            attachmentEvery = std::strtoul(argv[a + 1], nullptr, 10);
        } else if (std::strcmp(argv[a], "--dir") == 0) {
            root = argv[a + 1];
        } else if (std::strcmp(argv[a], "--only") == 0) {
            mboxOnly = std::strcmp(argv[a + 1], "mbox") == 0;
        }
    }
    if (root.empty()) {
        root = fs::temp_directory_path() / ("quillbox-export-bench-" + std::to_string(getpid()));
    }
    RegisterStandardCodecs();
    fs::create_directories(root);
    const fs::path mailbox = root / "bench.dbx";
    if (!Generate(mailbox, count, attachmentEvery)) {
        std::fprintf(stderr, "cannot write %s\n", mailbox.c_str());
        return 1;
    }
    CDBXFile dbx;
    if (dbx.Open(mailbox.u16string()) != DbxOk) {
        std::fprintf(stderr, "cannot open %s\n", mailbox.c_str());
        return 1;
    }
    for (CEmailDBX* entry : dbx.GetEmails().Items())
        entry->m_bSelected = true;
    CQuietUi ui;
    CExportSession session(dbx, ui);
    const std::u16string htmlTemplate = GetModuleFolder() + u"Templates/html_style1.html";

    std::vector<double> floor, eml, attachments, html, oneFileFloor, mbox;
    const fs::path out = root / "out";
    for (int r = 0; r < runs; ++r) {
        Fresh(out);
        auto start = Clock::now();
        CopyTexts(dbx, out);
        floor.push_back(Seconds(Clock::now() - start));

        if (!mboxOnly) {
            Fresh(out);
            start = Clock::now();
            ExportEml(session, WithTrailingSeparator(out.u16string()));
            eml.push_back(Seconds(Clock::now() - start));

            Fresh(out);
            start = Clock::now();
            ExportAttachments(session, WithTrailingSeparator(out.u16string()));
            attachments.push_back(Seconds(Clock::now() - start));

            Fresh(out);
            CAllInOneRequest request;
            request.templatePath = htmlTemplate;
            request.outputFile = (out / "all.html").u16string();
            request.title = u"Benchmark";
            request.sortBy = 0;
            request.codePage = 65001;
            start = Clock::now();
            ExportAllInOne(session, request);
            html.push_back(Seconds(Clock::now() - start));
        }

        Fresh(out);
        start = Clock::now();
        AppendTexts(dbx, out / "all.txt");
        oneFileFloor.push_back(Seconds(Clock::now() - start));

        Fresh(out);
        CMboxRequest mboxRequest;
        mboxRequest.outputFile = (out / "all.mbox").u16string();
        start = Clock::now();
        ExportMbox(session, mboxRequest);
        mbox.push_back(Seconds(Clock::now() - start));
    }
    std::size_t mboxFiles = 0;
    const std::uintmax_t mboxBytes = FolderBytes(out, mboxFiles);
    const double floorTime = bench::Median(floor);
    std::printf("%zu messages, median of %d runs\n", count, runs);
    std::printf("  floor (plain copy of raw texts):  %7.3f s\n", floorTime);
    if (!mboxOnly) {
        Fresh(out);
        CAllInOneRequest htmlRequest;
        htmlRequest.templatePath = htmlTemplate;
        htmlRequest.outputFile = (out / "all.html").u16string();
        htmlRequest.title = u"Benchmark";
        htmlRequest.sortBy = 0;
        htmlRequest.codePage = 65001;
        ExportAllInOne(session, htmlRequest);
        std::size_t files = 0;
        const std::uintmax_t htmlBytes = FolderBytes(out, files);
        Fresh(out);
        ExportEml(session, WithTrailingSeparator(out.u16string()));
        std::size_t emlFiles = 0;
        const std::uintmax_t emlBytes = FolderBytes(out, emlFiles);
        Fresh(out);
        ExportAttachments(session, WithTrailingSeparator(out.u16string()));
        std::size_t attachedFiles = 0;
        const std::uintmax_t attachedBytes = FolderBytes(out, attachedFiles);
        std::printf(
            "  EML export:                       %7.3f s  (%.2fx the floor; %zu files, %.1f MB)\n",
            bench::Median(eml), bench::Median(eml) / floorTime, emlFiles, emlBytes / 1e6);
        std::printf("  attached files:                   %7.3f s  (%zu files, %.1f MB)\n",
                    bench::Median(attachments), attachedFiles, attachedBytes / 1e6);
        std::printf("  one HTML file:                    %7.3f s  (%.1f MB)\n", bench::Median(html),
                    htmlBytes / 1e6);
    }
    const double oneFileFloorTime = bench::Median(oneFileFloor);
    std::printf("  floor (raw texts into one file):  %7.3f s\n", oneFileFloorTime);
    std::printf(
        "  one mbox file:                    %7.3f s  (%.2fx the one-file floor, %.2fx the "
        "floor; %.1f MB)\n",
        bench::Median(mbox), bench::Median(mbox) / oneFileFloorTime,
        bench::Median(mbox) / floorTime, mboxBytes / 1e6);
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
