#include "export/export_all_in_one.h"

#include "analysis/email_sort.h"
#include "export/export_session.h"
#include "export/template.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"

bool ExportAllInOne(CExportSession& session, const CAllInOneRequest& request) {
    CTemplate tpl;
    if (!ReadTemplate(request.templatePath, tpl, session.Ui())) {
        return false;
    }

    // The mailbox list is never reordered by an export: sorting works on a borrowed copy.
    CEmailArray& emails = session.Emails();
    CEmailArray sorted(false, 0, 100);
    CEmailArray* list = &emails;
    if (request.sortBy != 0) {
        for (CEmailDBX* entry : emails.Items()) {
            sorted.Append(entry);
        }
        if (request.sortBy == 1) {
            SortEmails(sorted, SortBySent, request.sortOrder == 0);
        }
        list = &sorted;
    }

    CZFile output;
    if (session.RefuseMailboxAsOutput(request.outputFile)) {
        sorted.ReleaseAll();
        return false;
    }
    if (!output.Open(request.outputFile, CZFile::ModeWrite)) {
        session.ShowWriteError(request.outputFile);
        sorted.ReleaseAll();
        return false;
    }
    CExpandRequest expand;
    expand.pTemplate = &tpl;
    expand.pOutput = &output;
    expand.pEntries = list;
    expand.title = request.title;
    expand.codePage = request.codePage;
    expand.showProgress = true;
    expand.textOutput = request.textOutput;
    const bool expanded = ExpandTemplate(session, expand);
    output.Close();
    sorted.ReleaseAll();
    return expanded;
}
