#include "mime/mime_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "mime/transfer_codec.h"
#include "mime_test_text.h"

using mimetest::Crlf;
using mimetest::ParseExact;

namespace {

class MimeHeaderTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
};

CMimeHeaderField FieldOf(std::string_view line) {
    CMimeHeaderField field;
    const mimetest::CExactText exact(line);
    EXPECT_GT(field.ParseFrom(exact.Data(), exact.Size()), 0) << line;
    return field;
}

CMimeHeaderField ValueField(std::string_view value) {
    return CMimeHeaderField("Content-Type", std::string(value));
}

std::string Parameter(std::string_view value, std::string_view name) {
    std::string text = "(unchanged)";
    if (!ValueField(value).GetParameter(name, text)) {
        EXPECT_TRUE(text.empty()) << "an absent parameter empties the text";
        return "(absent)";
    }
    return text;
}

}  // namespace

TEST_F(MimeHeaderTest, FieldValuesAreDecodedWithTheirCharset) {
    const CMimeHeaderField subject = FieldOf("Subject: =?iso-8859-1?Q?Caf=E9?=\r\n");
    EXPECT_EQ(subject.GetName(), "Subject");
    EXPECT_EQ(subject.GetValue(), "Caf\xE9");
    EXPECT_EQ(subject.GetCharset(), "iso-8859-1");

    const CMimeHeaderField mixed = FieldOf("Subject: Re: =?UTF-8?B?w6k=?= =?koi8-r?Q?x?= end\r\n");
    EXPECT_EQ(mixed.GetValue(), "Re: \xC3\xA9x end");
    EXPECT_EQ(mixed.GetCharset(), "UTF-8") << "only the first word's charset, as written";

    const CMimeHeaderField plain = FieldOf("X-Mailer: Outlook Express 6\r\n");
    EXPECT_EQ(plain.GetValue(), "Outlook Express 6");
    EXPECT_TRUE(plain.GetCharset().empty());
}

TEST_F(MimeHeaderTest, FieldNamesAndFoldedValuesAreKeptAsWritten) {
    const CMimeHeaderField folded = FieldOf("Subject: a\r\n b\r\n\tc\r\n");
    EXPECT_EQ(folded.GetValue(), "a\r\n b\r\n\tc") << "no unfolding";

    const CMimeHeaderField spaced = FieldOf("Subject :  \t value \r\n");
    EXPECT_EQ(spaced.GetName(), "Subject ") << "a space before the colon is part of the name";
    EXPECT_EQ(spaced.GetValue(), "value ") << "only blanks after the colon are skipped";

    const CMimeHeaderField noColon = FieldOf("just some words\r\n");
    EXPECT_TRUE(noColon.GetName().empty());
    EXPECT_EQ(noColon.GetValue(), "just some words");

    const CMimeHeaderField emptyValue = FieldOf("X-Empty:\r\n");
    EXPECT_EQ(emptyValue.GetName(), "X-Empty");
    EXPECT_TRUE(emptyValue.GetValue().empty());

    const CMimeHeaderField foldedAtOnce = FieldOf("Subject:\r\n starts below\r\n");
    EXPECT_EQ(foldedAtOnce.GetValue(), "\r\n starts below");
}

TEST_F(MimeHeaderTest, FieldParseReportsWhatItTook) {
    CMimeHeaderField field;
    const std::string text = "A: 1\r\n more\r\nB: 2\r\n";
    EXPECT_EQ(field.ParseFrom(text.data(), std::int32_t(text.size())), 13);

    const std::string skipped = " stray continuation\r\nA: 1\r\n";
    EXPECT_EQ(field.ParseFrom(skipped.data(), std::int32_t(skipped.size())),
              std::int32_t(skipped.size()));
    EXPECT_EQ(field.GetName(), "A") << "lines starting with whitespace are skipped whole";

    for (const std::string bad :
         {"A: 1", "A: 1\r", "A: 1\n", "A: 1\r\n more", " stray\r\n\r\n", " stray", "\r\n", ""}) {
        const mimetest::CExactText exact(bad);
        EXPECT_EQ(field.ParseFrom(exact.Data(), exact.Size()), 0) << '"' << bad << '"';
    }
}

