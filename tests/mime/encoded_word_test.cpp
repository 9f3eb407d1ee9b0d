#include "mime/encoded_word.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string Decode(std::string_view value) {
    return DecodeEncodedWords(value);
}

std::vector<std::string> Words(const std::string& encoded) {
    std::vector<std::string> words(1);
    for (const char c : encoded) {
        if (c == ' ') {
            words.emplace_back();
        } else {
            words.back() += c;
        }
    }
    return words;
}

// The text between "=?charset?X?" and "?=".
std::string WordText(const std::string& word, std::size_t charsetLength) {
    EXPECT_EQ(word.substr(word.size() - 2), "?=");
    return word.substr(charsetLength + 5, word.size() - charsetLength - 7);
}

std::string EncodeCapped(std::string_view value, char letter, std::string_view charset,
                         std::int32_t capacity) {
    CMimeEncodedWord codec;
    codec.SetEncoding(letter, charset);
    codec.SetSource(value.data(), std::int32_t(value.size()), true);
    std::vector<char> buffer(std::size_t(capacity) + 8, '#');
    const std::int32_t written = codec.WriteResult(buffer.data(), capacity);
    EXPECT_LE(written, capacity);
    EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########");
    return std::string(buffer.data(), std::size_t(written));
}

}  // namespace

TEST(EncodedWordDecoding, WordsAndTheirCharset) {
    std::string charset;
    EXPECT_EQ(DecodeEncodedWords("=?UTF-8?q?a_b=C3=A9?=", &charset), "a b\xC3\xA9");
    EXPECT_EQ(charset, "UTF-8");
    CMimeEncodedWord codec;
    EXPECT_EQ(RunCodec(codec, "=?iso-8859-1?B?SGFsbG8=?= =?utf-8?Q?x?=", false), "Hallox");
    EXPECT_EQ(codec.GetCharset(), "iso-8859-1");
    EXPECT_EQ(codec.GetEncoding(), 'b');
    EXPECT_EQ(RunCodec(codec, "plain", false), "plain");
    EXPECT_EQ(codec.GetCharset(), "");
    EXPECT_EQ(codec.GetEncoding(), 0);

    // An underscore from an escape or after a stray '=' is no blank; a lone '=' ends.
    EXPECT_EQ(Decode("=?x?Q?=5F_=_a?="), "_ _a");
    EXPECT_EQ(Decode("=?x?Q?ab=_?="), "ab");
    EXPECT_EQ(Decode("=?x?Q?"
                     "?="),
              "");
}

TEST(EncodedWordDecoding, WhitespaceAroundWords) {
    EXPECT_EQ(Decode("=?a?q?one?=\r\n =?a?q?two?="), "onetwo");
    EXPECT_EQ(Decode("=?a?q?one?= \t=?a?b?dHdv?="), "onetwo");
    EXPECT_EQ(Decode("=?a?q?one?= plain"), "one plain");
    EXPECT_EQ(Decode("=?a?q?one?= x =?a?q?two?="), "one x two");
    EXPECT_EQ(Decode(" \t=?a?q?one?="), " \tone");
    EXPECT_EQ(Decode("=?a?q?one?=  "), "one  ");
}

TEST(EncodedWordDecoding, MalformedWordsPassThrough) {
    std::string charset;
    EXPECT_EQ(DecodeEncodedWords("=?koi8-r?X?abc?= tail =?utf-8?q?z?=", &charset),
              "=?koi8-r?X?abc?= tail z");
    EXPECT_EQ(charset, "koi8-r");
    EXPECT_EQ(Decode("=?utf-8?q?open end"), "open end");
    EXPECT_EQ(Decode("=?utf-8?q?abc?"), "abc?");
    for (std::string_view kept : {"a =?nocharset", "=?utf-8?q?", "=?utf-8?qq", "=?", "x=?"}) {
        EXPECT_EQ(Decode(kept), kept);
    }
}

TEST(EncodedWordDecoding, SmallCapacitiesGivePrefixes) {
    const std::string value = "Re: =?utf-8?q?caf=C3=A9_au?= =?utf-8?b?bGFpdA==?= now";
    const std::string full = "Re: caf\xC3\xA9 aulait now";
    ASSERT_EQ(Decode(value), full);
    for (std::int32_t capacity = 0; capacity <= std::int32_t(full.size()); ++capacity) {
        CMimeEncodedWord codec;
        codec.SetSource(value.data(), std::int32_t(value.size()), false);
        std::vector<char> buffer(std::size_t(capacity) + 8, '#');
        const std::int32_t written = codec.WriteResult(buffer.data(), capacity);
        EXPECT_EQ(std::string(buffer.data(), std::size_t(written)),
                  full.substr(0, std::size_t(capacity)));
        EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########");
    }
}

