#include "mime/html_sanitize.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "mime/html_entities.h"
#include "platform/text.h"

namespace {

constexpr bool IsAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() < 0x20)) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (IsBlank(s.back()) || s.back() < 0x20)) {
        s.remove_suffix(1);
    }
    return s;
}

struct CHtmlAttribute {
    std::u16string name;  // lower case
    std::u16string_view value;
};

struct CHtmlToken {
    enum Kind { Text, Start, End, Other, LessThan } kind = Other;
    std::u16string_view text;
    std::u16string name;  // lower case
    std::vector<CHtmlAttribute> attributes;
    bool selfClosing = false;
};

// Splits markup into text, start tags with their attributes, end tags and the rest
// (comments, doctypes, processing instructions). It never looks back and never fails:
// a tag cut off by the end of the text is dropped.
class CHtmlTokenizer {
public:
    explicit CHtmlTokenizer(std::u16string_view html) : m_Html(html) {}

    bool Next(CHtmlToken& token) {
        token.attributes.clear();
        token.name.clear();
        token.selfClosing = false;
        if (m_Pos >= m_Html.size()) {
            return false;
        }
        if (m_Html[m_Pos] != u'<') {
            const std::size_t end = std::min(m_Html.find(u'<', m_Pos), m_Html.size());
            token.kind = CHtmlToken::Text;
            token.text = m_Html.substr(m_Pos, end - m_Pos);
            m_Pos = end;
            return true;
        }
        const std::u16string_view rest = m_Html.substr(m_Pos);
        if (rest.starts_with(u"<!--")) {
            const std::size_t end = m_Html.find(u"-->", m_Pos + 4);
            m_Pos = end == std::u16string_view::npos ? m_Html.size() : end + 3;
            token.kind = CHtmlToken::Other;
            return true;
        }
        const char16_t second = rest.size() > 1 ? rest[1] : u'\0';
        if (second == u'!' || second == u'?' ||
            (second == u'/' && !(rest.size() > 2 && IsAlpha(rest[2])))) {
            SkipPast(u'>');
            token.kind = CHtmlToken::Other;
            return true;
        }
        if (second == u'/') {
            m_Pos += 2;
            token.name = ReadName();
            SkipPast(u'>');
            token.kind = CHtmlToken::End;
            return true;
        }
        if (!IsAlpha(second)) {
            ++m_Pos;
            token.kind = CHtmlToken::LessThan;
            return true;
        }
        ++m_Pos;
        token.name = ReadName();
        if (ReadAttributes(token)) {
            token.kind = CHtmlToken::Start;
        } else {
            token.kind = CHtmlToken::Other;  // cut off by the end of the text
            m_Pos = m_Html.size();
        }
        return true;
    }

    // The text up to the end tag of the element (compared without case) and past that tag;
    // the whole rest when there is none.
    std::u16string_view RawTextUntilEnd(std::u16string_view name) {
        const std::size_t start = m_Pos;
        for (std::size_t at = m_Html.find(u"</", m_Pos); at != std::u16string_view::npos;
             at = m_Html.find(u"</", at + 2)) {
            const std::u16string_view after = m_Html.substr(at + 2);
            if (StartsWithNoCase(after, name) &&
                (after.size() == name.size() || !IsAlpha(after[name.size()]))) {
                m_Pos = at;
                SkipPast(u'>');
                return m_Html.substr(start, at - start);
            }
        }
        m_Pos = m_Html.size();
        return m_Html.substr(start);
    }

private:
    void SkipPast(char16_t c) {
        const std::size_t end = m_Html.find(c, m_Pos);
        m_Pos = end == std::u16string_view::npos ? m_Html.size() : end + 1;
    }

    std::u16string ReadName() {
        std::u16string name;
        while (m_Pos < m_Html.size()) {
            const char16_t c = m_Html[m_Pos];
            if (IsBlank(c) || c == u'/' || c == u'>') {
                break;
            }
            name.push_back(AsciiLower(c));
            ++m_Pos;
        }
        return name;
    }

    void SkipBlanks() {
        while (m_Pos < m_Html.size() && IsBlank(m_Html[m_Pos])) {
            ++m_Pos;
        }
    }

