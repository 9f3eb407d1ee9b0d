// CEmailViewerTabs: what the viewer bar holds — a tab control (identifier 101) with its
// tabs along the bottom edge, in the platform's default UI font, and its two pages: tab 0
// "Text or HTML" (the decoded last text part) and tab 1 "MIME Source" (the raw message).
// The tab control shows one page at a time and sizes both to its display area.
#pragma once

#include <QTabWidget>
#include <cstdint>
#include <string_view>

class CDlgEmailViewText;
class CDlgEmailViewMime;

inline constexpr char kTextTabTitle[] = "Text or HTML";
inline constexpr char kMimeTabTitle[] = "MIME Source";

class CEmailViewerTabs final : public QTabWidget {
    Q_OBJECT
public:
    static constexpr int kTabId = 101;

    explicit CEmailViewerTabs(QWidget* parent);

    // Both pages empty.
    void Clear();
    // The text page gets the text part's content, the MIME page the raw message, both read
    // in the mailbox's code page.
    void ShowMessage(std::string_view textContent, std::string_view rawText,
                     std::uint32_t codePage);

    [[nodiscard]] CDlgEmailViewText* TextPage() const { return m_pTextPage; }
    [[nodiscard]] CDlgEmailViewMime* MimePage() const { return m_pMimePage; }

private:
    CDlgEmailViewText* m_pTextPage;
    CDlgEmailViewMime* m_pMimePage;
};
