// Quick filter benchmark over a generated mailbox (default 100,000 messages).
//
//   filter_bench [--messages N] [--runs R] [--keep PATH]
//
// Measures, each as the median of R runs, in wall-clock and CPU time: building the folded
// keys once after a load; one keystroke, i.e. matching the list against each prefix of a
// typed word in turn (the slowest prefix is reported), next to the naive way of folding
// every entry's fields again on each keystroke; and the body search of every message, next
// to just reading every message's text (the floor any body search stands on).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/quick_filter.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_writer.h"
#include "dbxwriter/sample_names.h"
#include "mailbox/dbx_file.h"
#include "mime/message_page.h"
#include "mime/transfer_codec.h"
#include "platform/code_page.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wall-clock and process CPU time: on a shared machine the CPU time says what the code costs.
struct Timing {
    double wall = 0;
    double cpu = 0;
};

double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

class Stopwatch {
public:
    [[nodiscard]] Timing Elapsed() const {
        return {std::chrono::duration<double>(Clock::now() - m_Wall).count(), CpuNow() - m_Cpu};
    }

private:
    Clock::time_point m_Wall = Clock::now();
    double m_Cpu = CpuNow();
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* what, const std::vector<Timing>& runs, const char* note) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (const Timing& t : runs) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::printf("%-36s wall %9.1f ms   cpu %9.1f ms   %s\n", what, Median(wall) * 1e3,
                Median(cpu) * 1e3, note);
}

std::string LoadAverage() {
    std::string text;
    if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, f) != nullptr) {
            text = line;
        }
        std::fclose(f);
    }
    return text.empty() ? "?\n" : text;
}

const char* const kTopic[] = {"Invoice",
                              "Meeting notes",
                              "R\xE9union de jeudi",
                              "Pipe leak",
                              "Holiday",
                              "Gr\xFC\xDF"
                              "e aus Z\xFCrich",
                              "Report",
                              "Question",
                              "Photos",
                              "Caf\xE9 order"};

std::string MakeText(std::mt19937& rng, std::uint32_t i, const std::string& subject) {
    std::string text =
        "Subject: " + subject + "\r\nMessage-ID: <" + std::to_string(i) + "@example.com>\r\n";
    std::uniform_int_distribution<int> lines(5, 60);
    const int n = lines(rng);
    if (i % 4 == 0) {
        text += "Content-Type: text/html; charset=iso-8859-1\r\n\r\n<html><body>";
        for (int l = 0; l < n; ++l) {
            text += "<p>Line " + std::to_string(l) +
                    " of the <b>weekly</b> report, caf&eacute; &amp; numbers.</p>\r\n";
        }
        text += "</body></html>\r\n";
    } else {
        text += "Content-Type: text/plain; charset=iso-8859-1\r\n\r\n";
        for (int l = 0; l < n; ++l) {
            text += "Line " + std::to_string(l) + " of the weekly report, with the numbers.\r\n";
        }
    }
    if (i % 1000 == 7) {
        text += "The plumber came on Tuesday.\r\n";  // a rare word for the body search
    }
    return text;
}

bool Generate(const std::string& path, std::uint32_t count) {
    std::mt19937 rng(7);
    const dbxw::Builder builder = dbxw::SimpleMailboxBuilder(count, [&](std::size_t k) {
        const auto i = std::uint32_t(k);
        dbxw::Message m;
        m.id = i + 1;
        const std::string subject = std::string(kTopic[i % 10]) + " " + std::to_string(i);
        m.subject = subject;
        m.senderName = dbxw::SampleName(i, i / 10);
        m.senderAddress = "user" + std::to_string(i % 997) + "@example.com";
        m.recipientName = dbxw::SampleName(i / 7, i / 3);
        m.recipientAddress = "team" + std::to_string(i % 13) + "@example.org";
        m.text = MakeText(rng, i, subject);
        return m;
    });
    return builder.Build().WriteTo(path);
}

