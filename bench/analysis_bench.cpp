// Analysis benchmark: the thread scan, the sorts and the duplicate count on generated
// mailboxes held in memory.
//
//   analysis_bench [--runs R] [--sizes N,N,...] [--pairwise-max N]
//
// Each figure is the median of R runs. The mailboxes look like real ones: Outlook-style
// message identifiers, two replies in three answering a recent message (some naming two
// identifiers, some naming a message that is not there), a few stored copies, and a list
// order close to arrival order. For comparison the plain pairwise linking (every entry
// against every other) is timed on the sizes up to --pairwise-max.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/email_sort.h"
#include "analysis/message_thread.h"
#include "analysis/thread_links.h"
#include "mailbox/crc32.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "platform/ui_services.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Progress that shows nothing, so the figures are the analysis alone.
class CQuietProgress final : public IProgress {
public:
    void SetRange(int, int, int) override {}
    bool Begin(std::u16string_view, bool) override { return true; }
    int SetPosition(int position) override { return std::exchange(m_nPosition, position); }
    void SetStatusText(std::u16string_view) override {}
    void PumpMessages(bool) override {}
    [[nodiscard]] bool IsCancelled() const override { return false; }
    void ClearProgress() override { m_nPosition = 0; }

private:
    int m_nPosition = 0;
};

class CQuietUi final : public IUiServices {
public:
    MsgAnswer MessageBox(std::u16string_view, std::u16string_view, MsgIcon, MsgButtons) override {
        ++boxes;
        return MsgAnswer::Ok;
    }
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view, bool) override {
        return std::make_unique<CQuietProgress>();
    }
    int boxes = 0;
};

std::string Hex(std::mt19937& rng, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s(std::size_t(digits), '0');
    for (char& c : s) {
        c = kDigits[rng() % 16];
    }
    return s;
}

void SetMessageId(CEmailDBX& e, std::string id) {
    e.m_MessageId = std::move(id);
    e.m_bHasMessageId = true;
    e.m_nMessageIdCrc = Crc32(e.m_MessageId);
}

void Generate(CEmailArray& emails, std::uint32_t n, std::uint32_t seed) {
    static const char* kNames[] = {"Alice Martin", "bob stone", "Carol Nguyen", "Dana Whitfield",
                                   "Erik Larsen",  "",          "Frank Oduya",  "grace Ho"};
    static const char* kTopics[] = {"Weekly report", "Lunch on Friday", "Installer for 2.1",
                                    "Invoice",       "Photos",          "Disk almost full"};
    std::mt19937 rng(seed);
    std::vector<std::unique_ptr<CEmailDBX>> made;
    made.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        auto e = std::make_unique<CEmailDBX>();
        e->m_Id = std::int32_t(i + 1);
        const CEmailDBX* copyOf =
            (i > 10 && rng() % 100 == 0) ? made[i - 1 - rng() % 10].get() : nullptr;
        if (copyOf != nullptr) {
            SetMessageId(*e, copyOf->m_MessageId);
            e->m_InReplyTo = copyOf->m_InReplyTo;
        } else if (rng() % 50 != 0) {
            // "<000a01c8ff12$3b5c2d40$6401a8c0@pc-name>", the Outlook Express form.
            SetMessageId(*e, "<" + Hex(rng, 12) + "$" + Hex(rng, 8) + "$" + Hex(rng, 8) + "@pc-" +
                                 std::to_string(rng() % 500) + ">");
            const std::uint32_t kind = rng() % 30;
            if (i > 0 && kind < 20) {
                // Replies answer something recent: threads live for days, not years.
                const std::uint32_t back = 1 + rng() % std::min<std::uint32_t>(i, 300);
                const CEmailDBX& parent = *made[i - back];
                e->m_InReplyTo = parent.m_MessageId;
                if (kind == 0 && back < i) {  // an older message named as well
                    e->m_InReplyTo = made[i - back - 1]->m_MessageId + " " + e->m_InReplyTo;
                }
            } else if (kind < 22) {
                e->m_InReplyTo = "<" + Hex(rng, 16) + "@gone.example.org>";
            }
        }
        e->m_nInReplyToCrc = Crc32(e->m_InReplyTo);
        std::string subject = kTopics[rng() % 6];
        if (!e->m_InReplyTo.empty()) {
            subject = "Re: " + subject;
        }
        e->m_Subject.SetGrowBy(1);
        e->m_Subject.SetText(subject + " " + std::to_string(rng() % 1000));
        e->m_SenderName = kNames[rng() % 8];
        e->m_bHasSenderName = rng() % 20 != 0;
        e->m_RecipientName = kNames[rng() % 8];
        e->m_bHasRecipientName = rng() % 20 != 0;
        e->m_bHasAttachment = rng() % 7 == 0;
        e->m_bFlag0020 = rng() % 11 == 0;
        e->m_nPriority = (rng() % 10 == 0) ? 1 : 3;
        e->m_SentTime = 128700000000000000ull + std::uint64_t(i) * 600000000ull + rng() % 1000;
        e->m_ReceivedTime = e->m_SentTime + 1200000000ull + rng() % 100000;
        e->m_nLines = 5 + rng() % 400;
        made.push_back(std::move(e));
    }
    // Arrival order, with a little disorder from folders being merged.
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
        if (rng() % 20 == 0) {
            std::swap(made[i], made[i + 1 + rng() % std::min<std::uint32_t>(n - i - 1, 50)]);
        }
    }
    for (auto& e : made) {
        emails.Append(std::move(e));
    }
}

