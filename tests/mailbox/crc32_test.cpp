#include "mailbox/crc32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The CRC bit by bit, as a reference for the table-driven one.
std::uint32_t BitwiseCrc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

TEST(Crc32Test, KnownValues) {
    EXPECT_EQ(Crc32("abc"), 0x352441C2u);
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
    EXPECT_EQ(Crc32(std::string_view()), 0u);
}

TEST(Crc32Test, StopsAtTheFirstZeroByte) {
    EXPECT_EQ(Crc32(std::string_view("abc\0def", 7)), 0x352441C2u);
    EXPECT_EQ(Crc32(std::string_view("\0abc", 4)), 0u);
}

TEST(Crc32Test, MatchesTheBitwiseDefinitionOnEveryByteValue) {
    std::string all;
    for (int i = 1; i < 256; ++i) {
        all.push_back(char(i));
    }
    for (std::size_t n = 0; n <= all.size(); n += 17) {
        SCOPED_TRACE(n);
        const std::string_view prefix(all.data(), n);
        EXPECT_EQ(Crc32(prefix), BitwiseCrc32(prefix));
    }
    EXPECT_EQ(Crc32("<thread-1.carol@example.com>"), BitwiseCrc32("<thread-1.carol@example.com>"));
}

}  // namespace
