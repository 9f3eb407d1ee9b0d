// mkdbx OUT.dbx MSG.eml...: builds an Outlook Express mailbox holding the messages, in the
// order given, with the record fields Outlook Express would have taken from their headers.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "dbxwriter/dbx_writer.h"
#include "eml_message.h"
#include "platform/code_page.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintUsage(std::ostream& out) {
    out << "usage: mkdbx [--codepage N] OUT.dbx [MSG.eml...]\n"
           "Builds a DBX mailbox holding the messages, with ids 1..N in the order given.\n"
           "Subjects and names are stored in the ANSI code page N (default 1252), as a\n"
           "Windows of that code page stored them.\n";
}

bool ReadFile(const std::string& path, std::string& content, std::string& reason) {
    // A stdio stream, because its error flag tells a failed read (a folder, say) from an
    // empty file.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
    if (!in) {
        reason = std::strerror(errno);
        return false;
    }
    content.clear();
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        content.append(buffer, n);
    }
    if (std::ferror(in.get())) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        PrintUsage(std::cout);
        return kExitOk;
    }
    std::uint32_t codePage = kDefaultMailboxCodePage;
    if (!args.empty() && args[0] == "--codepage") {
        unsigned long value = 0;
        try {
            std::size_t used = 0;
            value = args.size() > 1 ? std::stoul(args[1], &used) : 0;
            value = args.size() > 1 && used == args[1].size() ? value : 0;
        } catch (const std::exception&) {
        }
        if (!IsAnsiCodePage(std::uint32_t(value))) {
            std::cerr << "mkdbx: --codepage takes an ANSI code page (874, 932, 936, 949, 950, "
                         "1250 to 1258)\n";
            return kExitUsage;
        }
        codePage = std::uint32_t(value);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0].empty()) {
        PrintUsage(std::cerr);
        return kExitUsage;
    }
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            std::cerr << "mkdbx: unknown option '" << a << "'\n";
            PrintUsage(std::cerr);
            return kExitUsage;
        }
    }

    std::vector<dbxw::Message> messages;
    messages.reserve(args.size() - 1);
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string raw;
        std::string reason;
        if (!ReadFile(args[i], raw, reason)) {
            std::cerr << "mkdbx: cannot read '" << args[i] << "': " << reason << "\n";
            return kExitFailure;
        }
        messages.push_back(mkdbx::MessageFromEml(raw, codePage));
    }

    const dbxw::Image image = dbxw::BuildSimpleMailbox(messages);
    if (!image.WriteTo(args[0])) {
        std::cerr << "mkdbx: cannot write '" << args[0] << "': " << std::strerror(errno) << "\n";
        return kExitFailure;
    }
    return kExitOk;
}