TEST(EncodedWordEncoding, WordSizes) {
    const auto q = Words(EncodeEncodedWords(std::string(100, 'k'), 'Q', "iso-8859-1"));
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0], "=?iso-8859-1?Q?" + std::string(58, 'k') + "?=");
    EXPECT_EQ(WordText(q[1], 10), std::string(42, 'k'));

    // Escapes are never split, so words may close a little early.
    std::string mixed;
    for (int i = 0; i < 100; ++i) {
        mixed += "\xE9 q"[i % 3];
    }
    const std::string encoded = EncodeEncodedWords(mixed, 'q', "iso-8859-1");
    for (const std::string& word : Words(encoded)) {
        EXPECT_LE(WordText(word, 10).size(), 58u);
    }
    EXPECT_EQ(encoded.find('_'), std::string::npos);
    EXPECT_EQ(Decode(encoded), mixed);

    // (68 - 10) / 4 groups of three bytes: 42 bytes in 56 characters per word.
    const auto b = Words(EncodeEncodedWords(std::string(100, 'b'), 'B', "iso-8859-1"));
    ASSERT_EQ(b.size(), 3u);
    EXPECT_EQ(b[0].substr(0, 15), "=?iso-8859-1?B?");
    EXPECT_EQ(WordText(b[0], 10).size(), 56u);
    EXPECT_EQ(WordText(b[1], 10).size(), 56u);
    EXPECT_EQ(WordText(b[2], 10).size(), 24u);
    EXPECT_EQ(WordText(EncodeEncodedWords(std::string(45, 'x'), 'b', "utf-8"), 5).size(), 60u);
}

TEST(EncodedWordEncoding, RoundTripsWithinWordLimitsAndBound) {
    std::mt19937 rng(5);
    for (const std::string charset :
         {"x", "utf-8", "iso-8859-1", "cccccccccccccccccccccccccccccccccccccccc"}) {
        for (const char letter : {'B', 'Q'}) {
            for (std::size_t size = 1; size < 300; size += 37) {
                std::string value(size, '\0');
                for (char& c : value) {
                    c = char(rng() & 0xFF);
                }
                CMimeEncodedWord codec;
                codec.SetEncoding(letter, charset);
                codec.SetSource(value.data(), std::int32_t(size), true);
                const std::string encoded =
                    EncodeCapped(value, letter, charset, codec.GetResultSize());
                for (const std::string& word : Words(encoded)) {
                    EXPECT_LE(word.size(), 75u) << word;
                }
                std::string decodedCharset;
                EXPECT_EQ(DecodeEncodedWords(encoded, &decodedCharset), value);
                EXPECT_EQ(decodedCharset, charset);
            }
        }
    }
}

TEST(EncodedWordEncoding, SmallCapacitiesKeepWordsClosed) {
    const std::string value = "Caf\xE9 au lait, s'il vous pla\xEEt, avec un croissant chaud";
    for (const char letter : {'B', 'Q'}) {
        EXPECT_EQ(EncodeCapped(value, letter, "iso-8859-1", 16), "");
        for (std::int32_t capacity = 18; capacity < 120; ++capacity) {
            const std::string cut = EncodeCapped(value, letter, "iso-8859-1", capacity);
            EXPECT_EQ(cut.substr(cut.size() - 2), "?=") << capacity;
            const std::string decoded = Decode(cut);
            EXPECT_EQ(decoded, value.substr(0, decoded.size())) << capacity;
        }
    }
}

TEST(EncodedWordEncoding, PlainCopiesAndOversizedCharsets) {
    EXPECT_EQ(EncodeEncodedWords("as is", 'Q', ""), "as is");
    EXPECT_EQ(EncodeCapped("as is", 'Q', "", 3), "as ");
    EXPECT_EQ(EncodeEncodedWords("", 'Q', "utf-8"), "");
    // A charset too long for a 75-character word still yields decodable words.
    for (const char letter : {'B', 'Q'}) {
        EXPECT_EQ(Decode(EncodeEncodedWords("abcdefg", letter, std::string(80, 'z'))), "abcdefg");
    }
}

// Inputs sit in buffers of exactly their size, so the sanitizer build sees any read past
// them; outputs carry guard bytes.
TEST(CodecRobustness, GarbageStaysInsideInputAndOutput) {
    std::mt19937 rng(3);
    const std::string_view alphabet = "=?qQbBx_ \r\n.A3f\xE9";
    for (int round = 0; round < 2000; ++round) {
        std::vector<char> input(1 + rng() % 40);
        for (char& c : input) {
            c = alphabet[rng() % alphabet.size()];
        }
        CMimeCodeBase64 base64;
        CMimeCodeQP qp;
        CMimeEncodedWord word;
        word.SetEncoding(round % 2 ? 'B' : 'Q', "utf-8");
        for (CMimeCodeBase* codec : std::initializer_list<CMimeCodeBase*>{&base64, &qp, &word}) {
            for (const bool encode : {false, true}) {
                codec->SetSource(input.data(), std::int32_t(input.size()), encode);
                const std::int32_t bound = codec->GetResultSize();
                ASSERT_GE(bound, 0);
                const auto capacity = std::int32_t(rng() % std::uint32_t(bound + 2));
                std::vector<char> out(std::size_t(capacity) + 4, '#');
                const std::int32_t written = codec->WriteResult(out.data(), capacity);
                EXPECT_TRUE(written >= 0 && written <= capacity);
                EXPECT_EQ(std::string(out.end() - 4, out.end()), "####");
            }
        }
    }
}
