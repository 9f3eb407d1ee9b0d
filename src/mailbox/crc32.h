// The IEEE 802.3 CRC-32 (the zlib one) of a byte string up to its first zero byte.
#pragma once

#include <cstdint>
#include <string_view>

[[nodiscard]] std::uint32_t Crc32(std::string_view bytes);
