#include "mailbox/crc32.h"

#include "platform/text.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[i] = c;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint32_t Crc32(std::string_view bytes) {
    bytes = CutAtZero(bytes);
    if (bytes.empty()) {
        return 0;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes) {
        crc = kTable[(crc ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}
