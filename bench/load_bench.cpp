// Load benchmark: a generated mailbox of many messages in a three-level tree.
//
//   load_bench [--messages N] [--runs R] [--keep PATH] [--strings ascii|cyrillic|undeclared]
//
// Measures, each as the median of R runs in fresh processes: the time of CDBXFile::Open
// and its peak resident memory, the time to fetch every message's text with
// GetMessageText, and, for comparison, the time to read the same file once sequentially.
// Then the mailbox code page detection that follows Open, against Open in the same
// processes. --strings chooses the stored subjects and names: ASCII (the default), Russian
// in Windows-1251 with encoded-word headers, or Russian whose headers name no charset (the
// worst case: the most headers read, then the byte statistics).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mime/mailbox_code_page.h"
#include "mime/mime_code.h"
#include "platform/code_page.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

enum class Strings { Ascii, Cyrillic, Undeclared };

// The sender's name and the subject of message i, as UTF-8.
std::string SenderName(Strings strings, std::uint32_t i) {
    return (strings == Strings::Ascii ? "Sender "
                                      : "\xD0\x9E\xD1\x82\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xB8"
                                        "\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C ") +
           std::to_string(i % 97);
}
std::string Subject(Strings strings, std::uint32_t i) {
    return (strings == Strings::Ascii ? "Report " : "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 ") +
           std::to_string(i);
}

// Header text: ASCII as it is, Russian in encoded words or raw in Windows-1251.
std::string HeaderText(Strings strings, const std::string& utf8) {
    if (strings == Strings::Ascii) {
        return utf8;
    }
    if (strings == Strings::Cyrillic) {
        return "=?utf-8?B?" + EncodeBase64(utf8, false) + "?=";
    }
    std::string bytes;
    (void)WideToMultiByteString(1251, Utf8ToWide(utf8), bytes);
    return bytes;
}

// What a Windows of the mailbox's code page stored.
std::string StoredText(Strings strings, const std::string& utf8) {
    std::string bytes;
    (void)WideToMultiByteString(strings == Strings::Ascii ? 1252 : 1251, Utf8ToWide(utf8), bytes);
    return bytes;
}

std::string MakeText(std::mt19937& rng, std::uint32_t i, Strings strings) {
    std::string text = "From: " + HeaderText(strings, SenderName(strings, i)) + " <s" +
                       std::to_string(i % 97) + "@example.com>\r\nTo: Team <team@example.org>\r\n" +
                       "Subject: " + HeaderText(strings, Subject(strings, i)) +
                       "\r\nMessage-ID: <" + std::to_string(i) +
                       "@example.com>\r\nDate: Mon, 3 Nov 2008 17:05:00 +0000\r\n"
                       "Content-Type: text/plain" +
                       std::string(strings == Strings::Undeclared ? "" : "; charset=iso-8859-1") +
                       "\r\n\r\n";
    // Bodies from a few hundred bytes to a few kilobytes, as ordinary mail is.
    std::uniform_int_distribution<int> lines(5, 80);
    const int n = lines(rng);
    for (int l = 0; l < n; ++l) {
        text += "Line " + std::to_string(l) + " of the weekly report, with the usual numbers.\r\n";
    }
    return text;
}

int Generate(const std::string& path, std::uint32_t count, Strings strings) {
    std::mt19937 rng(42);
    std::vector<dbxw::Message> messages;
    messages.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        dbxw::Message m;
        m.id = i + 1;
        m.subject = StoredText(strings, Subject(strings, i));
        m.senderName = StoredText(strings, SenderName(strings, i));
        m.senderAddress = "s" + std::to_string(i % 97) + "@example.com";
        m.recipientName = "Team";
        m.recipientAddress = "team@example.org";
        m.messageId = "<" + std::to_string(i) + "@example.com>";
        if (i > 0 && i % 3 == 0) {
            m.inReplyTo = "<" + std::to_string(i - 1) + "@example.com>";
        }
        m.sent = dbxw::FileTimeFromUtc(2008, 11, 3) + std::uint64_t(i) * 60 * dbxw::kTicksPerSecond;
        m.received = *m.sent + 120 * dbxw::kTicksPerSecond;
        m.text = MakeText(rng, i, strings);
        m.lines = std::uint32_t(std::count(m.text->begin(), m.text->end(), '\n'));
        messages.push_back(std::move(m));
    }
    const dbxw::Image image = dbxw::BuildSimpleMailbox(messages);
    if (!image.WriteTo(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

// The child modes print one line: seconds [peak KiB].
int ChildOpen(const std::string& path) {
    const long before = PeakRssKiB();
    const auto start = Clock::now();
    CDBXFile dbx;
    const std::int32_t status = dbx.Open(std::filesystem::path(path).u16string());
    const double t = Seconds(start);
    if (status != DbxOk) {
        return 1;
    }
    std::printf("%.6f %ld %ld %d\n", t, PeakRssKiB(), before, dbx.GetEmails().GetCount());
    return 0;
}

// Open, then the code page detection, timed apart: "open detect codepage".
int ChildDetect(const std::string& path) {
    CDBXFile dbx;
    auto start = Clock::now();
    if (dbx.Open(std::filesystem::path(path).u16string()) != DbxOk) {
        return 1;
    }
    const double open = Seconds(start);
    start = Clock::now();
    const std::uint32_t codePage = DetectMailboxCodePage(dbx);
    std::printf("%.6f %.6f %u\n", open, Seconds(start), codePage);
    return 0;
}

int ChildFetch(const std::string& path) {
    CDBXFile dbx;
    if (dbx.Open(std::filesystem::path(path).u16string()) != DbxOk) {
        return 1;
    }
    const auto start = Clock::now();
    std::string text;
    std::size_t total = 0;
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        if (dbx.GetMessageText(entry, text)) {
            total += text.size();
        }
    }
    std::printf("%.6f %zu\n", Seconds(start), total);
    return 0;
}

int ChildSequential(const std::string& path) {
    const auto start = Clock::now();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::size_t total = 0;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0;) {
        total += n;
    }
    std::fclose(f);
    std::printf("%.6f %zu\n", Seconds(start), total);
    return 0;
}

