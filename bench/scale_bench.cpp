// Scale run at the format's limits: a mailbox of about 3.5 GiB (DBX offsets are 32-bit, so
// a file ends below 4 GiB) with 300,000 messages, one of them 200 MB. Each operation runs
// in a process of its own, so that its peak memory is its own:
//
//   scale_bench [--messages N] [--big-mb M] [--dir FOLDER] [--keep]
//
// open (the reader's Open), list (every cell of every row, as the list paints them),
// fetch (the viewer's work on the big message and on every message stored above 2 GiB,
// each checked against the sequence number written into it), threads, duplicates and
// eml (every message exported). The mailbox and the export go under FOLDER (default: the
// system's temporary folder) and are removed at the end unless --keep is given.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/message_thread.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_eml.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mime/transfer_codec.h"
#include "mime/viewer_text.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t k2GiB = std::uint64_t{1} << 31;

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string SeqHeader(std::size_t i) {
    return "X-Seq: " + std::to_string(i + 1) + "\r\n";
}

// Message i: about `size` bytes, its sequence number in a header of its own. Every third
// answers the one before; every thousandth repeats an earlier identifier.
dbxw::Message MakeMessage(std::size_t i, std::size_t size) {
    dbxw::Message m;
    const std::size_t idSource = (i % 1000 == 999) ? i - 500 : i;
    m.messageId = "<" + std::to_string(idSource) + "@scale.example>";
    if (i % 3 == 2) {
        m.inReplyTo = "<" + std::to_string(i - 1) + "@scale.example>";
    }
    m.subject = "Scale message " + std::to_string(i + 1);
    m.senderName = "Sender " + std::to_string(i % 211);
    m.senderAddress = "s" + std::to_string(i % 211) + "@scale.example";
    m.recipientName = "Archive";
    m.recipientAddress = "archive@scale.example";
    m.sent = dbxw::FileTimeFromUtc(2005, 1, 1) + std::uint64_t(i) * 60 * dbxw::kTicksPerSecond;
    m.received = *m.sent + 90 * dbxw::kTicksPerSecond;
    std::string text = "From: " + *m.senderName + " <" + *m.senderAddress + ">\r\nTo: Archive " +
                       "<archive@scale.example>\r\nSubject: " + *m.subject +
                       "\r\nMessage-ID: " + *m.messageId + "\r\n" + SeqHeader(i) +
                       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    static const std::string line =
        "A line of an archived message, long enough to look like ordinary mail text.\r\n";
    text.reserve(size + line.size());
    while (text.size() < size) {
        text += line;
    }
    m.lines = std::uint32_t(text.size() / line.size());
    m.text = std::move(text);
    return m;
}