    // False when the text ends inside the tag.
    bool ReadAttributes(CHtmlToken& token) {
        while (true) {
            SkipBlanks();
            if (m_Pos >= m_Html.size()) {
                return false;
            }
            const char16_t c = m_Html[m_Pos];
            if (c == u'>') {
                ++m_Pos;
                return true;
            }
            if (c == u'/') {
                ++m_Pos;
                token.selfClosing = m_Pos < m_Html.size() && m_Html[m_Pos] == u'>';
                continue;
            }
            CHtmlAttribute attribute;
            while (m_Pos < m_Html.size()) {
                const char16_t n = m_Html[m_Pos];
                if (IsBlank(n) || n == u'=' || n == u'>' ||
                    (n == u'/' && !attribute.name.empty())) {
                    break;
                }
                attribute.name.push_back(AsciiLower(n));
                ++m_Pos;
            }
            SkipBlanks();
            if (m_Pos < m_Html.size() && m_Html[m_Pos] == u'=') {
                ++m_Pos;
                SkipBlanks();
                if (m_Pos >= m_Html.size()) {
                    return false;
                }
                const char16_t quote = m_Html[m_Pos];
                if (quote == u'"' || quote == u'\'') {
                    const std::size_t end = m_Html.find(quote, m_Pos + 1);
                    if (end == std::u16string_view::npos) {
                        return false;
                    }
                    attribute.value = m_Html.substr(m_Pos + 1, end - m_Pos - 1);
                    m_Pos = end + 1;
                } else {
                    const std::size_t start = m_Pos;
                    while (m_Pos < m_Html.size() && !IsBlank(m_Html[m_Pos]) &&
                           m_Html[m_Pos] != u'>') {
                        ++m_Pos;
                    }
                    attribute.value = m_Html.substr(start, m_Pos - start);
                }
            }
            token.attributes.push_back(std::move(attribute));
        }
    }

    std::u16string_view m_Html;
    std::size_t m_Pos = 0;
};

bool IsOneOf(std::u16string_view name, std::initializer_list<std::u16string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that only lay out text; everything else loses its tag (and some their content).
bool IsKeptTag(std::u16string_view name) {
    return IsOneOf(name,
                   {u"a",          u"abbr", u"acronym", u"address", u"b",     u"bdo",  u"big",
                    u"blockquote", u"br",   u"caption", u"center",  u"cite",  u"code", u"col",
                    u"colgroup",   u"dd",   u"del",     u"dfn",     u"div",   u"dl",   u"dt",
                    u"em",         u"font", u"h1",      u"h2",      u"h3",    u"h4",   u"h5",
                    u"h6",         u"hr",   u"i",       u"img",     u"ins",   u"kbd",  u"li",
                    u"nobr",       u"ol",   u"p",       u"pre",     u"q",     u"s",    u"samp",
                    u"small",      u"span", u"strike",  u"strong",  u"sub",   u"sup",  u"table",
                    u"tbody",      u"td",   u"tfoot",   u"th",      u"thead", u"tr",   u"tt",
                    u"u",          u"ul",   u"var"});
}

// Elements whose text is never markup and is dropped with them.
bool IsDroppedRawText(std::u16string_view name) {
    return IsOneOf(name, {u"script", u"title", u"textarea", u"xmp", u"iframe", u"noembed",
                          u"noframes", u"plaintext"});
}

// Elements dropped with everything inside them.
bool IsDroppedWithContent(std::u16string_view name) {
    return IsOneOf(name, {u"object", u"applet", u"frameset", u"svg", u"math", u"template", u"audio",
                          u"video", u"canvas", u"select", u"button", u"head"});
}

bool IsVoid(std::u16string_view name) {
    return IsOneOf(name, {u"br", u"hr", u"img", u"col", u"meta", u"link", u"base", u"input",
                          u"embed", u"frame", u"param", u"source", u"track", u"area", u"wbr"});
}

bool IsKeptAttribute(std::u16string_view name) {
    return IsOneOf(name,
                   {u"align",   u"valign", u"bgcolor", u"color",       u"face",        u"size",
                    u"width",   u"height", u"border",  u"cellpadding", u"cellspacing", u"colspan",
                    u"rowspan", u"alt",    u"title",   u"dir",         u"lang",        u"nowrap",
                    u"type",    u"start",  u"value",   u"clear",       u"hspace",      u"vspace",
                    u"class",   u"id",     u"name",    u"span",        u"cite"});
}

// Style text that could reach outside the message or run anything.
bool IsUnsafeStyle(std::u16string_view style) {
    for (std::u16string_view word : {u"url", u"import", u"expression", u"binding", u"behavior",
                                     u"script", u"\\", u"<", u"src"}) {
        if (FindNoCase(style, word) != std::u16string_view::npos) {
            return true;
        }
    }
    return false;
}

bool IsSafeLink(std::u16string_view href) {
    return StartsWithNoCase(href, u"http://") || StartsWithNoCase(href, u"https://") ||
           StartsWithNoCase(href, u"mailto:") || href.starts_with(u'#');
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    const char16_t l = AsciiLower(c);
    return l >= u'a' && l <= u'f' ? l - u'a' + 10 : -1;
}

// The identifier of a cid: URL: percent escapes decoded, no angle brackets.
std::u16string CidOf(std::u16string_view url) {
    url.remove_prefix(4);
    std::u16string id;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == u'%' && i + 2 < url.size() && HexValue(url[i + 1]) >= 0 &&
            HexValue(url[i + 2]) >= 0) {
            id.push_back(char16_t(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2])));
            i += 2;
        } else {
            id.push_back(url[i]);
        }
    }
    if (id.size() >= 2 && id.front() == u'<' && id.back() == u'>') {
        id = id.substr(1, id.size() - 2);
    }
    return id;
}

