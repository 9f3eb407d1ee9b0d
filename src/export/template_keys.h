// What each template key writes for the current message. The engine calls
// WriteTemplateKey; the single rules are visible for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"
#include "platform/file_time.h"

class CEmailDBX;
class CMimeEmail;

enum class TemplateKey {
    Unknown,
    EmailStart,
    NextEmail,
    Title,
    CurrentDate,
    DateSent,
    DateReceived,
    EmailRaw,
    TextContent,
    HtmlContent,
    TextOrHtmlContent,
    Subject,
    SenderEmail,
    SenderName,
    ReceiversHtml,
};

// ASCII case-insensitive; Unknown for anything not in the table.
[[nodiscard]] TemplateKey FindTemplateKey(std::string_view key);

// The current message of the engine; any part may be missing.
struct CKeyMessage {
    const CEmailDBX* pEntry = nullptr;
    const std::string* pRaw = nullptr;  // null when the text could not be read
    CMimeEmail* pParsed = nullptr;      // null when there is none or the parse failed
    // What the entry's strings and unlabelled header text are read in.
    std::uint32_t nMailboxCodePage = kDefaultMailboxCodePage;
};

// Where the keys write: into an HTML page, where subjects, names, addresses and plain-text
// bodies are escaped so that they stay text, or into a plain-text file, where nothing is
// escaped and every text is converted into the code page.
enum class KeyOutput { Html, Text };

// Appends the bytes of a content or message key (not EMAIL_START / NEXT_EMAIL).
void WriteTemplateKey(TemplateKey key, const CKeyMessage& message, std::u16string_view title,
                      std::uint32_t codePage, std::string& out, KeyOutput output = KeyOutput::Html);

[[nodiscard]] std::string TitleKeyText(std::u16string_view title);
[[nodiscard]] std::string CurrentDateKeyText();
[[nodiscard]] std::string DateKeyText(FILETIME64 time);
// The plain-text bodies up to a uuencoded or yEnc block: for a page as they are but for
// '<' and '>'; for a text file converted from their charsets, and an HTML-only message
// gives its HTML bodies as text.
[[nodiscard]] std::string TextContentKeyText(CMimeEmail& email, std::uint32_t codePage = 0,
                                             KeyOutput output = KeyOutput::Html);
[[nodiscard]] std::string HtmlContentKeyText(CMimeEmail& email);
[[nodiscard]] std::string TextOrHtmlKeyText(CMimeEmail& email, std::uint32_t codePage,
                                            KeyOutput output = KeyOutput::Html);
[[nodiscard]] std::string SubjectKeyText(const CMimeEmail* email, const CEmailDBX& entry,
                                         std::uint32_t codePage, std::uint32_t mailboxCodePage,
                                         KeyOutput output = KeyOutput::Html);
[[nodiscard]] std::string SenderNameKeyText(const CMimeEmail* email, const CEmailDBX& entry,
                                            std::uint32_t codePage, std::uint32_t mailboxCodePage,
                                            KeyOutput output = KeyOutput::Html);
[[nodiscard]] std::string SenderEmailKeyText(const CEmailDBX& entry, std::uint32_t mailboxCodePage,
                                             KeyOutput output = KeyOutput::Html);
[[nodiscard]] std::string ReceiversKeyText(const CEmailDBX& entry, std::uint32_t mailboxCodePage,
                                           KeyOutput output = KeyOutput::Html,
                                           std::uint32_t codePage = 0);
