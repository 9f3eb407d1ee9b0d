// The main window's side of a whole store: Open Store, the Folders bar, and the folder
// the list shows. A folder's file loads exactly as File > Open loads one.
#include <QLabel>

#include "analysis/duplicates.h"
#include "app/app_dialogs.h"
#include "app/email_viewer_tabs.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "mailbox/email_columns.h"
#include "platform/ui_services.h"

namespace {

constexpr char kOpenStoreTitle[] = "Select the Outlook Express store folder";

}  // namespace

void CMainFrame::CreateFoldersBar() {
    m_pFoldersBar = new CFoldersBar(this);
    addDockWidget(Qt::LeftDockWidgetArea, m_pFoldersBar);
    resizeDocks({m_pFoldersBar}, {260}, Qt::Horizontal);
    m_pFoldersBar->hide();  // until a store is open
    connect(m_pFoldersBar, &CFoldersBar::FolderChosen, this,
            [this](CFoldersBar::FolderRef ref) { OpenStoreFolder(ref); });
}

void CMainFrame::OnFileOpenStore() {
    const std::optional<QString> folder = m_Dialogs.BrowseForFolder(
        QString::fromLatin1(kOpenStoreTitle), ToQString(m_Store.Folder()));
    if (folder) {
        LoadStore(ToU16(*folder));
    }
}

void CMainFrame::LoadStore(const std::u16string& path) {
    m_pFoldersBar->Clear();
    const std::int32_t status = m_Store.Open(path);
    if (status != StoreOk) {
        m_pFoldersBar->hide();
        m_Ui.MessageBox(GetStoreStatusText(status), kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    m_pFoldersBar->ShowStore(m_Store);
    m_pFoldersBar->show();
    setWindowTitle(ToQString(kAppName) + QStringLiteral(" - ") + ToQString(m_Store.Folder()));
    if (!m_Store.OtherStores().empty()) {
        std::u16string text =
            u"Other Outlook Express identities were found; open them with "
            u"Open Store:";
        for (const std::u16string& other : m_Store.OtherStores()) {
            text += u"\n" + other;
        }
        m_Ui.MessageBox(text, kAppName, MsgIcon::None, MsgButtons::Ok);
    }
    // Outlook Express opened on the Inbox; so does the bar, when there is one.
    for (std::size_t i = 0; i < m_Store.Folders().size(); ++i) {
        if (m_Store.Folders()[i].m_Kind == StoreFolderKind::Inbox) {
            m_pFoldersBar->SelectFolder({false, std::int32_t(i)});
            break;
        }
    }
}

void CMainFrame::OpenStoreFolder(CFoldersBar::FolderRef ref) {
    const auto& list = ref.unlisted ? m_Store.Unlisted() : m_Store.Folders();
    if (ref.index < 0 || std::size_t(ref.index) >= list.size()) {
        return;  // the "Unlisted" heading
    }
    const CStoreFolder& folder = list[std::size_t(ref.index)];
    switch (folder.m_FileState) {
        case StoreFileState::Present:
            LoadMailbox(m_Store.FilePath(folder));
            break;
        case StoreFileState::Missing:
            // Fails to open, with the text File > Open shows for such a file.
            LoadMailbox(m_Store.Folder() + folder.m_strStoredFile);
            break;
        case StoreFileState::None:
            // Nothing to show: the list empties as after a failed open, without a message.
            CloseMailbox();
            break;
    }
    if (!m_strCurrentPath.empty()) {
        m_pFoldersBar->SetMessageCount(ref, std::uint32_t(m_Mailbox.GetEmails().GetCount()));
    }
    const std::u16string shown = ref.unlisted ? u"Unlisted/" + folder.m_strName : folder.m_strPath;
    setWindowTitle(ToQString(kAppName) + QStringLiteral(" - ") + ToQString(m_Store.Folder()) +
                   QStringLiteral(" - ") + ToQString(shown.empty() ? folder.m_strName : shown));
}
