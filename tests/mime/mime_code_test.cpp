#include "mime/mime_code.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// One codec run into `capacity` bytes followed by guard bytes that must stay untouched.
std::string RunCapped(CMimeCodeBase& codec, std::string_view input, bool encode,
                      std::int32_t capacity) {
    codec.SetSource(input.data(), std::int32_t(input.size()), encode);
    std::vector<char> buffer(std::size_t(capacity) + 8, '#');
    const std::int32_t written = codec.WriteResult(buffer.data(), capacity);
    EXPECT_LE(written, capacity);
    EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########") << capacity;
    return std::string(buffer.data(), std::size_t(std::max(written, 0)));
}

std::string RandomBytes(std::mt19937& rng, std::size_t size, std::string_view alphabet) {
    std::string s(size, '\0');
    for (char& c : s) {
        c = alphabet.empty() ? char(rng() & 0xFF) : alphabet[rng() % alphabet.size()];
    }
    return s;
}

}  // namespace

TEST(IdentityCodec, CopiesAndCutsAtCapacity) {
    CMimeCodeBase codec;
    EXPECT_EQ(RunCodec(codec, "plain", true), "plain");
    EXPECT_EQ(RunCapped(codec, "plain text", false, 5), "plain");
    codec.SetSource(nullptr, 10, false);
    EXPECT_EQ(codec.GetResultSize(), 0);
    CMimeCodeBase64 base64;
    CMimeCodeQP qp;
    for (bool encode : {true, false}) {
        EXPECT_EQ(RunCapped(base64, "", encode, 8), "");
        EXPECT_EQ(RunCapped(qp, "", encode, 8), "");
    }
}

TEST(Base64, Decoding) {
    EXPECT_EQ(DecodeBase64("Zm9vYmFy"), "foobar");
    EXPECT_EQ(DecodeBase64("+/8="), "\xFB\xFF");
    EXPECT_EQ(DecodeBase64("QQ=="), "A");
    EXPECT_EQ(DecodeBase64("Zm9v\r\nYm\nFy\r"), "foobar");
    // Any byte outside the alphabet but CR and LF ends decoding, the pad included.
    for (std::string_view stop : {" ", "=", "\t", "\x80", "-"}) {
        EXPECT_EQ(DecodeBase64("Zm9v" + std::string(stop) + "YmFy"), "foo");
    }
    EXPECT_EQ(DecodeBase64("Zm9"), "fo");
    EXPECT_EQ(DecodeBase64("Zm"), "f");
    EXPECT_EQ(DecodeBase64("Z"), "");
}

TEST(Base64, EncodingInLinesOf76) {
    EXPECT_EQ(EncodeBase64("f", false), "Zg==");
    EXPECT_EQ(EncodeBase64("fo", false), "Zm8=");
    EXPECT_EQ(EncodeBase64("foobar", false), "Zm9vYmFy");
    EXPECT_EQ(EncodeBase64("foo"), "Zm9v\r\n");

    const std::string bytes57(57, '\xFF');
    const std::string line(76, '/');
    EXPECT_EQ(EncodeBase64(bytes57), line + "\r\n");
    EXPECT_EQ(EncodeBase64(bytes57 + "y"), line + "\r\neQ==\r\n");
    EXPECT_EQ(EncodeBase64(bytes57 + "y", false), line + "eQ==");
}

TEST(Base64, SizeBoundsAndSmallCapacities) {
    CMimeCodeBase64 codec;
    const std::string input(100, 'a');
    codec.SetSource(input.data(), 100, true);
    EXPECT_EQ(codec.GetResultSize(), 136 + 2 + 2);
    codec.SetLineBreaks(false);
    EXPECT_EQ(codec.GetResultSize(), 136);
    codec.SetSource(input.data(), 100, false);
    EXPECT_EQ(codec.GetResultSize(), 77);

    const std::string data = "The quick brown fox jumps over the lazy dog; and again, twice.";
    const std::string encoded = EncodeBase64(data + data);
    for (std::int32_t capacity = 0; capacity <= std::int32_t(encoded.size()); ++capacity) {
        CMimeCodeBase64 coder;
        EXPECT_EQ(RunCapped(coder, data + data, true, capacity),
                  encoded.substr(0, std::size_t(capacity)));
        const std::string decoded = RunCapped(coder, encoded, false, capacity);
        EXPECT_EQ(decoded, (data + data).substr(0, decoded.size()));
    }
}

// The decoding rule one character at a time, to hold the grouped decoder against.
std::string ReferenceBase64(std::string_view input, std::size_t capacity) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    int slot = 0;
    unsigned previous = 0;
    for (const char ch : input) {
        if (ch == '\r' || ch == '\n')
            continue;
        const std::size_t v = alphabet.find(ch);
        if (v == std::string::npos || ch == '\0')
            break;
        if (slot > 0) {
            if (out.size() >= capacity)
                break;
            const unsigned b = slot == 1   ? previous << 2 | unsigned(v) >> 4
                               : slot == 2 ? (previous & 15) << 4 | unsigned(v) >> 2
                                           : (previous & 3) << 6 | unsigned(v);
            out += char(b & 0xFF);
        }
        previous = unsigned(v);
        slot = (slot + 1) & 3;
    }
    return out;
}

