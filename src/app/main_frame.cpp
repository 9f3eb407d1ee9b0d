#include "app/main_frame.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "analysis/duplicates.h"
#include "analysis/email_selection.h"
#include "analysis/message_thread.h"
#include "app/app_dialogs.h"
#include "app/app_icons.h"
#include "app/child_view.h"
#include "app/dlg_code_pages.h"
#include "app/email_viewer_tabs.h"
#include "app/export_wizard_command.h"
#include "app/lock_keys.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "app/quick_list_delegate.h"
#include "app/shell_operations.h"
#include "app/sizing_control_bar.h"
#include "export/export_attachments.h"
#include "export/export_session.h"
#include "mailbox/email_columns.h"
#include "mime/charset_scan.h"
#include "mime/mailbox_code_page.h"
#include "mime/message_page.h"
#include "mime/viewer_text.h"
#include "platform/ui_services.h"

namespace {

constexpr QSize kToolbarButtonSize{56, 68};
constexpr QSize kToolbarImageSize{48, 48};
constexpr int kLockPollMs = 250;

}  // namespace

double TextColumnScale(const QFontMetrics& metrics) {
    // The widths were chosen for a small 8-point font; a wider default font widens the text
    // columns alike, so that a date still fits its column.
    const int dateWidth = metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00")) +
                          2 * CQuickListDelegate::kTextIndent + 4;
    const int sentWidth = kEmailColumns[ColSent].width;
    return std::max(1.0, double(dateWidth) / sentWidth);
}

CMainFrame::CMainFrame(IUiServices& ui, IAppDialogs& dialogs, CAppSettings& settings)
    : m_Ui(ui), m_Dialogs(dialogs), m_Settings(settings) {
    setObjectName(QStringLiteral("MainFrame"));
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create() {
    setWindowIcon(AppIcon());
    setWindowTitle(ToQString(kAppName));
    CreateMenus();
    // The view fills the client area.
    m_pView = new CChildView(this);
    setCentralWidget(m_pView);
    if (!CreateToolBar()) {
        return false;
    }
    if (!CreateStatusBar()) {
        return false;
    }
    CreateViewerBar();
    CreateEmailList();
    CreateFoldersBar();
    CreateQuickFilter();
    m_pView->setFocus();
    return true;
}

void CMainFrame::CreateMenus() {
    QHash<QString, QMenu*> menus;
    for (const char* title : kMenuTitles) {
        menus.insert(QString::fromLatin1(title), menuBar()->addMenu(QString::fromLatin1(title)));
    }
    for (const CommandInfo& c : CommandTable()) {
        QMenu* menu = menus.value(QString::fromLatin1(c.menu));
        if (c.id == kIdSeparator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(c.text));
        action->setData(int(c.id));
        if (*c.shortcut != '\0') {
            action->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
            // The list's own key handling must not take these keys first.
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (const CommandPrompt* p = FindCommandPrompt(c.id)) {
            action->setStatusTip(QString::fromLatin1(p->prompt));
            action->setToolTip(QString::fromLatin1(p->tooltip));
        }
        if (c.id == kIdViewToolbar || c.id == kIdViewStatusBar || c.id == kIdViewEmailViewer) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        const CommandId id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        m_Actions.insert(id, action);
    }
    connect(menus.value(QStringLiteral("&View")), &QMenu::aboutToShow, this,
            &CMainFrame::UpdateViewChecks);
    CreateCodePageMenu(menus.value(QStringLiteral("&View")));
    for (QMenu* menu : menus) {
        // Back to "Ready" once the menu is gone.
        connect(menu, &QMenu::aboutToHide, this, [this] {
            QTimer::singleShot(0, this, [this] { SetPromptText(QString::fromLatin1(kReadyText)); });
        });
    }
}

bool CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_pToolBar->setMovable(true);  // keeps the gripper shown
    m_pToolBar->setFloatable(false);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_pToolBar->setIconSize(kToolbarImageSize);
    for (const ToolbarButton& b : ToolbarButtons()) {
        if (b.id == kIdSeparator) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* action = m_pToolBar->addAction(ToolbarIcon(QString::fromLatin1(b.image)),
                                                QString::fromLatin1(b.text));
        action->setData(int(b.id));
        if (const CommandPrompt* p = FindCommandPrompt(b.id)) {
            action->setStatusTip(QString::fromLatin1(p->prompt));
            action->setToolTip(QString::fromLatin1(p->tooltip));
        }
        const CommandId id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        if (QWidget* button = m_pToolBar->widgetForAction(action)) {
            button->setFixedSize(kToolbarButtonSize);
        }
        m_ToolbarActions.insert(id, action);
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    return true;
}

bool CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    const QStringList texts = {QString::fromLatin1(kReadyText), QString(),
                               QStringLiteral("CAP"),           QStringLiteral("NUM"),
                               QStringLiteral("SCRL"),          QString()};
    for (int pane = 0; pane < texts.size(); ++pane) {
        auto* label = new QLabel(texts[pane], bar);
        label->setObjectName(QStringLiteral("StatusPane%1").arg(pane));
        label->setTextFormat(Qt::PlainText);
        if (pane > PanePrompt) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        if (pane >= PaneCaps && pane <= PaneScroll) {
            label->setAlignment(Qt::AlignCenter);
            label->setFixedWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) +
                                 10);
        }
        m_Panes.push_back(label);
    }
    bar->addWidget(m_Panes[PanePrompt], 1);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen != nullptr ? screen->geometry().width() : 1024;
    m_Panes[PaneCount]->setFixedWidth(screenWidth / 4);
    for (const int pane : {PaneCount, PaneCodePage, PaneCaps, PaneNum, PaneScroll}) {
        bar->addPermanentWidget(m_Panes[pane]);
    }
    UpdateCodePagePane();
    UpdateLockIndicators();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::UpdateLockIndicators);
    timer->start(kLockPollMs);
    return true;
}

