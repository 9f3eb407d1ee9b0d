#include "app/email_viewer_tabs.h"

#include <QApplication>

#include "app/dlg_email_view.h"
#include "app/message_page_view.h"

CEmailViewerTabs::CEmailViewerTabs(QWidget* parent, IUiServices& ui, IAppDialogs& dialogs)
    : QTabWidget(parent),
      m_pMessagePage(new CMessagePageView(ui, dialogs, this)),
      m_pTextPage(new CDlgEmailViewText(this)),
      m_pMimePage(new CDlgEmailViewMime(this)) {
    setObjectName(QStringLiteral("ViewerTabs"));
    setTabPosition(QTabWidget::South);
    setFont(QApplication::font());
    setDocumentMode(false);
    addTab(m_pMessagePage, QString::fromLatin1(kMessageTabTitle));
    addTab(m_pTextPage, QString::fromLatin1(kTextTabTitle));
    addTab(m_pMimePage, QString::fromLatin1(kMimeTabTitle));
    setCurrentIndex(0);
}

void CEmailViewerTabs::Clear() {
    m_pMessagePage->Clear();
    m_pTextPage->Clear();
    m_pMimePage->Clear();
}

void CEmailViewerTabs::ShowMessage(CMessagePage page, std::string_view textContent,
                                   std::string_view rawText, std::uint32_t codePage) {
    m_pMessagePage->ShowPage(std::move(page));
    m_pTextPage->SetBytes(textContent, codePage);
    m_pMimePage->SetBytes(rawText, codePage);
}
