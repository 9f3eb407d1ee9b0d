// What mkdbx takes from an Internet message to fill a mailbox record: the header fields
// Outlook Express indexes (names and addresses, identifiers, dates, priority) and whether
// any part is a named attachment. Subjects and display names are stored decoded, in the
// ANSI code page of the Windows being imitated (1252 for a Western one, 1251 for a
// Russian one...), as Outlook Express stored them; other values keep their bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbxwriter/dbx_writer.h"
#include "mime/mail_fields.h"

namespace mkdbx {

struct HeaderField {
    std::string name;
    std::string value;  // unfolded, surrounding blanks trimmed
};

// Outlook Express stores CRLF line ends; a file with bare LFs gets them converted.
[[nodiscard]] std::string NormalizeLineEnds(std::string_view raw);

// The fields of the header section (up to the first empty line), in order.
[[nodiscard]] std::vector<HeaderField> ParseHeader(std::string_view message);
// The first field with the name (compared case-insensitively).
[[nodiscard]] const HeaderField* FindField(const std::vector<HeaderField>& fields,
                                           std::string_view name);

// The field readers live in the mime layer, shared with the rescue of lost records.
using mailfields::CountLines;
using mailfields::Mailbox;
using mailfields::ParseFirstMailbox;
using mailfields::ParseMailDate;
using mailfields::ParsePriority;

// Whether some MIME part names a file (a name or filename parameter).
[[nodiscard]] bool HasNamedPart(std::string_view message);

// A header value with its encoded words decoded and converted to the code page
// (characters it cannot hold become '?'). Raw 8-bit text is read in the message's charset
// when it declares one. The decoded bytes when no charset is known.
[[nodiscard]] std::string CodePageText(std::string_view value, std::uint32_t codePage,
                                       std::string_view messageCharset = {});

// The record of a message file's text as a Windows of the code page stored it; the text is
// stored with CRLF line ends.
[[nodiscard]] dbxw::Message MessageFromEml(std::string_view raw, std::uint32_t codePage = 1252);

}  // namespace mkdbx
