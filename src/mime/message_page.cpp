#include "mime/message_page.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "mime/charset.h"
#include "mime/html_entities.h"
#include "mime/html_sanitize.h"
#include "mime/mime_body.h"
#include "platform/code_page.h"
#include "platform/text.h"

namespace {

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x80; });
}

// One line: folding and tabs become single blanks, no blanks at the ends.
std::u16string Unfold(std::u16string_view text) {
    std::u16string out;
    bool blank = false;
    for (const char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n') {
            blank = !out.empty();
            continue;
        }
        if (blank) {
            out.push_back(u' ');
            blank = false;
        }
        out.push_back(c);
    }
    return out;
}

std::u16string HeaderText(const CMimeBody& message, std::string_view name,
                          std::string_view declaredCharset, unsigned codePage) {
    const std::optional<std::string_view> value = message.GetFieldValue(name);
    if (!value) {
        return {};
    }
    const std::optional<std::string_view> charset = message.GetFieldCharset(name);
    if (charset && !charset->empty()) {
        return Unfold(DecodeBodyText(*value, *charset, codePage));
    }
    if (IsAscii(*value) || declaredCharset.empty()) {
        return Unfold(DecodeBodyText(*value, {}, codePage));
    }
    // Raw bytes: most often in the charset of the body; when they do not read as that,
    // they were written in the mailbox's code page.
    std::u16string text = DecodeBodyText(*value, declaredCharset, codePage);
    if (text.find(u'\uFFFD') != std::u16string::npos) {
        text = DecodeBodyText(*value, {}, codePage);
    }
    return Unfold(text);
}

// An address field as a mail client shows it: display names without the quotes around them
// (and without the backslashes inside them); addresses in angle brackets stay as written.
std::u16string ShownAddresses(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    bool quoted = false;
    bool angle = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (quoted) {
            if (c == u'"') {
                quoted = false;
            } else if (c == u'\\' && i + 1 < text.size()) {
                out.push_back(text[++i]);
            } else {
                out.push_back(c);
            }
            continue;
        }
        if (c == u'"' && !angle) {
            quoted = true;
            continue;
        }
        angle = c == u'<' ? true : c == u'>' ? false : angle;
        out.push_back(c);
    }
    return out;
}

