// CMainFrame: the one top-level window. It owns the loaded mailbox (the CDBXFile and its
// entries), the path it came from, the row the viewer shows and the list's sort state;
// it lays out the toolbar, the email list in its view, the viewer bar and the status bar,
// and routes every command of the command table to its handler. The list holds no data:
// it asks this window for each cell it paints. Dialogs go through the UI services and the
// app dialogs it is given, so tests replace them.
#pragma once

#include <QFontMetrics>
#include <QHash>
#include <QItemSelection>
#include <QList>
#include <QMainWindow>
#include <optional>
#include <string>
#include <vector>

#include "analysis/email_selection.h"
#include "analysis/email_sort.h"
#include "analysis/quick_filter.h"
#include "app/command_table.h"
#include "app/folders_bar.h"
#include "app/quick_list.h"
#include "mailbox/dbx_file.h"
#include "store/dbx_store.h"

class CAppSettings;
class CChildView;
class CEmailViewerTabs;
class CMyQuickList;
class CMySizingControlBarG;
class CQuickFilterBar;
class IAppDialogs;
class IUiServices;
class QLabel;
class QMenu;
class QToolBar;

inline constexpr char kOpenDialogTitle[] = "Select the file to open";
inline constexpr char kDbxFileFilter[] =
    "Outlook Express DBX File (*.dbx)|*.dbx|All Files (*.*)|*.*||";
inline constexpr char kViewerBarTitle[] = "Email Viewer";
inline constexpr char kReadyText[] = "Ready";
inline constexpr char kChooseFolderTitle[] = "Choose a folder...";

// How much wider than their nominal pixel widths the list's text columns are made for the
// font (never narrower).
[[nodiscard]] double TextColumnScale(const QFontMetrics& metrics);

class CMainFrame : public QMainWindow, public IQuickListOwner {
    Q_OBJECT
public:
    enum StatusPane {
        PanePrompt = 0,
        PaneCount = 1,
        PaneCaps = 2,
        PaneNum = 3,
        PaneScroll = 4,
        PaneCodePage = 5,  // shown between the count and the lock keys
    };

    CMainFrame(IUiServices& ui, IAppDialogs& dialogs, CAppSettings& settings);
    ~CMainFrame() override;

    // Builds the children in order; false when one of them cannot be made.
    bool Create();

    // Loading (the Open command asks for the path first).
    void OnFileOpen();
    void LoadMailbox(const std::u16string& path);

    // The whole store (main_frame_store.cpp): Open Store asks for a folder; the Folders
    // bar shows the tree, and choosing a folder loads its file as LoadMailbox does.
    void OnFileOpenStore();
    void LoadStore(const std::u16string& path);
    void OpenStoreFolder(CFoldersBar::FolderRef ref);
    [[nodiscard]] const CDbxStore& Store() const { return m_Store; }
    [[nodiscard]] CFoldersBar* FoldersBar() const { return m_pFoldersBar; }

    // The email list's side.
    void GetCellData(CQuickList& list, CQuickListCell& cell) override;
    void CellClicked(CQuickList& list, const CQuickListClick& click) override;
    void HeaderRightClicked(CQuickList& list, int column, QPoint screenPos) override;
    void OnSortColumn(int column);
    void OnListSelectionChanged();

    // Selection menu.
    void OnSelectAll();
    void OnInvertSelection();
    void OnSelectAttachments();
    void OnSelectHighPriority();

    // The export, tool and viewer commands: their work is in the core.
    void OnExportWizard();
    void OnSaveAttachments();
    void OnDetectEncoding();
    void OnCountThreads();
    void OnCountDuplicates();
    void OnDeleteDuplicates();
    void OnRecoverMessages();
    // Shows the entry of the row in the viewer bar; the row already shown is not reloaded.
    virtual void ShowEmail(int row);

    // View > Mailbox Code Page: 0 for the detected one. Redraws the list and the viewer;
    // exports started afterwards use it too. Not remembered: the next Open detects again.
    void OnMailboxCodePage(std::uint32_t codePage);
    [[nodiscard]] QMenu* CodePageMenu() const { return m_pCodePageMenu; }

    // View and Help menus.
    void OnViewToolbar();
    void OnViewStatusBar();
    void OnViewEmailViewer();
    void OnOnlineHelp();
    void OnHomepage();
    void OnRequestFeature();
    void OnReportBug();

    // The quick filter and the list's rows (main_frame_filter.cpp). With a filter the list
    // shows some rows of the mailbox list, in its order; every command maps them back.
    void ApplyQuickFilter(const QString& text);
    // False when the user stopped the search (the list stays as it was).
    bool RunBodySearch(const QString& text);
    void ClearQuickFilter();
    void FocusQuickFilter();
    // Brings the viewer bar back when it was closed.
    void ShowViewerBar();
    // The mailbox row a list row shows, -1 for none; and the other way round.
    [[nodiscard]] int EntryRow(int listRow) const;
    [[nodiscard]] int ListRowOfEntry(int entryRow) const;
    [[nodiscard]] bool IsFiltered() const { return m_bFiltered; }
    // The mailbox rows of the selected list rows, ascending: what the commands act on.
    [[nodiscard]] std::vector<std::int32_t> SelectedEntryRows() const;
    [[nodiscard]] CQuickFilterBar* FilterBar() const { return m_pFilterBar; }
    [[nodiscard]] const CEmailDBX* ShownEntry() const { return m_pShownEntry; }