void AppendEscaped(std::u16string& out, std::u16string_view value) {
    for (const char16_t c : value) {
        switch (c) {
            case u'"':
                out += u"&quot;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            default:
                out.push_back(c);
        }
    }
}

void AppendAttribute(std::u16string& out, std::u16string_view name, std::u16string_view value) {
    out.push_back(u' ');
    out += name;
    out += u"=\"";
    AppendEscaped(out, value);
    out.push_back(u'"');
}

class CSanitizer {
public:
    explicit CSanitizer(std::u16string_view html) : m_Tokens(html) {}

    CSanitizedHtml Sanitize() {
        CHtmlToken token;
        while (m_Tokens.Next(token)) {
            if (!m_SkipName.empty()) {
                Skip(token);
                continue;
            }
            switch (token.kind) {
                case CHtmlToken::Text:
                    AppendEscaped(m_Out.m_Html, token.text);
                    break;
                case CHtmlToken::LessThan:
                    m_Out.m_Html += u"&lt;";
                    break;
                case CHtmlToken::Start:
                    StartTag(token);
                    break;
                case CHtmlToken::End:
                    EndTag(token);
                    break;
                case CHtmlToken::Other:
                    break;
            }
        }
        return std::move(m_Out);
    }

private:
    void Skip(const CHtmlToken& token) {
        if (token.kind == CHtmlToken::Start && token.name == m_SkipName && !token.selfClosing) {
            ++m_nSkipDepth;
        } else if (token.kind == CHtmlToken::End && token.name == m_SkipName &&
                   --m_nSkipDepth == 0) {
            m_SkipName.clear();
        }
    }

    void StartTag(const CHtmlToken& token) {
        const std::u16string& name = token.name;
        if (name == u"style") {
            const std::u16string_view css = m_Tokens.RawTextUntilEnd(u"style");
            if (IsUnsafeStyle(css)) {
                ++m_Out.m_nBlockedReferences;
            } else {
                m_Out.m_Html += u"<style>";
                m_Out.m_Html += css;
                m_Out.m_Html += u"</style>";
            }
            return;
        }
        if (IsDroppedRawText(name)) {
            if (!token.selfClosing) {
                (void)m_Tokens.RawTextUntilEnd(name);
            }
            if (name == u"iframe") {
                ++m_Out.m_nBlockedReferences;
            }
            return;
        }
        if (IsDroppedWithContent(name)) {
            if (!token.selfClosing) {
                m_SkipName = name;
                m_nSkipDepth = 1;
            }
            return;
        }
        if (!IsKeptTag(name)) {
            if (name == u"embed" || name == u"frame" || name == u"link") {
                ++m_Out.m_nBlockedReferences;
            }
            return;
        }
        if (name == u"table") {
            m_Out.m_nTableDepth = std::max(m_Out.m_nTableDepth, ++m_nOpenTables);
        } else if (name == u"td" || name == u"th") {
            ++m_Out.m_nTableCells;
        }
        std::u16string tag = u"<" + name;
        for (const CHtmlAttribute& a : token.attributes) {
            if (!KeepAttribute(name, a, tag)) {
                if (name == u"img" && a.name == u"src") {
                    // An image from outside the message shows as its alternative text.
                    ++m_Out.m_nBlockedReferences;
                    for (const CHtmlAttribute& alt : token.attributes) {
                        if (alt.name == u"alt" && !Trim(alt.value).empty()) {
                            m_Out.m_Html += u"[";
                            AppendEscaped(m_Out.m_Html, Trim(alt.value));
                            m_Out.m_Html += u"]";
                        }
                    }
                    return;
                }
            }
        }
        m_Out.m_Html += tag;
        m_Out.m_Html += IsVoid(name) ? u" />" : u">";
    }

