// Grabs the main window with a mailbox loaded and its first rows selected into a PNG.
// Usage: quillbox_screenshot MAILBOX.dbx OUT.png
#include <QApplication>
#include <QTimer>

#include "app/app_dialogs.h"
#include "app/app_settings_qt.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_ui_services.h"
#include "mime/transfer_codec.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Korvane Quillbox"));
    RegisterStandardCodecs();
    CQtUiServices ui;
    CQtAppDialogs dialogs;
    CQtAppSettings settings;
    CMainFrame frame(ui, dialogs, settings);
    ui.SetParentWindow(&frame);
    if (!frame.Create()) {
        return 1;
    }
    frame.resize(1180, 760);
    frame.show();
    frame.LoadMailbox(QString::fromLocal8Bit(argv[1]).toStdU16String());
    CMyQuickList* list = frame.EmailList();
    list->selectRow(2);
    list->setFocus();
    const QString out = QString::fromLocal8Bit(argv[2]);
    int rc = 1;
    QTimer::singleShot(500, [&] {
        rc = frame.grab().save(out) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return rc;
}