std::vector<double> RunChild(const char* self, const char* mode, const std::string& path, int runs,
                             std::vector<long>* peaks = nullptr) {
    std::vector<double> times;
    const std::string command = std::string("'") + self + "' --child " + mode + " '" + path + "'";
    for (int r = 0; r < runs; ++r) {
        std::FILE* p = popen(command.c_str(), "r");
        double t = 0;
        long peak = 0;
        long before = 0;
        int fields = p ? std::fscanf(p, "%lf %ld %ld", &t, &peak, &before) : 0;
        if (p) {
            pclose(p);
        }
        if (fields >= 1) {
            times.push_back(t);
            if (peaks && fields >= 2) {
                peaks->push_back(peak);
            }
        }
    }
    return times;
}

template <typename T>
T Median(std::vector<T> values) {
    if (values.empty()) {
        return T{};
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Open and detection in the same processes: the detection's share of opening a mailbox.
void DetectionFigures(const char* self, const std::string& path, int runs) {
    const std::string command = std::string("'") + self + "' --child detect '" + path + "'";
    std::vector<double> opens;
    std::vector<double> detections;
    unsigned codePage = 0;
    for (int r = 0; r < runs; ++r) {
        std::FILE* p = popen(command.c_str(), "r");
        double open = 0;
        double detect = 0;
        if (p && std::fscanf(p, "%lf %lf %u", &open, &detect, &codePage) == 3) {
            opens.push_back(open);
            detections.push_back(detect);
        }
        if (p) {
            pclose(p);
        }
    }
    const double open = Median(opens);
    const double detect = Median(detections);
    std::printf(
        "Code page:         %u, detected in median %.4f s after an Open of median %.3f s "
        "(+%.1f%%)\n",
        codePage, detect, open, open > 0 ? 100.0 * detect / open : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        const std::string mode = argv[2];
        if (mode == "open") {
            return ChildOpen(argv[3]);
        }
        if (mode == "fetch") {
            return ChildFetch(argv[3]);
        }
        if (mode == "detect") {
            return ChildDetect(argv[3]);
        }
        return ChildSequential(argv[3]);
    }
    std::uint32_t count = 100000;
    int runs = 5;
    std::string keep;
    Strings strings = Strings::Ascii;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--messages") {
            count = std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
        } else if (arg == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--keep") {
            keep = argv[i + 1];
        } else if (arg == "--strings") {
            const std::string value = argv[i + 1];
            strings = value == "cyrillic"     ? Strings::Cyrillic
                      : value == "undeclared" ? Strings::Undeclared
                                              : Strings::Ascii;
        }
    }
    const std::string path =
        keep.empty() ? (std::filesystem::temp_directory_path() / "quillbox-load-bench.dbx").string()
                     : keep;
    const auto generated = Clock::now();
    if (Generate(path, count, strings) != 0) {
        return 1;
    }
    std::printf("generated %u messages, %ju bytes, in %.2f s\n", count,
                std::uintmax_t(std::filesystem::file_size(path)), Seconds(generated));

    const char* self = "/proc/self/exe";
    char resolved[4096];
    const ssize_t n = readlink(self, resolved, sizeof resolved - 1);
    if (n > 0) {
        resolved[n] = 0;
        self = resolved;
    }
    RunChild(self, "sequential", path, 1);  // warm the page cache
    std::vector<long> peaks;
    const double open = Median(RunChild(self, "open", path, runs, &peaks));
    const double fetch = Median(RunChild(self, "fetch", path, runs));
    const double sequential = Median(RunChild(self, "sequential", path, runs));
    std::printf("Open:              median %.3f s over %d runs, peak RSS %.1f MiB\n", open, runs,
                double(Median(peaks)) / 1024.0);
    std::printf("GetMessageText:    median %.3f s for every message\n", fetch);
    std::printf("Sequential read:   median %.3f s for the whole file (ratio %.2f)\n", sequential,
                sequential > 0 ? fetch / sequential : 0.0);
    DetectionFigures(self, path, runs);
    if (keep.empty()) {
        std::filesystem::remove(path);
    }
    return 0;
}
