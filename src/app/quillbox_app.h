// CQuillboxApp: the application object. It holds the settings store, the Qt answers to the
// core's UI services and the app dialogs, and the one main window, which it creates at
// start-up and which lives until the user closes it. It also answers the About and Exit
// commands. Of the command line it takes only what to open (a mailbox file or a store
// folder); Qt's own options are not read.
#pragma once

#include <QApplication>
#include <QStringList>
#include <memory>

#include "app/app_dialogs.h"
#include "app/app_settings_qt.h"
#include "app/qt_ui_services.h"

class CMainFrame;

class CQuillboxApp final : public QApplication {
    Q_OBJECT
public:
    // Qt sees only the program name: no option of the command line reaches it either.
    explicit CQuillboxApp(const char* programName);
    ~CQuillboxApp() override;

    // Start-up, then opens what the arguments name (the words after the program name);
    // false ends the process at once.
    bool InitInstance(const QStringList& arguments = {});

    void OnAppAbout();
    void OnAppExit();

    [[nodiscard]] CMainFrame* MainFrame() const { return m_pMainWnd.get(); }

private:
    static int s_argc;
    static char* s_argv[2];

    std::unique_ptr<CQtAppSettings> m_pSettings;
    CQtUiServices m_Ui;
    CQtAppDialogs m_Dialogs;
    std::unique_ptr<CMainFrame> m_pMainWnd;
};