    // Adds the attribute to the tag when it is safe; false when it was dropped.
    bool KeepAttribute(std::u16string_view tagName, const CHtmlAttribute& a, std::u16string& tag) {
        const std::u16string_view value = Trim(a.value);
        if (a.name == u"href") {
            if (tagName == u"a" && IsSafeLink(value)) {
                AppendAttribute(tag, a.name, value);
                return true;
            }
            return false;
        }
        if (a.name == u"src" || a.name == u"background") {
            if (StartsWithNoCase(value, u"cid:") &&
                (tagName == u"img" || a.name == u"background")) {
                m_Out.m_CidReferences.push_back(CidOf(value));
                AppendAttribute(tag, a.name, value);
                return true;
            }
            if (a.name == u"background") {
                ++m_Out.m_nBlockedReferences;
            }
            return false;
        }
        if (a.name == u"style") {
            if (IsUnsafeStyle(value)) {
                ++m_Out.m_nBlockedReferences;
                return false;
            }
            AppendAttribute(tag, a.name, value);
            return true;
        }
        if (IsKeptAttribute(a.name)) {
            AppendAttribute(tag, a.name, a.value);
            return true;
        }
        return false;
    }

    void EndTag(const CHtmlToken& token) {
        if (!IsKeptTag(token.name) || IsVoid(token.name)) {
            return;
        }
        if (token.name == u"table" && m_nOpenTables > 0) {
            --m_nOpenTables;
        }
        m_Out.m_Html += u"</" + token.name + u">";
    }

    CHtmlTokenizer m_Tokens;
    CSanitizedHtml m_Out;
    std::u16string m_SkipName;
    std::int32_t m_nSkipDepth = 0;
    std::int32_t m_nOpenTables = 0;
};

// Named entities: the Latin-1 names the exports write, and the few others mail is full of.
const std::unordered_map<std::u16string_view, char32_t>& EntityNames() {
    static const auto* names = [] {
        auto* map = new std::unordered_map<std::u16string_view, char32_t>{
            {u"lt", U'<'},      {u"gt", U'>'},       {u"amp", U'&'},      {u"quot", U'"'},
            {u"apos", U'\''},   {u"euro", 0x20AC},   {u"hellip", 0x2026}, {u"mdash", 0x2014},
            {u"ndash", 0x2013}, {u"lsquo", 0x2018},  {u"rsquo", 0x2019},  {u"ldquo", 0x201C},
            {u"rdquo", 0x201D}, {u"bull", 0x2022},   {u"trade", 0x2122},  {u"zwnj", 0x200C},
            {u"zwj", 0x200D},   {u"thinsp", 0x2009}, {u"ensp", 0x2002},   {u"emsp", 0x2003},
        };
        for (char16_t unit = 160; unit <= 255; ++unit) {
            std::u16string_view entity = HtmlEntityFor(unit);
            if (entity.size() > 2) {
                map->emplace(entity.substr(1, entity.size() - 2), unit);
            }
        }
        return map;
    }();
    return *names;
}

void AppendCodePoint(std::u16string& out, char32_t c) {
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 + (c >> 10)));
        out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(char16_t(c));
    }
}

