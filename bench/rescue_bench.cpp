// Rescue benchmark: a generated mailbox of about 1 GB holding 50,000 messages, 10,000 of
// them deleted (their blocks freed onto the free list, as Outlook Express leaves them).
// Each run times, on the same file:
//   read     a plain sequential read of the whole file (the floor any scan stands on),
//   scan     the rescue scan (ScanForChains) of a file already open, as Tools > Recover
//            Messages scans the open mailbox; the Open before it is timed apart,
//   recover  Open and RecoverMessages (the scan plus the recovered entries),
//   undbx    `undbx --recover` into a scratch folder, when the undbx program is installed.
// It prints the median of the runs, the load average, and how many deleted messages each
// rebuilt.
//
//   rescue_bench [--messages N] [--deleted D] [--size BYTES_PER_MESSAGE] [--runs R] [--dir FOLDER]
//                [--keep 1]   (the mailbox stays, for a look at it in the desktop app)
//                [--cold 1]   (each contender starts with an empty page cache; needs root)
//                [--undbx 0]  (leaves undbx out)
//                [--file PATH] (a mailbox kept by an earlier --keep run, instead of a new one;
//                               --messages and --deleted must be the ones it was made with)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/mailbox_rescue.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

dbxw::Message MakeMessage(std::size_t i, std::size_t size) {
    dbxw::Message m;
    m.messageId = "<" + std::to_string(i) + "@rescue.example>";
    m.subject = "Rescue message " + std::to_string(i + 1);
    m.senderName = "Sender " + std::to_string(i % 97);
    m.senderAddress = "s" + std::to_string(i % 97) + "@rescue.example";
    m.sent = dbxw::FileTimeFromUtc(2006, 1, 1) + std::uint64_t(i) * 60 * dbxw::kTicksPerSecond;
    std::string text = "Received: from mx.rescue.example\r\nFrom: " + *m.senderName + " <" +
                       *m.senderAddress + ">\r\nTo: Archive <archive@rescue.example>\r\n" +
                       "Subject: " + *m.subject + "\r\nMessage-ID: " + *m.messageId +
                       "\r\nDate: Sun, 1 Jan 2006 10:00:00 +0000\r\n" +
                       "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n";
    static const std::string line =
        "A line of an archived message, long enough to look like ordinary mail text.\r\n";
    // Sizes vary around the mean so that chains differ in length.
    const std::size_t target = size / 2 + (i * 7919) % size;
    while (text.size() < target) {
        text += line;
    }
    m.text = std::move(text);
    return m;
}

double PlainRead(const fs::path& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return -1;
    }
    std::vector<char> buffer(std::size_t(4) << 20);
    std::uint64_t sum = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        sum += std::uint8_t(buffer[std::size_t(n) - 1]);
    }
    ::close(fd);
    const double t = Since(start);
    if (sum == 1) {
        std::fprintf(stderr, " ");  // keeps the loop from being dropped
    }
    return t;
}

// Deleted messages undbx wrote: the .eml files below its output folder.
std::size_t CountFiles(const fs::path& folder) {
    std::size_t n = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        n += it->is_regular_file() ? 1 : 0;
    }
    return n;
}

