#include "eml_message.h"

#include "mime/charset.h"
#include "mime/encoded_word.h"
#include "mime/mime_header.h"
#include "platform/code_page.h"
#include "platform/text.h"

#include <algorithm>
#include <array>

namespace mkdbx {

using mailfields::SplitTopLevel;
using mailfields::StripComments;
using mailfields::Unquote;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// The header section and the body of an entity; a missing empty line means no body.
std::pair<std::string_view, std::string_view> SplitEntity(std::string_view entity) {
    if (entity.starts_with("\r\n")) {
        return {{}, entity.substr(2)};
    }
    const std::size_t end = entity.find("\r\n\r\n");
    if (end == std::string_view::npos) {
        return {entity, {}};
    }
    return {entity.substr(0, end + 2), entity.substr(end + 4)};
}

struct Param {
    std::string name;  // lower case, without RFC 2231 section and charset marks
    std::string value;
};

std::vector<Param> ParseParams(std::string_view value) {
    std::vector<Param> params;
    const std::vector<std::string_view> pieces = SplitTopLevel(value, ';');
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        const std::string_view piece = Trim(pieces[i]);
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        std::string name = AsciiLowered(Trim(piece.substr(0, eq)));
        name = name.substr(0, name.find('*'));
        params.push_back({name, Unquote(piece.substr(eq + 1))});
    }
    return params;
}

std::string MediaType(std::string_view contentType) {
    return AsciiLowered(Trim(SplitTopLevel(StripComments(contentType), ';').front()));
}

bool EntityNamesFile(std::string_view entity, int depth) {
    if (depth > 32) {
        return false;
    }
    const auto [head, body] = SplitEntity(entity);
    const std::vector<HeaderField> fields = ParseHeader(head);
    for (const char* fieldName : {"Content-Type", "Content-Disposition"}) {
        if (const HeaderField* f = FindField(fields, fieldName)) {
            for (const Param& p : ParseParams(f->value)) {
                if ((p.name == "name" || p.name == "filename") && !p.value.empty()) {
                    return true;
                }
            }
        }
    }
    const HeaderField* type = FindField(fields, "Content-Type");
    if (type == nullptr) {
        return false;
    }
    const std::string media = MediaType(type->value);
    if (media == "message/rfc822") {
        return EntityNamesFile(body, depth + 1);
    }
    if (!media.starts_with("multipart/")) {
        return false;
    }
    std::string boundary;
    for (const Param& p : ParseParams(type->value)) {
        if (p.name == "boundary") {
            boundary = p.value;
        }
    }
    if (boundary.empty()) {
        return false;
    }
    const std::string delimiter = "--" + boundary;
    // Parts run between delimiter lines; the closing one ends with "--".
    std::optional<std::size_t> partStart;
    std::size_t pos = 0;
    while (pos <= body.size()) {
        std::size_t eol = body.find("\r\n", pos);
        const std::size_t lineEnd = eol == std::string_view::npos ? body.size() : eol;
        const std::string_view line = body.substr(pos, lineEnd - pos);
        if (line.starts_with(delimiter)) {
            const std::string_view rest = line.substr(delimiter.size());
            const bool closing = rest.starts_with("--");
            if (closing || Trim(rest).empty()) {
                if (partStart) {
                    // The CRLF before the delimiter belongs to it.
                    const std::size_t partEnd = pos >= 2 ? pos - 2 : pos;
                    const std::size_t from = std::min(*partStart, partEnd);
                    if (EntityNamesFile(body.substr(from, partEnd - from), depth + 1)) {
                        return true;
                    }
                }
                if (closing) {
                    return false;
                }
                partStart = eol == std::string_view::npos ? body.size() : eol + 2;
            }
        }
        if (eol == std::string_view::npos) {
            break;
        }
        pos = eol + 2;
    }
    // A multipart body that lacks its closing delimiter still has its last part.
    return partStart && EntityNamesFile(body.substr(*partStart), depth + 1);
}

}  // namespace

std::string NormalizeLineEnds(std::string_view raw) {
    bool bareLf = false;
    for (std::size_t i = 0; i < raw.size() && !bareLf; ++i) {
        bareLf = raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r');
    }
    if (!bareLf) {
        return std::string(raw);
    }
    std::string out;
    out.reserve(raw.size() + raw.size() / 16);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) {
            out += '\r';
        }
        out += raw[i];
    }
    return out;
}

