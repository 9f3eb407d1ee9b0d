#include "mime/viewer_text.h"

#include <gtest/gtest.h>

#include <string>

#include "mime/transfer_codec.h"
#include "mime_test_text.h"

using mimetest::Crlf;

namespace {

class TextPageTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
};

TEST_F(TextPageTest, ASinglePlainPartShowsItsBodyWithoutTheHeader) {
    EXPECT_EQ(GetTextPageContent(Crlf("Subject: s\nFrom: a@b\n\nline one\nline two\n")),
              Crlf("line one\nline two\n"));
}

TEST_F(TextPageTest, TheLastTextLeafWinsSoHtmlIsShownForAlternatives) {
    const std::string text = Crlf(
        "Content-Type: multipart/alternative; boundary=\"b\"\n\n"
        "--b\nContent-Type: text/plain\n\nplain body\n"
        "--b\nContent-Type: text/html\n\n<p>html body</p>\n"
        "--b--\n");
    EXPECT_EQ(GetTextPageContent(text), "<p>html body</p>");
}

TEST_F(TextPageTest, AttachmentsAreSkippedAndAnImageOnlyMessageShowsNothing) {
    const std::string mixed = Crlf(
        "Content-Type: multipart/mixed; boundary=\"m\"\n\n"
        "--m\nContent-Type: text/plain\n\nsee the invoice\n"
        "--m\nContent-Type: application/pdf; name=\"invoice.pdf\"\n"
        "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n"
        "--m--\n");
    EXPECT_EQ(GetTextPageContent(mixed), "see the invoice");

    const std::string image = Crlf(
        "Content-Type: image/gif; name=\"dot.gif\"\nContent-Transfer-Encoding: base64\n\n"
        "R0lGODlhAQABAAAAACw=\n");
    EXPECT_EQ(GetTextPageContent(image), "");
}

TEST_F(TextPageTest, EncodedTextIsShownDecodedAndCutAtAZeroByte) {
    const std::string qp = Crlf(
        "Content-Type: text/plain; charset=iso-8859-1\n"
        "Content-Transfer-Encoding: quoted-printable\n\nCaf=E9 au lait=\n, s'il vous pla=EEt\n");
    EXPECT_EQ(GetTextPageContent(qp), "Caf\xE9 au lait, s'il vous pla\xEEt\r\n");

    // "ab\0cd" in base64: the page stops at the zero byte.
    const std::string b64 =
        Crlf("Content-Type: text/plain\nContent-Transfer-Encoding: base64\n\nYWIAY2Q=\n");
    EXPECT_EQ(GetTextPageContent(b64), "ab");
}

TEST_F(TextPageTest, MalformedOrEmptyInputGivesWhatTheParseFound) {
    EXPECT_EQ(GetTextPageContent(""), "");
    EXPECT_EQ(GetTextPageContent("no header separator at all"), "");
    // An unterminated multipart still shows its first text part.
    const std::string cut = Crlf(
        "Content-Type: multipart/mixed; boundary=\"z\"\n\n--z\nContent-Type: text/plain\n\n"
        "partial");
    EXPECT_NE(GetTextPageContent(cut).find("partial"), std::string::npos);
}

}  // namespace
