#include "export/template_keys.h"

#include <array>
#include <climits>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "export/template.h"
#include "mailbox/email.h"
#include "mailbox/hyper_string.h"
#include "mime/charset.h"
#include "mime/decoder.h"
#include "mime/html_entities.h"
#include "mime/html_sanitize.h"
#include "mime/message_page.h"
#include "mime/mime_email.h"
#include "mime/tag_strip.h"
#include "platform/code_page.h"
#include "platform/text.h"

namespace {

struct KeyName {
    std::string_view name;
    TemplateKey key;
};

constexpr std::array<KeyName, 14> kKeys{{
    {"EMAIL_START", TemplateKey::EmailStart},
    {"NEXT_EMAIL", TemplateKey::NextEmail},
    {"TITLE", TemplateKey::Title},
    {"CURRENT_DATE", TemplateKey::CurrentDate},
    {"DATE_SENT", TemplateKey::DateSent},
    {"DATE_RECEIVED", TemplateKey::DateReceived},
    {"EMAIL_RAW", TemplateKey::EmailRaw},
    {"TEXT_CONTENT", TemplateKey::TextContent},
    {"HTML_CONTENT", TemplateKey::HtmlContent},
    {"TEXT_OR_HTML_CONTENT", TemplateKey::TextOrHtmlContent},
    {"SUBJECT", TemplateKey::Subject},
    {"SENDER_EMAIL", TemplateKey::SenderEmail},
    {"SENDER_NAME", TemplateKey::SenderName},
    {"RECEIVERS_HTML", TemplateKey::ReceiversHtml},
}};

// A plain-text body without the uuencoded or yEnc file appended to it.
std::string_view CutAtEncodedBlock(std::string_view text) {
    CDecoder decoder;
    std::uint32_t offset = 0;
    const std::int32_t kind = decoder.Detect(text, &offset);
    if ((kind == CDecoder::DetectUuencode || kind == CDecoder::DetectYEnc) &&
        offset < text.size()) {
        text = text.substr(0, offset);
    }
    return CutAtZero(text);
}

bool IsTrimmed(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Maximal runs of non-separators, each trimmed (an empty result still counts).
std::vector<std::u16string> SplitTokens(std::u16string_view text, std::u16string_view separators) {
    std::vector<std::u16string> tokens;
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find_first_not_of(separators, pos);
        if (pos == std::u16string_view::npos) {
            break;
        }
        std::size_t end = text.find_first_of(separators, pos);
        if (end == std::u16string_view::npos) {
            end = text.size();
        }
        std::u16string_view token = text.substr(pos, end - pos);
        while (!token.empty() && IsTrimmed(token.front())) {
            token.remove_prefix(1);
        }
        while (!token.empty() && IsTrimmed(token.back())) {
            token.remove_suffix(1);
        }
        tokens.emplace_back(token);
        pos = end;
    }
    return tokens;
}

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::u16string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

// The decoded field converted from its charset (the mailbox's without one) into the code page;
// false for a missing or empty field or a failed conversion.
bool FieldInCodePage(const CMimeEmail& email, std::string_view name, std::uint32_t codePage,
                     std::uint32_t mailboxCodePage, TextEscape escape, std::string& out) {
    out.clear();
    const std::optional<std::string_view> value = email.GetFieldValue(name);
    if (codePage == 0 || !value || value->empty() || value->size() > std::size_t(INT32_MAX)) {
        return false;
    }
    const std::optional<std::string_view> charset = email.GetFieldCharset(name);
    const std::string text(*value);
    return ConvertCharset(
        charset && !charset->empty() ? *charset : UnlabelledTextCharset(mailboxCodePage), codePage,
        text.c_str(), std::int32_t(text.size()), out, escape);
}

TextEscape EscapeFor(KeyOutput output) {
    return output == KeyOutput::Html ? TextEscape::Html : TextEscape::None;
}

// A body's bytes converted from its charset into the code page for a text file; as they
// are when they cannot be converted.
std::string BodyAsText(std::string_view charset, std::uint32_t codePage, std::string_view text) {
    std::string converted;
    if (!text.empty() && ConvertCharset(charset, codePage, text.data(), std::int32_t(text.size()),
                                        converted, TextEscape::None)) {
        return converted;
    }
    return std::string(text);
}

// The text of an HTML body, read as the Message page reads it, in the code page with each
// line (the last too) ending in CR LF.
std::string HtmlBodyAsText(std::string_view charset, std::uint32_t codePage,
                           std::string_view html) {
    const std::u16string text = HtmlToText(DecodeBodyText(html, charset, codePage));
    if (text.empty()) {
        return {};
    }
    std::u16string lines;
    lines.reserve(text.size() + text.size() / 32 + 2);
    for (const char16_t c : text) {
        if (c == u'\n') {
            lines.push_back(u'\r');
        }
        lines.push_back(c);
    }
    if (lines.back() != u'\n') {
        lines += u"\r\n";
    }
    std::string out;
    if (!WideToMultiByteString(codePage, lines, out)) {
        out.clear();
    }
    return out;
}

}  // namespace

