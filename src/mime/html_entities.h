// HTML entity references for UTF-16 text that is about to be written into a page of
// another code page: the quote mark, '&', the Latin-1 range 160 to 255 and five
// Windows-1252 positions become named entities, so they survive the conversion. '<' and
// '>' are left alone: the text may already be markup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CZHyperString;

// The entity of one code unit, or an empty view when the unit stays as it is.
[[nodiscard]] std::u16string_view HtmlEntityFor(char16_t unit);

// Without a destination, sets `length` to the units the zero-terminated source needs once
// converted, terminator included. With one, `length` is its capacity: at most length - 1
// units are written (an entity may be cut at the end) and then the terminator. False for a
// null source, a capacity of 1 or less, or a count past 32 bits.
bool EncodeHtmlEntities(const char16_t* source, char16_t* destination, std::int32_t& length);

// The whole text with its entities (embedded zero units are carried over as they are).
[[nodiscard]] std::u16string EncodeHtmlEntities(std::u16string_view source);

// '&', '"', '<' and '>' as entities: text (a name, an address, a plain body) written into a
// page or an attribute value, where it must not become markup.
[[nodiscard]] std::u16string EscapeHtmlText(std::u16string_view text);

// Replaces the text by its escaped UTF-16 form, in a buffer of exactly its size. False when
// the text cannot be converted to UTF-16.
bool EscapeHtml(CZHyperString& text);
