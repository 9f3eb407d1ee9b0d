#include "eml_message.h"

#include "mime/charset.h"
#include "mime/encoded_word.h"
#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace mkdbx {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
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

// Removes (comments), honouring quoted strings and nested and escaped parentheses.
std::string StripComments(std::string_view s) {
    std::string out;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (quoted || depth > 0)) {
            if (depth == 0) {
                out += c;
                out += s[i + 1];
            }
            ++i;
        } else if (depth == 0 && c == '"') {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')' && depth > 0) {
            --depth;
            if (depth == 0) {
                out += ' ';
            }
        } else if (depth == 0) {
            out += c;
        }
    }
    return out;
}

// The text of the first top-level comment, or nothing.
std::optional<std::string> FirstComment(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && s[i] == '(') {
            std::string text;
            int depth = 1;
            for (++i; i < s.size(); ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) {
                    text += s[++i];
                    continue;
                }
                if (s[i] == '(') {
                    ++depth;
                } else if (s[i] == ')' && --depth == 0) {
                    break;
                }
                text += s[i];
            }
            return std::string(Trim(text));
        }
    }
    return std::nullopt;
}

// A display name with its quoted strings opened and their escapes undone.
std::string Unquote(std::string_view s) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (quoted && s[i] == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (s[i] == '"') {
            quoted = !quoted;
        } else {
            out += s[i];
        }
    }
    return std::string(Trim(out));
}

// Splits at the separator where it stands outside quotes, <angle brackets> and comments.
std::vector<std::string_view> SplitTopLevel(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    int angle = 0;
    int comment = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && (quoted || comment > 0)) {
            ++i;
        } else if (comment == 0 && c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (comment > 0) {
            continue;
        } else if (c == '<') {
            ++angle;
        } else if (c == '>' && angle > 0) {
            --angle;
        } else if (c == separator && angle == 0) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

std::optional<Mailbox> ParseMailbox(std::string_view item) {
    item = Trim(item);
    if (item.empty()) {
        return std::nullopt;
    }
    // The '<' that opens the address, outside quoted display names.
    bool quoted = false;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] == '\\' && quoted) {
            ++i;
        } else if (item[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && item[i] == '<') {
            const std::size_t close = item.find('>', i + 1);
            Mailbox m;
            m.address = std::string(Trim(item.substr(
                i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1)));
            m.name = Unquote(StripComments(item.substr(0, i)));
            if (m.name.empty()) {
                m.name = m.address;
            }
            return m;
        }
    }
    Mailbox m;
    m.address = std::string(Trim(StripComments(item)));
    m.name = FirstComment(item).value_or(m.address);
    if (m.name.empty()) {
        m.name = m.address;
    }
    return m;
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
        std::string name(Trim(piece.substr(0, eq)));
        name = name.substr(0, name.find('*'));
        std::transform(name.begin(), name.end(), name.begin(), Lower);
        params.push_back({name, Unquote(piece.substr(eq + 1))});
    }
    return params;
}

std::string MediaType(std::string_view contentType) {
    std::string type(Trim(SplitTopLevel(StripComments(contentType), ';').front()));
    std::transform(type.begin(), type.end(), type.begin(), Lower);
    return type;
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

int MonthNumber(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3) {
        return 0;
    }
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsNoCase(name.substr(0, 3), kMonths[i])) {
            return int(i) + 1;
        }
    }
    return 0;
}

std::optional<int> Number(std::string_view s) {
    if (s.empty() || s.size() > 9 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
    }
    return v;
}

