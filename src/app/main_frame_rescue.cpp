// The main window's part of the rescue: Tools > Recover Messages, the offer to scan a file
// whose index failed, and the count in the status bar. The core decides; this only shows.
#include "analysis/mailbox_rescue.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "platform/ui_services.h"

#include <QLabel>
#include <algorithm>

void CMainFrame::OnRecoverMessages() {
    if (!m_Mailbox.IsOpen()) {
        return;
    }
    const CListSelection kept = CaptureSelection();
    const CRescueResult result = RunRecoverCommand(m_Mailbox, m_Ui);
    if (result.Recovered() > 0) {
        AfterEntriesChanged(kept);
    }
    ShowMailboxCount();
}

bool CMainFrame::OfferRescue(std::int32_t status) {
    if (!ShouldOfferRescue(m_Mailbox, status) ||
        m_Ui.MessageBox(kRescueQuestion, kAppName, MsgIcon::Question, MsgButtons::YesNo) !=
            MsgAnswer::Yes) {
        return false;
    }
    return RunRecoverCommand(m_Mailbox, m_Ui).Recovered() > 0;
}

void CMainFrame::ShowMailboxCount() {
    const auto total = std::uint32_t(std::max(m_Mailbox.GetEmails().GetCount(), 0));
    const std::u16string text = m_bFiltered
                                    ? FilteredCountText(std::uint32_t(m_FilterRows.size()), total)
                                    : MailboxCountText(m_Mailbox);
    m_Panes[PaneCount]->setText(ToQString(text));
}
