#include "cli/cli_commands.h"

#include <cstdio>

#include "cli/cli_output.h"
#include "mailbox/dbx_file.h"
#include "platform/code_page.h"

namespace {

void PrintError(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

// Opens the mailbox as the desktop app would; on failure prints the status text.
bool OpenMailbox(CDBXFile& dbx, const std::string& path) {
    const std::u16string widePath = Utf8ToWide(path);
    const std::int32_t status = dbx.Open(widePath);
    if (status != DbxOk) {
        PrintError(WideToUtf8(GetStatusText(status)));
        return false;
    }
    return true;
}

}  // namespace

int RunList(const ListOptions& options) {
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    if (options.json) {
        PrintJson(stdout, EmailListToJson(dbx.GetEmails(), DbxOk));
    } else {
        PrintEmailTable(stdout, dbx.GetEmails());
    }
    return kExitOk;
}

int RunShow(const ShowOptions& options) {
    if (!options.raw) {
        PrintError("show: only --raw is available: it writes the stored message source.");
        return kExitUsage;
    }
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    const int count = dbx.GetEmails().GetCount();
    if (options.row < 0 || options.row >= count) {
        PrintError("Row " + std::to_string(options.row) + " is out of range: the mailbox has " +
                   std::to_string(count) + (count == 1 ? " email" : " emails") +
                   (count > 0 ? " (rows 0 to " + std::to_string(count - 1) + ")." : "."));
        return kExitFailure;
    }
    std::string text;
    if (!dbx.GetMessageText(dbx.GetEmails().Get(int(options.row)), text)) {
        PrintError("The email in row " + std::to_string(options.row) +
                   " has no stored text, or its text cannot be read.");
        return kExitFailure;
    }
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
        PrintError("Unable to write the message to the standard output.");
        return kExitFailure;
    }
    if (std::fflush(stdout) != 0) {
        PrintError("Unable to write the message to the standard output.");
        return kExitFailure;
    }
    return kExitOk;
}
