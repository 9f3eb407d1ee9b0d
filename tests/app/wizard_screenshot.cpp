// Runs the export wizard over a mailbox the way a user would (three rows selected, the
// all-in-one HTML format, the default template) and grabs each step into a PNG before
// its Next is clicked. Usage (under Xvfb):
//   quillbox_wizard_screenshot MAILBOX.dbx SHOT_FOLDER OUT.html
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "app/app_dialogs.h"
#include "app/dlg_export_step1.h"
#include "app/dlg_export_step2.h"
#include "app/dlg_export_step3.h"
#include "app/dlg_export_step4_html_all_in_one.h"
#include "app/export_wizard_command.h"
#include "app/qt_ui_services.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"
#include "support/memory_settings.h"

namespace {

bool Grab(QDialog& dialog, const QString& file) {
    dialog.adjustSize();
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
    return dialog.grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s MAILBOX.dbx SHOT_FOLDER OUT.html\n", argv[0]);
        return 2;
    }
    RegisterStandardCodecs();
    const QString mailbox = QString::fromLocal8Bit(argv[1]);
    const QDir shots(QString::fromLocal8Bit(argv[2]));
    const QString out = QString::fromLocal8Bit(argv[3]);

    CDBXFile dbx;
    if (dbx.Open(mailbox.toStdU16String()) != DbxOk) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    CMemorySettings settings;
    CQtUiServices ui;
    CQtAppDialogs dialogs;
    bool grabbed = true;
    int step = 0;
    const WizardDialogRunner run = [&](QDialog& dialog) {
        dialog.show();
        const QString file = shots.filePath(QStringLiteral("wizard-step%1.png").arg(++step));
        if (auto* s1 = qobject_cast<CDlgExportStep1*>(&dialog)) {
            // Grabbed with three rows selected; every email goes into the file.
            grabbed &= Grab(dialog, file);
            s1->AllButton()->click();
            s1->NextButton()->click();
        } else if (auto* s2 = qobject_cast<CDlgExportStep2*>(&dialog)) {
            s2->FormatList()->setCurrentRow(2);
            grabbed &= Grab(dialog, file);
            s2->NextButton()->click();
        } else if (auto* s3 = qobject_cast<CDlgExportStep3*>(&dialog)) {
            s3->PathEdit()->setText(out);
            grabbed &= Grab(dialog, file);
            s3->NextButton()->click();
        } else if (auto* s4 = qobject_cast<CDlgExportStep4_HtmlAllInOne*>(&dialog)) {
            s4->TitleEdit()->setText(QStringLiteral("Sample mailbox"));
            grabbed &= Grab(dialog, file);
            s4->NextButton()->click();
        }
        return dialog.result();
    };
    CExportWizardContext context{.parent = nullptr,
                                 .dbx = dbx,
                                 .dbxPath = mailbox.toStdU16String(),
                                 .rowCount = dbx.GetEmails().GetCount(),
                                 .rows = {0, 1, 2},
                                 .ui = ui,
                                 .dialogs = dialogs,
                                 .settings = settings};
    const ExportWizardResult result = OnExportEmails(context, run);
    std::printf("%d steps, export %s\n", step,
                result == ExportWizardResult::Exported ? "written" : "failed");
    return grabbed && result == ExportWizardResult::Exported ? 0 : 1;
}
