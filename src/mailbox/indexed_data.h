// CIndexedData: one message record decoded in memory. A record is a 12-byte header (its
// own offset, the body length, the slot count) and a body of 32-bit words: an index table
// of one slot per attribute, then a data area. A slot holds its attribute's value itself
// (direct, 24 bits) or the value's offset in the data area (indirect); an indirect value
// runs to the next indirect slot's offset, the last one to the end of the body. The three
// per-identifier tables hold what the slots said; values are read through GetValue only,
// which refuses anything that would reach outside the body that was read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_time.h"

class CZFile;
class CZHyperString;

class CIndexedData {
public:
    static constexpr std::uint32_t kTableSize = 128;
    // Bodies of this many words or more are not read.
    static constexpr std::int32_t kMaxBodyWords = 104857600;

    CIndexedData() = default;
    CIndexedData(const CIndexedData&) = delete;
    CIndexedData& operator=(const CIndexedData&) = delete;
    virtual ~CIndexedData() = default;

    bool Read(CZFile& file, std::uint32_t offset);
    // The same from bytes that start with the record; false when they end before it does.
    bool Parse(std::span<const std::uint8_t> bytes, std::uint32_t offset);

    // Direct: the 24-bit value's 4 bytes, length 3. Indirect: the bytes in the data area.
    // Null when absent, or when the value would lie outside the body.
    [[nodiscard]] const std::uint8_t* GetValue(std::uint32_t id, std::uint32_t& length) const;
    bool GetDword(std::uint32_t id, std::uint32_t& out) const;
    bool GetFiletime(std::uint32_t id, FILETIME64& out) const;
    // The value's bytes up to the first zero byte. Fails when the attribute is absent.
    bool GetString(std::uint32_t id, std::string& out) const;
    bool GetText(std::uint32_t id, CZHyperString& out) const;

    [[nodiscard]] std::uint32_t GetHeader(int i) const { return m_Header[std::size_t(i)]; }
    [[nodiscard]] std::uint32_t GetSlotCount() const { return m_nSlots; }
    [[nodiscard]] bool IsDirect(std::uint32_t id) const {
        return id < kTableSize && m_bDirect[id] != 0;
    }
    // The stored length, signed: negative when indirect offsets were out of order.
    [[nodiscard]] std::int32_t GetStoredLength(std::uint32_t id) const {
        return id < kTableSize ? std::int32_t(m_nLength[id]) : 0;
    }

private:
    void Reset();
    bool TakeHeader(const std::uint8_t* header, std::uint32_t offset, std::int32_t& words);
    void DecodeSlots();

    std::array<std::uint32_t, 3> m_Header{};
    std::uint32_t m_nSlots = 0;
    std::vector<std::uint32_t> m_pBody;  // the body words; empty when none was read
    std::array<std::uint32_t, kTableSize> m_bDirect{};
    std::array<std::uint32_t, kTableSize> m_nValue{};
    std::array<std::uint32_t, kTableSize> m_nLength{};
};