// Minutes east of UTC; the obsolete North American names, and the military letters
// (whose sign was historically inverted, so only "Z" is trusted).
std::optional<int> ZoneOffset(std::string_view zone) {
    if ((zone.size() == 5) && (zone[0] == '+' || zone[0] == '-')) {
        const std::optional<int> hhmm = Number(zone.substr(1));
        if (!hhmm || *hhmm % 100 > 59) {
            return std::nullopt;
        }
        const int minutes = (*hhmm / 100) * 60 + *hhmm % 100;
        return zone[0] == '-' ? -minutes : minutes;
    }
    static constexpr std::array<std::pair<std::string_view, int>, 11> kNames = {{
        {"UT", 0},
        {"UTC", 0},
        {"GMT", 0},
        {"EST", -300},
        {"EDT", -240},
        {"CST", -360},
        {"CDT", -300},
        {"MST", -420},
        {"MDT", -360},
        {"PST", -480},
        {"PDT", -420},
    }};
    for (const auto& [name, offset] : kNames) {
        if (EqualsNoCase(zone, name)) {
            return offset;
        }
    }
    return 0;
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

std::optional<Mailbox> ParseFirstMailbox(std::string_view value) {
    for (std::string_view item : SplitTopLevel(value, ',')) {
        // A group "Team: a@x, b@y;" lends its name only when it has no member.
        const std::vector<std::string_view> group = SplitTopLevel(item, ':');
        if (group.size() > 1) {
            std::string_view member = item.substr(group.front().size() + 1);
            member = Trim(member);
            if (member.ends_with(';')) {
                member.remove_suffix(1);
            }
            if (std::optional<Mailbox> m = ParseMailbox(member)) {
                return m;
            }
            const std::string name = Unquote(StripComments(group.front()));
            if (!name.empty()) {
                return Mailbox{name, {}};
            }
            continue;
        }
        if (std::optional<Mailbox> m = ParseMailbox(item)) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ParseMailDate(std::string_view value) {
    std::string text = StripComments(value);
    // The day of the week is optional and says nothing the date does not.
    if (const std::size_t comma = text.find(','); comma != std::string::npos) {
        text.erase(0, comma + 1);
    }
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (IsSpace(c)) {
            if (!current.empty()) {
                tokens.push_back(std::move(current));
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        tokens.push_back(std::move(current));
    }
    if (tokens.size() < 4) {
        return std::nullopt;
    }
    const std::optional<int> day = Number(tokens[0]);
    const int month = MonthNumber(tokens[1]);
    std::optional<int> year = Number(tokens[2]);
    if (!day || month == 0 || !year || *day < 1 || *day > 31) {
        return std::nullopt;
    }
    // Two-digit years as RFC 2822 reads them; three digits count from 1900.
    if (tokens[2].size() == 2) {
        *year += *year < 50 ? 2000 : 1900;
    } else if (tokens[2].size() == 3) {
        *year += 1900;
    }
    if (*year < 1601 || *year > 30000) {
        return std::nullopt;
    }
    std::array<int, 3> hms{0, 0, 0};
    std::size_t fieldCount = 0;
    std::string_view clock = tokens[3];
    while (fieldCount < 3) {
        const std::size_t colon = clock.find(':');
        const std::optional<int> v = Number(clock.substr(0, colon));
        if (!v) {
            return std::nullopt;
        }
        hms[fieldCount++] = *v;
        if (colon == std::string_view::npos) {
            break;
        }
        clock.remove_prefix(colon + 1);
    }
    if (fieldCount < 2 || hms[0] > 23 || hms[1] > 59 || hms[2] > 60) {
        return std::nullopt;
    }
    int zone = 0;
    if (tokens.size() > 4) {
        const std::optional<int> z = ZoneOffset(tokens[4]);
        if (!z) {
            return std::nullopt;
        }
        zone = *z;
    }
    const std::int64_t local =
        std::int64_t(dbxw::FileTimeFromUtc(*year, month, *day, hms[0], hms[1], hms[2]));
    const std::int64_t utc = local - std::int64_t(zone) * 60 * std::int64_t(dbxw::kTicksPerSecond);
    if (utc < 0) {
        return std::nullopt;
    }
    return std::uint64_t(utc);
}

std::optional<std::uint32_t> ParsePriority(std::string_view value) {
    value = Trim(value);
    if (value.empty()) {
        return std::nullopt;
    }
    // Outlook Express knows three levels; 2 and 4 lean to their neighbours.
    switch (value.front()) {
        case '1':
        case '2':
            return 1;
        case '3':
            return 3;
        case '4':
        case '5':
            return 5;
        default:
            return std::nullopt;
    }
}

std::uint32_t CountLines(std::string_view message) {
    std::uint32_t lines = 0;
    std::size_t pos = 0;
    while (pos < message.size()) {
        const std::size_t eol = message.find('\n', pos);
        ++lines;
        if (eol == std::string_view::npos) {
            break;
        }
        pos = eol + 1;
    }
    return lines;
}

bool HasNamedPart(std::string_view message) {
    return EntityNamesFile(message, 0);
}

std::string SystemCodePageText(std::string_view value) {
    std::string charset;
    const std::string decoded = DecodeEncodedWords(value, &charset);
    if (charset.empty() || decoded.empty()) {
        return decoded;
    }
    std::string converted;
    if (!ConvertCharset(std::string_view(charset), kSystemCodePage, decoded.data(),
                        std::int32_t(decoded.size()), converted, false)) {
        return decoded;
    }
    return converted;
}

dbxw::Message MessageFromEml(std::string_view raw) {
    dbxw::Message m;
    std::string text = NormalizeLineEnds(raw);
    const std::vector<HeaderField> fields = ParseHeader(SplitEntity(text).first);
    auto value = [&fields](std::string_view name) -> std::optional<std::string> {
        const HeaderField* f = FindField(fields, name);
        return f ? std::optional<std::string>(f->value) : std::nullopt;
    };
    if (const std::optional<std::string> subject = value("Subject")) {
        m.subject = SystemCodePageText(*subject);
    }
    m.messageId = value("Message-ID");
    m.inReplyTo = value("In-Reply-To");
    if (const std::optional<std::string> from = value("From")) {
        if (const std::optional<Mailbox> box = ParseFirstMailbox(*from)) {
            m.senderName = SystemCodePageText(box->name);
            m.senderAddress = box->address;
        }
    }
    if (const std::optional<std::string> to = value("To")) {
        if (const std::optional<Mailbox> box = ParseFirstMailbox(*to)) {
            m.recipientName = SystemCodePageText(box->name);
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
