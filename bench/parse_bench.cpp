// Parse benchmark: generated messages of mixed shapes through CMimeEmail.
//
//   parse_bench [--messages N] [--runs R] [--attachment-every K]
//
// Each message is parsed with CMimeEmail::Parse, its contents list is built with
// GetContents, and every leaf's decoded content is touched, attachments included. The
// figure is MB/s of raw message text, the median of R runs, next to the MB/s of a plain
// memcpy of the same bytes in the same runs. One message in K (10 by default, none for 0)
// carries base64 attachments of 100 KB to 2 MB; those messages come from a pool of a few
// dozen, so the data stays at some tens of MB however many messages are asked for.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench_messages.h"
#include "mime/mime_code.h"
#include "mime/mime_email.h"
#include "mime/transfer_codec.h"

namespace {

using bench::Clock;
using bench::kAttachmentPool;
using bench::Median;
using bench::Seconds;

struct CRun {
    double m_Parse = 0;
    double m_ParseSmall = 0;
    double m_ParseLarge = 0;
    double m_Copy = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::size_t messages = 10000;
    int runs = 5;
    std::size_t attachmentEvery = 10;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--messages") == 0) {
            messages = std::strtoul(argv[a + 1], nullptr, 10);
        } else if (std::strcmp(argv[a], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[a + 1]));
        } else if (std::strcmp(argv[a], "--attachment-every") == 0) {
            attachmentEvery = std::strtoul(argv[a + 1], nullptr, 10);
        }
    }
    RegisterStandardCodecs();

    std::mt19937 rng(42);
    std::vector<std::string> pool;
    for (std::size_t i = 0; attachmentEvery > 0 && i < kAttachmentPool; ++i) {
        pool.push_back(bench::AttachmentMessage(rng, i));
    }
    std::vector<std::string> small;
    std::vector<std::string_view> order;
    std::vector<bool> large;
    small.reserve(messages);
    for (std::size_t i = 0; i < messages; ++i) {
        if (attachmentEvery > 0 && i % attachmentEvery == attachmentEvery / 2) {
            order.emplace_back(pool[(i / attachmentEvery) % kAttachmentPool]);
            large.push_back(true);
        } else {
            small.push_back(bench::SmallMessage(rng, i));
            order.emplace_back(small.back());
            large.push_back(false);
        }
    }
    std::size_t totalBytes = 0;
    std::size_t smallBytes = 0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        totalBytes += order[i].size();
        smallBytes += large[i] ? 0 : order[i].size();
        largest = std::max(largest, order[i].size());
    }
    std::size_t held = 0;
    for (const auto& s : pool) {
        held += s.size();
    }
    for (const auto& s : small) {
        held += s.size();
    }
    std::printf(
        "%zu messages, %.1f MB of raw text per run (%.1f MB in attachment messages), "
        "%.1f MB held\n",
        order.size(), totalBytes / 1e6, (totalBytes - smallBytes) / 1e6, held / 1e6);

    std::vector<char> copy(largest);
    std::uint64_t check = 0;
    std::vector<CRun> results;
    for (int r = 0; r < runs; ++r) {
        CRun run;
        const auto parseStart = Clock::now();
        for (std::size_t i = 0; i < order.size(); ++i) {
            const auto start = Clock::now();
            CMimeEmail email;
            email.Parse(order[i].data(), std::int32_t(order[i].size()));
            for (const CMimeEmailContent& content : email.GetContents()) {
                check += std::uint64_t(content.GetLength());
            }
            std::vector<const CMimeBody*> leaves;
            email.CollectLeaves(leaves);
            for (const CMimeBody* leaf : leaves) {
                const std::string_view bytes = leaf->GetContent();
                check += bytes.size() + (bytes.empty() ? 0 : std::uint8_t(bytes.back()));
            }
            (large[i] ? run.m_ParseLarge : run.m_ParseSmall) += Seconds(Clock::now() - start);
        }
        run.m_Parse = Seconds(Clock::now() - parseStart);

        const auto copyStart = Clock::now();
        for (const std::string_view text : order) {
            std::memcpy(copy.data(), text.data(), text.size());
            check += std::uint8_t(copy[text.size() / 2]);
        }
        run.m_Copy = Seconds(Clock::now() - copyStart);
        results.push_back(run);
        std::printf("run %d: parse %.3f s, memcpy %.3f s\n", r + 1, run.m_Parse, run.m_Copy);
    }

    auto medianOf = [&](double CRun::*field) {
        std::vector<double> v;
        for (const auto& run : results) {
            v.push_back(run.*field);
        }
        return Median(v);
    };
    const double parse = medianOf(&CRun::m_Parse);
    const double copySeconds = medianOf(&CRun::m_Copy);
    const double parseSmall = medianOf(&CRun::m_ParseSmall);
    const double parseLarge = medianOf(&CRun::m_ParseLarge);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) < 0) {
        load[0] = load[1] = load[2] = -1;
    }
    std::printf("median of %d runs:\n", runs);
    std::printf("  parse + contents + decoded leaves: %8.1f MB/s (%.0f messages/s)\n",
                totalBytes / 1e6 / parse, order.size() / parse);
    if (parseSmall > 0) {
        std::printf("    messages without attachments:   %8.1f MB/s\n",
                    smallBytes / 1e6 / parseSmall);
    }
    if (parseLarge > 0) {
        std::printf("    messages with attachments:      %8.1f MB/s\n",
                    (totalBytes - smallBytes) / 1e6 / parseLarge);
    }
    std::printf("  memcpy of the same bytes:          %8.1f MB/s\n",
                totalBytes / 1e6 / copySeconds);
    std::printf("load average %.2f %.2f %.2f (checksum %llu)\n", load[0], load[1], load[2],
                static_cast<unsigned long long>(check));
    return 0;
}