TemplateKey FindTemplateKey(std::string_view key) {
    for (const KeyName& k : kKeys) {
        if (EqualsNoCase(key, k.name)) {
            return k.key;
        }
    }
    return TemplateKey::Unknown;
}

std::string TitleKeyText(std::u16string_view title) {
    return WideToUtf8(title);
}

std::string CurrentDateKeyText() {
    return NarrowAscii(FormatCurrentDate(), ' ');
}

std::string DateKeyText(FILETIME64 time) {
    std::string text;
    DateText(time, text);
    return text;
}

std::string TextContentKeyText(CMimeEmail& email, std::uint32_t codePage, KeyOutput output) {
    std::string out;
    bool wrotePlain = false;
    for (const CMimeEmailContent& item : email.GetContents()) {
        if (item.GetKind() != CMimeEmailContent::ContentPlainText || item.GetLength() <= 0) {
            continue;
        }
        const std::string_view text = CutAtEncodedBlock(item.GetText());
        const std::string_view charset(item.GetCharset());
        wrotePlain = true;
        if (output == KeyOutput::Text) {
            out += BodyAsText(charset, codePage, text);
            continue;
        }
        // The bytes stay in the body's charset; only its angle brackets become entities.
        const std::uint32_t bodyCodePage = CodePageFromCharset(charset);
        out += EscapeMarkupInCodePage(text, bodyCodePage != 0 ? bodyCodePage : codePage);
    }
    if (wrotePlain || output != KeyOutput::Text) {
        return out;
    }
    // An HTML-only message would have no body at all in a text file.
    for (const CMimeEmailContent& item : email.GetContents()) {
        if (item.GetKind() != CMimeEmailContent::ContentHtml || item.GetLength() <= 0) {
            continue;
        }
        out += HtmlBodyAsText(std::string_view(item.GetCharset()), codePage, item.GetText());
    }
    return out;
}

std::string HtmlContentKeyText(CMimeEmail& email) {
    email.StripDocumentTags();
    std::string out;
    for (const CMimeEmailContent& item : email.GetContents()) {
        if (item.GetKind() != CMimeEmailContent::ContentHtml || item.GetLength() <= 0) {
            continue;
        }
        out += item.GetText();
    }
    return out;
}

