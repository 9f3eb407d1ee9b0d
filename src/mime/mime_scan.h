// Bounded scans over message text, the lexical layer under the header and body parsers.
//
// Every function here takes the text as a view and looks at nothing past its end, whether
// or not a zero byte follows it: raw message text is zero-terminated, but the parts of a
// multipart body and every fuzzed buffer are not. The parsers read their input only
// through these scans, and they allocate nothing.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The first occurrence of `needle` that starts at or after `from`, or kNotFound.
[[nodiscard]] std::size_t FindBytes(std::string_view text, std::size_t from,
                                    std::string_view needle);

[[nodiscard]] inline std::size_t FindCrLf(std::string_view text, std::size_t from) {
    return FindBytes(text, from, "\r\n");
}

// One header field as written: the name before the colon (empty when the line has none)
// and the raw value from after the colon and its leading blanks up to the CR LF that ends
// the field, continuation lines and their CR LF included.
struct CFieldSpan {
    std::string_view m_Name;
    std::string_view m_RawValue;
};

// Reads the field that starts at the beginning of `text`, skipping whole lines that start
// with whitespace. Returns the bytes it takes, through the last CR LF of the value; 0 when
// the value has no CR LF before the end, or when the skipped lines reach an empty line.
[[nodiscard]] std::size_t ScanHeaderField(std::string_view text, CFieldSpan& field);

// Where the raw value (quotes included) of parameter `name` lies in a structured field
// value such as "text/plain; charset=us-ascii". Parameters start after the first ';', so
// the media type itself is never taken for one.
[[nodiscard]] bool ScanParameter(std::string_view value, std::string_view name, std::size_t& start,
                                 std::size_t& length);

// The value up to its first ';', without the whitespace before that ';'; the whole value
// when it has no ';'.
[[nodiscard]] std::string_view ValueWithoutParameters(std::string_view value);
