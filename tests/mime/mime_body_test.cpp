#include "mime/mime_body.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "mailbox/hyper_string.h"
#include "mime/mime_code.h"
#include "mime/transfer_codec.h"
#include "mime_test_text.h"

using mimetest::Crlf;
using mimetest::ParseExact;

namespace {

class MimeBodyTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
};

std::vector<const CMimeBody*> Leaves(const CMimeBody& body) {
    std::vector<const CMimeBody*> leaves = {nullptr};
    const std::int32_t count = body.CollectLeaves(leaves);
    EXPECT_EQ(count, std::int32_t(leaves.size()) - 1) << "it appends and counts what it appended";
    leaves.erase(leaves.begin());
    return leaves;
}

std::vector<std::string> LeafContents(const CMimeBody& body) {
    std::vector<std::string> contents;
    for (const CMimeBody* leaf : Leaves(body)) {
        contents.emplace_back(leaf->GetContent());
    }
    return contents;
}

// A part with just a Content-Type, built without parsing.
MediaKind KindOf(std::string_view contentType) {
    CMimeBody part;
    part.AddField({"Content-Type", std::string(contentType)});
    return part.GetMediaKind();
}

std::string SubTypeOf(std::string_view contentType) {
    CMimeBody part;
    part.AddField({"Content-Type", std::string(contentType)});
    return std::string(part.GetSubType());
}

