// make_dbx_seeds OUTDIR MSG...: writes the seed mailboxes of the DBX reader target: each
// message alone, all of them together, and a few files with the faults the reader must
// survive (a text chain that loops, short blocks, a deep tree, a lying record header).

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbxwriter/dbx_writer.h"

namespace fs = std::filesystem;

namespace {

bool Write(const fs::path& folder, const std::string& name, const dbxw::Image& image) {
    if (!image.WriteTo(folder / name)) {
        std::fprintf(stderr, "make_dbx_seeds: cannot write %s\n", (folder / name).c_str());
        return false;
    }
    return true;
}

dbxw::Message MessageOf(const std::string& text, std::size_t i) {
    dbxw::Message m;
    m.subject = "Seed " + std::to_string(i);
    m.senderName = "Seed Sender";
    m.senderAddress = "seed@korvane.example";
    m.sent = dbxw::FileTimeFromUtc(2009, 4, 14, 12, 0, 0);
    m.text = text;
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_dbx_seeds OUTDIR MSG...\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::error_code error;
    fs::create_directories(out, error);

    std::vector<dbxw::Message> messages;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "make_dbx_seeds: cannot read %s\n", argv[i]);
            return 1;
        }
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        messages.push_back(MessageOf(text, messages.size() + 1));
    }

    bool ok = true;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        ok &= Write(out, "one-" + std::to_string(i + 1) + ".dbx",
                    dbxw::BuildSimpleMailbox({messages[i]}));
    }
    ok &= Write(out, "all.dbx", dbxw::BuildSimpleMailbox(messages));

    // Text chains of 100-byte blocks, the first of which leads back to itself.
    dbxw::Builder shortBlocks = dbxw::SimpleMailboxBuilder(messages);
    for (std::size_t t = 0; t < messages.size(); ++t) {
        shortBlocks.GetText(dbxw::TextRef(t)).bytesPerBlock = 100;
    }
    ok &= Write(out, "short-blocks.dbx", shortBlocks.Build());
    shortBlocks.GetText(0).faults.push_back({.block = 0, .nextBlock = 0});
    ok &= Write(out, "chain-loop.dbx", shortBlocks.Build());

    ok &= Write(out, "deep.dbx", dbxw::DeepChainBuilder(40).Build());

    dbxw::Builder lying = dbxw::SimpleMailboxBuilder({messages.front()});
    lying.GetRecord(0).bodyLength = 0x7FFFFFF0;
    lying.GetRecord(0).slotCount = 200;
    ok &= Write(out, "lying-record.dbx", lying.Build());

    // Freed blocks for the rescue scan: every other message deleted, one chain unlisted.
    dbxw::Builder deleted = dbxw::SimpleMailboxBuilder(messages);
    for (std::size_t r = 0; r < deleted.RecordCount(); r += 2) {
        deleted.DeleteMessage(dbxw::RecordRef(r));
    }
    dbxw::Image rescue = deleted.Build();
    if (deleted.RecordCount() > 1) {
        rescue.Wipe(rescue.RecordOffset(1), 12);
    }
    ok &= Write(out, "deleted.dbx", rescue);
    rescue.CutStart(1024);
    ok &= Write(out, "cut-start.dbx", rescue);
    return ok ? 0 : 1;
}
