#include "cli/cli_commands.h"

#include <cstdio>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/email_sort.h"
#include "analysis/message_thread.h"
#include "analysis/quick_filter.h"
#include "cli/cli_names.h"
#include "cli/cli_output.h"
#include "cli/cli_recover.h"
#include "cli/cli_ui_services.h"
#include "export/export_session.h"
#include "export/export_settings.h"
#include "export/export_wizard.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mime/charset_scan.h"
#include "mime/mailbox_code_page.h"
#include "mime/message_page.h"
#include "mime/viewer_text.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

// Opens the mailbox as the desktop app would; on failure prints the status text.
bool OpenForCommand(CDBXFile& dbx, const std::string& path, bool recover, unsigned codePage,
                    std::int32_t& status) {
    const std::u16string widePath = Utf8ToWide(path);
    // A missing file keeps the reader's own status text; a folder or a file we may not
    // read gets a plainer one than "cannot open".
    if (ClassifyPath(widePath) != PathKind::Missing) {
        if (const std::u16string problem = MailboxPathProblem(widePath); !problem.empty()) {
            PrintError(WideToUtf8(problem));
            return false;
        }
    }
    return OpenMailboxForCli(dbx, path, recover, codePage, status);
}

bool OpenForCommand(CDBXFile& dbx, const std::string& path, bool recover, unsigned codePage) {
    std::int32_t status = 0;
    return OpenForCommand(dbx, path, recover, codePage, status);
}

// "COLUMN[:desc]" with the column's heading in any case; false when it names no column.
bool ParseSortOption(const std::string& option, std::int32_t& column, bool& descending) {
    std::string_view name = option;
    descending = false;
    if (const std::size_t colon = name.rfind(':'); colon != std::string_view::npos) {
        if (!EqualsNoCase(name.substr(colon + 1), "desc")) {
            return false;
        }
        descending = true;
        name = name.substr(0, colon);
    }
    for (std::int32_t c = 0; c < kEmailColumnCount; ++c) {
        if (EqualsNoCase(name, WideToUtf8(kEmailColumns[std::size_t(c)].heading))) {
            column = c;
            return true;
        }
    }
    return false;
}

}  // namespace

std::int32_t FormatFromName(std::string_view name) {
    const CExportFormatInfo* format = FindExportFormatByCliName(name);
    return format != nullptr ? format->code : 0;
}

namespace {

// "0,3,5-9" into rows; false for anything else.
bool ParseRowList(std::string_view list, std::vector<std::int32_t>& rows) {
    auto number = [](std::string_view text, std::int64_t& value) {
        if (text.empty() || text.size() > 10) {
            return false;
        }
        value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        return value <= INT32_MAX;
    };
    for (bool more = !list.empty(); more;) {
        const std::size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        more = comma != std::string_view::npos;
        list = more ? list.substr(comma + 1) : std::string_view{};
        std::int64_t first = 0;
        std::int64_t last = 0;
        if (const std::size_t dash = item.find('-'); dash != std::string_view::npos) {
            if (!number(item.substr(0, dash), first) || !number(item.substr(dash + 1), last) ||
                last < first) {
                return false;
            }
        } else if (!number(item, first)) {
            return false;
        } else {
            last = first;
        }
        // A range can only name rows that exist; the caller checks them against the list.
        if (last - first > INT32_MAX / 2 || rows.size() + std::size_t(last - first) > 50'000'000) {
            return false;
        }
        for (std::int64_t r = first; r <= last; ++r) {
            rows.push_back(std::int32_t(r));
        }
    }
    return !rows.empty();
}

// The rows the quick filter keeps, numbered as in the whole list.
int PrintFilteredList(CDBXFile& dbx, const ListOptions& options) {
    CEmailArray& emails = dbx.GetEmails();
    const unsigned codePage = dbx.GetCodePage();
    CQuickFilter filter;
    filter.Build(emails, codePage);
    const std::u16string query = Utf8ToWide(options.filter);
    std::vector<std::int32_t> rows;
    if (options.body) {
        CCliUi::InstallInterruptHandler();
        CCliUi ui;
        if (!filter.MatchWithBodies(dbx, query, codePage, ui, rows)) {
            PrintError("list: the search was interrupted.");
            return kExitFailure;
        }
    } else {
        rows = filter.Match(query);
    }
    if (!options.json) {
        PrintEmailTable(stdout, emails, rows, codePage);
        return kExitOk;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const std::int32_t row : rows) {
        if (CEmailDBX* entry = emails.Get(row)) {
            list.push_back(EmailToJson(*entry, row, codePage));
        }
    }
    PrintJson(stdout, nlohmann::ordered_json{{"status", DbxOk},
                                             {"count", emails.GetCount()},
                                             {"codepage", codePage},
                                             {"matched", rows.size()},
                                             {"emails", std::move(list)}});
    return kExitOk;
}

}  // namespace

