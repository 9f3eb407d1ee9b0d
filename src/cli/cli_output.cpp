#include "cli/cli_output.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <limits>
#include <type_traits>
#include <vector>

#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/email_columns.h"
#include "platform/code_page.h"
#include "platform/text.h"

namespace {

// Widest a column may grow before its text is cut, in characters.
constexpr std::size_t kMaxColumnWidth[kEmailColumnCount] = {10, 1, 1, 1, 60, 16, 16, 28, 28, 8};

// What an icon cell shows in a terminal.
const char* IconText(EmailIcon icon) {
    switch (icon) {
        case IconAttachment:
            return "@";
        case IconFlag:
            return "F";
        case IconHighPriority:
            return "!";
        case IconLowPriority:
            return "v";
        default:
            return "";
    }
}

// Characters are counted as code points: close enough for a terminal table.
std::string CutToWidth(const std::string& utf8, std::size_t width) {
    if (Utf8CharCount(utf8) <= width) {
        return utf8;
    }
    return std::string(Utf8CutChars(utf8, width - 1)) + "\xE2\x80\xA6";  // an ellipsis
}

std::string CellText(const CEmailDBX& entry, int column, std::uint32_t codePage) {
    if (IsIconColumn(column)) {
        return IconText(GetEmailCellIcon(entry, column));
    }
    std::u16string text = GetEmailCellText(entry, column, codePage);
    // Line breaks and tabs in a stored subject would break the table's rows.
    std::replace_if(
        text.begin(), text.end(), [](char16_t c) { return c < 0x20; }, u' ');
    return WideToUtf8(text);
}

// The table of the rows; with numbers, a "Row" column of their places in the list leads.
void PrintRows(std::FILE* out, CEmailArray& emails, std::span<const std::int32_t> rowNumbers,
               bool withNumbers, std::uint32_t codePage) {
    constexpr int kColumns = kEmailColumnCount + 1;
    const int first = withNumbers ? 0 : 1;
    std::vector<std::array<std::string, kColumns>> rows(rowNumbers.size() + 1);
    std::array<std::size_t, kColumns> widths{};
    rows[0][0] = "Row";
    for (int c = 0; c < kEmailColumnCount; ++c) {
        rows[0][c + 1] = WideToUtf8(kEmailColumns[c].heading);
    }
    for (std::size_t r = 0; r < rowNumbers.size(); ++r) {
        CEmailDBX* entry = emails.Get(rowNumbers[r]);
        rows[r + 1][0] = std::to_string(rowNumbers[r]);
        for (int c = 0; c < kEmailColumnCount && entry; ++c) {
            rows[r + 1][c + 1] = CutToWidth(CellText(*entry, c, codePage), kMaxColumnWidth[c]);
        }
    }
    for (const auto& row : rows) {
        for (int c = first; c < kColumns; ++c) {
            widths[c] = std::max(widths[c], Utf8CharCount(row[c]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (int c = first; c < kColumns; ++c) {
            const std::string& cell = row[c];
            const std::size_t pad = widths[c] - Utf8CharCount(cell);
            if (c == 0 || c - 1 == ColId || c - 1 == ColLines) {
                line.append(pad, ' ');
                line += cell;
            } else {
                line += cell;
                if (c + 1 < kColumns) {
                    line.append(pad, ' ');
                }
            }
            if (c + 1 < kColumns) {
                line += "  ";
            }
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
}

}  // namespace

void PrintEmailTable(std::FILE* out, CEmailArray& emails, std::uint32_t codePage) {
    std::vector<std::int32_t> rows(std::size_t(std::max(emails.GetCount(), 0)));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r] = std::int32_t(r);
    }
    PrintRows(out, emails, rows, false, codePage);
}

void PrintEmailTable(std::FILE* out, CEmailArray& emails, std::span<const std::int32_t> rows,
                     std::uint32_t codePage) {
    PrintRows(out, emails, rows, true, codePage);
}

namespace {

// The members of an entry's object in order, handed to `member(key, value)`: the one list
// of them, whether a document is built or the text is written as it goes.
template <class Member>
void VisitEmailMembers(const CEmailDBX& entry, int row, std::uint32_t codePage, bool withRecovered,
                       Member&& member) {
    member("row", row);
    member("id", entry.m_Id);
    member("has_text", entry.m_bHasText);
    member("flag_0020", entry.m_bFlag0020);
    member("has_attachment", entry.m_bHasAttachment);
    member("priority", entry.m_nPriority);
    member("subject", WideToUtf8(entry.GetSubjectText(codePage)));
    member("sent", WideToUtf8(DateText(entry.m_SentTime)));
    member("received", WideToUtf8(DateText(entry.m_ReceivedTime)));
    member("sender_name", MailboxBytesToUtf8(codePage, entry.m_SenderName));
    member("sender_address", MailboxBytesToUtf8(codePage, entry.m_SenderAddress));
    member("recipient_name", MailboxBytesToUtf8(codePage, entry.m_RecipientName));
    member("recipient_address", MailboxBytesToUtf8(codePage, entry.m_RecipientAddress));
    member("lines", entry.m_nLines);
    member("message_id", MailboxBytesToUtf8(codePage, entry.m_MessageId));
    member("in_reply_to", MailboxBytesToUtf8(codePage, entry.m_InReplyTo));
    member("text_offset", entry.m_nTextOffset);
    if (!withRecovered) {
        return;
    }
    if (entry.IsRecovered()) {
        member("recovered", std::string(RecoveredKindName(entry.m_Recovered)));
        member("offset", entry.m_nTextOffset);
        member("lost_bytes", entry.m_nLostBytes);
    } else {
        member("recovered", nullptr);
    }
}

bool IsUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = std::int32_t(text.size());
    for (std::int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

// A string as the serializer writes it: quoted, with the escapes JSON needs and UTF-8 as it
// is. Text that is not UTF-8 is left to the serializer, which replaces what is broken.
void AppendJsonString(std::string& out, std::string_view text) {
    if (text.size() > std::size_t(std::numeric_limits<std::int32_t>::max()) || !IsUtf8(text)) {
        out += DumpJson(nlohmann::ordered_json(std::string(text)));
        return;
    }
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendJsonValue(std::string& out, const std::string& text) {
    AppendJsonString(out, text);
}
void AppendJsonValue(std::string& out, bool value) {
    out += value ? "true" : "false";
}
void AppendJsonValue(std::string& out, std::nullptr_t /*value*/) {
    out += "null";
}
template <class Integer>
requires std::is_integral_v<Integer>
void AppendJsonValue(std::string& out, Integer value) {
    out += std::to_string(value);
}

// An entry's object laid out as the serializer lays out an object two levels deep.
void AppendEntryObject(std::string& out, const CEmailDBX& entry, int row, std::uint32_t codePage,
                       bool withRecovered) {
    out += "{";
    bool first = true;
    VisitEmailMembers(entry, row, codePage, withRecovered,
                      [&out, &first](std::string_view key, const auto& value) {
                          out += first ? "\n      \"" : ",\n      \"";
                          first = false;
                          out += key;
                          out += "\": ";
                          AppendJsonValue(out, value);
                      });
    out += "\n    }";
}

}  // namespace

nlohmann::ordered_json EmailToJson(const CEmailDBX& entry, int row, std::uint32_t codePage,
                                   bool withRecovered) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    VisitEmailMembers(entry, row, codePage, withRecovered,
                      [&object](const char* key, const auto& value) { object[key] = value; });
    return object;
}

void PrintEmailListJson(std::FILE* out, nlohmann::ordered_json frame, CEmailArray& emails,
                        std::uint32_t codePage, bool withRecovered) {
    // The serializer writes the frame with the list empty; the list is the last member, so
    // its "[]" is the last one in the text, and the entries go between its brackets.
    frame["emails"] = nlohmann::ordered_json::array();
    const std::string whole = DumpJson(frame);
    const std::size_t list = whole.rfind("[]");
    std::string text = whole.substr(0, list + 1);
    constexpr std::size_t kFlushBytes = 64 * 1024;
    bool empty = true;
    const int count = emails.GetCount();
    for (int r = 0; r < count; ++r) {
        const CEmailDBX* entry = emails.Get(r);
        if (entry == nullptr) {
            continue;
        }
        text += empty ? "\n    " : ",\n    ";
        empty = false;
        AppendEntryObject(text, *entry, r, codePage, withRecovered);
        if (text.size() >= kFlushBytes) {
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
    }
    if (!empty) {
        text += "\n  ";
    }
    text.append(whole, list + 1);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), out);
}

std::string DumpJson(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void PrintJson(std::FILE* out, const nlohmann::ordered_json& document) {
    const std::string text = DumpJson(document) + "\n";
    std::fwrite(text.data(), 1, text.size(), out);
}