// The linking as first described: every entry against every other, the identifier
// presence tested through its CRC, the last match winning.
std::size_t PairwiseLinks(const CEmailArray& emails) {
    const std::int32_t n = emails.GetCount();
    std::size_t linked = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const CEmailDBX* e = emails.Get(i);
        if (e->m_nInReplyToCrc == 0) {
            continue;
        }
        std::int32_t parent = -1;
        for (std::int32_t j = 0; j < n; ++j) {
            const CEmailDBX* c = emails.Get(j);
            if (j != i && c->m_nMessageIdCrc != 0 &&
                std::strstr(e->m_InReplyTo.c_str(), c->m_MessageId.c_str()) != nullptr) {
                parent = j;
            }
        }
        linked += parent >= 0 ? 1 : 0;
    }
    return linked;
}

std::vector<std::uint32_t> ParseSizes(const char* text) {
    std::vector<std::uint32_t> sizes;
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        sizes.push_back(std::uint32_t(std::strtoul(p, &end, 10)));
        p = (*end == ',') ? end + 1 : end;
        if (end == p && *p != '\0') {
            break;
        }
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 7;
    std::vector<std::uint32_t> sizes = {1000, 10000, 100000};
    std::uint32_t pairwiseMax = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--runs") {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (arg == "--sizes") {
            sizes = ParseSizes(argv[i + 1]);
        } else if (arg == "--pairwise-max") {
            pairwiseMax = std::uint32_t(std::strtoul(argv[i + 1], nullptr, 10));
        }
    }

    std::printf("ScanThreads (median of %d runs)\n", runs);
    std::printf("%10s %10s %9s %9s %15s %10s %11s\n", "entries", "scan s", "threads", "largest",
                "growth", "linking s", "pairwise s");
    double previous = 0;
    std::uint32_t previousSize = 0;
    for (const std::uint32_t n : sizes) {
        CEmailArray emails(true, 2000, 2000);
        Generate(emails, n, 42 + n);
        CQuietUi ui;
        std::vector<double> scans;
        std::vector<double> links;
        std::uint32_t threads = 0;
        std::int32_t largest = 0;
        for (int r = 0; r < runs; ++r) {
            auto start = Clock::now();
            std::vector<CMessageThread> array(n);
            threads = ScanThreads(emails, array, ui);
            scans.push_back(Seconds(start));
            for (const CMessageThread& thread : array) {
                largest = std::max(largest, thread.m_ThreadEmails.GetCount());
            }
            start = Clock::now();
            const std::vector<std::int32_t> parents = FindThreadParents(emails);
            links.push_back(Seconds(start));
            if (parents.size() != n) {
                return 1;
            }
        }
        const double scan = Median(scans);
        char growth[64] = "-";
        if (previousSize != 0 && previous > 0) {
            std::snprintf(growth, sizeof growth, "x%.1f for x%.0f", scan / previous,
                          double(n) / previousSize);
        }
        char pairwise[32] = "-";
        if (n <= pairwiseMax) {
            const auto start = Clock::now();
            (void)PairwiseLinks(emails);
            std::snprintf(pairwise, sizeof pairwise, "%.3f", Seconds(start));
        }
        std::printf("%10u %10.4f %9u %9d %15s %10.4f %11s\n", n, scan, threads, largest, growth,
                    Median(links), pairwise);
        previous = scan;
        previousSize = n;
    }

    const std::uint32_t sortSize =
        sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
    CEmailArray emails(true, 2000, 2000);
    Generate(emails, sortSize, 7);
    std::vector<CEmailDBX*> start(emails.Items().begin(), emails.Items().end());
    static const char* kModes[] = {"ID",       "A",    "P",  "F",     "Subject",  "Sent",
                                   "Received", "From", "To", "Lines", "MessageId"};
    std::printf(
        "\nSortEmails on %u entries, ascending, from the same arrival order (median of %d)\n",
        sortSize, runs);
    for (std::int32_t mode = 0; mode < kSortModeCount; ++mode) {
        std::vector<double> times;
        double first = 0;
        for (int r = 0; r < runs; ++r) {
            std::copy(start.begin(), start.end(), emails.Items().begin());
            const auto t = Clock::now();
            SortEmails(emails, mode, true);
            times.push_back(Seconds(t));
            if (r == 0) {
                first = times.back();
            }
        }
        std::printf("%10s %10.4f s", kModes[mode], Median(times));
        if (mode == SortBySubject) {
            std::printf("   (first run, turning the subjects wide: %.4f s)", first);
        }
        std::printf("\n");
    }

    std::vector<double> counts;
    CQuietUi ui;
    std::uint32_t duplicates = 0;
    for (int r = 0; r < runs; ++r) {
        const auto t = Clock::now();
        duplicates = CountDuplicateEmails(emails, ui);
        counts.push_back(Seconds(t));
    }
    std::printf("\nCountDuplicateEmails on %u entries: %.4f s (%u duplicates)\n", sortSize,
                Median(counts), duplicates);
    std::printf("peak resident memory: %ld KiB\n", PeakRssKiB());
    return 0;
}
