// The main window's quick filter and the rows its list shows: which mailbox row each list
// row stands for, how the selection and the shown message follow their messages when the
// rows change (filter, sort, duplicate deletion), and the viewer bar's way back.
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "analysis/duplicates.h"
#include "analysis/email_selection.h"
#include "app/child_view.h"
#include "app/email_viewer_tabs.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "app/quick_filter_bar.h"
#include "app/sizing_control_bar.h"
#include "mime/message_page.h"

namespace {

// Where each entry of the mailbox stands in it.
std::unordered_map<const CEmailDBX*, std::int32_t> RowsOfEntries(const CEmailArray& emails) {
    std::unordered_map<const CEmailDBX*, std::int32_t> rowOf;
    rowOf.reserve(std::size_t(std::max(emails.GetCount(), 0)));
    for (std::int32_t row = 0; row < emails.GetCount(); ++row) {
        rowOf.emplace(emails.Get(row), row);
    }
    return rowOf;
}

}  // namespace

void CMainFrame::CreateQuickFilter() {
    m_pFilterBar = new CQuickFilterBar(m_pView);
    m_pView->AttachFilterBar(m_pFilterBar);
    connect(m_pFilterBar, &CQuickFilterBar::FilterChanged, this,
            [this](const QString& text) { ApplyQuickFilter(text); });
    connect(m_pFilterBar, &CQuickFilterBar::BodySearchRequested, this,
            [this](const QString& text) { RunBodySearch(text); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &CMainFrame::FocusQuickFilter);
    // The check mark of View > Email Viewer follows the bar's close box too.
    // (tied to the action, so that nothing of the window is called while it is destroyed).
    connect(m_pViewerBar, &QDockWidget::visibilityChanged, m_Actions.value(kIdViewEmailViewer),
            &QAction::setChecked);
}

void CMainFrame::OnViewEmailViewer() {
    if (m_pViewerBar->isVisibleTo(this)) {
        m_pViewerBar->hide();
    } else {
        ShowViewerBar();
    }
    UpdateViewChecks();
}

void CMainFrame::FocusQuickFilter() {
    m_pFilterBar->FocusField();
}

void CMainFrame::ShowViewerBar() {
    if (m_pViewerBar->isHidden()) {
        m_pViewerBar->show();
    }
    m_pViewerBar->raise();
}

int CMainFrame::EntryRow(int listRow) const {
    if (listRow < 0) {
        return -1;
    }
    if (m_bFiltered) {
        return std::size_t(listRow) < m_FilterRows.size() ? m_FilterRows[std::size_t(listRow)] : -1;
    }
    return listRow < m_Mailbox.GetEmails().GetCount() ? listRow : -1;
}

int CMainFrame::ListRowOfEntry(int entryRow) const {
    if (entryRow < 0 || entryRow >= m_Mailbox.GetEmails().GetCount()) {
        return -1;
    }
    if (!m_bFiltered) {
        return entryRow;
    }
    const auto it = std::lower_bound(m_FilterRows.begin(), m_FilterRows.end(), entryRow);
    return it != m_FilterRows.end() && *it == entryRow ? int(it - m_FilterRows.begin()) : -1;
}

std::vector<std::int32_t> CMainFrame::SelectedEntryRows() const {
    std::vector<std::int32_t> rows;
    const QModelIndexList selected = m_pList->selectionModel()->selectedRows();
    rows.reserve(std::size_t(selected.size()));
    for (const QModelIndex& index : selected) {
        if (const int row = EntryRow(index.row()); row >= 0) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CMainFrame::BuildFilterIndexSoon() {
    // Once the window has drawn the list, so that the first key typed does not wait for it.
    QTimer::singleShot(0, this, [this] {
        if (m_Mailbox.IsOpen()) {
            EnsureFilterIndex();
        }
    });
}

void CMainFrame::EnsureFilterIndex() {
    if (!m_bFilterIndexBuilt) {
        m_QuickFilter.Build(m_Mailbox.GetEmails(), m_Mailbox.GetCodePage());
        m_bFilterIndexBuilt = true;
    }
}

void CMainFrame::ApplyQuickFilter(const QString& text) {
    if (text.trimmed().isEmpty()) {
        SetListRows(std::nullopt);
        return;
    }
    EnsureFilterIndex();
    SetListRows(m_QuickFilter.Match(ToU16(text)));
}

bool CMainFrame::RunBodySearch(const QString& text) {
    if (text.trimmed().isEmpty()) {
        SetListRows(std::nullopt);
        return true;
    }
    EnsureFilterIndex();
    std::vector<std::int32_t> rows;
    if (!m_QuickFilter.MatchWithBodies(m_Mailbox, ToU16(text), m_Mailbox.GetCodePage(), m_Ui,
                                       rows)) {
        return false;
    }
    SetListRows(std::move(rows));
    return true;
}

void CMainFrame::ClearQuickFilter() {
    if (m_pFilterBar != nullptr) {
        m_pFilterBar->ClearSilently();
    }
    if (m_bFiltered) {
        SetListRows(std::nullopt);
    }
}

CMainFrame::CListSelection CMainFrame::CaptureSelection() const {
    CListSelection kept;
    const CEmailArray& emails = m_Mailbox.GetEmails();
    for (const QModelIndex& index : m_pList->selectionModel()->selectedRows()) {
        if (const CEmailDBX* e = emails.Get(EntryRow(index.row()))) {
            kept.selected.push_back(e);
        }
    }
    kept.current = emails.Get(EntryRow(m_pList->GetSelectionMark()));
    if (m_bFiltered) {
        for (const std::int32_t row : m_FilterRows) {
            kept.filtered.push_back(emails.Get(row));
        }
    }
    return kept;
}

void CMainFrame::RestoreSelection(const CListSelection& kept) {
    const auto rowOf = RowsOfEntries(m_Mailbox.GetEmails());
    auto listRow = [&](const CEmailDBX* e) {
        const auto it = rowOf.find(e);
        return it == rowOf.end() ? -1 : ListRowOfEntry(it->second);
    };
    std::vector<std::int32_t> rows;
    for (const CEmailDBX* e : kept.selected) {
        if (const int r = listRow(e); r >= 0) {
            rows.push_back(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    const QItemSelection selection = SelectionOf(RunsOfRows(rows));
    QAbstractItemModel* model = m_pList->model();
    // The shown message is no longer in the list: the viewer lets it go.
    if (m_pShownEntry != nullptr && listRow(m_pShownEntry) < 0) {
        m_nShownRow = -1;
        m_pShownEntry = nullptr;
        m_pViewer->Clear();
    }
    QItemSelectionModel* selectionModel = m_pList->selectionModel();
    const int current = kept.current != nullptr ? listRow(kept.current) : -1;
    m_pList->setUpdatesEnabled(false);
    selectionModel->setCurrentIndex(current >= 0 ? model->index(current, 0) : QModelIndex(),
                                    QItemSelectionModel::NoUpdate);
    selectionModel->select(selection,
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_pList->setUpdatesEnabled(true);
    if (current >= 0) {
        m_pList->scrollTo(model->index(current, 0));
        ShowEmail(current);
    } else if (m_pShownEntry != nullptr) {
        m_nShownRow = listRow(m_pShownEntry);
    }
}

void CMainFrame::SetListRows(std::optional<std::vector<std::int32_t>> rows) {
    CListSelection kept = CaptureSelection();
    if (!m_bFiltered && rows) {
        m_PreFilterSelection = kept;
    } else if (m_bFiltered && !rows) {
        // Back to the whole list: what the filter hid keeps its selection, what it showed
        // has the one made meanwhile.
        std::unordered_set<const CEmailDBX*> shown(kept.filtered.begin(), kept.filtered.end());
        for (const CEmailDBX* e : m_PreFilterSelection.selected) {
            if (!shown.contains(e)) {
                kept.selected.push_back(e);
            }
        }
        if (kept.current == nullptr) {
            kept.current = m_PreFilterSelection.current;
        }
        m_PreFilterSelection = {};
    }
    m_bFiltered = rows.has_value();
    m_FilterRows = rows ? std::move(*rows) : std::vector<std::int32_t>{};
    m_pList->SetItemCount(m_bFiltered ? int(m_FilterRows.size())
                                      : m_Mailbox.GetEmails().GetCount());
    RestoreSelection(kept);
    ShowMailboxCount();
}

void CMainFrame::AfterMailboxListChanged(const CListSelection& kept) {
    const CEmailArray& emails = m_Mailbox.GetEmails();
    if (m_bFilterIndexBuilt) {
        m_QuickFilter.Reindex(emails);
    }
    if (m_bFiltered) {
        // The same messages stay shown, at their new rows.
        const auto rowOf = RowsOfEntries(emails);
        m_FilterRows.clear();
        for (const CEmailDBX* e : kept.filtered) {
            if (const auto it = rowOf.find(e); it != rowOf.end()) {
                m_FilterRows.push_back(it->second);
            }
        }
        std::sort(m_FilterRows.begin(), m_FilterRows.end());
    }
    m_pList->SetItemCount(m_bFiltered ? int(m_FilterRows.size()) : emails.GetCount());
    RestoreSelection(kept);
    m_pList->RedrawAll();
    ShowMailboxCount();
}

void CMainFrame::AfterEntriesChanged(const CListSelection& kept) {
    // The keys are folded again at the next match.
    m_QuickFilter.Clear();
    m_bFilterIndexBuilt = false;
    if (m_bFiltered) {
        ApplyQuickFilter(m_pFilterBar->Text());
    } else {
        AfterMailboxListChanged(kept);
        BuildFilterIndexSoon();
    }
}