// What a filter without precomputed keys does on every keystroke.
std::size_t NaiveMatch(CEmailArray& emails, const std::u16string& word, unsigned codePage) {
    std::size_t hits = 0;
    std::u16string text;
    for (std::int32_t row = 0; row < emails.GetCount(); ++row) {
        CEmailDBX* e = emails.Get(row);
        text.clear();
        for (const std::string* field :
             {&e->m_SenderName, &e->m_SenderAddress, &e->m_RecipientName, &e->m_RecipientAddress}) {
            std::u16string wide;
            (void)MultiByteToWideString(codePage, *field, wide);
            text += FoldForSearch(wide) + u'\x01';
        }
        std::u16string subject;
        (void)MultiByteToWideString(codePage, e->m_Subject.GetTextView(), subject);
        text += FoldForSearch(subject);
        hits += text.find(word) != std::u16string::npos ? 1 : 0;
    }
    return hits;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t count = 100000;
    int runs = 5;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--messages") {
            count = std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
        } else if (arg == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--keep") {
            keep = argv[i + 1];
        }
    }
    RegisterStandardCodecs();
    const std::string path =
        keep.empty() ? (std::filesystem::temp_directory_path() / "filter_bench.dbx").string()
                     : keep;
    if (!std::filesystem::exists(path) && !Generate(path, count)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    CDBXFile dbx;
    if (dbx.Open(Utf8ToWide(path)) != DbxOk) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    CEmailArray& emails = dbx.GetEmails();
    std::printf("mailbox: %d messages, %.1f MB; %d runs, medians; load average before: %s",
                emails.GetCount(), double(std::filesystem::file_size(path)) / 1e6, runs,
                LoadAverage().c_str());

    std::vector<Timing> build;
    CQuickFilter filter;
    for (int r = 0; r < runs; ++r) {
        const Stopwatch t;
        filter.Build(emails, dbx.GetCodePage());
        build.push_back(t.Elapsed());
    }
    Report("build keys once", build, "");

    // Typed one key at a time, as the field sends it: each prefix extends the last query.
    const std::u16string typed = u"PLUMBER";
    std::vector<Timing> keystroke;
    std::vector<Timing> firstKey;
    std::vector<Timing> naive;
    std::size_t matched = 0;
    for (int r = 0; r < runs; ++r) {
        filter.Build(emails, dbx.GetCodePage());  // nothing left of the last run
        Timing slowest;
        for (std::size_t n = 1; n <= typed.size(); ++n) {
            const Stopwatch t;
            matched = filter.Match(typed.substr(0, n)).size();
            const Timing one = t.Elapsed();
            if (n == 1) {
                firstKey.push_back(one);
            }
            slowest = one.wall > slowest.wall ? one : slowest;
        }
        keystroke.push_back(slowest);
        const Stopwatch t;
        (void)NaiveMatch(emails, FoldForSearch(typed), dbx.GetCodePage());
        naive.push_back(t.Elapsed());
    }
    char note[64];
    std::snprintf(note, sizeof note, "[%zu rows match \"plumber\"]", matched);
    Report("keystroke, slowest of P..PLUMBER", keystroke, note);
    Report("  of which the first key, P", firstKey, "");
    Report("  baseline, fold every entry", naive, "");
    std::vector<Timing> twoWords;
    for (int r = 0; r < runs; ++r) {
        (void)filter.Match(u"x");  // a query that \"rene reunion\" does not extend
        const Stopwatch t;
        matched = filter.Match(u"rene reunion").size();
        twoWords.push_back(t.Elapsed());
    }
    std::snprintf(note, sizeof note, "[%zu rows]", matched);
    Report("two words \"rene reunion\" at once", twoWords, note);

    bench::CQuietUi ui;
    std::vector<Timing> body;
    std::vector<Timing> readOnly;
    std::vector<std::int32_t> rows;
    std::string raw;
    for (int r = 0; r < runs; ++r) {
        Stopwatch t;
        (void)filter.MatchWithBodies(dbx, u"tuesday plumber", dbx.GetCodePage(), ui, rows);
        body.push_back(t.Elapsed());
        t = Stopwatch();
        std::size_t bytes = 0;
        for (std::int32_t row = 0; row < emails.GetCount(); ++row) {
            if (dbx.GetMessageText(emails.Get(row), raw)) {
                bytes += raw.size();
            }
        }
        readOnly.push_back(t.Elapsed());
        if (bytes == 0) {
            return 1;
        }
    }
    std::snprintf(note, sizeof note, "[%zu rows]", rows.size());
    Report("body search \"tuesday plumber\"", body, note);
    Report("  baseline, read every text", readOnly, "");
    std::printf("load average after: %s", LoadAverage().c_str());
    if (keep.empty()) {
        std::filesystem::remove(path);
    }
    return 0;
}
