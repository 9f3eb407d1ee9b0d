#include "app/quillbox_app.h"

#include "app/about_dialog.h"
#include "app/app_icons.h"
#include "app/launch.h"
#include "app/main_frame.h"
#include "app/qt_text.h"
#include "mime/transfer_codec.h"
#include "platform/ui_services.h"

int CQuillboxApp::s_argc = 1;
char* CQuillboxApp::s_argv[2] = {nullptr, nullptr};

namespace {

// Common controls and component libraries need no set-up here; the steps stay in their
// place so that start-up keeps its order.
void RegisterControlClasses() {}
bool InitComponentLibraries() {
    return true;
}

char* ProgramName(const char* name) {
    static std::string s_name;
    s_name = name != nullptr ? name : "quillbox";
    return s_name.data();
}

}  // namespace

CQuillboxApp::CQuillboxApp(const char* programName)
    : QApplication(s_argc, (s_argv[0] = ProgramName(programName), s_argv)) {}

CQuillboxApp::~CQuillboxApp() {
    // The window goes before the application it belongs to.
    m_pMainWnd.reset();
}

bool CQuillboxApp::InitInstance(const QStringList& arguments) {
    RegisterControlClasses();
    // The codec tables every parse needs.
    setApplicationName(ToQString(kAppName));
    RegisterStandardCodecs();
    if (!InitComponentLibraries()) {
        m_Ui.MessageBox(
            u"OLE initialization failed.  Make sure that the OLE libraries are the "
            u"correct version.",
            kAppName, MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    // The settings key.
    setOrganizationName(QString::fromLatin1(kSettingsOrganisation));
    m_pSettings = std::make_unique<CQtAppSettings>();
    setWindowIcon(AppIcon());
    m_pMainWnd = std::make_unique<CMainFrame>(m_Ui, m_Dialogs, *m_pSettings);
    m_Ui.SetParentWindow(m_pMainWnd.get());
    m_Ui.SetSettings(m_pSettings.get());
    m_Dialogs.SetParentWindow(m_pMainWnd.get());
    if (!m_pMainWnd->Create()) {
        m_pMainWnd.reset();
        return false;
    }
    connect(m_pMainWnd.get(), &CMainFrame::AppAboutRequested, this, &CQuillboxApp::OnAppAbout);
    connect(m_pMainWnd.get(), &CMainFrame::AppExitRequested, this, &CQuillboxApp::OnAppExit);
    // Shown and painted at once.
    ApplyFirstWindowLayout(*m_pMainWnd);
    CMainFrame* frame = m_pMainWnd.get();
    new CLaunchDropFilter(*frame, [this, frame](const LaunchRequest& request) {
        RunLaunchRequest(request, *frame, m_Ui);
    });
    m_pMainWnd->show();
    m_pMainWnd->repaint();
    RunLaunchRequest(ParseLaunchArguments(arguments), *frame, m_Ui);
    return true;
}

void CQuillboxApp::OnAppAbout() {
    CAboutDlg about(m_pMainWnd.get());
    about.exec();
}

void CQuillboxApp::OnAppExit() {
    if (m_pMainWnd != nullptr) {
        m_pMainWnd->close();
    }
}