TEST_F(MimeHeaderTest, HeaderKeepsEveryFieldInOrder) {
    CMimeHeader header;
    const std::string text =
        Crlf("Comments: first\nSubject: s\nComments: second\n\nbody Comments: not a field\n");
    EXPECT_EQ(ParseExact(header, text), std::int32_t(text.find("body")));
    ASSERT_EQ(header.GetFields().size(), 3u);
    EXPECT_EQ(header.GetFields()[0].GetValue(), "first");
    EXPECT_EQ(header.GetFields()[2].GetValue(), "second");

    ASSERT_NE(header.FindField("comments"), nullptr);
    EXPECT_EQ(header.FindField("comments")->GetValue(), "first") << "the first one wins";
    ASSERT_NE(header.FindField("SUBJECT"), nullptr);
    EXPECT_EQ(header.FindField("subject")->GetName(), "Subject");
    EXPECT_EQ(header.FindField("Subjec"), nullptr);
    EXPECT_EQ(header.FindField("X-Other"), nullptr);

    // Parse appends; Reset empties.
    EXPECT_GT(ParseExact(header, Crlf("X-More: 1\n\n")), 0);
    EXPECT_EQ(header.GetFields().size(), 4u);
    header.Reset();
    EXPECT_TRUE(header.GetFields().empty());
}

TEST_F(MimeHeaderTest, HeaderEndsAtTheEmptyLineOrTheText) {
    CMimeHeader header;
    EXPECT_EQ(ParseExact(header, Crlf("A: 1\n\n")), 8);
    EXPECT_EQ(header.GetFields().size(), 1u);

    // Without an empty line the header still parses, and the result never points past the
    // text, even though the empty line's CR LF is counted in.
    for (const std::string& text : {Crlf("A: 1\nB: 2\n"), Crlf("A: 1\n") + "\r"}) {
        CMimeHeader unterminated;
        EXPECT_EQ(ParseExact(unterminated, text), std::int32_t(text.size()));
        EXPECT_FALSE(unterminated.GetFields().empty());
    }

    // A zero byte where a field would start ends the header as the end of the text does.
    CMimeHeader zero;
    constexpr char kWithZero[] = "A: 1\r\n\0B: 2\r\n\r\n";
    const std::string withZero(kWithZero, sizeof kWithZero - 1);
    EXPECT_EQ(ParseExact(zero, withZero), 8);
    EXPECT_EQ(zero.GetFields().size(), 1u);

    CMimeHeader empty;
    EXPECT_EQ(ParseExact(empty, "\r\nbody"), 2);
    EXPECT_TRUE(empty.GetFields().empty());
}

TEST_F(MimeHeaderTest, HeaderFailsOnAnUnterminatedFieldButKeepsTheFieldsBefore) {
    CMimeHeader header;
    EXPECT_EQ(ParseExact(header, "A: 1\r\nB: 2"), 0);
    ASSERT_EQ(header.GetFields().size(), 1u);
    EXPECT_EQ(header.GetFields()[0].GetName(), "A");

    // Lines that start with whitespace but continue no field: at the very start, or after
    // a field when they start with another space-class byte than a blank.
    for (const std::string& text : {Crlf(" stray\n\nbody"), Crlf("A: 1\n\x0B junk\n\nbody")}) {
        CMimeHeader stray;
        EXPECT_EQ(ParseExact(stray, text), 0) << "skipped lines that run into the empty line";
    }
    CMimeHeader continued;
    const std::string folded = Crlf("A: 1\n continued\n  \n\nbody");
    EXPECT_EQ(ParseExact(continued, folded), std::int32_t(folded.find("body")))
        << "after a field, blank-led lines are its continuation";

    CMimeHeader none;
    EXPECT_EQ(none.Parse(nullptr, 10), 0);
    EXPECT_EQ(none.Parse("A: 1\r\n\r\n", 0), 0);
    EXPECT_EQ(none.Parse("A: 1\r\n\r\n", -5), 0);
}

