// CEmailViewerTabs: what the viewer bar holds — a tab control (identifier 101) with its
// tabs along the bottom edge, in the platform's default UI font, and its three pages:
// "Message" (the message as a mail client shows it, selected at start), "Text or HTML"
// (the decoded last text part) and "MIME Source" (the raw message). The tab control shows
// one page at a time and sizes all of them to its display area.
#pragma once

#include <QTabWidget>
#include <cstdint>
#include <string_view>

class CDlgEmailViewText;
class CMessagePage;
class CMessagePageView;
class IAppDialogs;
class IUiServices;
class CDlgEmailViewMime;

inline constexpr char kTextTabTitle[] = "Text or HTML";
inline constexpr char kMimeTabTitle[] = "MIME Source";

class CEmailViewerTabs final : public QTabWidget {
    Q_OBJECT
public:
    CEmailViewerTabs(QWidget* parent, IUiServices& ui, IAppDialogs& dialogs);

    // Every page empty.
    void Clear();
    // The message page gets the page, the text page the text part's content, the MIME page
    // the raw message, both read in the mailbox's code page.
    void ShowMessage(CMessagePage page, std::string_view textContent, std::string_view rawText,
                     std::uint32_t codePage);

    [[nodiscard]] CMessagePageView* MessagePage() const { return m_pMessagePage; }
    [[nodiscard]] CDlgEmailViewText* TextPage() const { return m_pTextPage; }
    [[nodiscard]] CDlgEmailViewMime* MimePage() const { return m_pMimePage; }

private:
    CMessagePageView* m_pMessagePage;
    CDlgEmailViewText* m_pTextPage;
    CDlgEmailViewMime* m_pMimePage;
};