// Empties the page cache, so that the next contender reads the file from the disk as a
// first look at a copied file does. Needs root; false when it is not allowed.
bool DropCaches() {
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return bool(drop);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t messages = 50000;
    std::size_t deleted = 10000;
    std::size_t size = 20000;
    int runs = 5;
    bool keep = false;
    bool cold = false;
    fs::path dir = fs::temp_directory_path();
    fs::path given;
    bool withUndbx = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--messages") {
            messages = std::stoul(argv[i + 1]);
        } else if (option == "--deleted") {
            deleted = std::stoul(argv[i + 1]);
        } else if (option == "--size") {
            size = std::stoul(argv[i + 1]);
        } else if (option == "--runs") {
            runs = std::stoi(argv[i + 1]);
        } else if (option == "--dir") {
            dir = argv[i + 1];
        } else if (option == "--cold") {
            cold = std::string(argv[i + 1]) != "0";
        } else if (option == "--keep") {
            keep = std::string(argv[i + 1]) != "0";
        } else if (option == "--undbx") {
            withUndbx = std::string(argv[i + 1]) != "0";
        } else if (option == "--file") {
            given = argv[i + 1];
        }
    }
    RegisterStandardCodecs();
    const fs::path work = dir / ("rescue_bench_" + std::to_string(::getpid()));
    fs::create_directories(work);
    const fs::path path = given.empty() ? work / "Inbox.dbx" : given;
    if (given.empty()) {
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(
            messages, [size](std::size_t i) { return MakeMessage(i, size); });
        // Spread over the file, in the order a user would have emptied them.
        const std::size_t every =
            std::max<std::size_t>(1, messages / std::max<std::size_t>(1, deleted));
        for (std::size_t i = 0, n = 0; i < messages && n < deleted; i += every, ++n) {
            b.DeleteMessage(dbxw::RecordRef(i));
        }
        const dbxw::Image image = b.Build();
        if (!image.WriteTo(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    const std::uint64_t bytes = fs::file_size(path);
    std::printf("mailbox: %.2f GB, %zu messages, %zu deleted; load before: %s\n", bytes / 1e9,
                messages, deleted, LoadAverage().c_str());
    const bool haveUndbx = withUndbx && std::system("command -v undbx > /dev/null 2>&1") == 0;

    std::vector<double> read, scan, recover, undbx;
    std::size_t ourDeleted = 0;
    std::size_t ourUnlisted = 0;
    std::size_t undbxFiles = 0;
    std::size_t undbxAll = 0;
    (void)PlainRead(path);  // the file is in the page cache for every contender
    cold = cold && DropCaches();
    auto prepare = [cold] {
        if (cold) {
            (void)DropCaches();
        }
    };
    std::vector<double> open;
    std::vector<double> openAndScan;
    for (int r = 0; r < runs; ++r) {
        prepare();
        read.push_back(PlainRead(path));
        {
            prepare();
            const auto start = Clock::now();
            CDBXFile dbx;
            (void)dbx.Open(path.u16string());
            open.push_back(Since(start));
            const auto scanStart = Clock::now();
            std::vector<CRecoveredChain> chains;
            (void)dbx.ScanForChains(chains);
            scan.push_back(Since(scanStart));
            openAndScan.push_back(Since(start));
        }
        {
            prepare();
            const auto start = Clock::now();
            CDBXFile dbx;
            (void)dbx.Open(path.u16string());
            bench::CQuietUi ui;
            const CRescueResult result = RecoverMessages(dbx, ui);
            recover.push_back(Since(start));
            ourDeleted = result.m_nDeleted;
            ourUnlisted = result.m_nUnlisted;
        }
        if (haveUndbx) {
            const fs::path out = work / "undbx";
            fs::remove_all(out);
            fs::create_directories(out);
            const std::string command = "undbx --recover '" + path.string() + "' '" + out.string() +
                                        "' > '" + (work / "undbx.log").string() + "' 2>&1";
            prepare();
            const auto start = Clock::now();
            const int status = std::system(command.c_str());
            undbx.push_back(Since(start));
            undbxAll = CountFiles(out);
            // undbx also writes the messages the index still lists; the rest are the ones
            // it rebuilt from freed blocks.
            undbxFiles = undbxAll > messages - deleted ? undbxAll - (messages - deleted) : 0;
            if (status != 0) {
                std::printf("undbx exited with status %d (see %s)\n", status,
                            (work / "undbx.log").c_str());
            }
        }
    }
    std::printf("median of %d runs (seconds), %s page cache, load after: %s\n", runs,
                cold ? "cold" : "warm", LoadAverage().c_str());
    std::printf("  plain sequential read   %.3f\n", Median(read));
    std::printf("  rescue scan             %.3f  (%.2fx the read; the file already open)\n",
                Median(scan), Median(scan) / Median(read));
    std::printf("  Open                    %.3f  (the index, to know which chains it reaches)\n",
                Median(open));
    std::printf("  Open + scan             %.3f  (%.2fx the read)\n", Median(openAndScan),
                Median(openAndScan) / Median(read));
    std::printf("  Open + recovered rows   %.3f  (%.2fx the read)\n", Median(recover),
                Median(recover) / Median(read));
    std::printf("  deleted rebuilt: ours %zu of %zu (unlisted %zu)\n", ourDeleted, deleted,
                ourUnlisted);
    if (haveUndbx) {
        std::printf(
            "  undbx --recover         %.3f  (%.2fx the read); %zu files, %zu beyond "
            "the %zu listed\n",
            Median(undbx), Median(undbx) / Median(read), undbxAll, undbxFiles, messages - deleted);
    } else {
        std::printf("  undbx not installed: no comparison\n");
    }
    if (keep || !given.empty()) {
        std::printf("kept: %s\n", path.c_str());
        return 0;
    }
    std::error_code error;
    fs::remove_all(work, error);
    return 0;
}
