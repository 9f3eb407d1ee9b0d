#include "mime/field_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "mime/mime_header.h"
#include "mime/transfer_codec.h"

namespace {

// Decodes anything to "M", showing that the header parser asked the table.
class CMarkerCodec : public CFieldCodeBase {
public:
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override {
        return out != nullptr && capacity > 0 ? (out[0] = 'M', 1) : 0;
    }
};

std::unique_ptr<CFieldCodeBase> CreateMarker() {
    return std::make_unique<CMarkerCodec>();
}

std::unique_ptr<CFieldCodeBase> CreateAddress() {
    return std::make_unique<CFieldCodeAddress>();
}

class FieldCodecTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
    void TearDown() override {
        RegisterFieldCodec("X-Marker", nullptr);
        RegisterStandardCodecs();
    }
};

std::string Encode(CFieldCodeBase& codec, std::string_view value, std::string_view charset) {
    codec.SetCharset(charset);
    codec.SetSource(value.data(), std::int32_t(value.size()), true);
    const std::int32_t bound = codec.GetResultSize();
    EXPECT_GE(bound, 0);
    std::vector<char> buffer(std::size_t(bound) + 8, '#');
    const std::int32_t written = codec.WriteResult(buffer.data(), bound);
    EXPECT_LE(written, bound) << "the bound holds for " << value;
    EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########");
    return std::string(buffer.data(), std::size_t(std::max(written, 0)));
}

std::string EncodeAs(std::string_view field, std::string_view value, std::string_view charset) {
    const auto codec = CreateFieldCodec(field);
    return Encode(*codec, value, charset);
}

struct CSegment {
    std::string m_Text;
    std::int32_t m_NonAscii;
    unsigned char m_StateAfter;
};

CSegment Segment(std::string_view text, unsigned char state) {
    std::int32_t nonAscii = -1;
    const std::size_t length = CFieldCodeBase::FindSegment(text, state, nonAscii);
    return {std::string(text.substr(0, length)), nonAscii, state};
}

}  // namespace

TEST_F(FieldCodecTest, TableChoosesTheCodecByFieldName) {
    for (const char* name : {"Subject", "comments", "CONTENT-DESCRIPTION"}) {
        const auto codec = CreateFieldCodec(name);
        EXPECT_EQ(typeid(*codec), typeid(CFieldCodeText)) << name;
    }
    for (const char* name : {"From", "to", "Resent-To", "CC", "Resent-Cc", "Bcc", "resent-bcc",
                             "Reply-To", "Resent-Reply-To"}) {
        const auto codec = CreateFieldCodec(name);
        EXPECT_EQ(typeid(*codec), typeid(CFieldCodeAddress)) << name;
    }
    for (const char* name : {"Content-Type", "content-disposition"}) {
        const auto codec = CreateFieldCodec(name);
        EXPECT_EQ(typeid(*codec), typeid(CFieldCodeParameter)) << name;
    }
    for (const char* name : {"Date", "Message-ID", "Subject ", "", "Sender"}) {
        const auto codec = CreateFieldCodec(name);
        ASSERT_NE(codec, nullptr);
        EXPECT_EQ(typeid(*codec), typeid(CFieldCodeBase)) << '"' << name << '"';
    }
}

TEST_F(FieldCodecTest, RegisteringReplacesRemovesAndRestores) {
    RegisterFieldCodec("x-marker", &CreateMarker);
    CMimeHeaderField field;
    const std::string text = "X-MARKER: anything\r\n";
    ASSERT_GT(field.ParseFrom(text.data(), std::int32_t(text.size())), 0);
    EXPECT_EQ(field.GetValue(), "M") << "parsing decodes with the registered codec";

    RegisterFieldCodec("X-Marker", nullptr);
    ASSERT_GT(field.ParseFrom(text.data(), std::int32_t(text.size())), 0);
    EXPECT_EQ(field.GetValue(), "anything");

    RegisterFieldCodec("SUBJECT", &CreateAddress);
    EXPECT_EQ(typeid(*CreateFieldCodec("Subject")), typeid(CFieldCodeAddress));
    RegisterStandardCodecs();
    EXPECT_EQ(typeid(*CreateFieldCodec("Subject")), typeid(CFieldCodeText));
}

