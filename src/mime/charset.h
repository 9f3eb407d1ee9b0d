// The charset names of mail mapped to Windows code pages, and the conversions between
// charsets that the viewer and the exports use.
//
// The table is fixed: 122 rows in the order they are shown to the user, several names per
// code page. Lookups take the first row whose name matches ASCII case-insensitively; two
// rows have no name and are never found. A charset that no row names converts as the
// target code page, so its bytes pass through unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CZHyperString;

// One row: what the code pages dialog shows, the code page, and one of its names.
struct CCodePageRow {
    std::u16string_view m_Description;
    std::uint32_t m_nCodePage;
    std::string_view m_Charset;
};

[[nodiscard]] std::span<const CCodePageRow> GetCodePageTable();

// The charset that header text naming none of its own is converted from, in a mailbox of
// the code page: that code page's first name. A Western (1252) mailbox keeps "iso-8859-1",
// the reading its exports have always had, so their pages stay as they were.
[[nodiscard]] std::string_view UnlabelledTextCharset(std::uint32_t mailboxCodePage);

// 0 for an empty name or one that no row carries.
[[nodiscard]] std::uint32_t CodePageFromCharset(std::u16string_view charset);
[[nodiscard]] std::uint32_t CodePageFromCharset(std::string_view charset);

// Converts `text` (its first `length` bytes, up to a zero byte among them) from the source
// charset into the target code page; with entities, characters that HTML names become
// entity references on the way. An unknown or empty source charset is taken to be the
// target, and the other way round; when source and target agree the bytes are copied
// without entities. `out` holds the result up to its first zero byte, and is emptied on
// failure: no text, a length below 1, or a code page this machine cannot convert.
bool ConvertCharset(std::u16string_view sourceCharset, std::uint32_t targetCodePage,
                    const char* text, std::int32_t length, std::string& out, bool withEntities);
bool ConvertCharset(std::string_view sourceCharset, std::uint32_t targetCodePage, const char* text,
                    std::int32_t length, std::string& out, bool withEntities);

// What a conversion does to text that is written into a page: nothing, the entities above,
// or the entities and '<' and '>' as "&lt;" and "&gt;", so that the text cannot turn into
// markup. The angle brackets are escaped also when the charsets agree and nothing else is.
enum class TextEscape { None, Entities, Html };

bool ConvertCharset(std::string_view sourceCharset, std::uint32_t targetCodePage, const char* text,
                    std::int32_t length, std::string& out, TextEscape escape);

// The bytes of a text in the code page with every '<' and '>' as "&lt;" and "&gt;" and
// every other byte as it was. Where those byte values can be part of another character
// (UTF-16, UTF-7, ISO-2022, HZ, EBCDIC) the text is escaped through UTF-16 instead.
[[nodiscard]] std::string EscapeMarkupInCodePage(std::string_view bytes, std::uint32_t codePage);

// The same without entities into a caller buffer. A copy (same code page) takes exactly
// `length` bytes; a conversion writes the text and its terminator. Either fails, writing
// nothing, when it does not fit `capacity`. A zero byte follows a copy when there is room.
// `written`, when given, receives the bytes written (0 on failure).
bool ConvertCharsetToBuffer(std::u16string_view sourceCharset, std::uint32_t targetCodePage,
                            const char* text, std::int32_t length, char* buffer,
                            std::int32_t capacity, std::int32_t* written = nullptr);
bool ConvertCharsetToBuffer(std::string_view sourceCharset, std::uint32_t targetCodePage,
                            const char* text, std::int32_t length, char* buffer,
                            std::int32_t capacity, std::int32_t* written = nullptr);

// Stores zero-terminated text in the code page named by the charset (TypeCodePage), or as
// plain 8-bit text when the charset is unknown.
void SetCharsetText(CZHyperString& target, const char* text, const char* charset);