TEST_F(MimeHeaderTest, ParametersOfStructuredValues) {
    EXPECT_EQ(Parameter("text/plain; charset=\"iso-8859-1\"", "charset"), "iso-8859-1");
    EXPECT_EQ(Parameter("text/plain; CharSet=utf-8", "CHARSET"), "utf-8");
    EXPECT_EQ(Parameter("application/x; name=a.txt", "name"), "a.txt") << "'.' stays";
    EXPECT_EQ(Parameter("application/x; name=a b.txt", "name"), "a");
    EXPECT_EQ(Parameter("application/x; name=a;b", "name"), "a");
    EXPECT_EQ(Parameter("application/x; name=a,b", "name"), "a");
    EXPECT_EQ(Parameter("application/x; name=a\x01z", "name"), "a");
    EXPECT_EQ(Parameter("application/x; name=caf\xE9.txt", "name"), "caf\xE9.txt")
        << "non-ASCII bytes are token characters";
    EXPECT_EQ(Parameter("application/x; name= a.txt", "name"), "") << "a value after a space";
    EXPECT_EQ(Parameter("multipart/mixed; boundary=\"a;b=c\"", "boundary"), "a;b=c");
    EXPECT_EQ(Parameter("text/plain;charset=x;name=y", "name"), "y");
    EXPECT_EQ(Parameter("text/plain; name = x", "name"), "")
        << "the name may be followed by a blank";
    EXPECT_EQ(Parameter("text/plain;\r\n\tcharset=koi8-r", "charset"), "koi8-r");
}

TEST_F(MimeHeaderTest, ParametersAreNotFoundWhereTheyAreNot) {
    EXPECT_EQ(Parameter("charset=utf-8", "charset"), "(absent)")
        << "parameters start after the first ';'";
    EXPECT_EQ(Parameter("text/plain", "charset"), "(absent)");
    EXPECT_EQ(Parameter("text/plain;", "charset"), "(absent)");
    EXPECT_EQ(Parameter("text/plain; charset", "charset"), "(absent)");
    EXPECT_EQ(Parameter("text/plain; filename=a", "name"), "(absent)");
    EXPECT_EQ(Parameter("text/plain; names=a; name=b", "name"), "b");
    EXPECT_EQ(Parameter("text/plain; x=\"name=a\"; name=b", "name"), "b")
        << "a quoted value is skipped whole";
}

TEST_F(MimeHeaderTest, ParameterSpansAndQuotes) {
    const CMimeHeaderField field = ValueField("text/plain; charset=\"utf-8\"; x=1");
    std::size_t start = 99;
    std::size_t length = 99;
    ASSERT_TRUE(field.FindParameter("charset", start, length));
    EXPECT_EQ(field.GetValue().substr(start, length), "\"utf-8\"") << "quotes included";
    ASSERT_TRUE(field.FindParameter("x", start, length));
    EXPECT_EQ(field.GetValue().substr(start, length), "1");

    EXPECT_EQ(Parameter("a/b; x=\"\"", "x"), "");
    EXPECT_EQ(Parameter("a/b; x=\"", "x"), "") << "an opening quote at the very end";
    EXPECT_EQ(Parameter("a/b; x=\"open; y=2", "x"), "") << "a quote that never closes";
    EXPECT_EQ(Parameter("a/b; x=\"open; y=2", "y"), "(absent)")
        << "the search goes on at the open quote, so the name before '=' is never seen";
    EXPECT_EQ(Parameter("a/b; x=", "x"), "") << "nothing after '=' at the end";
}

TEST_F(MimeHeaderTest, ValueWithoutParameters) {
    std::string text = "(unchanged)";
    ValueField("text/html \t ; charset=x").GetValueWithoutParameters(text);
    EXPECT_EQ(text, "text/html");
    ValueField("text/html  ").GetValueWithoutParameters(text);
    EXPECT_EQ(text, "text/html  ") << "without a ';' the whole value";
    ValueField("; charset=x").GetValueWithoutParameters(text);
    EXPECT_EQ(text, "");
}

TEST_F(MimeHeaderTest, SerializeWritesNameValueAndTheEmptyLine) {
    CMimeHeader header;
    header.AddField({"Subject", "Caf\xE9", "iso-8859-1"});
    header.AddField({"X-Plain", "as is \xE9", ""});
    header.AddField({"From",
                     "J\xF6"
                     "e <joe@x.example>",
                     "iso-8859-1"});
    // Q for "Café" (8 bytes of B against 6 of Q); B for "Jöe", a third of it non-ASCII.
    EXPECT_EQ(header.SerializeToString(),
              "Subject: =?iso-8859-1?Q?Caf=E9?=\r\n"
              "X-Plain: as is \xE9\r\n"
              "From: =?iso-8859-1?B?SvZl?= <joe@x.example>\r\n"
              "\r\n");

    CMimeHeader empty;
    EXPECT_EQ(empty.SerializeToString(), "\r\n");
}

