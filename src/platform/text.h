// The small text rules every layer shares. Names in mail, charsets and options are
// ASCII, so case folding touches only 'A'..'Z' and compares every other unit as an
// unsigned value. Stored byte strings may hold zero bytes where the mailbox had its C
// strings end; CutAtZero gives the part a C string would be. The UTF-8 cuts count
// characters as code points and never split a sequence.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

template <typename Char>
[[nodiscard]] constexpr Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? Char(c + ('a' - 'A')) : c;
}

template <typename Char>
[[nodiscard]] constexpr Char AsciiUpper(Char c) {
    return c >= Char('a') && c <= Char('z') ? Char(c - ('a' - 'A')) : c;
}

namespace text_detail {

template <typename Char>
constexpr auto Unit(Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c);
}

template <typename A, typename B>
constexpr bool EqualsNoCase(std::basic_string_view<A> a, std::basic_string_view<B> b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower<std::uint32_t>(Unit(a[i])) != AsciiLower<std::uint32_t>(Unit(b[i]))) {
            return false;
        }
    }
    return true;
}

template <typename Char>
constexpr std::basic_string_view<Char> CutAtZero(std::basic_string_view<Char> text) {
    const std::size_t zero = text.find(Char(0));
    return zero == text.npos ? text : text.substr(0, zero);
}

}  // namespace text_detail

// The part a C string would be: up to the first zero, or all of it.
[[nodiscard]] std::string_view CutAtZero(std::string_view text);
[[nodiscard]] constexpr std::u16string_view CutAtZero(std::u16string_view text) {
    return text_detail::CutAtZero(text);
}

// Equal but for the case of ASCII letters; the whole views count, zeros included.
[[nodiscard]] constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    return text_detail::EqualsNoCase(a, b);
}
[[nodiscard]] constexpr bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return text_detail::EqualsNoCase(a, b);
}
[[nodiscard]] constexpr bool EqualsNoCase(std::u16string_view a, std::string_view b) {
    return text_detail::EqualsNoCase(a, b);
}

[[nodiscard]] constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}
[[nodiscard]] constexpr bool StartsWithNoCase(std::u16string_view text,
                                              std::u16string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}
[[nodiscard]] constexpr bool EndsWithNoCase(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The text with 'A'..'Z' made lower case, every other unit as it is.
[[nodiscard]] std::string AsciiLowered(std::string_view text);
[[nodiscard]] std::u16string AsciiLowered(std::u16string_view text);

// Three-way order of two C strings (each ends at its first zero) with ASCII letters
// folded to lower case: -1, 0 or 1.
[[nodiscard]] int CompareNoCase(std::string_view a, std::string_view b);
[[nodiscard]] int CompareNoCase(std::u16string_view a, std::u16string_view b);

// Where the needle first stands at or after `from`, ASCII case aside; npos when nowhere.
// An empty needle is found at `from` (when from is inside the text or at its end).
[[nodiscard]] std::size_t FindNoCase(std::string_view text, std::string_view needle,
                                     std::size_t from = 0);
[[nodiscard]] std::size_t FindNoCase(std::u16string_view text, std::u16string_view needle,
                                     std::size_t from = 0);

// Code points in UTF-8 text: every byte that does not continue a sequence.
[[nodiscard]] std::size_t Utf8CharCount(std::string_view utf8);
// The first `chars` code points of UTF-8 text, whole.
[[nodiscard]] std::string_view Utf8CutChars(std::string_view utf8, std::size_t chars);

// printf formatting into a string; empty when the format fails. `args` is used up: the
// caller still ends it.
[[nodiscard]] std::string FormatV(const char* format, va_list args);
