// The settings store kept in memory, for tests.
//
// Values are held per (section, key), both compared ASCII case-insensitively; each value
// is either an integer or a string, as on the real store. A read of the other kind gives
// the caller's default: ReadInt of a string value and ReadString of an integer value both
// return the default, so a test notices when a writer and a reader disagree on the type.
// Writes replace the value and its kind. Tests seed values with the Write calls and look
// at them with IntValue/StringValue.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "platform/app_settings.h"

class CMemorySettings final : public CAppSettings {
public:
    [[nodiscard]] int ReadInt(std::u16string_view section, std::u16string_view key,
                              int defaultValue) const override;
    [[nodiscard]] std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                                            std::u16string_view defaultValue = {}) const override;
    bool WriteInt(std::u16string_view section, std::u16string_view key, int value) override;
    bool WriteString(std::u16string_view section, std::u16string_view key,
                     std::u16string_view text) override;

    // Inspection for tests: the value only when it is of that kind.
    [[nodiscard]] bool Has(std::u16string_view section, std::u16string_view key) const;
    [[nodiscard]] std::optional<int> IntValue(std::u16string_view section,
                                              std::u16string_view key) const;
    [[nodiscard]] std::optional<std::u16string> StringValue(std::u16string_view section,
                                                            std::u16string_view key) const;
    [[nodiscard]] std::size_t Size() const { return m_values.size(); }
    [[nodiscard]] int WriteCount() const { return m_writeCount; }
    void Clear() { m_values.clear(); }

    // A store that cannot be written: writes return false and change nothing.
    void SetFailWrites(bool fail) { m_failWrites = fail; }

private:
    using Key = std::pair<std::u16string, std::u16string>;  // folded to lower case
    using Value = std::variant<int, std::u16string>;

    [[nodiscard]] static Key MakeKey(std::u16string_view section, std::u16string_view key);
    [[nodiscard]] const Value* Find(std::u16string_view section, std::u16string_view key) const;
    bool Store(std::u16string_view section, std::u16string_view key, Value value);

    std::map<Key, Value> m_values;
    int m_writeCount = 0;
    bool m_failWrites = false;
};