TEST_F(MimeHeaderTest, SerializeNeverPassesTheCapacity) {
    CMimeHeader header;
    header.AddField({"Subject",
                     "Stra\xDF"
                     "e und Pl\xE4tze, alle zusammen",
                     "iso-8859-1"});
    header.AddField({"To", "a@x.example, \"M\xFCller\" <m@x.example>", "iso-8859-1"});
    const std::string whole = header.SerializeToString();
    ASSERT_FALSE(whole.empty());
    EXPECT_LE(whole.size(), std::size_t(header.EstimateSize()));

    for (std::int32_t capacity = 0; capacity <= std::int32_t(whole.size()) + 2; ++capacity) {
        std::vector<char> buffer(std::size_t(capacity) + 8, '#');
        const std::int32_t written = header.Serialize(buffer.data(), capacity);
        EXPECT_LE(written, capacity);
        EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########") << capacity;
        if (capacity >= std::int32_t(whole.size())) {
            EXPECT_EQ(std::string(buffer.data(), std::size_t(written)), whole);
        }
    }
    // A field needs room for its name and four bytes, or it writes nothing.
    const CMimeHeaderField field("Subject", "x");
    char small[11];
    EXPECT_EQ(field.SerializeTo(small, 10), 0);
    EXPECT_EQ(field.SerializeTo(small, 11), 11);
    EXPECT_EQ(std::string(small, 11), "Subject: \r\n") << "the value is cut, not the line end";
}

TEST_F(MimeHeaderTest, ParsedTextSerializesBackUnchanged) {
    const std::string text = Crlf(
        "Received: from a\n\tby b\n"
        "From: Someone <someone@korvane.example>\n"
        "Subject: a folded\n  subject\n"
        "Content-Type: text/plain;\n\tcharset=\"us-ascii\"\n"
        "X-Odd : value\n"
        "\n");
    CMimeHeader header;
    ASSERT_EQ(ParseExact(header, text), std::int32_t(text.size()));
    EXPECT_EQ(header.SerializeToString(), text);
}

TEST_F(MimeHeaderTest, SerializedHeadersParseBackToTheSameFields) {
    std::mt19937 rng(7);
    const std::vector<std::string> names = {"Subject",  "Comments",     "To",
                                            "Cc",       "Content-Type", "Content-Disposition",
                                            "X-Custom", "Message-ID"};
    const std::string charsets[] = {"", "iso-8859-1", "utf-8", "windows-1252"};
    const std::string alphabet = "abcXYZ019 .,;:<>()\"@=?_-\xE9\xFC\xC3\xA9";
    for (int round = 0; round < 300; ++round) {
        CMimeHeader header;
        const int count = 1 + int(rng() % 6);
        for (int f = 0; f < count; ++f) {
            const std::string& name = names[rng() % names.size()];
            const std::string& charset = charsets[rng() % 4];
            std::string value;
            // Free text only, so that no blank stands between two of the words it becomes;
            // addresses and parameters get ASCII values, which they write unchanged.
            const bool text = name == "Subject" || name == "Comments";
            const std::size_t length = 1 + rng() % 40;
            for (std::size_t i = 0; i < length; ++i) {
                const char c = alphabet[rng() % alphabet.size()];
                value += !text && static_cast<unsigned char>(c) >= 128 ? 'q' : c;
            }
            value = "v" + value;  // never a leading blank, which parsing skips
            const bool hasNonAscii =
                std::any_of(value.begin(), value.end(), [](char c) { return (c & 0x80) != 0; });
            // Without a non-ASCII byte nothing becomes an encoded word, so no charset returns.
            const std::string stored = text && hasNonAscii ? charset : "";
            if (stored.empty()) {
                // Written unchanged, so it must not look like an encoded word.
                std::replace(value.begin(), value.end(), '?', '!');
            }
            header.AddField({name, value, stored});
        }
        const std::string serialized = header.SerializeToString();
        ASSERT_FALSE(serialized.empty());
        EXPECT_LE(serialized.size(), std::size_t(header.EstimateSize()));

        CMimeHeader parsed;
        EXPECT_EQ(ParseExact(parsed, serialized), std::int32_t(serialized.size()));
        EXPECT_EQ(parsed.GetFields(), header.GetFields()) << serialized;
    }
}
