#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

template <typename Char>
int CompareFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        // Most units already match: fold only where they differ.
        if (a[i] != b[i]) {
            const auto x = AsciiLower<std::uint32_t>(text_detail::Unit(a[i]));
            const auto y = AsciiLower<std::uint32_t>(text_detail::Unit(b[i]));
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

template <typename Char>
std::size_t FindFolded(std::basic_string_view<Char> text, std::basic_string_view<Char> needle,
                       std::size_t from) {
    if (from > text.size() || needle.size() > text.size() - from) {
        return text.npos;
    }
    const auto hit =
        std::search(text.begin() + std::ptrdiff_t(from), text.end(), needle.begin(), needle.end(),
                    [](Char x, Char y) { return AsciiLower(x) == AsciiLower(y); });
    return hit == text.end() && !needle.empty() ? text.npos : std::size_t(hit - text.begin());
}

template <typename Char>
std::basic_string<Char> Lowered(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(text);
    for (Char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

bool IsUtf8Lead(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

}  // namespace

std::string_view CutAtZero(std::string_view text) {
    if (text.empty()) {
        return text;  // memchr must not see the null data of an empty view
    }
    // memchr is vectorised: sorting compares cut every key this way.
    const void* zero = std::memchr(text.data(), 0, text.size());
    return zero == nullptr
               ? text
               : text.substr(0, std::size_t(static_cast<const char*>(zero) - text.data()));
}

int CompareNoCase(std::string_view a, std::string_view b) {
    return CompareFolded(CutAtZero(a), CutAtZero(b));
}

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    return CompareFolded(CutAtZero(a), CutAtZero(b));
}

std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    return FindFolded(text, needle, from);
}

std::size_t FindNoCase(std::u16string_view text, std::u16string_view needle, std::size_t from) {
    return FindFolded(text, needle, from);
}

std::string AsciiLowered(std::string_view text) {
    return Lowered(text);
}

std::u16string AsciiLowered(std::u16string_view text) {
    return Lowered(text);
}

std::size_t Utf8CharCount(std::string_view utf8) {
    return std::size_t(std::count_if(utf8.begin(), utf8.end(), IsUtf8Lead));
}

std::string_view Utf8CutChars(std::string_view utf8, std::size_t chars) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (IsUtf8Lead(utf8[i]) && seen++ == chars) {
            return utf8.substr(0, i);
        }
    }
    return utf8;
}

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
    }
    return text;
}