int Depth(const CMimeBody& body) {
    int depth = 0;
    const CMimeBody* part = &body;
    while (!part->GetParts().empty()) {
        part = part->GetParts().front().get();
        ++depth;
    }
    return depth;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST_F(MimeBodyTest, MessageWithoutContentTypeIsOneTextLeaf) {
    const std::string text = Crlf("Subject: hi\nFrom: a@x.example\n\nHello,\nworld.\n");
    CMimeMessage message;
    EXPECT_EQ(ParseExact(message, text), std::int32_t(text.size()));
    EXPECT_EQ(message.GetMediaKind(), MediaText);
    EXPECT_TRUE(message.IsText());
    EXPECT_EQ(message.GetSubType(), "plain");
    EXPECT_TRUE(message.GetParts().empty());
    EXPECT_EQ(message.GetContent(), Crlf("Hello,\nworld.\n"));
    EXPECT_EQ(message.GetContentLength(), 16);
    EXPECT_EQ(message.GetContent().data()[message.GetContentLength()], '\0')
        << "a zero byte follows the content";

    const auto leaves = Leaves(message);
    ASSERT_EQ(leaves.size(), 1u);
    EXPECT_EQ(leaves[0], &message);
}

TEST_F(MimeBodyTest, TransferEncodingsAreDecoded) {
    CMimeMessage qp;
    ParseExact(qp, Crlf("Content-Transfer-Encoding: quoted-printable\n\nCaf=E9 =3D=\n ok\n"));
    EXPECT_EQ(qp.GetContent(), "Caf\xE9 = ok\r\n");

    CMimeMessage b64;
    ParseExact(b64, Crlf("Content-Transfer-Encoding: BASE64\n\nSGVs\nbG8=\n"));
    EXPECT_EQ(b64.GetContent(), "Hello");

    CMimeMessage spaced;
    ParseExact(spaced, Crlf("Content-Transfer-Encoding: base64\n\nSGVs bG8=\n"));
    EXPECT_EQ(spaced.GetContent(), "Hel") << "base64 stops at the space";

    CMimeMessage unknown;
    ParseExact(unknown, Crlf("Content-Transfer-Encoding: base64 \n\nSGVs\n"));
    EXPECT_EQ(unknown.GetContent(), "SGVs\r\n") << "the value is compared whole";
}

TEST_F(MimeBodyTest, MultipartTreeAndItsLeavesInDocumentOrder) {
    const std::string& text = mimetest::SampleMessage();
    CMimeMessage message;
    EXPECT_EQ(ParseExact(message, text), std::int32_t(text.find("epilogue")))
        << "up to the closing line's CR LF";
    EXPECT_EQ(message.GetBoundary(), "=_m") << "without its quotes";
    EXPECT_EQ(message.GetContent(), "preamble\r\n")
        << "the preamble, with the CR LF that starts the first delimiter";
    ASSERT_EQ(message.GetParts().size(), 6u);
    EXPECT_EQ(message.GetParts()[0]->GetParts().size(), 2u);

    const auto leaves = Leaves(message);
    ASSERT_EQ(leaves.size(), 7u);
    EXPECT_EQ(LeafContents(message)[0], "caf\xE9");
    EXPECT_EQ(leaves[0]->GetCharsetParameter(), "iso-8859-1");
    EXPECT_EQ(leaves[1]->GetContent(), "<p>html</p>");
    EXPECT_EQ(leaves[1]->GetSubType(), "html");
    EXPECT_EQ(leaves[2]->GetContent(), "three");
    EXPECT_EQ(leaves[2]->GetMediaKind(), MediaImage);
    EXPECT_EQ(leaves[6]->GetMediaKind(), MediaMessage);
    EXPECT_TRUE(leaves[6]->GetParts().empty()) << "an attached message is not parsed";
    EXPECT_TRUE(leaves[6]->GetContent().ends_with("--inner--"));

    // Attached files are the parts with a Content-Type name, text or not.
    std::vector<bool> named;
    for (const CMimeBody* leaf : leaves) {
        named.push_back(leaf->HasName());
    }
    EXPECT_EQ(named, (std::vector<bool>{false, false, true, true, false, false, false}))
        << "Content-Disposition is not consulted, and an empty name is no name";
    EXPECT_TRUE(leaves[3]->IsText());
}

TEST_F(MimeBodyTest, MediaKindsFollowTheMainType) {
    EXPECT_EQ(KindOf("text/plain"), MediaText);
    EXPECT_EQ(KindOf("TEXT/HTML; charset=x"), MediaText);
    EXPECT_EQ(KindOf("image/png"), MediaImage);
    EXPECT_EQ(KindOf("Audio/basic"), MediaAudio);
    EXPECT_EQ(KindOf("video/mpeg"), MediaVideo);
    EXPECT_EQ(KindOf("application/pdf"), MediaApplication);
    EXPECT_EQ(KindOf("multipart/mixed"), MediaMultipart);
    EXPECT_EQ(KindOf("message/rfc822"), MediaMessage);
    EXPECT_EQ(KindOf("model/vrml"), MediaOther);
    EXPECT_EQ(KindOf(""), MediaOther);
    EXPECT_EQ(KindOf(" text/plain"), MediaOther) << "the value's very start is compared";
    EXPECT_EQ(KindOf("textual"), MediaText) << "only the main type's length is compared";
    EXPECT_EQ(KindOf("text/x-vcard"), MediaOther);
    EXPECT_EQ(KindOf("text/x-vcard; charset=utf-8"), MediaOther);
    EXPECT_EQ(KindOf("text/X-VCARD"), MediaText) << "the vCard subtype compares exactly";
    EXPECT_EQ(KindOf("text/calendar"), MediaText);
}

TEST_F(MimeBodyTest, SubTypeOfTheContentType) {
    EXPECT_EQ(SubTypeOf("text/html; charset=x"), "html");
    EXPECT_EQ(SubTypeOf("text/html ; charset=x"), "html");
    EXPECT_EQ(SubTypeOf("text"), "text") << "without a '/', the whole type";
    EXPECT_EQ(SubTypeOf("/html"), "") << "a '/' that comes first";
    EXPECT_EQ(SubTypeOf("multipart/related/extra"), "related/extra");
    EXPECT_EQ(SubTypeOf("text/"), "");
    CMimeBody none;
    EXPECT_EQ(none.GetSubType(), "plain");
}

TEST_F(MimeBodyTest, FieldAccessors) {
    const std::string text = Crlf(
        "Subject: =?iso-8859-1?Q?Caf=E9?=\n"
        "Content-Type: application/octet-stream;\n"
        "\tname=\"=?utf-8?B?w6l0w6kudHh0?=\"\n"
        "Content-Disposition: attachment; filename=\"other.txt\"\n"
        "Content-Transfer-Encoding: 7bit\n"
        "\n"
        "data");
    CMimeBody part;
    ParseExact(part, text);
    EXPECT_EQ(part.GetFieldValue("subject"), "Caf\xE9");
    EXPECT_EQ(part.GetFieldCharset("SUBJECT"), "iso-8859-1");
    EXPECT_EQ(part.GetFieldCharset("Content-Disposition"), "");
    EXPECT_FALSE(part.GetFieldValue("X-Absent").has_value());
    EXPECT_FALSE(part.GetFieldCharset("X-Absent").has_value());
    EXPECT_EQ(part.GetTransferEncoding(), "7bit");
    EXPECT_EQ(part.GetNameParameter(), "\xC3\xA9t\xC3\xA9.txt") << "decoded inside the quotes";
    EXPECT_EQ(part.GetParameter("content-disposition", "FILENAME"), "other.txt");
    EXPECT_EQ(part.GetParameter("Content-Disposition", "size"), "");
    EXPECT_EQ(part.GetParameter("X-Absent", "name"), "");
    EXPECT_EQ(part.GetCharsetParameter(), "");
    EXPECT_EQ(part.GetBoundary(), "");
    EXPECT_TRUE(part.HasName());

    CZHyperString subject;
    ASSERT_TRUE(part.GetFieldText("Subject", subject));
    EXPECT_EQ(subject.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(subject.GetCodePage(), 28591u);
    EXPECT_EQ(std::u16string(subject.GetWide()), u"Caf\u00E9");

    CZHyperString name;
    ASSERT_TRUE(part.GetParameterText("Content-Type", "name", name));
    EXPECT_EQ(name.GetCodePage(), 65001u) << "the charset of the field's first word";
    EXPECT_EQ(std::u16string(name.GetWide()), u"\u00E9t\u00E9.txt");

    CZHyperString absent;
    absent.SetText("old");
    EXPECT_FALSE(part.GetFieldText("X-Absent", absent));
    EXPECT_TRUE(absent.IsEmpty());
    EXPECT_FALSE(part.GetParameterText("Content-Type", "charset", absent));
    EXPECT_TRUE(absent.IsEmpty());
}

TEST_F(MimeBodyTest, FieldTextInACodePage) {
    CMimeBody part;
    ParseExact(part, Crlf("Subject: =?iso-8859-1?Q?Caf=E9_=22x=22?=\n"
                          "X-Raw: na\xEFve\n"
                          "X-Empty:\n"
                          "\n"));
    std::string out = "old";
    ASSERT_TRUE(part.GetFieldTextInCodePage(out, "Subject", 1252, 1252));
    EXPECT_EQ(out, "Caf&eacute; &quot;x&quot;");
    ASSERT_TRUE(part.GetFieldTextInCodePage(out, "X-Raw", 65001, 1252));
    EXPECT_EQ(out, "na&iuml;ve") << "a Western mailbox takes a field without a charset as latin-1";
    ASSERT_TRUE(part.GetFieldTextInCodePage(out, "X-Raw", 65001, 1251));
    EXPECT_EQ(out, "na\xD0\xBFve") << "a Cyrillic one reads it in 1251";
    ASSERT_TRUE(part.GetFieldTextInCodePage(out, "Subject", 1252, 1251));
    EXPECT_EQ(out, "Caf&eacute; &quot;x&quot;") << "a declared charset wins";

    EXPECT_FALSE(part.GetFieldTextInCodePage(out, "Subject", 0, 1252));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(part.GetFieldTextInCodePage(out, "", 1252, 1252));
    EXPECT_FALSE(part.GetFieldTextInCodePage(out, "X-Absent", 1252, 1252));
    EXPECT_FALSE(part.GetFieldTextInCodePage(out, "X-Empty", 1252, 1252));
}

TEST_F(MimeBodyTest, UnusualMultipartShapes) {
    // No closing delimiter: the last part runs to the end of the text.
    CMimeMessage open;
    const std::string openText =
        Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\none\n--b\n\ntwo\nand more\n");
    EXPECT_EQ(ParseExact(open, openText), std::int32_t(openText.size()));
    EXPECT_EQ(LeafContents(open), (std::vector<std::string>{"one", "two\r\nand more\r\n"}));

    // Delimiter lines straight after each other give an empty part, which is kept.
    CMimeMessage empty;
    ParseExact(empty, Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n--b\n\nx\n--b--\n"));
    ASSERT_EQ(empty.GetParts().size(), 2u);
    EXPECT_TRUE(empty.GetParts()[0]->GetFields().empty());
    EXPECT_EQ(empty.GetParts()[0]->GetContentLength(), 0);
    EXPECT_EQ(empty.GetParts()[1]->GetContent(), "x");

    // The boundary is matched as bytes, whatever follows it on the line.
    CMimeMessage prefix;
    ParseExact(prefix, Crlf("Content-Type: multipart/mixed; boundary=ab\n\n"
                            "--abc\n\none\n--ab-- trailing words\n"));
    EXPECT_EQ(LeafContents(prefix), (std::vector<std::string>{"one"}));

    // Without a boundary parameter, or without any delimiter, it is all content.
    CMimeMessage noBoundary;
    ParseExact(noBoundary, Crlf("Content-Type: multipart/mixed\n\n--b\n\nx\n--b--\n"));
    EXPECT_TRUE(noBoundary.GetParts().empty());
    EXPECT_EQ(noBoundary.GetContent(), Crlf("--b\n\nx\n--b--\n"));
    EXPECT_TRUE(Leaves(noBoundary).empty()) << "a multipart part without parts has no leaves";

    CMimeMessage noDelimiter;
    ParseExact(noDelimiter, Crlf("Content-Type: multipart/mixed; boundary=zz\n\nonly text\n"));
    EXPECT_TRUE(noDelimiter.GetParts().empty());
    EXPECT_EQ(noDelimiter.GetContent(), "only text\r\n");

    // A part whose header cannot be read is kept empty, and the rest goes on.
    CMimeMessage broken;
    ParseExact(broken, Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\nX-Broken: no end") +
                           Crlf("\n--b\n\nfine\n--b--\n"));
    ASSERT_EQ(broken.GetParts().size(), 2u);
    EXPECT_EQ(broken.GetParts()[0]->GetContentLength(), 0);
    EXPECT_EQ(broken.GetParts()[1]->GetContent(), "fine");
}

TEST_F(MimeBodyTest, TextThatEndsEarlyIsNeverReadPast) {
    // Every prefix, from an exact-size buffer: headers, escapes and delimiters cut anywhere,
    // boundaries at the very end.
    const std::string& text = mimetest::SampleMessage();
    for (std::size_t n = 0; n <= text.size(); ++n) {
        CMimeMessage message;
        const std::int32_t used = ParseExact(message, std::string_view(text).substr(0, n));
        EXPECT_GE(used, 0);
        EXPECT_LE(used, std::int32_t(n));
    }
    CMimeMessage cut;
    ParseExact(cut, text.substr(0, text.find("caf=E9") + 4));
    EXPECT_EQ(LeafContents(cut), (std::vector<std::string>{"caf"})) << "a truncated escape";
}

TEST_F(MimeBodyTest, HeadersThatEndEarly) {
    CMimeMessage noEmptyLine;
    EXPECT_EQ(ParseExact(noEmptyLine, "Subject: x\r\n"), 12);
    EXPECT_EQ(noEmptyLine.GetFields().size(), 1u);
    EXPECT_EQ(noEmptyLine.GetContentLength(), 0);

    CMimeMessage unterminated;
    EXPECT_EQ(ParseExact(unterminated, "Subject: x\r\nFrom: y"), 0);
    EXPECT_EQ(unterminated.GetContentLength(), 0);
    EXPECT_EQ(Leaves(unterminated).size(), 1u) << "still one (empty) leaf, as the viewer sees it";

    CMimeMessage nothing;
    EXPECT_EQ(ParseExact(nothing, ""), 0);
    EXPECT_EQ(nothing.Parse(nullptr, 3), 0);
}

TEST_F(MimeBodyTest, NestingIsBounded) {
    // Each level opens a multipart part inside the one before. No boundary is the start of
    // another ("l1_" against "l10_").
    auto nested = [](int levels, std::string_view innermost) {
        std::string text;
        for (int i = 0; i < levels; ++i) {
            const std::string b = "l" + std::to_string(i) + "_";
            text += "Content-Type: multipart/mixed; boundary=\"" + b + "\"\r\n\r\n--" + b + "\r\n";
        }
        return text + "\r\n" + std::string(innermost);
    };
    const int bound = CMimeBody::kMaxNestingDepth;
    CMimeMessage complete;
    ParseExact(complete, nested(bound, "leaf"));
    EXPECT_EQ(Depth(complete), bound);
    EXPECT_EQ(LeafContents(complete), (std::vector<std::string>{"leaf"})) << "right at the bound";

    const std::string deep = nested(5000, "innermost");
    CMimeMessage message;
    EXPECT_EQ(ParseExact(message, deep), std::int32_t(deep.size()));
    EXPECT_EQ(Depth(message), bound);
    const CMimeBody* deepest = &message;
    while (!deepest->GetParts().empty()) {
        deepest = deepest->GetParts().front().get();
    }
    EXPECT_EQ(deepest->GetMediaKind(), MediaMultipart);
    const std::string ownLine = "--l" + std::to_string(bound) + "_\r\n";
    EXPECT_EQ(deepest->GetContent().substr(0, ownLine.size()), ownLine)
        << "the deepest part keeps the rest of its text unsplit";
    EXPECT_TRUE(deepest->GetContent().ends_with("innermost"));
}

TEST_F(MimeBodyTest, ContentBuffers) {
    CMimeBody part;
    EXPECT_FALSE(part.AllocateContent(-1));
    ASSERT_TRUE(part.SetContent(std::string("ab\0cd", 5)));
    std::string out;
    EXPECT_EQ(part.GetContentString(out), 5);
    EXPECT_EQ(out, std::string("ab\0cd", 5)) << "zero bytes inside the content are kept";

    char buffer[8] = "#######";
    EXPECT_EQ(part.CopyContent(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 4), std::string("ab\0#", 4));
    EXPECT_EQ(part.CopyContent(buffer, 8), 5);

    part.FreeContent();
    EXPECT_EQ(part.GetContentLength(), 0);
    EXPECT_EQ(part.CopyContent(buffer, 8), 0);
}

TEST_F(MimeBodyTest, SaveContentWritesTheDecodedBytes) {
    dbxw::TempDir dir;
    CMimeMessage message;
    ParseExact(message, Crlf("Content-Type: application/octet-stream; name=x.bin\n"
                             "Content-Transfer-Encoding: base64\n\nAAEC/w==\n"));
    ASSERT_TRUE(message.SaveContent(dir.WidePath("x.bin")));
    EXPECT_EQ(ReadFile(dir.Path("x.bin")), std::string("\x00\x01\x02\xFF", 4));

    // An existing file is truncated.
    std::ofstream(dir.Path("short.bin")) << "a much longer old content";
    CMimeBody small;
    small.SetContent("new");
    ASSERT_TRUE(small.SaveContent(dir.WidePath("short.bin")));
    EXPECT_EQ(ReadFile(dir.Path("short.bin")), "new");

    CMimeBody empty;
    EXPECT_TRUE(empty.SaveContent(dir.WidePath("empty.bin")));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("empty.bin"))) << "no file for no content";

    EXPECT_FALSE(message.SaveContent(dir.WidePath("missing-folder/x.bin")));
    EXPECT_FALSE(message.SaveContent(u""));
}

TEST_F(MimeBodyTest, CreatingAndDeletingParts) {
    CMimeBody root;
    root.AddField({"Content-Type", "multipart/mixed; boundary=b"});
    CMimeBody* second = root.CreatePart();
    CMimeBody* fourth = root.CreatePart();
    CMimeBody* first = root.CreatePart(second);
    CMimeBody* third = root.CreatePart(fourth);
    CMimeBody stranger;
    CMimeBody* fifth = root.CreatePart(&stranger);
    const std::vector<CMimeBody*> expected = {first, second, third, fourth, fifth};
    ASSERT_EQ(root.GetParts().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(root.GetParts()[i].get(), expected[i]) << i;
    }
    EXPECT_EQ(Leaves(root).size(), 5u);

    third->AddField({"Content-Type", "multipart/alternative; boundary=c"});
    third->CreatePart()->SetContent("x");
    third->CreatePart()->SetContent("y");
    EXPECT_EQ(Leaves(root).size(), 6u) << "the multipart part is replaced by its two leaves";

    root.DeletePart(second);
    root.DeletePart(&stranger);
    EXPECT_EQ(root.GetParts().size(), 4u);
    EXPECT_EQ(root.GetParts()[1].get(), third);
    root.DeleteAllParts();
    EXPECT_TRUE(root.GetParts().empty());

    root.SetContent("preamble");
    root.CreatePart();
    CMimeBody noBoundary;
    noBoundary.AddField({"Content-Type", "multipart/mixed"});
    noBoundary.CreatePart();
    std::vector<char> buffer(std::size_t(noBoundary.EstimateSize()));
    EXPECT_EQ(noBoundary.Serialize(buffer.data(), std::int32_t(buffer.size())), -1)
        << "parts without a boundary cannot be written";

    root.Reset();
    EXPECT_TRUE(root.GetParts().empty());
    EXPECT_TRUE(root.GetFields().empty());
    EXPECT_EQ(root.GetContentLength(), 0);
}

TEST_F(MimeBodyTest, ParsedTextSerializesBackUnchanged) {
    const std::string& text = mimetest::SampleMessage();
    CMimeMessage message;
    const std::int32_t used = ParseExact(message, text);
    EXPECT_EQ(message.SerializeToString(), text.substr(0, std::size_t(used)));
}

namespace {

// Random trees of parts in the forms that parsing gives back: preambles that end in CR LF,
// boundaries that are no prefix of one another, contents free of delimiter lines.
class CTreeMaker {
public:
    explicit CTreeMaker(unsigned seed) : m_Rng(seed) {}

    void Fill(CMimeBody& part, int depth) {
        if (depth < 3 && m_Rng() % 3 == 0) {
            const std::string boundary = "=_b" + std::to_string(m_NextBoundary++) + "_";
            part.AddField({"Content-Type", "multipart/mixed; boundary=\"" + boundary + "\""});
            if (m_Rng() % 2 == 0) {
                part.SetContent(Text() + "\r\n");
            }
            const int children = int(m_Rng() % 4);
            for (int i = 0; i < children; ++i) {
                Fill(*part.CreatePart(), depth + 1);
            }
            return;
        }
        const char* encodings[] = {nullptr, "base64", "quoted-printable", "7bit"};
        const char* encoding = encodings[m_Rng() % 4];
        if (m_Rng() % 4 != 0) {
            part.AddField({"Content-Type", m_Rng() % 2 ? "text/plain; charset=utf-8"
                                                       : "application/octet-stream; name=f"});
        }
        if (encoding != nullptr) {
            part.AddField({"Content-Transfer-Encoding", encoding});
        }
        const bool binary = encoding != nullptr && encoding[0] != '7';
        part.SetContent(binary ? Bytes() : Text());
    }

private:
    std::string Text() {
        static const std::string alphabet = "abc XYZ 012\r\n.=-";
        std::string text;
        const std::size_t length = m_Rng() % 200;
        for (std::size_t i = 0; i < length; ++i) {
            text += alphabet[m_Rng() % alphabet.size()];
        }
        // Never a delimiter line: no CR LF followed by "--".
        for (std::size_t at = text.find("\n-"); at != std::string::npos; at = text.find("\n-")) {
            text[at + 1] = 'q';
        }
        return text;
    }
    std::string Bytes() {
        std::string bytes;
        const std::size_t length = m_Rng() % 300;
        for (std::size_t i = 0; i < length; ++i) {
            bytes += char(m_Rng() & 0xFF);
        }
        return bytes;
    }

    std::mt19937 m_Rng;
    int m_NextBoundary = 0;
};

void ExpectSameTree(const CMimeBody& a, const CMimeBody& b, const std::string& where) {
    EXPECT_EQ(a.GetFields(), b.GetFields()) << where;
    EXPECT_EQ(a.GetContent(), b.GetContent()) << where;
    ASSERT_EQ(a.GetParts().size(), b.GetParts().size()) << where;
    for (std::size_t i = 0; i < a.GetParts().size(); ++i) {
        ExpectSameTree(*a.GetParts()[i], *b.GetParts()[i], where + "/" + std::to_string(i));
    }
}

}  // namespace

TEST_F(MimeBodyTest, SerializedTreesParseBackToTheSameTree) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        CTreeMaker maker(seed);
        CMimeMessage tree;
        maker.Fill(tree, 0);
        const std::string text = tree.SerializeToString();
        ASSERT_FALSE(text.empty()) << seed;
        EXPECT_LE(text.size(), std::size_t(tree.EstimateSize())) << seed;

        CMimeMessage parsed;
        EXPECT_GT(ParseExact(parsed, text), 0) << seed;
        ExpectSameTree(tree, parsed, "seed " + std::to_string(seed));
    }
}

TEST_F(MimeBodyTest, SerializeNeverPassesTheCapacity) {
    CTreeMaker maker(99);
    CMimeMessage tree;
    tree.AddField({"Content-Type", "multipart/mixed; boundary=top"});
    for (int i = 0; i < 4; ++i) {
        maker.Fill(*tree.CreatePart(), 1);
    }
    const std::string whole = tree.SerializeToString();
    for (std::int32_t capacity = 0; capacity <= std::int32_t(whole.size()); ++capacity) {
        std::vector<char> buffer(std::size_t(capacity) + 8, '#');
        const std::int32_t written = tree.Serialize(buffer.data(), capacity);
        EXPECT_LE(written, capacity);
        EXPECT_EQ(std::string(buffer.end() - 8, buffer.end()), "########") << capacity;
    }
}
