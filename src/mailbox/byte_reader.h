// Bounds-checked little-endian reads from bytes read off a file. Every field of the
// mailbox format is read through this, so no parser can index past what was read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

class CByteReader {
public:
    explicit CByteReader(std::span<const std::uint8_t> bytes) : m_Bytes(bytes) {}

    [[nodiscard]] std::size_t Size() const { return m_Bytes.size(); }

    [[nodiscard]] bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_Bytes.size() && count <= m_Bytes.size() - offset;
    }

    // Zero when out of range.
    [[nodiscard]] std::uint8_t U8(std::size_t offset) const {
        return offset < m_Bytes.size() ? m_Bytes[offset] : 0;
    }
    [[nodiscard]] std::uint32_t U32(std::size_t offset) const {
        if (!Has(offset, 4)) {
            return 0;
        }
        const std::uint8_t* p = m_Bytes.data() + offset;
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }

    // A view of count bytes at offset; empty when any of it lies outside.
    [[nodiscard]] std::span<const std::uint8_t> Bytes(std::size_t offset, std::size_t count) const {
        if (!Has(offset, count)) {
            return {};
        }
        return m_Bytes.subspan(offset, count);
    }

private:
    std::span<const std::uint8_t> m_Bytes;
};
