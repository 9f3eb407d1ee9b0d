// What each template key writes for the current message. The engine calls
// WriteTemplateKey; the single rules are visible for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
};

// Appends the bytes of a content or message key (not EMAIL_START / NEXT_EMAIL).
void WriteTemplateKey(TemplateKey key, const CKeyMessage& message, std::u16string_view title,
                      std::uint32_t codePage, std::string& out);

[[nodiscard]] std::string TitleKeyText(std::u16string_view title);
[[nodiscard]] std::string CurrentDateKeyText();
[[nodiscard]] std::string DateKeyText(FILETIME64 time);
// The plain-text bodies up to a uuencoded or yEnc block, as they are.
[[nodiscard]] std::string TextContentKeyText(CMimeEmail& email);
[[nodiscard]] std::string HtmlContentKeyText(CMimeEmail& email);
[[nodiscard]] std::string TextOrHtmlKeyText(CMimeEmail& email, std::uint32_t codePage);
[[nodiscard]] std::string SubjectKeyText(const CMimeEmail* email, const CEmailDBX& entry,
                                         std::uint32_t codePage);
[[nodiscard]] std::string SenderNameKeyText(const CMimeEmail* email, const CEmailDBX& entry,
                                            std::uint32_t codePage);
[[nodiscard]] std::string ReceiversKeyText(const CEmailDBX& entry);
