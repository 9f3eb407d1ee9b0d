// The character classes that header and body parsing share. Only bytes below 128 belong to
// a class; bytes of 128 and above are non-ASCII and belong to none. Hexadecimal digits are
// upper-case only: the quoted-printable decoder relies on that.
#pragma once

#include <string_view>

// EqualsNoCase, the comparison of every MIME name, comes with these classes.
#include "platform/text.h"

[[nodiscard]] constexpr bool IsMimeNonAscii(unsigned char c) {
    return c >= 128;
}

[[nodiscard]] constexpr bool IsMimeControl(unsigned char c) {
    return c < 32 || c == 127;
}

[[nodiscard]] constexpr bool IsMimeSpace(unsigned char c) {
    return (c >= 9 && c <= 13) || c == ' ';
}

[[nodiscard]] constexpr bool IsMimeAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

[[nodiscard]] constexpr bool IsMimeSpecial(unsigned char c) {
    return c != 0 && std::string_view("()<>@,;:\\.[]=\"").find(char(c)) != std::string_view::npos;
}

[[nodiscard]] constexpr bool IsMimeHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

[[nodiscard]] constexpr bool IsMimeToken(unsigned char c) {
    return IsMimeNonAscii(c) || (c > 32 && !IsMimeSpecial(c));
}

[[nodiscard]] constexpr bool IsMimeDelimiter(unsigned char c) {
    return IsMimeSpace(c) || IsMimeSpecial(c);
}
