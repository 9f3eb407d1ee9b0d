// Worst cases a crafted file can set up, each timed at sizes n, 2n and 4n: a step whose
// time grows about twice per doubling is linear, four times is quadratic.
//
//   worst_case_bench [--scale K]   (sizes are multiplied by K, default 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/thread_links.h"
#include "bench_ui.h"
#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/crc32.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_array.h"
#include "mime/encoded_word.h"
#include "mime/mime_email.h"
#include "mime/tag_strip.h"
#include "mime/transfer_codec.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Time(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

dbxw::TempDir& Scratch() {
    static dbxw::TempDir dir;
    return dir;
}

// Writes the image and times Open, then fetching every entry's text.
double LoadAndFetch(const dbxw::Image& image) {
    const fs::path path = Scratch().Path("case.dbx");
    if (!image.WriteTo(path))
        std::abort();
    return Time([&] {
        CDBXFile dbx;
        if (dbx.Open(path.u16string()) != DbxOk)
            return;
        std::string text;
        for (const CEmailDBX* entry : dbx.GetEmails().Items())
            (void)dbx.GetMessageText(entry, text);
    });
}

double ParseAll(const std::string& text) {
    return Time([&] {
        CMimeEmail email;
        email.Parse(text.data(), std::int32_t(text.size()));
        (void)email.GetContents();
        email.StripDocumentTags();
    });
}

// An owning list of entries with the given identifiers and In-Reply-To texts.
struct Entries {
    CEmailArray list{true, 1000, 1000};
    void Add(const std::string& id, const std::string& reply) {
        auto e = std::make_unique<CEmailDBX>();
        e->m_Id = list.GetCount() + 1;
        e->m_MessageId = id;
        e->m_bHasMessageId = true;
        e->m_nMessageIdCrc = Crc32(id);
        e->m_InReplyTo = reply;
        e->m_nInReplyToCrc = Crc32(reply);
        list.Append(std::move(e));
    }
};

struct Case {
    const char* name;
    std::size_t n;
    std::function<double(std::size_t)> run;
};

}  // namespace

int main(int argc, char** argv) {
    std::size_t scale = 1;
    if (argc == 3 && std::strcmp(argv[1], "--scale") == 0)
        scale = std::strtoul(argv[2], nullptr, 10);
    RegisterStandardCodecs();

    const std::vector<Case> cases = {
        {"tree: a chain of n nodes", 50'000,
         [](std::size_t n) { return LoadAndFetch(dbxw::DeepChainBuilder(n).Build()); }},
        {"tree: n nodes all naming one child", 20'000,
         [](std::size_t n) {
             dbxw::Builder b = dbxw::DeepChainBuilder(n);
             const dbxw::NodeRef shared = b.AddNode();
             for (std::size_t i = 0; i < b.NodeCount() - 1; ++i) {
                 b.GetNode(dbxw::NodeRef(i)).entries.push_back({.child = shared});
             }
             return LoadAndFetch(b.Build());
         }},
        {"text: a chain of n blocks looping back to its start", 100'000,
         [](std::size_t n) {
             dbxw::Builder b;
             dbxw::Text text{std::string(n * 512, 'x')};
             text.faults.push_back({.block = n - 1, .nextBlock = 0});
             dbxw::Record r;
             r.Add(dbxw::Attribute::Direct(dbxw::kAttrId, 1))
                 .Add(dbxw::Attribute::Direct(dbxw::kAttrFlags, dbxw::kFlagHasText));
             r.text = b.AddText(std::move(text));
             dbxw::Node node;
             node.entries.push_back({.record = b.AddRecord(std::move(r))});
             b.root = b.AddNode(std::move(node));
             return LoadAndFetch(b.Build());
         }},
        {"message: n empty parts", 50'000,
         [](std::size_t n) {
             std::string t = "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n";
             for (std::size_t i = 0; i < n; ++i)
                 t += "--b\r\n\r\n";
             return ParseAll(t + "--b--\r\n");
         }},
        {"message: n header fields", 100'000,
         [](std::size_t n) {
             std::string t;
             for (std::size_t i = 0; i < n; ++i)
                 t += "X-F" + std::to_string(i) + ": v\r\n";
             return ParseAll(t + "\r\nbody\r\n");
         }},
        {"message: n nested multiparts", 20'000,
         [](std::size_t n) {
             std::string t;
             for (std::size_t i = 0; i < n; ++i) {
                 t += "Content-Type: multipart/mixed; boundary=\"b" + std::to_string(i) +
                      "\"\r\n\r\n--b" + std::to_string(i) + "\r\n";
             }
             return ParseAll(t + "\r\nx\r\n");
         }},
        {"message: n unterminated tags", 200'000,
         [](std::size_t n) {
             std::string t = "Content-Type: text/html\r\n\r\n";
             for (std::size_t i = 0; i < n; ++i)
                 t += "<html <body ";
             return ParseAll(t);
         }},
        {"field: n encoded words", 100'000,
         [](std::size_t n) {
             std::string v;
             for (std::size_t i = 0; i < n; ++i)
                 v += "=?utf-8?Q?a=C3=A9?= ";
             return Time([&] { (void)DecodeEncodedWords(v); });
         }},
        {"threads: ids nested in each other, n entries", 1'000,
         [](std::size_t n) {
             Entries e;
             const std::string reply(n, 'a');
             for (std::size_t i = 1; i <= n; ++i)
                 e.Add(std::string(i, 'a'), reply);
             return Time([&] { (void)FindThreadParents(e.list); });
         }},
        {"duplicates: n entries of one identifier", 200'000,
         [](std::size_t n) {
             Entries e;
             for (std::size_t i = 0; i < n; ++i)
                 e.Add("<same@x>", "");
             bench::CQuietUi ui;
             return Time([&] { (void)CountDuplicateEmails(e.list, ui); });
         }},
    };

    std::printf("%-52s %10s %10s %10s %8s\n", "case", "n", "2n", "4n", "4n/2n");
    for (const Case& c : cases) {
        const std::size_t n = c.n * scale;
        double t[3];
        for (int k = 0; k < 3; ++k)
            t[k] = c.run(n << k);
        std::printf("%-52s %9.3fs %9.3fs %9.3fs %8.2f   (n = %zu)\n", c.name, t[0], t[1], t[2],
                    t[1] > 0 ? t[2] / t[1] : 0.0, n);
        std::fflush(stdout);
    }
    return 0;
}
