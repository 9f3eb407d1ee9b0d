#include "support/memory_settings.h"

namespace {

std::u16string FoldAscii(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return out;
}

}  // namespace

CMemorySettings::Key CMemorySettings::MakeKey(std::u16string_view section,
                                              std::u16string_view key) {
    return {FoldAscii(section), FoldAscii(key)};
}

const CMemorySettings::Value* CMemorySettings::Find(std::u16string_view section,
                                                    std::u16string_view key) const {
    const auto it = m_values.find(MakeKey(section, key));
    return it == m_values.end() ? nullptr : &it->second;
}

bool CMemorySettings::Store(std::u16string_view section, std::u16string_view key, Value value) {
    if (m_failWrites) {
        return false;
    }
    ++m_writeCount;
    m_values[MakeKey(section, key)] = std::move(value);
    return true;
}

int CMemorySettings::ReadInt(std::u16string_view section, std::u16string_view key,
                             int defaultValue) const {
    const Value* value = Find(section, key);
    const int* number = value ? std::get_if<int>(value) : nullptr;
    return number ? *number : defaultValue;
}

std::u16string CMemorySettings::ReadString(std::u16string_view section, std::u16string_view key,
                                           std::u16string_view defaultValue) const {
    const Value* value = Find(section, key);
    const std::u16string* text = value ? std::get_if<std::u16string>(value) : nullptr;
    return text ? *text : std::u16string(defaultValue);
}

bool CMemorySettings::WriteInt(std::u16string_view section, std::u16string_view key, int value) {
    return Store(section, key, value);
}

bool CMemorySettings::WriteString(std::u16string_view section, std::u16string_view key,
                                  std::u16string_view text) {
    return Store(section, key, std::u16string(text));
}

bool CMemorySettings::Has(std::u16string_view section, std::u16string_view key) const {
    return Find(section, key) != nullptr;
}

std::optional<int> CMemorySettings::IntValue(std::u16string_view section,
                                             std::u16string_view key) const {
    const Value* value = Find(section, key);
    const int* number = value ? std::get_if<int>(value) : nullptr;
    return number ? std::optional<int>(*number) : std::nullopt;
}

std::optional<std::u16string> CMemorySettings::StringValue(std::u16string_view section,
                                                           std::u16string_view key) const {
    const Value* value = Find(section, key);
    const std::u16string* text = value ? std::get_if<std::u16string>(value) : nullptr;
    return text ? std::optional<std::u16string>(*text) : std::nullopt;
}