std::u16string NormalizeNewlines(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out.push_back(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string MediaType(const CMimeBody& part) {
    const CMimeHeaderField* field = part.FindField("Content-Type");
    if (field == nullptr) {
        return "text/plain";
    }
    std::string type;
    field->GetValueWithoutParameters(type);
    return AsciiLowered(type);
}

bool IsAttachmentDisposition(const CMimeBody& part) {
    const CMimeHeaderField* field = part.FindField("Content-Disposition");
    if (field == nullptr) {
        return false;
    }
    std::string value;
    field->GetValueWithoutParameters(value);
    return AsciiLowered(value) == "attachment";
}

bool HasFileName(const CMimeBody& part) {
    return part.HasName() || !part.GetParameter("Content-Disposition", "filename").empty();
}

// 0 not a body, 1 plain text, 2 HTML.
int TextBodyRank(const CMimeBody& part) {
    if (part.GetMediaKind() != MediaText) {
        return 0;
    }
    const std::string subtype = AsciiLowered(part.GetSubType());
    if (subtype.starts_with("html")) {
        return 2;
    }
    return subtype.starts_with("plain") ? 1 : 0;
}

bool IsInlineBody(const CMimeBody& part) {
    return TextBodyRank(part) > 0 && !HasFileName(part) && !IsAttachmentDisposition(part);
}

// The best body a part can give: 2 when it holds HTML, 1 plain text, 0 none.
int BestRank(const CMimeBody& part) {
    if (part.GetMediaKind() != MediaMultipart) {
        return IsInlineBody(part) ? TextBodyRank(part) : 0;
    }
    int best = 0;
    for (const auto& child : part.GetParts()) {
        best = std::max(best, BestRank(*child));
    }
    return best;
}

struct CBodyPiece {
    const CMimeBody* part;
    bool html;
};

void MarkLeaves(const CMimeBody& part, std::unordered_set<const CMimeBody*>& used) {
    std::vector<const CMimeBody*> leaves;
    part.CollectLeaves(leaves);
    used.insert(leaves.begin(), leaves.end());
}

// The parts a mail client shows as the body, in order: one alternative (the richest it can
// show), the root of a related group, every inline text part of a mixed one.
void CollectBody(const CMimeBody& part, std::vector<CBodyPiece>& pieces,
                 std::unordered_set<const CMimeBody*>& used) {
    if (part.GetMediaKind() != MediaMultipart) {
        if (IsInlineBody(part)) {
            pieces.push_back({&part, TextBodyRank(part) == 2});
            used.insert(&part);
        }
        return;
    }
    const std::string subtype = AsciiLowered(part.GetSubType());
    const auto& children = part.GetParts();
    if (subtype == "alternative") {
        const CMimeBody* chosen = nullptr;
        int chosenRank = 0;
        for (const auto& child : children) {
            const int rank = BestRank(*child);
            if (rank > 0 && rank >= chosenRank) {
                chosen = child.get();
                chosenRank = rank;
            }
        }
        for (const auto& child : children) {
            if (child.get() != chosen) {
                MarkLeaves(*child, used);  // other renderings of the same text
            }
        }
        if (chosen != nullptr) {
            CollectBody(*chosen, pieces, used);
        }
        return;
    }
    if (subtype == "related") {
        if (!children.empty()) {
            CollectBody(*children.front(), pieces, used);
        }
        return;
    }
    for (const auto& child : children) {
        CollectBody(*child, pieces, used);
    }
}

std::u16string Widen(std::string_view ascii) {
    return {ascii.begin(), ascii.end()};
}

std::u16string StripAngles(std::u16string_view id) {
    while (!id.empty() && (id.front() == u' ' || id.front() == u'\t')) {
        id.remove_prefix(1);
    }
    while (!id.empty() &&
           (id.back() == u' ' || id.back() == u'\t' || id.back() == u'\r' || id.back() == u'\n')) {
        id.remove_suffix(1);
    }
    if (id.size() >= 2 && id.front() == u'<' && id.back() == u'>') {
        id = id.substr(1, id.size() - 2);
    }
    return std::u16string(id);
}

}  // namespace

CMessagePage::CMessagePage() = default;
CMessagePage::CMessagePage(CMessagePage&&) noexcept = default;
CMessagePage& CMessagePage::operator=(CMessagePage&&) noexcept = default;
CMessagePage::~CMessagePage() = default;

bool CMessagePage::Build(std::string_view rawText, unsigned codePage) {
    *this = CMessagePage();
    rawText = CutAtZero(rawText);
    if (rawText.empty() || rawText.size() >= std::size_t(INT32_MAX)) {
        return false;
    }
    m_pMessage = std::make_unique<CMimeMessage>();
    CMimeMessage& message = *m_pMessage;
    message.Parse(rawText.data(), std::int32_t(rawText.size()));

    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::string declared = message.GetCharsetParameter();
    for (const CMimeBody* leaf : leaves) {
        if (!declared.empty()) {
            break;
        }
        if (TextBodyRank(*leaf) > 0) {
            declared = leaf->GetCharsetParameter();
        }
    }
    m_From = ShownAddresses(HeaderText(message, "From", declared, codePage));
    m_To = ShownAddresses(HeaderText(message, "To", declared, codePage));
    m_Cc = ShownAddresses(HeaderText(message, "Cc", declared, codePage));
    m_Date = HeaderText(message, "Date", declared, codePage);
    m_Subject = HeaderText(message, "Subject", declared, codePage);

    std::vector<CBodyPiece> pieces;
    std::unordered_set<const CMimeBody*> used;
    CollectBody(message, pieces, used);
    const bool anyHtml =
        std::any_of(pieces.begin(), pieces.end(), [](const CBodyPiece& p) { return p.html; });
    std::u16string combined;
    for (const CBodyPiece& piece : pieces) {
        std::u16string text =
            DecodeBodyText(piece.part->GetContent(), piece.part->GetCharsetParameter(), codePage);
        if (!combined.empty()) {
            combined += anyHtml ? u"<hr />" : u"\n\n";
        }
        if (piece.html || !anyHtml) {
            combined += piece.html ? text : NormalizeNewlines(text);
        } else {
            combined += u"<div style=\"white-space: pre-wrap\">" + EscapeHtmlText(text) + u"</div>";
        }
    }
    std::vector<std::u16string> cidReferences;
    if (anyHtml) {
        m_BodyKind = BodyHtml;
        CSanitizedHtml clean = SanitizeHtml(combined);
        m_Text = HtmlToText(combined);
        m_nBlockedReferences = clean.m_nBlockedReferences;
        m_bRenderHtml = clean.m_Html.size() <= kMaxRenderedHtml &&
                        clean.m_nTableCells <= kMaxTableCells &&
                        clean.m_nTableDepth <= kMaxTableDepth;
        m_Body = std::move(clean.m_Html);
        cidReferences = std::move(clean.m_CidReferences);
    } else if (!pieces.empty()) {
        m_BodyKind = BodyPlain;
        m_Text = combined;
        m_Body = std::move(combined);
    }

    for (const CMimeBody* leaf : leaves) {
        if (const std::optional<std::string_view> id = leaf->GetFieldValue("Content-ID")) {
            m_InlineParts.push_back({StripAngles(DecodeBodyText(*id, {}, codePage)), leaf});
        }
    }
    std::unordered_set<const CMimeBody*> shownInline;
    for (const std::u16string& id : cidReferences) {
        for (const CInlinePart& part : m_InlineParts) {
            if (part.m_ContentId == id) {
                shownInline.insert(part.m_pPart);
            }
        }
    }
    std::int32_t number = 0;
    for (const CMimeBody* leaf : leaves) {
        ++number;
        if (used.contains(leaf) || shownInline.contains(leaf)) {
            continue;
        }
        CMessageAttachment attachment;
        attachment.m_pPart = leaf;
        attachment.m_nSize = leaf->GetContentLength();
        attachment.m_MediaType = MediaType(*leaf);
        const char* field = leaf->HasName() ? "Content-Type" : "Content-Disposition";
        const std::string name = leaf->GetParameter(field, leaf->HasName() ? "name" : "filename");
        const std::optional<std::string_view> charset = leaf->GetFieldCharset(field);
        attachment.m_Name = Unfold(DecodeBodyText(name, charset.value_or(""), codePage));
        if (attachment.m_Name.empty()) {
            attachment.m_Name = u"part-" + Widen(std::to_string(number));
            if (leaf->GetMediaKind() == MediaMessage) {
                attachment.m_Name += u".eml";
            }
        }
        m_Attachments.push_back(std::move(attachment));
    }
    return true;
}

std::string_view CMessagePage::FindInlinePart(std::u16string_view contentId,
                                              std::string* mediaType) const {
    const std::u16string id = StripAngles(contentId);
    for (const CInlinePart& part : m_InlineParts) {
        if (part.m_ContentId == id) {
            if (mediaType != nullptr) {
                *mediaType = MediaType(*part.m_pPart);
            }
            return part.m_pPart->GetContent();
        }
    }
    return {};
}

std::string_view CMessagePage::AttachmentBytes(std::size_t index) const {
    return index < m_Attachments.size() ? m_Attachments[index].m_pPart->GetContent()
                                        : std::string_view{};
}

bool CMessagePage::SaveAttachment(std::size_t index, const std::u16string& path) const {
    return index < m_Attachments.size() && m_Attachments[index].m_pPart->SaveContent(path);
}

std::u16string CMessagePage::TextForm() const {
    std::u16string out;
    auto line = [&out](std::u16string_view name, const std::u16string& value) {
        out += name;
        out += u": ";
        out += value;
        out += u"\n";
    };
    line(u"From", m_From);
    line(u"To", m_To);
    if (!m_Cc.empty()) {
        line(u"Cc", m_Cc);
    }
    line(u"Date", m_Date);
    line(u"Subject", m_Subject);
    out += u"\n";
    out += m_Text;
    if (!m_Text.empty() && m_Text.back() != u'\n') {
        out += u"\n";
    }
    if (!m_Attachments.empty()) {
        out += u"\nAttached files:\n";
        for (const CMessageAttachment& a : m_Attachments) {
            out += u"  " + a.m_Name + u" (" + FormatByteSize(a.m_nSize) + u")\n";
        }
    }
    return out;
}

std::u16string FormatByteSize(std::int64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, bytes == 1 ? "%lld byte" : "%lld bytes",
                      static_cast<long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
    }
    return Widen(text);
}

