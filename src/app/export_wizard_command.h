// OnExportEmails: the export wizard command. It checks that the list has rows, shows the
// four steps one after the other (step 4 only for the template formats), and runs the
// chosen export with its progress window. Cancel at any step ends the run; what earlier
// steps stored in the settings stays stored.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CAppSettings;
class CDbxStore;
class CDBXFile;
class IAppDialogs;
class IUiServices;
class QWidget;

// Shows a step and gives its result (QDialog::Accepted after Next). The application runs
// the modal loop; tests drive the dialog themselves.
using WizardDialogRunner = std::function<int(QDialog&)>;

[[nodiscard]] int ExecWizardDialog(QDialog& dialog);

struct CExportWizardContext {
    QWidget* parent = nullptr;  // owner of the steps
    CDBXFile& dbx;
    std::u16string dbxPath;          // for the default title
    std::int32_t rowCount = 0;       // rows of the email list
    std::vector<std::int32_t> rows;  // selected rows of the email list
    IUiServices& ui;
    IAppDialogs& dialogs;
    CAppSettings& settings;
    const CDbxStore* store = nullptr;  // the open store, offered as a third choice
};

enum class ExportWizardResult {
    NoEmails,   // the list was empty
    Cancelled,  // a step was left without Next
    Exported,   // the export ran to its end
    Failed,     // the export reported a failure or was stopped
};

ExportWizardResult OnExportEmails(const CExportWizardContext& context,
                                  const WizardDialogRunner& run = ExecWizardDialog);
