#include "mime/mime_email.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mime/transfer_codec.h"
#include "mime_test_text.h"

using mimetest::Crlf;
using mimetest::ParseExact;

namespace {

class MimeEmailTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
};

struct CSeen {
    CMimeEmailContent::Kind m_Kind;
    std::string m_Text;
    std::string m_Charset;
    friend bool operator==(const CSeen&, const CSeen&) = default;
    friend std::ostream& operator<<(std::ostream& out, const CSeen& seen) {
        return out << seen.m_Kind << " \"" << seen.m_Text << "\" " << seen.m_Charset;
    }
};

std::vector<CSeen> ContentsOf(std::string_view text) {
    CMimeEmail email;
    ParseExact(email, text);
    std::vector<CSeen> seen;
    for (const CMimeEmailContent& content : email.GetContents()) {
        seen.push_back({content.GetKind(), std::string(content.GetText()), content.GetCharset()});
        EXPECT_EQ(content.GetLength(), std::int32_t(content.GetText().size()));
        EXPECT_EQ(content.GetTextData()[content.GetLength()], '\0');
    }
    return seen;
}

constexpr auto kPlain = CMimeEmailContent::ContentPlainText;
constexpr auto kHtml = CMimeEmailContent::ContentHtml;

}  // namespace

TEST_F(MimeEmailTest, SinglePartMessages) {
    EXPECT_EQ(ContentsOf(Crlf("Subject: x\n\nbody\n")),
              (std::vector<CSeen>{{kPlain, "body\r\n", ""}}))
        << "no Content-Type is text/plain";
    EXPECT_EQ(ContentsOf(Crlf("Content-Type: text/html; charset=\"utf-8\"\n\n<p>x</p>")),
              (std::vector<CSeen>{{kHtml, "<p>x</p>", "utf-8"}}));
    EXPECT_EQ(ContentsOf(Crlf("Content-Type: TEXT/PLAIN; CHARSET=US-ASCII\n\nold mailer")),
              (std::vector<CSeen>{{kPlain, "old mailer", "US-ASCII"}}))
        << "types in capitals, as some mailers write them";
    EXPECT_EQ(ContentsOf(Crlf("Content-Type: text/plainish\n\nx")),
              (std::vector<CSeen>{{kPlain, "x", ""}}))
        << "the subtype's start decides";
    EXPECT_TRUE(ContentsOf(Crlf("Content-Type: image/png\n\nx")).empty());
    EXPECT_TRUE(ContentsOf(Crlf("Content-Type: text/calendar\n\nx")).empty());
    EXPECT_TRUE(ContentsOf(Crlf("Content-Type: text/x-vcard\n\nx")).empty());
    EXPECT_TRUE(ContentsOf(Crlf("Content-Type: text\n\nx")).empty())
        << "the subtype of a bare \"text\" is \"text\"";
    EXPECT_EQ(ContentsOf("Subject: never ends"), (std::vector<CSeen>{{kPlain, "", ""}}))
        << "an unreadable header leaves an empty text part";
    EXPECT_TRUE(ContentsOf("Content-Type: image/gif\r\nSubject: never ends").empty());
}

TEST_F(MimeEmailTest, BodiesInDocumentOrderAcrossTheTree) {
    // Only the type decides: the named text part is a body, the vCard is not.
    EXPECT_EQ(ContentsOf(mimetest::SampleMessage()), (std::vector<CSeen>{
                                                         {kPlain, "caf\xE9", "iso-8859-1"},
                                                         {kHtml, "<p>html</p>", ""},
                                                         {kPlain, "a named text part", ""},
                                                     }));
}

TEST_F(MimeEmailTest, ContentsAreBuiltOnceAndOwnTheirCopies) {
    CMimeEmail email;
    ParseExact(email, Crlf("Content-Type: text/html\n\n<html><body>x</body></html>"));
    EXPECT_FALSE(email.IsContentsBuilt());
    ASSERT_EQ(email.GetContents().size(), 1u);
    EXPECT_TRUE(email.IsContentsBuilt());
    email.BuildContents();
    EXPECT_EQ(email.GetContents().size(), 1u) << "a second build adds nothing";

    email.StripDocumentTags();
    EXPECT_EQ(email.GetContents()[0].GetText(), "x");
    EXPECT_EQ(email.GetContent(), "<html><body>x</body></html>") << "the tree keeps its content";

    email.Reset();
    EXPECT_FALSE(email.IsContentsBuilt());
    EXPECT_TRUE(email.GetFields().empty());
    ParseExact(email, Crlf("\nagain"));
    ASSERT_EQ(email.GetContents().size(), 1u);
    EXPECT_EQ(email.GetContents()[0].GetText(), "again");
}

TEST_F(MimeEmailTest, ContentsKeepZeroBytesOfTheDecodedPart) {
    CMimeEmail email;
    ParseExact(email, Crlf("Content-Transfer-Encoding: base64\n\nYQBi\n"));
    ASSERT_EQ(email.GetContents().size(), 1u);
    EXPECT_EQ(email.GetContents()[0].GetText(), std::string("a\0b", 3));
    email.StripDocumentTags();
    EXPECT_EQ(email.GetContents()[0].GetText(), "a") << "cleaning cuts at the first zero byte";
}