std::string TextOrHtmlKeyText(CMimeEmail& email, std::uint32_t codePage, KeyOutput output) {
    if (output == KeyOutput::Text) {
        return TextContentKeyText(email, codePage, output);
    }
    email.StripDocumentTags();
    std::string out;
    bool wroteHtml = false;
    for (const CMimeEmailContent& item : email.GetContents()) {
        if (item.GetKind() != CMimeEmailContent::ContentHtml || item.GetLength() <= 0) {
            continue;
        }
        // The converted text must fit twice the item's length; when it does not, the
        // item is written as it came.
        const std::int32_t length = item.GetLength();
        std::vector<char> buffer(std::size_t(length) * 2);
        std::int32_t written = 0;
        if (ConvertCharsetToBuffer(std::string_view(item.GetCharset()), codePage,
                                   item.GetTextData(), length + 1, buffer.data(),
                                   std::int32_t(buffer.size()), &written)) {
            out += CutAtZero(std::string_view(buffer.data(), std::size_t(written)));
        } else {
            out += item.GetText();
        }
        wroteHtml = true;
    }
    if (wroteHtml) {
        return out;
    }
    for (const CMimeEmailContent& item : email.GetContents()) {
        if (item.GetKind() != CMimeEmailContent::ContentPlainText || item.GetLength() <= 0) {
            continue;
        }
        const std::string_view text = CutAtEncodedBlock(item.GetText());
        std::string converted;
        if (ConvertCharset(std::string_view(item.GetCharset()), codePage, text.data(),
                           std::int32_t(text.size()), converted, TextEscape::Html)) {
            out += "<pre>";
            out += converted;
            out += "</pre>";
        }
    }
    return out;
}

std::string SubjectKeyText(const CMimeEmail* email, const CEmailDBX& entry, std::uint32_t codePage,
                           std::uint32_t mailboxCodePage, KeyOutput output) {
    std::string out;
    if (email != nullptr &&
        FieldInCodePage(*email, "Subject", codePage, mailboxCodePage, EscapeFor(output), out) &&
        !out.empty()) {
        return out;
    }
    // Read like unlabelled header text, so that a Western page stays as it was.
    CZHyperString subject(entry.m_Subject);
    if (!subject.ToWide(CodePageFromCharset(UnlabelledTextCharset(mailboxCodePage)))) {
        return {};
    }
    if (output == KeyOutput::Html) {
        if (!EscapeHtml(subject)) {
            return {};
        }
        // The entities are there already; the angle brackets are what is left.
        std::u16string escaped;
        for (const char16_t c : subject.GetWideView()) {
            if (c == u'<') {
                escaped += u"&lt;";
            } else if (c == u'>') {
                escaped += u"&gt;";
            } else {
                escaped += c;
            }
        }
        subject.SetWide(escaped);
    }
    if (!subject.ToCodePage(codePage)) {
        return {};
    }
    return std::string(CutAtZero(subject.GetTextView()));
}

std::string SenderNameKeyText(const CMimeEmail* email, const CEmailDBX& entry,
                              std::uint32_t codePage, std::uint32_t mailboxCodePage,
                              KeyOutput output) {
    std::string out;
    if (email != nullptr &&
        FieldInCodePage(*email, "From", codePage, mailboxCodePage, EscapeFor(output), out) &&
        !out.empty()) {
        if (!out.empty() && out.front() == '"') {
            out.erase(0, 1);
        }
        if (!out.empty() && out.back() == '"') {
            out.pop_back();
        }
        return out;
    }
    for (const std::string* stored : {&entry.m_SenderName, &entry.m_SenderAddress}) {
        if (stored->empty()) {
            continue;
        }
        if (ConvertCharset(UnlabelledTextCharset(mailboxCodePage), codePage, stored->c_str(),
                           std::int32_t(stored->size()), out, EscapeFor(output))) {
            return out;
        }
    }
    return {};
}

std::string SenderEmailKeyText(const CEmailDBX& entry, std::uint32_t mailboxCodePage,
                               KeyOutput output) {
    const std::string_view stored = CutAtZero(entry.m_SenderAddress);
    if (output == KeyOutput::Text) {
        return std::string(stored);
    }
    return EscapeMarkupInCodePage(stored, mailboxCodePage);
}