void CMainFrame::UpdateLockIndicators() {
    const LockKeyState state = QueryLockKeys();
    const std::optional<bool> states[] = {state.caps, state.num, state.scroll};
    const char* const names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        // Known: the text while the lock is on. Unknown: the text greyed, as a legend.
        const bool known = states[i].has_value();
        const bool on = known && *states[i];
        QLabel* label = m_Panes[PaneCaps + i];
        label->setText(!known || on ? QString::fromLatin1(names[i]) : QString());
        label->setEnabled(on);
    }
}

void CMainFrame::CreateViewerBar() {
    m_pViewerBar = new CMySizingControlBarG(QString::fromLatin1(kViewerBarTitle), this);
    m_pViewer = new CEmailViewerTabs(m_pViewerBar, m_Ui, m_Dialogs);
    m_pViewerBar->setWidget(m_pViewer);
    setDockNestingEnabled(false);
    addDockWidget(Qt::BottomDockWidgetArea, m_pViewerBar);
    resizeDocks({m_pViewerBar}, {CMySizingControlBarG::kHorzSize.height()}, Qt::Vertical);
}

void CMainFrame::CreateEmailList() {
    m_SmallImages = SmallImageList();
    m_pList = new CMyQuickList(*this, m_pView);
    m_pList->SetOwner(this);
    m_pList->SetImageList(&m_SmallImages);
    const double scale = TextColumnScale(m_pList->fontMetrics());
    for (int column = 0; column < kEmailColumnCount; ++column) {
        const EmailColumnInfo& info = kEmailColumns[std::size_t(column)];
        const int width = IsIconColumn(column) ? info.width : int(info.width * scale + 0.5);
        m_pList->InsertColumn(column, ToQString(info.heading),
                              info.align == ColumnAlign::Centre ? Qt::AlignHCenter : Qt::AlignLeft,
                              width);
    }
    m_pView->AttachList(m_pList);
}

