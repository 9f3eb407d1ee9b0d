// quillbox-cli's `list` over a large mailbox, as a table and as JSON, each run in a process
// of its own so that its peak memory is its own:
//
//   cli_list_bench [--messages N] [--runs R] [--cli PATH] [--keep FILE]
//
// The mailbox (N messages, 100,000 by default) is built by the DBX writer in a scratch
// folder. The two forms alternate R times (3 by default); the output goes to /dev/null.
// Printed: the load average before and after, and for each form the median, lowest and
// highest wall time and peak resident memory. --cli measures another build of the program;
// --keep writes the mailbox to FILE and leaves it there, for a profiler.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    double seconds = 0;
    double peakMiB = 0;
};

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Message i with the fields a list shows filled as an ordinary mailbox fills them.
dbxw::Message MakeMessage(std::size_t i) {
    dbxw::Message m;
    m.messageId = "<" + std::to_string(i) + ".list@bench.example>";
    if (i % 3 == 2) {
        m.inReplyTo = "<" + std::to_string(i - 1) + ".list@bench.example>";
    }
    m.subject = (i % 3 == 2 ? "Re: " : "") + std::string("Quarterly figures for the region ") +
                std::to_string(i % 97) + " (caf\xE9 \x80 " + std::to_string(i) + ")";
    m.senderName = "Sender N\xE4me " + std::to_string(i % 211);
    m.senderAddress = "sender" + std::to_string(i % 211) + "@bench.example";
    m.recipientName = "Archive";
    m.recipientAddress = "archive@bench.example";
    m.sent = dbxw::FileTimeFromUtc(2004, 1, 1) + std::uint64_t(i) * 60 * dbxw::kTicksPerSecond;
    m.received = *m.sent + 90 * dbxw::kTicksPerSecond;
    m.priority = i % 50 == 0 ? 1 : 3;
    m.flags = i % 7 == 0 ? dbxw::kFlagAttachment : 0;
    m.lines = std::uint32_t(5 + i % 40);
    m.text = "Subject: " + *m.subject + "\r\n\r\nText.\r\n";
    return m;
}

bool Run(const std::string& cli, const std::string& mailbox, bool json, Sample& sample) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        if (json) {
            execl(cli.c_str(), cli.c_str(), "list", mailbox.c_str(), "--json", nullptr);
        } else {
            execl(cli.c_str(), cli.c_str(), "list", mailbox.c_str(), nullptr);
        }
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return false;
    }
    sample.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sample.peakMiB = double(usage.ru_maxrss) / 1024.0;
    return true;
}

void Report(const char* name, std::vector<Sample> samples) {
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    std::vector<double> seconds, peaks;
    for (const Sample& s : samples) {
        seconds.push_back(s.seconds);
        peaks.push_back(s.peakMiB);
    }
    std::printf("%-6s median %.3f s (%.3f..%.3f), peak %.1f MiB (%.1f..%.1f)\n", name,
                median(seconds), *std::min_element(seconds.begin(), seconds.end()),
                *std::max_element(seconds.begin(), seconds.end()), median(peaks),
                *std::min_element(peaks.begin(), peaks.end()),
                *std::max_element(peaks.begin(), peaks.end()));
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t messages = 100000;
    int runs = 3;
    std::string cli = QUILLBOX_CLI;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--messages") == 0) {
            messages = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--cli") == 0) {
            cli = argv[i + 1];
        } else if (std::strcmp(argv[i], "--keep") == 0) {
            keep = argv[i + 1];
        } else {
            std::fprintf(
                stderr,
                "usage: cli_list_bench [--messages N] [--runs R] [--cli PATH] [--keep FILE]\n");
            return 2;
        }
    }
    dbxw::TempDir temp;
    const std::string mailbox = keep.empty() ? temp.Path("list.dbx").string() : keep;
    // Built in a process of its own: a child's peak memory counts what it inherits, and
    // this one would inherit the writer's.
    const pid_t writer = fork();
    if (writer == 0) {
        _exit(dbxw::SimpleMailboxBuilder(messages, MakeMessage).Build().WriteTo(mailbox) ? 0 : 1);
    }
    int written = 1;
    if (writer < 0 || waitpid(writer, &written, 0) != writer || !WIFEXITED(written) ||
        WEXITSTATUS(written) != 0) {
        std::fprintf(stderr, "cannot write %s\n", mailbox.c_str());
        return 1;
    }
    std::printf("%zu messages, %s, load before %s\n", messages, cli.c_str(), LoadAverage().c_str());
    std::vector<Sample> table, json;
    for (int r = 0; r < runs; ++r) {
        Sample t, j;
        if (!Run(cli, mailbox, false, t) || !Run(cli, mailbox, true, j)) {
            std::fprintf(stderr, "quillbox-cli list failed\n");
            return 1;
        }
        table.push_back(t);
        json.push_back(j);
    }
    Report("table", table);
    Report("json", json);
    std::printf("load after %s\n", LoadAverage().c_str());
    return 0;
}
