#include "cli/cli_recover.h"

#include <cstdio>

#include "analysis/mailbox_rescue.h"
#include "cli/cli_commands.h"
#include "cli/cli_output.h"
#include "cli/cli_ui_services.h"
#include "export/export_eml.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mime/mailbox_code_page.h"
#include "platform/code_page.h"
#include "platform/folders.h"

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

bool OpenMailboxForCli(CDBXFile& dbx, const std::string& path, bool recover, std::uint32_t codePage,
                       std::int32_t& status) {
    const std::u16string widePath = Utf8ToWide(path);
    if (!recover) {
        status = OpenMailbox(dbx, widePath, codePage);
        if (status != DbxOk) {
            PrintError(WideToUtf8(GetStatusText(status)));
            return false;
        }
        return true;
    }
    status = dbx.OpenForRecovery(widePath.c_str());
    if (!dbx.IsOpen()) {
        PrintError(WideToUtf8(GetStatusText(status)));
        return false;
    }
    // Recovered rows store their fields in the code page the index rows tell; a file
    // without readable rows learns it from the recovered ones.
    if (status == DbxOk) {
        UseMailboxCodePage(dbx, codePage);
    }
    CCliUi::InstallInterruptHandler();
    CCliUi ui;
    const CRescueResult result = RecoverMessages(dbx, ui);
    if (!result.m_bCompleted) {
        PrintError("The scan of the file was interrupted.");
        return false;
    }
    if (status != DbxOk) {
        UseMailboxCodePage(dbx, codePage);
        // What Open said stays on record; the rows the scan found are still listed.
        PrintError(WideToUtf8(GetStatusText(status)));
        if (dbx.GetEmails().GetCount() == 0) {
            return false;
        }
    }
    return true;
}

void ReportSkippedDamage(const CDBXFile& dbx) {
    const std::uint32_t damaged = dbx.GetDamageCount();
    if (damaged == 0) {
        return;
    }
    std::fprintf(stderr,
                 "%lu damaged place%s in the index skipped; list --recover scans the whole file "
                 "for the messages it lost.\n",
                 static_cast<unsigned long>(damaged), damaged == 1 ? "" : "s");
}

void PrintRecoveredListJson(std::FILE* out, CEmailArray& emails, int status,
                            std::uint32_t codePage) {
    const int count = emails.GetCount();
    std::uint32_t recovered = 0;
    for (const CEmailDBX* entry : emails.Items()) {
        recovered += entry != nullptr && entry->IsRecovered() ? 1 : 0;
    }
    PrintEmailListJson(out,
                       nlohmann::ordered_json{{"status", status},
                                              {"count", count},
                                              {"recovered_count", recovered},
                                              {"codepage", codePage}},
                       emails, codePage, true);
}

int RunRecover(const RecoverOptions& options) {
    CDBXFile dbx;
    std::int32_t status = 0;
    if (!OpenMailboxForCli(dbx, options.mailbox, true, 0, status)) {
        // A file whose scan found nothing has nothing to write either.
        return kExitFailure;
    }
    std::u16string folder = Utf8ToWide(options.destination);
    while (!folder.empty() && folder.back() == u'/') {
        folder.pop_back();
    }
    CCliUi ui;
    CExportSession session(dbx, ui);
    std::uint32_t written[2] = {0, 0};
    const RecoveredKind kinds[2] = {RecoveredKind::Deleted, RecoveredKind::Unlisted};
    for (int k = 0; k < 2; ++k) {
        std::uint32_t n = 0;
        for (CEmailDBX* entry : dbx.GetEmails().Items()) {
            entry->m_bSelected = entry->m_Recovered == kinds[k];
            n += entry->m_bSelected ? 1 : 0;
        }
        if (n == 0) {
            continue;
        }
        const std::u16string target =
            folder + u"/" + Utf8ToWide(RecoveredKindName(kinds[k])) + u"/";
        if (!CreateFolder(target)) {
            PrintError("Unable to create the folder " + WideToUtf8(target) + ".");
            return kExitFailure;
        }
        if (!ExportEml(session, target) || CCliUi::InterruptPending()) {
            return kExitFailure;
        }
        written[k] = n;
    }
    std::fprintf(stderr, "%lu deleted and %lu unlisted message%s recovered.\n",
                 static_cast<unsigned long>(written[0]), static_cast<unsigned long>(written[1]),
                 written[0] + written[1] == 1 ? "" : "s");
    return kExitOk;
}