    // Runs the command as the menu would.
    void RunCommand(CommandId id);
    // Brings the View menu's check marks up to date (done as the menu opens).
    void UpdateViewChecks();

    [[nodiscard]] CDBXFile& Mailbox() { return m_Mailbox; }
    [[nodiscard]] const std::u16string& CurrentPath() const { return m_strCurrentPath; }
    [[nodiscard]] int ShownRow() const { return m_nShownRow; }
    [[nodiscard]] const CEmailSortState& SortState() const { return m_SortState; }
    [[nodiscard]] CMyQuickList* EmailList() const { return m_pList; }
    [[nodiscard]] CChildView* View() const { return m_pView; }
    [[nodiscard]] CMySizingControlBarG* ViewerBar() const { return m_pViewerBar; }
    [[nodiscard]] CEmailViewerTabs* Viewer() const { return m_pViewer; }
    [[nodiscard]] QToolBar* ToolBar() const { return m_pToolBar; }
    [[nodiscard]] QLabel* StatusPaneLabel(int pane) const { return m_Panes.value(pane); }
    [[nodiscard]] QAction* CommandAction(CommandId id) const { return m_Actions.value(id); }
    [[nodiscard]] QAction* ToolbarAction(CommandId id) const { return m_ToolbarActions.value(id); }
    [[nodiscard]] const QList<QIcon>& SmallImages() const { return m_SmallImages; }
    [[nodiscard]] IUiServices& Ui() { return m_Ui; }
    [[nodiscard]] IAppDialogs& Dialogs() { return m_Dialogs; }
    [[nodiscard]] CAppSettings& Settings() { return m_Settings; }

signals:
    // Commands the application object answers.
    void AppAboutRequested();
    void AppExitRequested();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateMenus();
    void CreateViewerBar();
    void CreateEmailList();
    void CreateFoldersBar();
    void CreateCodePageMenu(QMenu* viewMenu);
    void UpdateCodePageMenu();
    void UpdateCodePagePane();
    void SetPromptText(const QString& text);
    // After a failed or empty open: asks whether to scan the file, and scans it on Yes.
    // True when the scan added rows.
    bool OfferRescue(std::int32_t status);
    // The count pane: the mailbox count, or "%lu of %lu emails" while filtered.
    void ShowMailboxCount();
    void UpdateLockIndicators();
    // Selects the rows the Selection menu's rule picks, in place of the selection, redrawing
    // once.
    void SelectRows(RowSelection rule);
    // The list rows of the runs, as one selection of whole rows.
    [[nodiscard]] QItemSelection SelectionOf(const std::vector<CRowRun>& runs) const;

    // The selected messages and the one at the selection mark, kept across a change of rows.
    struct CListSelection {
        std::vector<const CEmailDBX*> selected;
        const CEmailDBX* current = nullptr;
        std::vector<const CEmailDBX*> filtered;  // the rows shown while filtered
    };
    void CreateQuickFilter();
    // Lets the open mailbox go: the list, the viewer and the filter empty.
    void CloseMailbox();
    [[nodiscard]] CListSelection CaptureSelection() const;
    void RestoreSelection(const CListSelection& kept);
    // Shows these rows of the mailbox list (all of them without a value), keeping the
    // selection and the shown message on their messages.
    void SetListRows(std::optional<std::vector<std::int32_t>> rows);
    // After the mailbox list was sorted or shortened: the shown rows follow their messages.
    void AfterMailboxListChanged(const CListSelection& kept);
    // After rows were added at the end of the mailbox list (a rescue scan) or the entries'
    // text reads otherwise (another code page): the filter keys are made again.
    void AfterEntriesChanged(const CListSelection& kept);
    void EnsureFilterIndex();
    void BuildFilterIndexSoon();

    IUiServices& m_Ui;
    IAppDialogs& m_Dialogs;
    CAppSettings& m_Settings;

    QList<QLabel*> m_Panes;
    QToolBar* m_pToolBar = nullptr;
    CChildView* m_pView = nullptr;
    CMyQuickList* m_pList = nullptr;
    CMySizingControlBarG* m_pViewerBar = nullptr;
    CEmailViewerTabs* m_pViewer = nullptr;
    QList<QIcon> m_SmallImages;
    std::u16string m_strCurrentPath;
    CDBXFile m_Mailbox;
    CDbxStore m_Store;
    CFoldersBar* m_pFoldersBar = nullptr;
    int m_nShownRow = -1;
    const CEmailDBX* m_pShownEntry = nullptr;
    CEmailSortState m_SortState;
    CQuickFilter m_QuickFilter;
    bool m_bFilterIndexBuilt = false;
    bool m_bFiltered = false;
    std::vector<std::int32_t> m_FilterRows;  // ascending mailbox rows while filtered
    CQuickFilterBar* m_pFilterBar = nullptr;
    // The selection when the filter began: clearing it gives back the rows it hid.
    CListSelection m_PreFilterSelection;

    QMenu* m_pCodePageMenu = nullptr;
    QHash<int, QAction*> m_Actions;
    QHash<int, QAction*> m_ToolbarActions;
};