void CMainFrame::SetPromptText(const QString& text) {
    if (!m_Panes.isEmpty()) {
        m_Panes[PanePrompt]->setText(text);
    }
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // An empty tip while a menu item is highlighted is a command without a prompt: the
        // pane stays blank. Otherwise an empty tip means the pointer left: "Ready".
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        const auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const bool onMenuItem = menu != nullptr && menu->activeAction() != nullptr;
        SetPromptText(!tip.isEmpty() || onMenuItem ? tip : QString::fromLatin1(kReadyText));
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::focusInEvent(QFocusEvent* event) {
    QMainWindow::focusInEvent(event);
    if (m_pView != nullptr) {
        m_pView->setFocus();
    }
}

void CMainFrame::RunCommand(CommandId id) {
    switch (id) {
        case kIdFileOpen:
            OnFileOpen();
            break;
        case kIdFileOpenStore:
            OnFileOpenStore();
            break;
        case kIdExportWizard:
            OnExportWizard();
            break;
        case kIdSaveAttachments:
            OnSaveAttachments();
            break;
        case kIdAppExit:
            emit AppExitRequested();
            break;
        case kIdSelectAll:
            OnSelectAll();
            break;
        case kIdInvertSelection:
            OnInvertSelection();
            break;
        case kIdSelectAttachments:
            OnSelectAttachments();
            break;
        case kIdSelectHighPriority:
            OnSelectHighPriority();
            break;
        case kIdDetectEncoding:
            OnDetectEncoding();
            break;
        case kIdCountThreads:
            OnCountThreads();
            break;
        case kIdCountDuplicates:
            OnCountDuplicates();
            break;
        case kIdDeleteDuplicates:
            OnDeleteDuplicates();
            break;
        case kIdRecoverMessages:
            OnRecoverMessages();
            break;
        case kIdViewToolbar:
            OnViewToolbar();
            break;
        case kIdViewStatusBar:
            OnViewStatusBar();
            break;
        case kIdViewEmailViewer:
            OnViewEmailViewer();
            break;
        case kIdOnlineHelp:
            OnOnlineHelp();
            break;
        case kIdHomepage:
            OnHomepage();
            break;
        case kIdRequestFeature:
            OnRequestFeature();
            break;
        case kIdReportBug:
            OnReportBug();
            break;
        case kIdAppAbout:
            emit AppAboutRequested();
            break;
        case kIdSeparator:
            break;
    }
}

// --- Loading

void CMainFrame::OnFileOpen() {
    m_nShownRow = -1;
    const std::optional<QString> path = m_Dialogs.GetOpenFileName(
        QString::fromLatin1(kOpenDialogTitle), QString::fromLatin1(kDbxFileFilter), QString());
    if (path) {
        LoadMailbox(ToU16(*path));
    }
}

void CMainFrame::CloseMailbox() {
    m_nShownRow = -1;  // the old entries go: the same row is another message now
    m_pShownEntry = nullptr;
    m_pViewer->Clear();
    ClearQuickFilter();
    m_QuickFilter.Clear();
    m_bFilterIndexBuilt = false;
    m_Mailbox.Close();
    m_strCurrentPath.clear();
    m_pList->SetItemCount(0);
    m_pList->horizontalHeader()->setSortIndicatorShown(false);  // the next list is unsorted
    ShowMailboxCount();
    UpdateCodePagePane();
}

void CMainFrame::LoadMailbox(const std::u16string& path) {
    CloseMailbox();
    setWindowTitle(ToQString(kAppName));
    m_Panes[PaneCount]->clear();

    const std::int32_t status = OpenMailbox(m_Mailbox, path);
    if (status != DbxOk) {
        m_Ui.MessageBox(GetStatusText(status), kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
    }
    // A damaged index may still leave every message in the file: the core says when to ask.
    const bool rescued = OfferRescue(status);
    if (rescued && status != DbxOk) {
        UseMailboxCodePage(m_Mailbox, 0);
    }
    if (status == DbxOk || rescued) {
        setWindowTitle(ToQString(kAppName) + QStringLiteral(" - ") + ToQString(path));
        m_strCurrentPath = path;
    } else {
        m_Mailbox.Close();
    }
    m_pList->SetItemCount(m_Mailbox.GetEmails().GetCount());
    ShowMailboxCount();
    UpdateCodePagePane();
    BuildFilterIndexSoon();
}

// --- The email list

void CMainFrame::GetCellData(CQuickList&, CQuickListCell& cell) {
    const CEmailArray& emails = m_Mailbox.GetEmails();
    if (cell.m_nRow < 0 || cell.m_nRow >= emails.GetCount() || cell.m_nColumn < 0 ||
        cell.m_nColumn >= kEmailColumnCount) {
        return;  // a row that just went away, or no such column: an empty cell
    }
    CEmailDBX* entry = emails.Get(EntryRow(cell.m_nRow));
    if (entry == nullptr) {
        return;
    }
    if (cell.m_nColumn == ColId) {
        if (const EmailIcon icon = GetEmailRowIcon(*entry); icon != IconNone) {
            cell.m_nIconIndex = icon;
        }
    }
    if (IsIconColumn(cell.m_nColumn)) {
        const EmailIcon icon = GetEmailCellIcon(*entry, cell.m_nColumn);
        if (icon != IconNone) {
            cell.m_nIconIndex = icon;
            cell.m_bIconCentered = true;
            cell.m_bIconNoSelection = false;
        }
        return;
    }
    cell.m_strText = ToQString(GetEmailCellText(*entry, cell.m_nColumn, m_Mailbox.GetCodePage()));
}

void CMainFrame::CellClicked(CQuickList&, const CQuickListClick& click) {
    ShowEmail(click.m_nRow);
}

void CMainFrame::HeaderRightClicked(CQuickList&, int, QPoint) {}

void CMainFrame::OnSortColumn(int column) {
    const CListSelection kept = CaptureSelection();
    if (m_SortState.OnSortColumn(column, m_Mailbox.GetEmails())) {
        AfterMailboxListChanged(kept);
        QHeaderView* header = m_pList->horizontalHeader();
        header->setSortIndicator(
            column, m_SortState.IsAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
        header->setSortIndicatorShown(true);
    }
}

void CMainFrame::OnListSelectionChanged() {
    ShowEmail(m_pList->GetSelectionMark());
}

void CMainFrame::ShowEmail(int row) {
    if (row < 0) {
        return;
    }
    CEmailArray& emails = m_Mailbox.GetEmails();
    const int entryRow = EntryRow(row);
    const CEmailDBX* entry = entryRow >= 0 ? emails.Get(entryRow) : nullptr;
    // Every row-state change asks again for the row at the selection mark, and a sort or a
    // filter moves the shown message to another row: neither reloads it.
    m_nShownRow = row;
    if (entry == m_pShownEntry) {
        return;
    }
    m_pShownEntry = entry;
    m_pViewer->Clear();
    if (entry == nullptr) {
        return;
    }
    std::string raw;
    if (!m_Mailbox.GetMessageText(entry, raw)) {
        return;
    }
    CMessagePage page;
    page.Build(raw, m_Mailbox.GetCodePage());
    m_pViewer->ShowMessage(std::move(page), GetTextPageContent(raw), raw, m_Mailbox.GetCodePage());
}

void CMainFrame::SelectRows(RowSelection rule) {
    const CEmailArray& emails = m_Mailbox.GetEmails();
    const QItemSelection selection =
        SelectionOf(m_bFiltered ? SelectRowRuns(emails, m_FilterRows, rule)
                                : SelectRowRuns(emails, m_pList->GetItemCount(), rule));
    m_pList->setUpdatesEnabled(false);
    m_pList->selectionModel()->select(
        selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_pList->setUpdatesEnabled(true);
    m_pList->setFocus();
}

QItemSelection CMainFrame::SelectionOf(const std::vector<CRowRun>& runs) const {
    QAbstractItemModel* model = m_pList->model();
    QItemSelection selection;
    for (const CRowRun& run : runs) {
        selection.select(model->index(run.first, 0), model->index(run.last, 0));
    }
    return selection;
}

void CMainFrame::OnSelectAll() {
    SelectRows(RowSelection::All);
}

void CMainFrame::OnInvertSelection() {
    const int n = m_pList->GetItemCount();
    m_pList->setUpdatesEnabled(false);
    if (n > 0) {
        QAbstractItemModel* model = m_pList->model();
        m_pList->selectionModel()->select(
            QItemSelection(model->index(0, 0), model->index(n - 1, 0)),
            QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    }
    m_pList->setUpdatesEnabled(true);
    m_pList->setFocus();
}

void CMainFrame::OnSelectAttachments() {
    SelectRows(RowSelection::WithAttachments);
}

void CMainFrame::OnSelectHighPriority() {
    SelectRows(RowSelection::HighPriority);
}

// --- Commands filled in with the exports and tools

void CMainFrame::OnExportWizard() {
    CExportWizardContext context{.parent = this,
                                 .dbx = m_Mailbox,
                                 .dbxPath = m_strCurrentPath,
                                 .rowCount = m_pList->GetItemCount(),
                                 .rows = {},
                                 .ui = m_Ui,
                                 .dialogs = m_Dialogs,
                                 .settings = m_Settings,
                                 .store = m_Store.IsOpen() ? &m_Store : nullptr};
    context.rows = SelectedEntryRows();
    OnExportEmails(context);
}

void CMainFrame::OnSaveAttachments() {
    const std::vector<std::int32_t> rows = SelectedEntryRows();
    CExportSession session(m_Mailbox, m_Ui);
    RunSaveAttachmentsCommand(session, m_Settings, rows,
                              [this](std::u16string_view current) -> std::optional<std::u16string> {
                                  const std::optional<QString> folder = m_Dialogs.BrowseForFolder(
                                      QString::fromLatin1(kChooseFolderTitle), ToQString(current));
                                  if (!folder) {
                                      return std::nullopt;
                                  }
                                  return ToU16(*folder);
                              });
}

void CMainFrame::OnDetectEncoding() {
    CDlgCodePages dialog(this);
    if (!ScanCharsets(m_Mailbox, m_Ui, dialog.m_Charsets)) {
        return;  // cancelled: nothing is shown
    }
    dialog.exec();
}

void CMainFrame::OnCountThreads() {
    CountThreads(m_Mailbox.GetEmails(), m_Ui);
}

void CMainFrame::OnCountDuplicates() {
    CountDuplicateEmails(m_Mailbox.GetEmails(), m_Ui);
}

void CMainFrame::OnDeleteDuplicates() {
    const CListSelection kept = CaptureSelection();
    DeleteDuplicateEmails(m_Mailbox.GetEmails(), m_Ui, m_SortState,
                          [this, &kept](std::int32_t, std::u16string_view) {
                              // The status text is the count, which the pane shows itself.
                              AfterMailboxListChanged(kept);
                          });
}

// --- View and Help

void CMainFrame::OnViewToolbar() {
    m_pToolBar->setVisible(!m_pToolBar->isVisibleTo(this));
    UpdateViewChecks();
}

void CMainFrame::OnViewStatusBar() {
    statusBar()->setVisible(!statusBar()->isVisibleTo(this));
    UpdateViewChecks();
}

void CMainFrame::UpdateViewChecks() {
    m_Actions.value(kIdViewToolbar)->setChecked(m_pToolBar->isVisibleTo(this));
    m_Actions.value(kIdViewStatusBar)->setChecked(statusBar()->isVisibleTo(this));
    m_Actions.value(kIdViewEmailViewer)->setChecked(m_pViewerBar->isVisibleTo(this));
}

void CMainFrame::OnOnlineHelp() {
    OpenInShell(this, OnlineHelpUrl());
}

void CMainFrame::OnHomepage() {
    OpenInShell(this, QString::fromLatin1(kMakerSite));
}

void CMainFrame::OnRequestFeature() {
    ComposeMail(this, QString::fromLatin1(kMakerAddress),
                QString::fromLatin1(kFeatureRequestSubject));
}

void CMainFrame::OnReportBug() {
    ComposeMail(this, QString::fromLatin1(kMakerAddress), QString::fromLatin1(kBugReportSubject));
}
