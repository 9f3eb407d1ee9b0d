#include "mime/tag_strip.h"

#include <utility>

#include "mime/mime_char.h"
#include "mime/mime_email.h"
#include "mime/mime_scan.h"
#include "platform/text.h"

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

}  // namespace

std::string StripDocumentTags(std::string_view text) {
    const std::size_t length = text.size();
    const std::string_view scan = CutAtZero(text);
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
