// The removal of document-level markup from a message body.
#pragma once

#include <string>
#include <string_view>

// The text without its doctype, html, head, meta and body tags (with their attributes) and
// without the title element and its text, up to its first zero byte. A tag is recognised by
// its name up to the first blank, in any letter case; every other tag, comment and text
// stays, and a '<' in the last two bytes is always kept. The text is never inspected to
// decide whether it is HTML at all: plain text that mentions <html> loses it too.
[[nodiscard]] std::string StripDocumentTags(std::string_view text);

// The text of an HTML body for a plain-text file: every tag and comment removed, with the
// content of script, style and title elements; line breaks, paragraphs, list items, table
// rows and headings end a line (CR LF); &amp; &lt; &gt; &quot; &#39; &apos; and &nbsp;
// become their characters, other entities stay. Bytes are taken as an ASCII-based charset.
[[nodiscard]] std::string HtmlToPlainText(std::string_view html);
