#include "app/message_page_view.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/qt_text.h"
#include "mailbox/hyper_string.h"
#include "platform/ui_services.h"

namespace {

constexpr const char* kHeaderNames[] = {"From:", "To:", "Cc:", "Date:", "Subject:"};
constexpr char16_t kOpenLinkQuestion[] = u"Open this link outside Korvane Quillbox?\n\n";
constexpr char kSaveAttachmentTitle[] = "Save Attached File As";
constexpr char kAllFilesFilter[] = "All Files (*.*)|*.*||";
constexpr char16_t kSaveFailed[] = u"Unable to write the file:\n";
constexpr char kBlockedNotice[] =
    "Pictures and other content from outside this message were not loaded.";
constexpr char kCutNotice[] =
    "Only the beginning of this long message is shown here; the \"Text or HTML\" and \"MIME "
    "Source\" pages hold all of it.";
constexpr char kTextNotice[] =
    "This message is too large or too intricate to lay out; it is shown as text.";

}  // namespace

CMessageBrowser::CMessageBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("MessageBrowser"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    // Nothing relative may resolve to a folder of this machine.
    setSearchPaths({});
}

QVariant CMessageBrowser::loadResource(int type, const QUrl& name) {
    m_Requests.push_back(name);
    if (m_pPage != nullptr &&
        name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0 &&
        type == QTextDocument::ImageResource) {
        const std::string_view bytes =
            m_pPage->FindInlinePart(ToU16(QUrl::fromPercentEncoding(name.path().toUtf8())));
        if (!bytes.empty()) {
            ++m_nServed;
            return QByteArray(bytes.data(), qsizetype(bytes.size()));
        }
    }
    // An empty answer, not a null one: the document would otherwise read the URL itself.
    return QByteArray("");
}

