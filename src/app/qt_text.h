// The one crossing between the core's UTF-16 text and Qt's: both hold UTF-16 units, so
// the units pass as they are, lone surrogates included.
#pragma once

#include <QString>
#include <string>
#include <string_view>

[[nodiscard]] inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

[[nodiscard]] inline std::u16string ToU16(const QString& text) {
    return text.toStdU16String();
}