int RunList(const ListOptions& options) {
    std::int32_t column = -1;
    bool descending = false;
    if (!options.sort.empty() && !ParseSortOption(options.sort, column, descending)) {
        PrintError("list: --sort takes a column heading (" + ColumnHeadingNames(" or ") +
                   "), optionally followed by :desc; not \"" + options.sort + "\".");
        return kExitUsage;
    }
    if (options.body && options.filter.empty()) {
        PrintError("list: --body searches with the words of --filter; give --filter TEXT.");
        return kExitUsage;
    }
    CDBXFile dbx;
    std::int32_t status = 0;
    if (!OpenForCommand(dbx, options.mailbox, options.recover, options.mailboxCodePage, status)) {
        return kExitFailure;
    }
    ReportSkippedDamage(dbx);
    if (column >= 0) {
        // As the header clicks would leave the list after start-up: the second click on
        // the same column reverses the order.
        CEmailSortState sortState;
        sortState.OnSortColumn(column, dbx.GetEmails());
        if (descending) {
            sortState.OnSortColumn(column, dbx.GetEmails());
        }
    }
    if (!options.filter.empty()) {
        return PrintFilteredList(dbx, options);
    }
    if (options.json && options.recover) {
        PrintRecoveredListJson(stdout, dbx.GetEmails(), status, dbx.GetCodePage());
    } else if (options.json) {
        const std::uint32_t codePage = dbx.GetCodePage();
        PrintEmailListJson(
            stdout,
            nlohmann::ordered_json{
                {"status", DbxOk}, {"count", dbx.GetEmails().GetCount()}, {"codepage", codePage}},
            dbx.GetEmails(), codePage, false);
    } else {
        PrintEmailTable(stdout, dbx.GetEmails(), dbx.GetCodePage());
    }
    return kExitOk;
}

int RunThreads(const ThreadsOptions& options) {
    CDBXFile dbx;
    if (!OpenForCommand(dbx, options.mailbox, false, options.mailboxCodePage)) {
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
    if (!OpenForCommand(dbx, options.mailbox, false, options.mailboxCodePage)) {
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
    PrintEmailTable(stdout, dbx.GetEmails(), dbx.GetCodePage());
    return kExitOk;
}

int RunShow(const ShowOptions& options) {
    CDBXFile dbx;
    if (!OpenForCommand(dbx, options.mailbox, options.recover, options.mailboxCodePage)) {
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
    if (options.message) {
        CMessagePage page;
        page.Build(text, dbx.GetCodePage());
        text = WideToUtf8(page.TextForm());
    } else if (!options.raw) {
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
    if (!OpenForCommand(dbx, options.mailbox, false, options.mailboxCodePage)) {
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

int RunCliExport(const ExportOptions& options) {
    const std::int32_t format = FormatFromName(options.format);
    if (format == 0) {
        PrintError("export: --format takes " + CliFormatNames(" or ") + "; not \"" +
                   options.format + "\".");
        return kExitUsage;
    }
    std::vector<std::int32_t> rows;
    if (!options.rows.empty() && !ParseRowList(options.rows, rows)) {
        PrintError(
            "export: --rows takes rows from 0 separated by commas, and ranges such as "
            "5-9; not \"" +
            options.rows + "\".");
        return kExitUsage;
    }
    std::int32_t sortBy = 1;
    if (EqualsNoCase(options.sort, "none")) {
        sortBy = 0;
    } else if (!EqualsNoCase(options.sort, "date")) {
        PrintError("export: --sort takes none or date; not \"" + options.sort + "\".");
        return kExitUsage;
    }
    std::int32_t sortOrder = 0;
    if (EqualsNoCase(options.order, "desc")) {
        sortOrder = 1;
    } else if (!EqualsNoCase(options.order, "asc")) {
        PrintError("export: --order takes asc or desc; not \"" + options.order + "\".");
        return kExitUsage;
    }
    CDBXFile dbx;
    if (!OpenForCommand(dbx, options.mailbox, options.recover, options.mailboxCodePage)) {
        return kExitFailure;
    }
    const std::int32_t count = dbx.GetEmails().GetCount();
    for (const std::int32_t row : rows) {
        if (row >= count) {
            PrintError("Row " + std::to_string(row) + " is out of range: the mailbox has " +
                       std::to_string(count) + (count == 1 ? " email." : " emails."));
            return kExitFailure;
        }
    }
    CExportCommand command;
    command.format = format;
    command.destination = Utf8ToWide(options.destination);
    command.rows = std::move(rows);
    command.templatePath = Utf8ToWide(options.templatePath);
    command.title = Utf8ToWide(options.title);
    command.dbxPath = Utf8ToWide(options.mailbox);
    command.sortBy = sortBy;
    command.sortOrder = sortOrder;
    command.codePage = options.codePage;
    command.fileTimes = !options.noFileTimes;

    CCliUi::InstallInterruptHandler();
    CCliUi ui;
    CExportSession session(dbx, ui);
    // A script wants every file that failed on stderr and no question in between.
    session.WriteFailures().SetAskToContinue(false);
    const bool ran = RunExportCommand(session, command);
    return ran && session.WriteFailures().Count() == 0 ? kExitOk : kExitFailure;
}