TEST_F(FieldCodecTest, FoldPointsAndQuoteStatesOfEachKind) {
    const CFieldCodeBase base;
    const CFieldCodeText text;
    const CFieldCodeAddress address;
    const CFieldCodeParameter parameter;
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_FALSE(base.IsFoldPoint(b));
        EXPECT_FALSE(text.IsFoldPoint(b));
        EXPECT_EQ(address.IsFoldPoint(b), c == ',' || c == ':') << c;
        EXPECT_EQ(parameter.IsFoldPoint(b), c == ';') << c;
    }
    EXPECT_EQ(base.InitialQuoteState(), 0);
    EXPECT_EQ(text.InitialQuoteState(), 255);
    EXPECT_EQ(address.InitialQuoteState(), 0);
    EXPECT_EQ(parameter.InitialQuoteState(), 0);
}

TEST_F(FieldCodecTest, SegmentsEndAtDelimitersOutsideQuotes) {
    CSegment s = Segment("J\xF6rg M\xFCller", 0);
    EXPECT_EQ(s.m_Text, "J\xF6rg");
    EXPECT_EQ(s.m_NonAscii, 1);
    EXPECT_EQ(s.m_StateAfter, 0) << "a blank opens nothing";

    s = Segment("\"a, b\" <c>", 0);
    EXPECT_EQ(s.m_Text, "");
    EXPECT_EQ(s.m_StateAfter, '"');
    s = Segment("a, b\" <c>", '"');
    EXPECT_EQ(s.m_Text, "a, b") << "inside quotes every byte belongs";
    EXPECT_EQ(s.m_StateAfter, 0) << "the closing quote closes";

    EXPECT_EQ(Segment("(note) x", 0).m_StateAfter, ')');
    EXPECT_EQ(Segment("x (note)", ')').m_Text, "x (note");
    EXPECT_EQ(Segment("<a@b> c", 0).m_StateAfter, '>');
    EXPECT_EQ(Segment("a@b> c", '>').m_Text, "a@b");
    EXPECT_EQ(Segment("a@b", 0).m_Text, "a") << "'@' is special";
    EXPECT_EQ(Segment("a>b", 0).m_StateAfter, 0) << "a closer outside its state opens nothing";

    s = Segment("any, \"thing\" <at> all\xFF\xE9", 255);
    EXPECT_EQ(s.m_Text.size(), 23u) << "free text is one segment";
    EXPECT_EQ(s.m_NonAscii, 2);
    EXPECT_EQ(s.m_StateAfter, 255);
    EXPECT_EQ(Segment("", 0).m_Text, "");
}

TEST_F(FieldCodecTest, ChoiceBetweenBAndQ) {
    // B needs both: its 4 per 3 bytes shorter than Q's 3 per non-ASCII byte, and more than
    // a fifth of the bytes non-ASCII.
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(3, 3), 'B');   // 4 < 9
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(10, 4), 'B');  // 16 < 18, 10 < 20
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(10, 3), 'Q');  // 16 < 16 fails: a tie is Q
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(4, 1), 'Q');   // 8 < 6 fails
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(30, 6), 'Q');  // 40 < 42 holds, 30 < 30 fails
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(29, 6), 'B');  // 40 < 41, 29 < 30
    EXPECT_EQ(CFieldCodeBase::ChooseEncoding(5, 0), 'Q');
}

TEST_F(FieldCodecTest, EncodingWritesWordsOnlyForNonAsciiSegments) {
    EXPECT_EQ(EncodeAs("Subject", "\xE9\xE9\xE9", "iso-8859-1"), "=?iso-8859-1?B?6enp?=");
    EXPECT_EQ(EncodeAs("Subject",
                       "Gr\xFC\xDF"
                       "e, Welt",
                       "iso-8859-1"),
              "=?iso-8859-1?Q?Gr=FC=DFe,=20Welt?=")
        << "free text becomes words as a whole";
    EXPECT_EQ(EncodeAs("Subject", "plain, ascii", "iso-8859-1"), "plain, ascii");
    EXPECT_EQ(EncodeAs("Subject", "caf\xE9", ""), "caf\xE9") << "no charset, no words";
    EXPECT_EQ(EncodeAs("To", "a@x, b@y", ""), "a@x, b@y") << "no charset, no folding";

    EXPECT_EQ(EncodeAs("From", "\"M\xFCller, Hans\" <hm@x.example>,  b@y.example", "iso-8859-1"),
              "\"=?iso-8859-1?Q?M=FCller,=20Hans?=\" <hm@x.example>,\r\n\tb@y.example");
    EXPECT_EQ(EncodeAs("Content-Disposition", "attachment; filename=\"R\xE9sum\xE9.txt\"; size=10",
                       "iso-8859-1"),
              "attachment;\r\n\tfilename=\"=?iso-8859-1?Q?R=E9sum=E9.txt?=\";\r\n\tsize=10");
    EXPECT_EQ(EncodeAs("X-Other", "a, b; c", "utf-8"), "a, b; c") << "the base codec never folds";
}