int Generate(const fs::path& path, std::size_t count, std::size_t bigBytes) {
    // Sizes from 2 KB to 22 KB, about 12 KB on average: 300,000 of them and the big one
    // make the file about 3.5 GiB.
    const std::size_t big = count - 1;  // the last, so its text lies far above 2 GiB
    const dbxw::Image image =
        dbxw::SimpleMailboxBuilder(count, [&](std::size_t i) {
            return MakeMessage(i, i == big ? bigBytes : 2048 + (i * 7919) % 20480);
        }).Build();
    if (!image.WriteTo(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

bool Open(CDBXFile& dbx, const fs::path& path) {
    const std::int32_t status = dbx.Open(path.u16string());
    if (status != DbxOk) {
        std::fprintf(stderr, "open: status %d\n", status);
        return false;
    }
    return true;
}

// Each child prints: seconds, peak KiB, peak KiB after Open, and a note.
int Child(const std::string& mode, const fs::path& path, const fs::path& out) {
    RegisterStandardCodecs();
    CDBXFile dbx;
    auto start = Clock::now();
    if (!Open(dbx, path))
        return 1;
    const double openTime = Since(start);
    const long afterOpen = PeakRssKiB();
    CEmailArray& emails = dbx.GetEmails();
    std::string note;
    start = Clock::now();
    if (mode == "open") {
        std::printf("%.3f %ld %ld %d entries\n", openTime, afterOpen, afterOpen, emails.GetCount());
        return 0;
    }
    if (mode == "list") {
        std::size_t chars = 0;
        for (std::int32_t row = 0; row < emails.GetCount(); ++row) {
            for (std::int32_t c = 0; c < kEmailColumnCount; ++c) {
                chars += GetEmailCellText(*emails.Get(row), c, dbx.GetCodePage()).size();
            }
        }
        note = std::to_string(chars) + " characters";
    } else if (mode == "fetch") {
        std::string text;
        std::size_t above = 0;
        std::size_t bad = 0;
        std::uint32_t highest = 0;
        std::size_t bigShown = 0;
        for (std::int32_t row = 0; row < emails.GetCount(); ++row) {
            const CEmailDBX* entry = emails.Get(row);
            if (entry->m_nTextOffset < k2GiB)
                continue;
            ++above;
            highest = std::max(highest, entry->m_nTextOffset);
            if (!dbx.GetMessageText(entry, text) ||
                text.find(SeqHeader(std::size_t(entry->m_Id) - 1)) == std::string::npos) {
                ++bad;
                continue;
            }
            if (text.size() > 100'000'000) {
                // What the viewer does with it: the text page and the source page.
                bigShown = GetTextPageContent(text).size() + text.size();
            }
        }
        note = std::to_string(above) + " texts above 2 GiB (highest at " + std::to_string(highest) +
               "), " + std::to_string(bad) + " wrong, big message " +
               std::to_string(bigShown / 1'000'000) + " MB shown";
        if (bad != 0 || above == 0 || bigShown == 0) {
            std::printf("%.3f %ld %ld %s\n", Since(start), PeakRssKiB(), afterOpen, note.c_str());
            return 1;
        }
    } else if (mode == "threads") {
        bench::CQuietUi ui;
        std::vector<CMessageThread> threads(std::size_t(emails.GetCount()));
        note = std::to_string(ScanThreads(emails, threads, ui)) + " threads";
    } else if (mode == "duplicates") {
        bench::CQuietUi ui;
        note = std::to_string(CountDuplicateEmails(emails, ui)) + " duplicates";
    } else if (mode == "eml") {
        bench::CQuietUi ui;
        CExportSession session(dbx, ui);
        for (CEmailDBX* entry : emails.Items())
            entry->m_bSelected = true;
        fs::create_directories(out);
        ExportEml(session, WithTrailingSeparator(out.u16string()));
        const double t = Since(start);
        std::size_t files = 0;
        std::uintmax_t bytes = 0;
        for (const auto& item : fs::directory_iterator(out)) {
            ++files;
            bytes += item.file_size();
        }
        std::printf("%.3f %ld %ld %zu files, %.2f GB, %d message boxes\n", t, PeakRssKiB(),
                    afterOpen, files, double(bytes) / 1e9, ui.m_nMessages);
        return 0;
    } else {
        return 2;
    }
    std::printf("%.3f %ld %ld %s\n", Since(start), PeakRssKiB(), afterOpen, note.c_str());
    return 0;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t count = 300'000;
    std::size_t bigMb = 200;
    fs::path dir = fs::temp_directory_path();
    bool keep = false;
    if (argc >= 5 && std::strcmp(argv[1], "--child") == 0) {
        return Child(argv[2], argv[3], argv[4]);
    }
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--keep") == 0) {
            keep = true;
        } else if (a + 1 < argc && std::strcmp(argv[a], "--messages") == 0) {
            count = std::strtoul(argv[++a], nullptr, 10);
        } else if (a + 1 < argc && std::strcmp(argv[a], "--big-mb") == 0) {
            bigMb = std::strtoul(argv[++a], nullptr, 10);
        } else if (a + 1 < argc && std::strcmp(argv[a], "--dir") == 0) {
            dir = argv[++a];
        }
    }
    const fs::path root = dir / ("quillbox-scale-" + std::to_string(getpid()));
    fs::create_directories(root);
    const fs::path mailbox = root / "scale.dbx";
    const fs::path out = root / "eml";
    auto start = Clock::now();
    if (Generate(mailbox, std::max<std::size_t>(count, 2), bigMb * 1'000'000) != 0)
        return 1;
    std::printf("generated %s: %.2f GiB, %zu messages, in %.1f s (generator peak %ld MiB)\n",
                mailbox.c_str(), double(fs::file_size(mailbox)) / double(1ull << 30), count,
                Since(start), PeakRssKiB() / 1024);
    std::fflush(stdout);

    const std::string self = fs::read_symlink("/proc/self/exe").string();
    int failures = 0;
    std::printf("%-11s %9s %11s %11s  %s\n", "operation", "seconds", "peak MiB", "open MiB",
                "result");
    for (const char* mode : {"open", "list", "fetch", "threads", "duplicates", "eml"}) {
        const std::string command = Quote(self) + " --child " + mode + " " +
                                    Quote(mailbox.string()) + " " + Quote(out.string());
        std::FILE* pipe = popen(command.c_str(), "r");
        char line[512] = {};
        const bool got = pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr;
        const int status = pipe != nullptr ? pclose(pipe) : -1;
        double seconds = 0;
        long peak = 0;
        long afterOpen = 0;
        int used = 0;
        if (!got || std::sscanf(line, "%lf %ld %ld %n", &seconds, &peak, &afterOpen, &used) < 3) {
            std::printf("%-11s failed (status %d)\n", mode, status);
            ++failures;
            continue;
        }
        std::string note = line + used;
        if (!note.empty() && note.back() == '\n')
            note.pop_back();
        std::printf("%-11s %9.3f %11.1f %11.1f  %s%s\n", mode, seconds, peak / 1024.0,
                    afterOpen / 1024.0, note.c_str(), status == 0 ? "" : "  FAILED");
        std::fflush(stdout);
        failures += status == 0 ? 0 : 1;
    }
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3) {
        std::printf("load average %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    }
    if (!keep) {
        fs::remove_all(root);
    }
    return failures == 0 ? 0 : 1;
}