// Text with its entity references decoded; an unknown or unterminated one stays as written.
void AppendDecoded(std::u16string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            const std::size_t semi = text.find(u';', i + 1);
            if (semi != std::u16string_view::npos && semi - i <= 10) {
                if (const char32_t c = DecodeHtmlEntity(text.substr(i + 1, semi - i - 1))) {
                    AppendCodePoint(out, c);
                    i = semi;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
}

bool IsBlockTag(std::u16string_view name) {
    return IsOneOf(
        name, {u"p",       u"div",     u"tr",      u"li",     u"h1",         u"h2",      u"h3",
               u"h4",      u"h5",      u"h6",      u"table",  u"blockquote", u"hr",      u"dd",
               u"dt",      u"dl",      u"ul",      u"ol",     u"pre",        u"address", u"center",
               u"caption", u"section", u"article", u"header", u"footer",     u"form",    u"title"});
}

class CTextWriter {
public:
    void Text(std::u16string_view text, bool preformatted) {
        std::u16string decoded;
        AppendDecoded(decoded, text);
        for (const char16_t c : decoded) {
            if (preformatted) {
                if (c != u'\r') {
                    m_Out.push_back(c);
                }
                continue;
            }
            if (IsBlank(c) || c == 0xA0) {
                m_bPendingSpace = c == 0xA0 || !AtLineStart();
                continue;
            }
            if (m_bPendingSpace) {
                m_Out.push_back(u' ');
                m_bPendingSpace = false;
            }
            m_Out.push_back(c);
        }
    }
    void LineBreak() {
        while (!m_Out.empty() && m_Out.back() == u' ') {
            m_Out.pop_back();
        }
        m_Out.push_back(u'\n');
        m_bPendingSpace = false;
    }
    void EndLine() {
        if (!AtLineStart()) {
            LineBreak();
        }
    }
    void Paragraph() {
        EndLine();
        if (m_Out.size() >= 2 && m_Out[m_Out.size() - 2] != u'\n') {
            LineBreak();
        }
    }
    void Cell() {
        if (!AtLineStart()) {
            m_Out.push_back(u'\t');
        }
        m_bPendingSpace = false;
    }
    void Item() {
        EndLine();
        m_Out += u"\u2022 ";
    }
    std::u16string Finish() {
        while (!m_Out.empty() && (m_Out.back() == u'\n' || m_Out.back() == u' ')) {
            m_Out.pop_back();
        }
        std::size_t start = 0;
        while (start < m_Out.size() && m_Out[start] == u'\n') {
            ++start;
        }
        return m_Out.substr(start);
    }

private:
    [[nodiscard]] bool AtLineStart() const { return m_Out.empty() || m_Out.back() == u'\n'; }

    std::u16string m_Out;
    bool m_bPendingSpace = false;
};

}  // namespace

char32_t DecodeHtmlEntity(std::u16string_view name) {
    if (name.size() >= 2 && name[0] == u'#') {
        const bool hex = name[1] == u'x' || name[1] == u'X';
        const std::u16string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 7) {
            return 0;
        }
        char32_t value = 0;
        for (const char16_t d : digits) {
            const int v = HexValue(d);
            if (v < 0 || (!hex && v > 9)) {
                return 0;
            }
            value = value * (hex ? 16 : 10) + char32_t(v);
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return 0xFFFD;
        }
        return value;
    }
    const auto& names = EntityNames();
    const auto it = names.find(name);
    return it == names.end() ? 0 : it->second;
}

CSanitizedHtml SanitizeHtml(std::u16string_view html) {
    return CSanitizer(html).Sanitize();
}

std::u16string HtmlToText(std::u16string_view html) {
    CHtmlTokenizer tokens(html);
    CTextWriter writer;
    CHtmlToken token;
    std::int32_t pre = 0;
    while (tokens.Next(token)) {
        switch (token.kind) {
            case CHtmlToken::Text:
                writer.Text(token.text, pre > 0);
                break;
            case CHtmlToken::LessThan:
                writer.Text(u"<", pre > 0);
                break;
            case CHtmlToken::Start: {
                const std::u16string& name = token.name;
                if (name == u"script" || name == u"style" || name == u"title" ||
                    name == u"textarea" || name == u"xmp" || name == u"iframe") {
                    if (!token.selfClosing) {
                        (void)tokens.RawTextUntilEnd(name);
                    }
                } else if (name == u"br") {
                    writer.LineBreak();
                } else if (name == u"p" || (name.size() == 2 && name[0] == u'h' &&
                                            name[1] >= u'1' && name[1] <= u'6')) {
                    writer.Paragraph();
                } else if (name == u"li") {
                    writer.Item();
                } else if (name == u"td" || name == u"th") {
                    writer.Cell();
                } else if (IsBlockTag(name)) {
                    writer.EndLine();
                }
                if (name == u"pre") {
                    ++pre;
                }
                break;
            }
            case CHtmlToken::End:
                if (token.name == u"pre" && pre > 0) {
                    --pre;
                }
                if (token.name == u"p" || token.name == u"table" ||
                    (token.name.size() == 2 && token.name[0] == u'h')) {
                    writer.Paragraph();
                } else if (IsBlockTag(token.name)) {
                    writer.EndLine();
                }
                break;
            case CHtmlToken::Other:
                break;
        }
    }
    return writer.Finish();
}