TEST_F(FieldCodecTest, EncodedParametersDecodeBack) {
    const std::string value = "attachment; filename=\"R\xE9sum\xE9.txt\"; size=10";
    const std::string text =
        "Content-Disposition: " + EncodeAs("Content-Disposition", value, "iso-8859-1") + "\r\n";
    CMimeHeaderField field;
    ASSERT_EQ(field.ParseFrom(text.data(), std::int32_t(text.size())), std::int32_t(text.size()));
    EXPECT_EQ(field.GetCharset(), "iso-8859-1");
    std::string name;
    ASSERT_TRUE(field.GetParameter("filename", name));
    EXPECT_EQ(name, "R\xE9sum\xE9.txt");
    ASSERT_TRUE(field.GetParameter("size", name));
    EXPECT_EQ(name, "10");
}

TEST_F(FieldCodecTest, BoundHoldsAndFreeTextDecodesBack) {
    std::mt19937 rng(11);
    const std::string alphabet = "ab Z9\"(<>),;:@.=?_\t\xE9\xFC\xFF\x80";
    const char* fields[] = {"Subject", "From", "Content-Type", "Date"};
    const char* charsets[] = {"iso-8859-1", "utf-8", "x-a-rather-long-charset-name", ""};
    for (int round = 0; round < 2000; ++round) {
        std::string value;
        const std::size_t length = rng() % 120;
        for (std::size_t i = 0; i < length; ++i) {
            value += alphabet[rng() % alphabet.size()];
        }
        const char* field = fields[rng() % 4];
        const char* charset = charsets[rng() % 4];
        const std::string encoded = EncodeAs(field, value, charset);  // checks the bound

        if (std::string_view(field) == "Subject" && *charset != '\0') {
            const auto decoder = CreateFieldCodec(field);
            decoder->SetSource(encoded.data(), std::int32_t(encoded.size()), false);
            std::vector<char> out(std::size_t(decoder->GetResultSize()) + 1);
            const std::int32_t n = decoder->WriteResult(out.data(), std::int32_t(out.size()));
            const bool anyNonAscii =
                std::any_of(value.begin(), value.end(), [](char c) { return (c & 0x80) != 0; });
            if (anyNonAscii) {
                EXPECT_EQ(std::string(out.data(), std::size_t(n)), value) << encoded;
                EXPECT_EQ(decoder->GetCharset(), charset);
            }
        }
    }
}

TEST_F(FieldCodecTest, DecodingCutsAtTheCapacityAndKeepsTheFirstCharset) {
    CFieldCodeBase codec;
    const std::string raw = "x =?Windows-1252?Q?=E9t=E9?= =?utf-8?B?w6k=?=";
    codec.SetSource(raw.data(), std::int32_t(raw.size()), false);
    EXPECT_EQ(codec.GetResultSize(), std::int32_t(raw.size()));
    std::vector<char> out(raw.size());
    const std::int32_t n = codec.WriteResult(out.data(), std::int32_t(out.size()));
    EXPECT_EQ(std::string(out.data(), std::size_t(n)), "x \xE9t\xE9\xC3\xA9");
    EXPECT_EQ(codec.GetCharset(), "Windows-1252");

    char small[3] = {'#', '#', '#'};
    EXPECT_EQ(codec.WriteResult(small, 2), 2);
    EXPECT_EQ(std::string(small, 3), "x #");
}