std::string ReceiversKeyText(const CEmailDBX& entry, std::uint32_t mailboxCodePage,
                             KeyOutput output, std::uint32_t codePage) {
    std::u16string names = MailboxBytesToWide(mailboxCodePage, entry.m_RecipientName);
    const std::u16string addresses = MailboxBytesToWide(mailboxCodePage, entry.m_RecipientAddress);
    const std::u16string storedNames = names;
    for (char16_t& c : names) {
        if (c == u',' || c == u'\'') {
            c = u';';
        }
    }
    ReplaceAll(names, u"; ;", u";;;");
    const std::vector<std::u16string> nameTokens = SplitTokens(names, u",;'");
    const std::vector<std::u16string> addressTokens = SplitTokens(addresses, u",;'<> ");
    const bool paired = !nameTokens.empty() && nameTokens.size() == addressTokens.size();
    if (output == KeyOutput::Text) {
        // "Name <address>; ..." as text, else the stored names (or addresses).
        std::u16string text;
        if (paired) {
            for (std::size_t k = 0; k < nameTokens.size(); ++k) {
                if (k > 0) {
                    text += u"; ";
                }
                text += nameTokens[k] + u" <" + addressTokens[k] + u">";
            }
        } else {
            text = !storedNames.empty() ? storedNames : addresses;
        }
        std::string bytes;
        if (WideToMultiByteString(codePage, text, bytes)) {
            return bytes;
        }
        return NarrowAscii(text, ' ');
    }
    if (paired) {
        std::u16string links;
        for (std::size_t k = 0; k < nameTokens.size(); ++k) {
            if (k > 0) {
                links += u"; ";
            }
            links += u"<a href=\"mailto:";
            links += EscapeHtmlText(addressTokens[k]);
            links += u"\">";
            links += EscapeHtmlText(nameTokens[k]);
            links += u"</a>";
        }
        return NarrowAscii(links, ' ');
    }
    // The stored bytes as they are, like SENDER_EMAIL.
    if (!entry.m_RecipientName.empty()) {
        return EscapeMarkupInCodePage(CutAtZero(entry.m_RecipientName), mailboxCodePage);
    }
    return EscapeMarkupInCodePage(CutAtZero(entry.m_RecipientAddress), mailboxCodePage);
}

void WriteTemplateKey(TemplateKey key, const CKeyMessage& message, std::u16string_view title,
                      std::uint32_t codePage, std::string& out, KeyOutput output) {
    const CEmailDBX* entry = message.pEntry;
    switch (key) {
        case TemplateKey::Title:
            out += TitleKeyText(title);
            return;
        case TemplateKey::CurrentDate:
            out += CurrentDateKeyText();
            return;
        default:
            break;
    }
    // Every other key is about the current message; past the last one they write nothing.
    if (entry == nullptr) {
        return;
    }
    switch (key) {
        case TemplateKey::DateSent:
            out += DateKeyText(entry->m_SentTime);
            break;
        case TemplateKey::DateReceived:
            out += DateKeyText(entry->m_ReceivedTime);
            break;
        case TemplateKey::EmailRaw:
            if (message.pRaw != nullptr) {
                out += CutAtZero(*message.pRaw);
            }
            break;
        case TemplateKey::TextContent:
            if (message.pParsed != nullptr) {
                out += TextContentKeyText(*message.pParsed, codePage, output);
            }
            break;
        case TemplateKey::HtmlContent:
            if (message.pParsed != nullptr) {
                out += HtmlContentKeyText(*message.pParsed);
            }
            break;
        case TemplateKey::TextOrHtmlContent:
            if (message.pParsed != nullptr) {
                out += TextOrHtmlKeyText(*message.pParsed, codePage, output);
            }
            break;
        case TemplateKey::Subject:
            out +=
                SubjectKeyText(message.pParsed, *entry, codePage, message.nMailboxCodePage, output);
            break;
        case TemplateKey::SenderEmail:
            out += SenderEmailKeyText(*entry, message.nMailboxCodePage, output);
            break;
        case TemplateKey::SenderName:
            out += SenderNameKeyText(message.pParsed, *entry, codePage, message.nMailboxCodePage,
                                     output);
            break;
        case TemplateKey::ReceiversHtml:
            out += ReceiversKeyText(*entry, message.nMailboxCodePage, output, codePage);
            break;
        default:
            break;
    }
}
