// The values Outlook Express indexes, read from a message's own header fields: the first
// mailbox of an address list, an RFC 2822 date, X-Priority, the line count. mkdbx fills
// records with them and the rescue fills the entries of messages whose record is lost.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailfields {

struct Mailbox {
    std::string name;
    std::string address;
};
// The first mailbox of an address list: "Name <addr>", "\"Quoted\" <addr>", "addr (Name)"
// or a bare address, whose name is then the address itself, as Outlook Express shows it.
[[nodiscard]] std::optional<Mailbox> ParseFirstMailbox(std::string_view value);

// An RFC 2822 date with its zone, as a UTC FILETIME.
[[nodiscard]] std::optional<std::uint64_t> ParseMailDate(std::string_view value);

// X-Priority's first digit as the priority the list shows: 1 high, 3 normal, 5 low.
[[nodiscard]] std::optional<std::uint32_t> ParsePriority(std::string_view value);

// Lines of the message, the last one counted even without a line end.
[[nodiscard]] std::uint32_t CountLines(std::string_view message);

// Removes (comments), honouring quoted strings and nested and escaped parentheses.
[[nodiscard]] std::string StripComments(std::string_view s);
// The text of the first top-level comment, or nothing.
[[nodiscard]] std::optional<std::string> FirstComment(std::string_view s);
// A display name with its quoted strings opened and their escapes undone.
[[nodiscard]] std::string Unquote(std::string_view s);
// Splits at the separator where it stands outside quotes, <angle brackets> and comments.
[[nodiscard]] std::vector<std::string_view> SplitTopLevel(std::string_view s, char separator);

}  // namespace mailfields
