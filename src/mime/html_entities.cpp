#include "mime/html_entities.h"

#include <array>
#include <memory>

#include "mailbox/hyper_string.h"

namespace {

// HTML 4 Latin-1 names of the code points 160 to 255.
constexpr std::array<std::u16string_view, 96> kLatin1Entities = {
    u"&nbsp;",   u"&iexcl;",  u"&cent;",   u"&pound;",  u"&curren;", u"&yen;",    u"&brvbar;",
    u"&sect;",   u"&uml;",    u"&copy;",   u"&ordf;",   u"&laquo;",  u"&not;",    u"&shy;",
    u"&reg;",    u"&macr;",   u"&deg;",    u"&plusmn;", u"&sup2;",   u"&sup3;",   u"&acute;",
    u"&micro;",  u"&para;",   u"&middot;", u"&cedil;",  u"&sup1;",   u"&ordm;",   u"&raquo;",
    u"&frac14;", u"&frac12;", u"&frac34;", u"&iquest;", u"&Agrave;", u"&Aacute;", u"&Acirc;",
    u"&Atilde;", u"&Auml;",   u"&Aring;",  u"&AElig;",  u"&Ccedil;", u"&Egrave;", u"&Eacute;",
    u"&Ecirc;",  u"&Euml;",   u"&Igrave;", u"&Iacute;", u"&Icirc;",  u"&Iuml;",   u"&ETH;",
    u"&Ntilde;", u"&Ograve;", u"&Oacute;", u"&Ocirc;",  u"&Otilde;", u"&Ouml;",   u"&times;",
    u"&Oslash;", u"&Ugrave;", u"&Uacute;", u"&Ucirc;",  u"&Uuml;",   u"&Yacute;", u"&THORN;",
    u"&szlig;",  u"&agrave;", u"&aacute;", u"&acirc;",  u"&atilde;", u"&auml;",   u"&aring;",
    u"&aelig;",  u"&ccedil;", u"&egrave;", u"&eacute;", u"&ecirc;",  u"&euml;",   u"&igrave;",
    u"&iacute;", u"&icirc;",  u"&iuml;",   u"&eth;",    u"&ntilde;", u"&ograve;", u"&oacute;",
    u"&ocirc;",  u"&otilde;", u"&ouml;",   u"&divide;", u"&oslash;", u"&ugrave;", u"&uacute;",
    u"&ucirc;",  u"&uuml;",   u"&yacute;", u"&thorn;",  u"&yuml;",
};

// Counts (destination null) or converts; `capacity` only matters when converting.
bool Encode(std::u16string_view source, char16_t* destination, std::int32_t& length) {
    if (destination == nullptr) {
        std::int64_t needed = 1;
        for (const char16_t unit : source) {
            const std::u16string_view entity = HtmlEntityFor(unit);
            needed += entity.empty() ? 1 : static_cast<std::int64_t>(entity.size());
            if (needed > INT32_MAX) {
                return false;
            }
        }
        length = static_cast<std::int32_t>(needed);
        return true;
    }
    if (length <= 1) {
        return false;
    }
    const std::int32_t limit = length - 1;
    std::int32_t written = 0;
    for (std::size_t i = 0; i < source.size() && written < limit; ++i) {
        const std::u16string_view entity = HtmlEntityFor(source[i]);
        if (entity.empty()) {
            destination[written++] = source[i];
            continue;
        }
        for (std::size_t k = 0; k < entity.size() && written < limit; ++k) {
            destination[written++] = entity[k];
        }
    }
    destination[written] = 0;
    return true;
}

}  // namespace

std::u16string_view HtmlEntityFor(char16_t unit) {
    switch (unit) {
        case 34:
            return u"&quot;";
        case 38:
            return u"&amp;";
        // Windows-1252 positions that arrive as code units when text was widened byte by
        // byte; the angle quotes fall back to the plain brackets.
        case 128:
            return u"&euro;";
        case 139:
            return u"&lt;";
        case 155:
            return u"&gt;";
        case 156:
            return u"&oelig;";
        case 159:
            return u"&Yuml;";
        default:
            break;
    }
    if (unit >= 160 && unit <= 255) {
        return kLatin1Entities[unit - 160];
    }
    return {};
}

bool EncodeHtmlEntities(const char16_t* source, char16_t* destination, std::int32_t& length) {
    if (source == nullptr) {
        return false;
    }
    return Encode(std::u16string_view(source), destination, length);
}

std::u16string EncodeHtmlEntities(std::u16string_view source) {
    std::int32_t length = 0;
    if (!Encode(source, nullptr, length)) {
        return {};
    }
    std::u16string result(static_cast<std::size_t>(length), u'\0');
    if (length <= 1 || !Encode(source, result.data(), length)) {
        return {};
    }
    result.resize(static_cast<std::size_t>(length - 1));
    return result;
}

bool EscapeHtml(CZHyperString& text) {
    if (!text.ToWide()) {
        return false;
    }
    // The view stops at the capacity even when a full buffer has no terminator.
    const std::u16string_view source = text.GetWideView();
    std::int32_t length = 0;
    if (!Encode(source, nullptr, length)) {
        return false;
    }
    if (length <= 1) {
        // Nothing but the terminator: the escaped text is empty.
        text.Empty();
        return true;
    }
    std::u16string escaped(static_cast<std::size_t>(length), u'\0');
    if (!Encode(source, escaped.data(), length)) {
        return false;
    }
    escaped.resize(static_cast<std::size_t>(length - 1));
    text.SetWide(escaped);
    text.ShrinkToFit();
    return true;
}

std::u16string EscapeHtmlText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        switch (c) {
            case u'&':
                out += u"&amp;";
                break;
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
                out += c;
        }
    }
    return out;
}
