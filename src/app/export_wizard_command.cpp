#include "app/export_wizard_command.h"

#include "app/dlg_export_step1.h"
#include "app/dlg_export_step2.h"
#include "app/dlg_export_step3.h"
#include "app/dlg_export_step4_html_all_in_one.h"
#include "export/export_session.h"
#include "export/export_settings.h"
#include "export/export_store.h"
#include "export/export_wizard.h"
#include "mailbox/dbx_file.h"

int ExecWizardDialog(QDialog& dialog) {
    return dialog.exec();
}

ExportWizardResult OnExportEmails(const CExportWizardContext& context,
                                  const WizardDialogRunner& run) {
    if (context.store == nullptr && !CheckExportHasEmails(context.rowCount, context.ui)) {
        return ExportWizardResult::NoEmails;
    }

    CExportRun exportRun;
    bool wholeStore = false;
    bool thunderbirdLayout = false;
    {
        CDlgExportStep1 step1(context.dbx.GetEmails(), context.rows, context.parent,
                              context.store != nullptr);
        if (run(step1) != QDialog::Accepted) {
            return ExportWizardResult::Cancelled;
        }
        wholeStore = step1.StoreChosen();
    }
    {
        CDlgExportStep2 step2(context.ui, context.settings, context.parent);
        if (run(step2) != QDialog::Accepted) {
            return ExportWizardResult::Cancelled;
        }
        exportRun.format = step2.Format();
    }
    {
        CDlgExportStep3 step3(exportRun.format, context.ui, context.dialogs, context.settings,
                              context.parent, wholeStore);
        if (run(step3) != QDialog::Accepted) {
            return ExportWizardResult::Cancelled;
        }
        exportRun.fileTimes = step3.FileTimes();
        thunderbirdLayout = step3.ThunderbirdLayout();
        if (step3.IsFileMode()) {
            exportRun.file = step3.FilePath();
        } else {
            exportRun.folder = step3.FolderPath();
        }
    }
    const CExportFormatInfo* info = FindExportFormat(exportRun.format);
    if (info != nullptr && info->hasOptionsStep) {
        CDlgExportStep4_HtmlAllInOne step4(info->textTemplate, context.dbxPath, context.ui,
                                           context.dialogs, context.settings, context.parent);
        if (run(step4) != QDialog::Accepted) {
            return ExportWizardResult::Cancelled;
        }
        exportRun.options = step4.Options();
    }

    if (wholeStore) {
        CStoreExportRequest request;
        request.format = exportRun.format;
        request.destination = exportRun.folder;
        request.options = exportRun.options;
        request.fileTimes = exportRun.fileTimes;
        request.layout = thunderbirdLayout && exportRun.format == FormatMbox
                             ? StoreLayout::Thunderbird
                             : StoreLayout::Plain;
        CStoreExportResult result;
        return ExportStore(*context.store, context.ui, request, result)
                   ? ExportWizardResult::Exported
                   : ExportWizardResult::Failed;
    }
    CExportSession session(context.dbx, context.ui);
    return RunExport(session, exportRun) ? ExportWizardResult::Exported
                                         : ExportWizardResult::Failed;
}
