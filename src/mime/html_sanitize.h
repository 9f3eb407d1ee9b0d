// Making strangers' HTML safe to render, and reading it as plain text.
//
// SanitizeHtml rebuilds a message's HTML from an allow-list: tags and attributes that only
// lay out text survive; scripts, event handlers, frames, objects, forms, meta refreshes,
// base and link elements are dropped, and every reference to a resource outside the
// message (remote or file images, backgrounds, style sheets, url() in styles) is removed.
// The only resources left are `cid:` references to the message's own parts, which the
// caller lists and serves. Links keep only http, https and mailto targets; whoever shows
// them asks before following one. HtmlToText reads the same markup as text for the command
// line, the body search and pages too large to lay out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CSanitizedHtml {
    std::u16string m_Html;
    // Content identifiers the markup still refers to through cid: (without the scheme).
    std::vector<std::u16string> m_CidReferences;
    // References to anything else that were removed (images, backgrounds, styles).
    std::int32_t m_nBlockedReferences = 0;
    // What it costs to lay out: table cells, and the deepest nesting of tables.
    std::int64_t m_nTableCells = 0;
    std::int32_t m_nTableDepth = 0;
};

[[nodiscard]] CSanitizedHtml SanitizeHtml(std::u16string_view html);

// The text of the markup: tags gone, entities decoded, blocks and line breaks as new
// lines, runs of blanks outside <pre> as one space; script, style and title text dropped.
[[nodiscard]] std::u16string HtmlToText(std::u16string_view html);

// The character of an entity name or number as written between '&' and ';' ("amp",
// "#233", "#xE9"); 0 when it names none.
[[nodiscard]] char32_t DecodeHtmlEntity(std::u16string_view name);
