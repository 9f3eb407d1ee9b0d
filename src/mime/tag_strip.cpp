#include "mime/tag_strip.h"

#include <utility>

#include "mime/mime_char.h"
#include "mime/mime_email.h"
#include "mime/mime_scan.h"

namespace {

enum TagMode { ModeCopy = 0, ModeDropTag = 1, ModeDropTitle = 2 };

// Longer tag texts are never looked at, however they start.
constexpr std::size_t kTagLimit = 4096;

TagMode ModeForTag(std::string_view tag, TagMode mode) {
    static constexpr std::string_view kDropped[] = {
        "!DOCTYPE", "BODY", "/BODY", "HEAD", "/HEAD", "META", "/META", "HTML", "/HTML", "/TITLE",
    };
    // Only a blank ends the name: "BODY" followed by a line break is not recognised.
    const std::string_view name = tag.substr(0, tag.find(' '));
    for (const std::string_view dropped : kDropped) {
        if (EqualsNoCase(name, dropped)) {
            return ModeDropTag;
        }
    }
    return EqualsNoCase(name, "TITLE") ? ModeDropTitle : mode;
}

// The tag's name in lower case, without a leading '/': "br" of "<BR/>", "p" of "</p>".
std::string TagName(std::string_view tag) {
    if (!tag.empty() && tag.front() == '/')
        tag.remove_prefix(1);
    std::string name;
    for (const char c : tag) {
        if (c == ' ' || c == '/' || c == '\t' || c == '\r' || c == '\n')
            break;
        name.push_back(c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c);
    }
    return name;
}

bool EndsALine(std::string_view name) {
    static constexpr std::string_view kBreaking[] = {
        "br", "p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6", "blockquote", "table",
    };
    for (const std::string_view breaking : kBreaking) {
        if (name == breaking)
            return true;
    }
    return false;
}

// "&amp;" and the like at the start of the text: the character and the entity's length.
std::pair<char, std::size_t> BasicEntity(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'},  {"&lt;", '<'},    {"&gt;", '>'},   {"&quot;", '"'},
        {"&#39;", '\''}, {"&apos;", '\''}, {"&nbsp;", ' '},
    };
    for (const auto& [entity, c] : kEntities) {
        if (text.size() >= entity.size() && EqualsNoCase(text.substr(0, entity.size()), entity))
            return {c, entity.size()};
    }
    return {0, 0};
}

}  // namespace

std::string HtmlToPlainText(std::string_view html) {
    const std::string_view text = html.substr(0, html.find('\0'));
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '&') {
            const auto [character, length] = BasicEntity(text.substr(i));
            if (length > 0) {
                out.push_back(character);
                i += length;
                continue;
            }
        }
        if (c != '<') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (text.substr(i, 4) == "<!--") {
            const std::size_t end = text.find("-->", i + 4);
            i = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const std::size_t close = text.find('>', i + 1);
        if (close == std::string_view::npos) {
            break;  // an unclosed tag runs to the end
        }
        const std::string_view tag = text.substr(i + 1, close - i - 1);
        const std::string name = TagName(tag);
        i = close + 1;
        if (tag.empty() || tag.front() != '/') {
            // Their content is no text: skip to the closing tag.
            if (name == "script" || name == "style" || name == "title") {
                std::size_t end = i;
                for (;;) {
                    end = text.find("</", end);
                    if (end == std::string_view::npos ||
                        TagName(text.substr(end + 1, name.size() + 1)) == name)
                        break;
                    end += 2;
                }
                if (end == std::string_view::npos) {
                    i = text.size();
                } else {
                    const std::size_t after = text.find('>', end);
                    i = after == std::string_view::npos ? text.size() : after + 1;
                }
                continue;
            }
        }
        if (name == "br" || (EndsALine(name) && !out.empty() && out.back() != '\n')) {
            out += "\r\n";
        }
    }
    return out;
}

std::string StripDocumentTags(std::string_view text) {
    const std::size_t length = text.size();
    const std::string_view scan = text.substr(0, text.find('\0'));
    std::string out;
    out.reserve(scan.size());

    TagMode mode = ModeCopy;
    bool inTag = false;
    // The first '>' after the current '<', found once per '>' rather than once per '<', so
    // that a body full of '<' stays linear.
    std::size_t close = scan.find('>');
    for (std::size_t i = 0; i < scan.size(); ++i) {
        const char c = scan[i];
        if (c == '<' && i + 2 < length) {
            if (close != kNotFound && close <= i) {
                close = scan.find('>', i + 1);
            }
            if (close != kNotFound) {
                const std::size_t tagLength = close - i - 1;
                if (tagLength > 0 && tagLength < kTagLimit) {
                    mode = ModeForTag(scan.substr(i + 1, tagLength), mode);
                    inTag = true;
                }
            }
        } else if (c == '>' && inTag) {
            inTag = false;
            if (mode == ModeDropTag) {
                mode = ModeCopy;
                continue;
            }
        }
        if (mode == ModeCopy) {
            out.push_back(c);
        }
    }
    return out;
}

void CMimeEmail::StripDocumentTags() {
    for (CMimeEmailContent& content : GetContents()) {
        if (content.GetLength() > 0) {
            content.SetText(::StripDocumentTags(content.GetText()));
        }
    }
}
