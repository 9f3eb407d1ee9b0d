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
