// The per-user settings store, addressed by (section, key). Sections and keys compare
// case-insensitively; integers and strings are kept apart. Reads of missing values give
// the caller's default; failed writes are lost silently (callers ignore the result).
#pragma once

#include <string>
#include <string_view>

class CAppSettings {
public:
    virtual ~CAppSettings() = default;

    [[nodiscard]] virtual int ReadInt(std::u16string_view section, std::u16string_view key,
                                      int defaultValue) const = 0;
    [[nodiscard]] virtual std::u16string ReadString(
        std::u16string_view section, std::u16string_view key,
        std::u16string_view defaultValue = {}) const = 0;
    virtual bool WriteInt(std::u16string_view section, std::u16string_view key, int value) = 0;
    virtual bool WriteString(std::u16string_view section, std::u16string_view key,
                             std::u16string_view text) = 0;
};
