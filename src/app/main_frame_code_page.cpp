// The main window's side of the mailbox code page: the View submenu that overrides the
// detected code page, and the status bar pane that names the one in use.
#include <QActionGroup>
#include <QLabel>
#include <QMenu>

#include "app/email_viewer_tabs.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "platform/code_page.h"

namespace {

constexpr char kCodePageMenuTitle[] = "Mailbox Code Page";

}  // namespace

void CMainFrame::CreateCodePageMenu(QMenu* viewMenu) {
    if (viewMenu == nullptr) {
        return;
    }
    viewMenu->addSeparator();
    m_pCodePageMenu = viewMenu->addMenu(QString::fromLatin1(kCodePageMenuTitle));
    m_pCodePageMenu->setObjectName(QStringLiteral("CodePageMenu"));
    auto* group = new QActionGroup(m_pCodePageMenu);
    group->setExclusive(true);
    const auto add = [this, group](const QString& text, std::uint32_t codePage) {
        QAction* action = m_pCodePageMenu->addAction(text);
        action->setCheckable(true);
        action->setData(codePage);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, codePage] { OnMailboxCodePage(codePage); });
    };
    add(QString(), 0);  // named as the menu opens, after the detected code page
    m_pCodePageMenu->addSeparator();
    for (const AnsiCodePage& cp : GetAnsiCodePages()) {
        add(QStringLiteral("%1 (%2)").arg(ToQString(cp.script),
                                          ToQString(AnsiCodePageName(cp.codePage))),
            cp.codePage);
    }
    connect(m_pCodePageMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCodePageMenu);
    UpdateCodePageMenu();
}

void CMainFrame::UpdateCodePageMenu() {
    if (m_pCodePageMenu == nullptr) {
        return;
    }
    const std::uint32_t chosen = m_Mailbox.GetCodePageOverride();
    for (QAction* action : m_pCodePageMenu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        const std::uint32_t codePage = action->data().toUInt();
        if (codePage == 0) {
            action->setText(
                QStringLiteral("Automatic (%1)")
                    .arg(ToQString(AnsiCodePageTitle(m_Mailbox.GetDetectedCodePage()))));
        }
        action->setChecked(codePage == chosen);
    }
}

void CMainFrame::UpdateCodePagePane() {
    if (QLabel* pane = m_Panes.value(PaneCodePage)) {
        pane->setText(m_Mailbox.IsOpen() ? ToQString(AnsiCodePageName(m_Mailbox.GetCodePage()))
                                         : QString());
        pane->setToolTip(
            QStringLiteral("The code page the mailbox's names and subjects are "
                           "read in (View > Mailbox Code Page)"));
    }
}

void CMainFrame::OnMailboxCodePage(std::uint32_t codePage) {
    const CListSelection kept = CaptureSelection();
    m_Mailbox.SetCodePageOverride(codePage);
    UpdateCodePageMenu();
    UpdateCodePagePane();
    // The filter folds the names again, and the viewer reads its bytes again.
    AfterEntriesChanged(kept);
    const int shown = m_nShownRow;
    m_nShownRow = -1;
    m_pShownEntry = nullptr;
    ShowEmail(shown);
}