TEST(Base64, DecodingMatchesTheCharacterRuleOnMessyInput) {
    std::mt19937 rng(7);
    const std::string pieces[] = {"QUJD", "ZGVm", "\r\n", "\n",   "=", " ",
                                  "Zg",   "R0lG", "\r",   "/+9a", "!", "QQ=="};
    for (int round = 0; round < 3000; ++round) {
        std::string input;
        const int n = int(rng() % 40);
        for (int k = 0; k < n; ++k)
            input += pieces[rng() % std::size(pieces)];
        // Mostly clean bodies, so the grouped path is taken; sometimes a stop character.
        if (rng() % 3 != 0) {
            std::erase_if(input, [](char c) { return c == '=' || c == ' ' || c == '!'; });
        }
        const auto capacity = std::int32_t(rng() % 64);
        CMimeCodeBase64 codec;
        EXPECT_EQ(RunCapped(codec, input, false, capacity),
                  ReferenceBase64(input, std::size_t(capacity)))
            << input << " capacity " << capacity;
    }
}

TEST(QuotedPrintable, Decoding) {
    EXPECT_EQ(DecodeQuotedPrintable("=3D"), "=");
    EXPECT_EQ(DecodeQuotedPrintable("=3d"), "=");
    EXPECT_EQ(DecodeQuotedPrintable("caf=C3=A9"), "caf\xC3\xA9");
    // Lower-case first digits start no escape: the '=' drops, the rest stays.
    EXPECT_EQ(DecodeQuotedPrintable("=e9"), "e9");
    EXPECT_EQ(DecodeQuotedPrintable("=XY"), "XY");
    EXPECT_EQ(DecodeQuotedPrintable("soft=\r\nbreak"), "softbreak");
    EXPECT_EQ(DecodeQuotedPrintable("a_b"), "a_b");
    // The second digit is taken without a test.
    EXPECT_EQ(DecodeQuotedPrintable("=4 =4g"), "\x40\x40");
    EXPECT_EQ(DecodeQuotedPrintable("ab=4"), "ab");
    EXPECT_EQ(DecodeQuotedPrintable("ab="), "ab");
}

TEST(QuotedPrintable, EncodingRules) {
    EXPECT_EQ(EncodeQuotedPrintable("a=b caf\xE9"), "a=3Db caf=E9");
    EXPECT_EQ(EncodeQuotedPrintable("a \r\nb\t\r\nend "), "a=20\r\nb=09\r\nend=20");
    EXPECT_EQ(EncodeQuotedPrintable("x\r\n.\r\ny"), "x\r\n=2E\r\ny");
    // The dot is only quoted with CR LF on both sides.
    EXPECT_EQ(EncodeQuotedPrintable(".\r\nx\r\n.\rx\r\n..\r\n"), ".\r\nx\r\n.\rx\r\n..\r\n");
}

TEST(QuotedPrintable, SoftBreaks) {
    const std::string a70(70, 'a');
    EXPECT_EQ(EncodeQuotedPrintable(std::string(100, 'a')),
              std::string(75, 'a') + "=\r\n" + std::string(25, 'a'));
    // After the last blank of the line, and what followed it moves down...
    EXPECT_EQ(EncodeQuotedPrintable(a70 + " bbbbbbbbbb"), a70 + " =\r\nbbbbbbbbbb");
    EXPECT_EQ(EncodeQuotedPrintable("H " + std::string(72, 'a') + "\xE9"),
              "H =\r\n" + std::string(72, 'a') + "=E9");
    // ...unless it would not fit the new line either.
    EXPECT_EQ(EncodeQuotedPrintable("H\t" + std::string(73, 'a') + "\xE9"),
              "H\t" + std::string(73, 'a') + "=\r\n=E9");
    EXPECT_EQ(EncodeQuotedPrintable(std::string(74, 'a') + "\xE9"),
              std::string(74, 'a') + "=\r\n=E9");
    EXPECT_EQ(EncodeQuotedPrintable(a70 + "\r\n" + a70), a70 + "\r\n" + a70);

    CMimeCodeQP codec;
    const std::string bound = std::string(80, 'a') + std::string(20, '-');
    codec.SetSource(bound.data(), 100, true);
    EXPECT_EQ(codec.GetResultSize(), 140 + 140 / 74 * 6);
}

TEST(QuotedPrintable, RoundTripLineLengthAndBound) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const std::string data =
            RandomBytes(rng, rng() % 600, round % 3 ? "abcdefghij  \t=.\r\n\xE9" : "");
        CMimeCodeQP codec;
        const std::string encoded = RunCodec(codec, data, true);
        EXPECT_EQ(DecodeQuotedPrintable(encoded), data);
        std::size_t column = 0;
        for (const char c : encoded) {
            column = c == '\r' || c == '\n' ? 0 : column + 1;
            ASSERT_LE(column, 76u) << encoded;
        }
        codec.SetSource(data.data(), std::int32_t(data.size()), true);
        const std::int32_t bound = codec.GetResultSize();
        EXPECT_EQ(RunCapped(codec, data, true, bound), encoded);
    }
}

TEST(QuotedPrintable, SmallCapacitiesDecodeToPrefixes) {
    const std::string data = std::string(60, 'a') + " caf\xE9 = " + std::string(30, 'b') + " \r\n" +
                             std::string(90, 'c');
    const std::string encoded = EncodeQuotedPrintable(data);
    for (std::int32_t capacity = 0; capacity <= std::int32_t(encoded.size()); ++capacity) {
        CMimeCodeQP codec;
        const std::string decoded = DecodeQuotedPrintable(RunCapped(codec, data, true, capacity));
        EXPECT_EQ(decoded, data.substr(0, decoded.size())) << capacity;
        const std::string partial = RunCapped(codec, encoded, false, capacity);
        EXPECT_EQ(partial, data.substr(0, partial.size())) << capacity;
    }
}
