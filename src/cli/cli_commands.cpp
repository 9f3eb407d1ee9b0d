#include "cli/cli_commands.h"

#include <cstdio>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/email_sort.h"
#include "analysis/message_thread.h"
#include "cli/cli_output.h"
#include "cli/cli_ui_services.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mime/charset_scan.h"
#include "mime/viewer_text.h"
#include "platform/code_page.h"

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

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

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

// "COLUMN[:desc]" with the column's heading in any case; false when it names no column.
bool ParseSortOption(const std::string& option, std::int32_t& column, bool& descending) {
    std::string_view name = option;
    descending = false;
    if (const std::size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        if (!EqualNoCase(name.substr(colon + 1), "desc")) {
            return false;
        }
        descending = true;
        name = name.substr(0, colon);
    }
    for (std::int32_t c = 0; c < kEmailColumnCount; ++c) {
        if (EqualNoCase(name, WideToUtf8(kEmailColumns[std::size_t(c)].heading))) {
            column = c;
            return true;
        }
    }
    return false;
}

}  // namespace

int RunList(const ListOptions& options) {
    std::int32_t column = -1;
    bool descending = false;
    if (!options.sort.empty() && !ParseSortOption(options.sort, column, descending)) {
        PrintError(
            "list: --sort takes a column heading (ID, A, P, F, Subject, Sent, Received, "
            "From, To or Lines), optionally followed by :desc; not \"" +
            options.sort + "\".");
        return kExitUsage;
    }
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    if (column >= 0) {
        // As the header clicks would leave the list after start-up: the second click on
        // the same column reverses the order.
        CEmailSortState sortState;
        sortState.OnSortColumn(column, dbx.GetEmails());
        if (descending) {
            sortState.OnSortColumn(column, dbx.GetEmails());
        }
    }
    if (options.json) {
        PrintJson(stdout, EmailListToJson(dbx.GetEmails(), DbxOk));
    } else {
        PrintEmailTable(stdout, dbx.GetEmails());
    }
    return kExitOk;
}

int RunThreads(const ThreadsOptions& options) {
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    CCliUi ui;
    CEmailArray& emails = dbx.GetEmails();
    if (!options.json) {
        CTextOutputUi output(std::cout, ui);
        (void)CountThreads(emails, output);
        return kExitOk;
    }
    const std::int32_t n = emails.GetCount();
    std::vector<CMessageThread> threads(std::size_t(n > 0 ? n : 0));
    const std::uint32_t count = ScanThreads(emails, threads, ui);
    std::unordered_map<const CEmailDBX*, std::int32_t> rows;
    for (std::int32_t r = 0; r < n; ++r) {
        rows.emplace(emails.Get(r), r);
    }
    nlohmann::ordered_json members = nlohmann::ordered_json::array();
    for (std::uint32_t t = 0; t < count && t < threads.size(); ++t) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CEmailDBX* e : threads[t].m_ThreadEmails.Items()) {
            list.push_back(rows.at(e));
        }
        members.push_back(std::move(list));
    }
    PrintJson(stdout, nlohmann::ordered_json{{"threads", count}, {"members", std::move(members)}});
    return kExitOk;
}

int RunDuplicates(const DuplicatesOptions& options) {
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    CCliUi ui;
    CTextOutputUi output(std::cout, ui);
    if (!options.remove) {
        (void)CountDuplicateEmails(dbx.GetEmails(), output);
        return kExitOk;
    }
    // A fresh window has chosen no sort column, so the survivors stay as rebuilt.
    const CEmailSortState sortState;
    (void)DeleteDuplicateEmails(dbx.GetEmails(), output, sortState);
    std::cout.flush();
    PrintEmailTable(stdout, dbx.GetEmails());
    return kExitOk;
}

int RunShow(const ShowOptions& options) {
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
    if (!options.raw) {
        text = GetTextPageContent(text);
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

int RunEncodings(const EncodingsOptions& options) {
    CDBXFile dbx;
    if (!OpenMailbox(dbx, options.mailbox)) {
        return kExitFailure;
    }
    CCliUi ui;
    std::vector<std::u16string> charsets;
    if (!ScanCharsets(dbx, ui, charsets)) {
        PrintError("encodings: the scan was interrupted.");
        return kExitFailure;
    }
    const std::vector<CCharsetReportRow> rows = BuildCharsetReport(charsets);
    if (options.json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const CCharsetReportRow& row : rows) {
            list.push_back(
                {{"name", WideToUtf8(row.m_Name)}, {"description", WideToUtf8(row.m_Description)}});
        }
        PrintJson(stdout, nlohmann::ordered_json{{"charsets", std::move(list)}});
        return kExitOk;
    }
    // The dialog's two columns, the first padded to its widest name.
    std::size_t width = std::string_view("Code Page").size();
    std::vector<std::string> names;
    for (const CCharsetReportRow& row : rows) {
        names.push_back(WideToUtf8(row.m_Name));
        width = std::max(width, names.back().size());
    }
    std::printf("%-*s  %s\n", int(width), "Code Page", "Description");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::printf("%-*s  %s\n", int(width), names[i].c_str(),
                    WideToUtf8(rows[i].m_Description).c_str());
    }
    return kExitOk;
}
