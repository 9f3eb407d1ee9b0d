// CMessagePageView: the viewer's "Message" page, a message as a mail client shows it: the
// decoded header block, the body, and a row of attached files with "Save As..." each.
//
// HTML goes into CMessageBrowser, a QTextBrowser (no script engine, no network) whose only
// resources are the message's own cid: parts; every other request is answered with nothing,
// so neither a remote image nor a file on this machine is ever read. Links are not followed
// by the widget: a click asks first, then the desktop opens the link. Bodies the core judged
// too large or too intricate to lay out, and large plain texts, go into a plain-text box
// that lays out lazily, so that no message stalls the window.
#pragma once

#include <QScrollArea>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <vector>

#include "mime/message_page.h"

class IAppDialogs;
class IUiServices;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QHBoxLayout;

inline constexpr char kMessageTabTitle[] = "Message";

class CMessageBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit CMessageBrowser(QWidget* parent);

    // The page whose parts the cid: URLs name; null serves nothing.
    void SetPage(const CMessagePage* page) { m_pPage = page; }
    QVariant loadResource(int type, const QUrl& name) override;

    // Every resource the document asked for, and how many of them were served.
    [[nodiscard]] const std::vector<QUrl>& ResourceRequests() const { return m_Requests; }
    [[nodiscard]] int ServedCount() const { return m_nServed; }

private:
    const CMessagePage* m_pPage = nullptr;
    std::vector<QUrl> m_Requests;
    int m_nServed = 0;
};

class CMessagePageView final : public QWidget {
    Q_OBJECT
public:
    // Plain texts longer than this (UTF-16 units) go into the lazy box.
    static constexpr qsizetype kMaxBrowserText = 256 * 1024;
    // The lazy box shows at most this much; the other pages hold the whole text.
    static constexpr qsizetype kMaxBoxText = 1024 * 1024;

    CMessagePageView(IUiServices& ui, IAppDialogs& dialogs, QWidget* parent);

    void ShowPage(CMessagePage page);
    void Clear();

    // Asks where to save the attached file, then writes it.
    void SaveAttachmentAs(int index);
    // Asks before handing the link to the desktop.
    void OpenLink(const QUrl& url);

    [[nodiscard]] const CMessagePage& Page() const { return m_Page; }
    [[nodiscard]] CMessageBrowser* Browser() const { return m_pBrowser; }
    [[nodiscard]] QPlainTextEdit* TextBox() const { return m_pTextBox; }
    // Whether the body is in the lazy text box rather than the browser.
    [[nodiscard]] bool ShowsTextBox() const;
    [[nodiscard]] QLabel* HeaderValue(int field) const { return m_HeaderValues[field]; }
    [[nodiscard]] QLabel* Notice() const { return m_pNotice; }
    [[nodiscard]] QWidget* AttachmentRow() const { return m_pAttachmentArea; }

    enum HeaderField { FieldFrom, FieldTo, FieldCc, FieldDate, FieldSubject, kFieldCount };

private:
    void SetHeader(int field, const std::u16string& text);
    void FillAttachments();

    IUiServices& m_Ui;
    IAppDialogs& m_Dialogs;
    CMessagePage m_Page;
    QLabel* m_HeaderNames[kFieldCount] = {};
    QLabel* m_HeaderValues[kFieldCount] = {};
    QLabel* m_pNotice;
    QStackedWidget* m_pStack;
    CMessageBrowser* m_pBrowser;
    QPlainTextEdit* m_pTextBox;
    QScrollArea* m_pAttachmentArea;
    QWidget* m_pAttachmentStrip = nullptr;
};