std::u16string DecodeBodyText(std::string_view bytes, std::string_view charset, unsigned codePage) {
    bytes = CutAtZero(bytes);
    std::u16string out;
    const unsigned declared = charset.empty() ? 0 : CodePageFromCharset(charset);
    if (declared != 0 && IsCodePageAvailable(declared) &&
        MultiByteToWideString(declared, bytes, out)) {
        return out;
    }
    if (!MultiByteToWideString(codePage, bytes, out)) {
        out.assign(bytes.begin(), bytes.end());  // one character per byte, as a last resort
    }
    return out;
}

std::u16string MessageBodyText(std::string_view rawText, unsigned codePage) {
    rawText = CutAtZero(rawText);
    if (rawText.empty() || rawText.size() >= std::size_t(INT32_MAX)) {
        return {};
    }
    CMimeMessage message;
    message.Parse(rawText.data(), std::int32_t(rawText.size()));
    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::u16string text;
    for (const CMimeBody* leaf : leaves) {
        const int rank = TextBodyRank(*leaf);
        if (rank == 0) {
            continue;
        }
        std::u16string body =
            DecodeBodyText(leaf->GetContent(), leaf->GetCharsetParameter(), codePage);
        if (!text.empty()) {
            text.push_back(u'\n');
        }
        text += rank == 2 ? HtmlToText(body) : body;
    }
    return text;
}