std::vector<HeaderField> ParseHeader(std::string_view message) {
    std::vector<HeaderField> fields;
    bool inField = false;  // whether continuation lines belong to a field
    std::size_t pos = 0;
    while (pos < message.size()) {
        std::size_t eol = message.find("\r\n", pos);
        const std::size_t lineEnd = eol == std::string_view::npos ? message.size() : eol;
        const std::string_view line = message.substr(pos, lineEnd - pos);
        if (line.empty()) {
            break;
        }
        if (IsBlank(line.front())) {
            // Unfolding drops only the line break; the blank that starts the line stays.
            if (inField) {
                fields.back().value += line;
            }
        } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            fields.push_back(
                {std::string(Trim(line.substr(0, colon))), std::string(line.substr(colon + 1))});
            inField = true;
        } else {
            inField = false;
        }
        if (eol == std::string_view::npos) {
            break;
        }
        pos = eol + 2;
    }
    for (HeaderField& f : fields) {
        f.value = std::string(Trim(f.value));
    }
    return fields;
}

const HeaderField* FindField(const std::vector<HeaderField>& fields, std::string_view name) {
    for (const HeaderField& f : fields) {
        if (EqualsNoCase(f.name, name)) {
            return &f;
        }
    }
    return nullptr;
}

bool HasNamedPart(std::string_view message) {
    return EntityNamesFile(message, 0);
}

std::string CodePageText(std::string_view value, std::uint32_t codePage,
                         std::string_view messageCharset) {
    std::string charset;
    const std::string decoded = DecodeEncodedWords(value, &charset);
    const bool raw8Bit = std::any_of(decoded.begin(), decoded.end(),
                                     [](char c) { return static_cast<unsigned char>(c) > 127; });
    if (charset.empty() && raw8Bit) {
        charset = messageCharset;
    }
    if (charset.empty() || decoded.empty()) {
        return decoded;
    }
    std::string converted;
    if (!ConvertCharset(std::string_view(charset), codePage, decoded.data(),
                        std::int32_t(decoded.size()), converted, false)) {
        return decoded;
    }
    return converted;
}

dbxw::Message MessageFromEml(std::string_view raw, std::uint32_t codePage) {
    dbxw::Message m;
    std::string text = NormalizeLineEnds(raw);
    const std::vector<HeaderField> fields = ParseHeader(SplitEntity(text).first);
    auto value = [&fields](std::string_view name) -> std::optional<std::string> {
        const HeaderField* f = FindField(fields, name);
        return f ? std::optional<std::string>(f->value) : std::nullopt;
    };
    std::string messageCharset;
    if (const std::optional<std::string> type = value("Content-Type")) {
        CMimeHeaderField("Content-Type", *type).GetParameter("charset", messageCharset);
    }
    if (const std::optional<std::string> subject = value("Subject")) {
        m.subject = CodePageText(*subject, codePage, messageCharset);
    }
    m.messageId = value("Message-ID");
    m.inReplyTo = value("In-Reply-To");
    if (const std::optional<std::string> from = value("From")) {
        if (const std::optional<Mailbox> box = ParseFirstMailbox(*from)) {
            m.senderName = CodePageText(box->name, codePage, messageCharset);
            m.senderAddress = box->address;
        }
    }
    if (const std::optional<std::string> to = value("To")) {
        if (const std::optional<Mailbox> box = ParseFirstMailbox(*to)) {
            m.recipientName = CodePageText(box->name, codePage, messageCharset);
            if (!box->address.empty()) {
                m.recipientAddress = box->address;
            }
        }
    }
    if (const std::optional<std::string> date = value("Date")) {
        m.sent = ParseMailDate(*date);
    }
    // The first Received: line is the last hop, the delivery into this mailbox.
    if (const std::optional<std::string> received = value("Received")) {
        const std::size_t semicolon = received->rfind(';');
        if (semicolon != std::string::npos) {
            m.received = ParseMailDate(std::string_view(*received).substr(semicolon + 1));
        }
    }
    if (!m.received && m.sent) {
        constexpr std::uint64_t kDeliveryDelay = 3 * 60 * dbxw::kTicksPerSecond;
        m.received = *m.sent + kDeliveryDelay;
    }
    if (const std::optional<std::string> priority = value("X-Priority")) {
        m.priority = ParsePriority(*priority);
    }
    m.lines = CountLines(text);
    if (HasNamedPart(text)) {
        m.flags |= dbxw::kFlagAttachment;
    }
    m.text = std::move(text);
    return m;
}

}  // namespace mkdbx