CMessagePageView::CMessagePageView(IUiServices& ui, IAppDialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      m_Ui(ui),
      m_Dialogs(dialogs),
      m_pNotice(new QLabel(this)),
      m_pStack(new QStackedWidget(this)),
      m_pBrowser(new CMessageBrowser(m_pStack)),
      m_pTextBox(new QPlainTextEdit(m_pStack)),
      m_pAttachmentArea(new QScrollArea(this)) {
    setObjectName(QStringLiteral("MessagePage"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* header = new QFormLayout();
    header->setContentsMargins(0, 0, 0, 0);
    header->setVerticalSpacing(1);
    for (int field = 0; field < kFieldCount; ++field) {
        m_HeaderNames[field] = new QLabel(QString::fromLatin1(kHeaderNames[field]), this);
        QFont bold = m_HeaderNames[field]->font();
        bold.setBold(true);
        m_HeaderNames[field]->setFont(bold);
        m_HeaderValues[field] = new QLabel(this);
        m_HeaderValues[field]->setTextFormat(Qt::PlainText);
        m_HeaderValues[field]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_HeaderValues[field]->setWordWrap(true);
        header->addRow(m_HeaderNames[field], m_HeaderValues[field]);
    }
    layout->addLayout(header);

    m_pNotice->setObjectName(QStringLiteral("MessageNotice"));
    m_pNotice->setTextFormat(Qt::PlainText);
    m_pNotice->setWordWrap(true);
    m_pNotice->setAutoFillBackground(true);
    m_pNotice->setBackgroundRole(QPalette::ToolTipBase);
    m_pNotice->setForegroundRole(QPalette::ToolTipText);
    m_pNotice->setContentsMargins(4, 2, 4, 2);
    m_pNotice->hide();
    layout->addWidget(m_pNotice);

    m_pTextBox->setObjectName(QStringLiteral("MessageTextBox"));
    m_pTextBox->setReadOnly(true);
    m_pTextBox->setUndoRedoEnabled(false);
    m_pTextBox->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_pStack->addWidget(m_pBrowser);
    m_pStack->addWidget(m_pTextBox);
    layout->addWidget(m_pStack, 1);

    m_pAttachmentArea->setObjectName(QStringLiteral("AttachmentRow"));
    m_pAttachmentArea->setWidgetResizable(true);
    m_pAttachmentArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pAttachmentArea->setFrameShape(QFrame::NoFrame);
    m_pAttachmentArea->hide();
    layout->addWidget(m_pAttachmentArea);

    connect(m_pBrowser, &QTextBrowser::anchorClicked, this, &CMessagePageView::OpenLink);
    Clear();
}

bool CMessagePageView::ShowsTextBox() const {
    return m_pStack->currentWidget() == m_pTextBox;
}

void CMessagePageView::SetHeader(int field, const std::u16string& text) {
    m_HeaderValues[field]->setText(ToQString(text));
}

void CMessagePageView::Clear() {
    m_pBrowser->SetPage(nullptr);
    m_pBrowser->clear();
    m_pTextBox->clear();
    m_Page = CMessagePage();
    for (int field = 0; field < kFieldCount; ++field) {
        m_HeaderValues[field]->clear();
    }
    m_HeaderNames[FieldCc]->hide();
    m_HeaderValues[FieldCc]->hide();
    m_pNotice->hide();
    m_pStack->setCurrentWidget(m_pBrowser);
    FillAttachments();
}

void CMessagePageView::ShowPage(CMessagePage page) {
    Clear();
    m_Page = std::move(page);
    SetHeader(FieldFrom, m_Page.m_From);
    SetHeader(FieldTo, m_Page.m_To);
    SetHeader(FieldCc, m_Page.m_Cc);
    SetHeader(FieldDate, m_Page.m_Date);
    SetHeader(FieldSubject, m_Page.m_Subject);
    const bool cc = !m_Page.m_Cc.empty();
    m_HeaderNames[FieldCc]->setVisible(cc);
    m_HeaderValues[FieldCc]->setVisible(cc);

    const bool html = m_Page.m_BodyKind == CMessagePage::BodyHtml;
    const bool asText =
        html ? !m_Page.m_bRenderHtml : qsizetype(m_Page.m_Text.size()) > kMaxBrowserText;
    const bool cut = asText && qsizetype(m_Page.m_Text.size()) > kMaxBoxText;
    if (asText) {
        std::u16string_view text = m_Page.m_Text;
        if (cut) {
            text = text.substr(0, std::size_t(kMaxBoxText));
            if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) {
                text.remove_suffix(1);  // never half a surrogate pair
            }
        }
        m_pTextBox->setPlainText(ToQString(text));
        m_pStack->setCurrentWidget(m_pTextBox);
    } else if (html) {
        m_pBrowser->SetPage(&m_Page);
        m_pBrowser->setHtml(ToQString(m_Page.m_Body));
    } else {
        m_pBrowser->setPlainText(ToQString(m_Page.m_Text));
    }
    QString notice;
    if (cut) {
        notice = QString::fromLatin1(kCutNotice);
    } else if (html && !m_Page.m_bRenderHtml) {
        notice = QString::fromLatin1(kTextNotice);
    } else if (m_Page.m_nBlockedReferences > 0) {
        notice = QString::fromLatin1(kBlockedNotice);
    }
    m_pNotice->setText(notice);
    m_pNotice->setVisible(!notice.isEmpty());
    FillAttachments();
}

void CMessagePageView::FillAttachments() {
    // The scroll area deletes the strip it held when it is given the new one.
    m_pAttachmentStrip = new QWidget();
    auto* row = new QHBoxLayout(m_pAttachmentStrip);
    row->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < m_Page.m_Attachments.size(); ++i) {
        const CMessageAttachment& a = m_Page.m_Attachments[i];
        auto* label = new QLabel(ToQString(a.m_Name) + QStringLiteral(" (") +
                                     ToQString(FormatByteSize(a.m_nSize)) + QStringLiteral(")"),
                                 m_pAttachmentStrip);
        label->setTextFormat(Qt::PlainText);
        label->setObjectName(QStringLiteral("Attachment%1").arg(i));
        auto* save = new QPushButton(QStringLiteral("Save As..."), m_pAttachmentStrip);
        save->setObjectName(QStringLiteral("SaveAttachment%1").arg(i));
        connect(save, &QPushButton::clicked, this, [this, i] { SaveAttachmentAs(int(i)); });
        row->addWidget(label);
        row->addWidget(save);
        row->addSpacing(12);
    }
    row->addStretch(1);
    m_pAttachmentArea->setWidget(m_pAttachmentStrip);
    m_pAttachmentArea->setVisible(!m_Page.m_Attachments.empty());
    if (!m_Page.m_Attachments.empty()) {
        m_pAttachmentArea->setFixedHeight(m_pAttachmentStrip->sizeHint().height() +
                                          style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
    }
}

void CMessagePageView::SaveAttachmentAs(int index) {
    if (index < 0 || std::size_t(index) >= m_Page.m_Attachments.size()) {
        return;
    }
    CZHyperString name;
    name.SetWide(m_Page.m_Attachments[std::size_t(index)].m_Name);
    name.SanitizeFileName();
    const std::optional<QString> path = m_Dialogs.GetSaveFileName(
        QString::fromLatin1(kSaveAttachmentTitle), QString::fromLatin1(kAllFilesFilter),
        ToQString(name.GetWideView()));
    if (!path) {
        return;
    }
    if (!m_Page.SaveAttachment(std::size_t(index), ToU16(*path))) {
        m_Ui.MessageBox(std::u16string(kSaveFailed) + ToU16(*path), kErrorCaption, MsgIcon::Error,
                        MsgButtons::Ok);
    }
}

void CMessagePageView::OpenLink(const QUrl& url) {
    const std::u16string question = kOpenLinkQuestion + ToU16(url.toDisplayString());
    if (m_Ui.MessageBox(question, kAppName, MsgIcon::Question, MsgButtons::YesNo) ==
        MsgAnswer::Yes) {
        QDesktopServices::openUrl(url);
    }
}
