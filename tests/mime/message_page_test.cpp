// The Message page's content: header fields decoded in their charsets, the body a mail
// client would show, inline cid: parts, attached files, and hostile HTML made inert.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbxwriter/dbx_temp.h"
#include "mime/html_sanitize.h"
#include "mime/message_page.h"
#include "mime/transfer_codec.h"
#include "platform/code_page.h"

namespace {

std::string Bytes(unsigned codePage, std::u16string_view text) {
    std::string out;
    EXPECT_TRUE(WideToMultiByteString(codePage, text, out));
    return out;
}

std::string Base64(std::string_view bytes) {
    std::string out(std::size_t(CMimeCodeBase64::EncodedBound(std::int32_t(bytes.size()), false)),
                    '\0');
    out.resize(
        std::size_t(CMimeCodeBase64::Encode(bytes, false, out.data(), std::int32_t(out.size()))));
    return out;
}

CMessagePage Page(const std::string& raw, unsigned codePage = 1252) {
    CMessagePage page;
    EXPECT_TRUE(page.Build(raw, codePage));
    return page;
}

bool Has(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != std::u16string_view::npos;
}

class MessagePageTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }
};

TEST_F(MessagePageTest, PlainMessageGivesHeaderBlockAndText) {
    const CMessagePage page = Page(
        "From: Ann <ann@example.com>\r\nTo: Bob <bob@example.com>,\r\n\tCarl <c@example.com>\r\n"
        "Date: Tue, 3 Feb 2004 10:00:00 +0100\r\nSubject: Pipes\r\n\r\nLine one\r\nLine two\r\n");
    EXPECT_EQ(page.m_From, u"Ann <ann@example.com>");
    EXPECT_EQ(page.m_To, u"Bob <bob@example.com>, Carl <c@example.com>");  // unfolded
    EXPECT_TRUE(page.m_Cc.empty());
    EXPECT_EQ(page.m_Date, u"Tue, 3 Feb 2004 10:00:00 +0100");
    EXPECT_EQ(page.m_BodyKind, CMessagePage::BodyPlain);
    EXPECT_EQ(page.m_Text, u"Line one\nLine two\n");
    EXPECT_TRUE(page.m_Attachments.empty());
    const std::u16string form = page.TextForm();
    EXPECT_TRUE(form.starts_with(u"From: Ann <ann@example.com>\nTo: "));
    EXPECT_FALSE(Has(form, u"Cc:"));
    EXPECT_TRUE(Has(form, u"Subject: Pipes\n\nLine one\nLine two\n"));
}

// Display names lose their quotes and escapes; what is inside angle brackets stays.
TEST_F(MessagePageTest, AddressFieldsShowNamesWithoutQuotes) {
    const CMessagePage page = Page(
        "From: \"Lef\\\"vre, Ren\xE9\" <rene@example.fr>\r\n"
        "To: \"Alice Martin\" <alice@example.com>, bob@example.com\r\n"
        "Cc: Carl <\"odd quoted\"@example.org>, \"Dana\r\n"
        "Subject: \"Quoted\" subject\r\n\r\nHi\r\n");
    EXPECT_EQ(page.m_From, u"Lef\"vre, Ren\u00e9 <rene@example.fr>");
    EXPECT_EQ(page.m_To, u"Alice Martin <alice@example.com>, bob@example.com");
    EXPECT_EQ(page.m_Cc, u"Carl <\"odd quoted\"@example.org>, Dana");
    EXPECT_EQ(page.m_Subject, u"\"Quoted\" subject");  // not an address field
}

TEST_F(MessagePageTest, CharsetsOfWordsBodiesAndRawHeaderBytes) {
    // KOI8-R: an encoded-word subject, a raw 8-bit sender read in the body's charset, and
    // a quoted-printable body.
    const std::u16string hello = u"Привет, мир";
    const std::string koi = Bytes(20866, hello);
    const std::string koiMessage =
        "From: " + Bytes(20866, u"Иван") +
        " <ivan@example.ru>\r\nCc: x@example.ru\r\nSubject: =?koi8-r?B?" + Base64(koi) +
        "?=\r\nContent-Type: text/plain; charset=\"KOI8-R\"\r\n\r\n" + koi + "\r\n";
    const CMessagePage ru = Page(koiMessage);
    EXPECT_EQ(ru.m_Subject, hello);
    EXPECT_EQ(ru.m_From, u"Иван <ivan@example.ru>");
    EXPECT_EQ(ru.m_Cc, u"x@example.ru");
    EXPECT_EQ(ru.m_Text, hello + u"\n");

    // ISO-2022-JP, the 7-bit Japanese mail charset: escape sequences switch the sets.
    const std::u16string nihongo = u"日本語のメール";
    const std::string jis = Bytes(50220, nihongo);
    ASSERT_NE(jis.find('\x1b'), std::string::npos);
    const CMessagePage jp =
        Page("Subject: =?ISO-2022-JP?B?" + Base64(jis) +
             "?=\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" + jis + "\r\n");
    EXPECT_EQ(jp.m_Subject, nihongo);
    EXPECT_EQ(jp.m_Text, nihongo + u"\n");

    // Raw bytes that are not the declared UTF-8 fall back to the mailbox code page.
    const CMessagePage fallback =
        Page("From: Ren\xE9 <r@example.fr>\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nx");
    EXPECT_EQ(fallback.m_From, u"René <r@example.fr>");
    const CMessagePage cyrillicPage =
        Page("Subject: \xCF\xF0\xE8\xE2\xE5\xF2\r\n\r\n\xEC\xE8\xF0", 1251);
    EXPECT_EQ(cyrillicPage.m_Subject, u"Привет");
    EXPECT_EQ(cyrillicPage.m_Text, u"мир");
}

TEST_F(MessagePageTest, HtmlAndAlternativesChooseTheRichestBody) {
    const CMessagePage html =
        Page("Subject: h\r\nContent-Type: text/html\r\n\r\n<p>Caf&eacute; &amp; <b>tea</b></p>");
    EXPECT_EQ(html.m_BodyKind, CMessagePage::BodyHtml);
    EXPECT_TRUE(html.m_bRenderHtml);
    EXPECT_TRUE(Has(html.m_Body, u"<b>tea</b>"));
    EXPECT_EQ(html.m_Text, u"Café & tea");

    const std::string alternative =
        "Subject: a\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nplain version\r\n"
        "--b\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n<i>rich =E9t=E9</i>\r\n--b--\r\n";
    const CMessagePage page = Page(alternative);
    EXPECT_EQ(page.m_BodyKind, CMessagePage::BodyHtml);
    EXPECT_TRUE(Has(page.m_Body, u"<i>rich été</i>"));
    EXPECT_FALSE(Has(page.m_Body, u"plain version"));
    EXPECT_TRUE(page.m_Attachments.empty());  // the other rendering is no attached file

    // An alternative whose richer part is an attachment keeps the plain text.
    const CMessagePage plainWins = Page(
        "Subject: a\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nplain only\r\n"
        "--b\r\nContent-Type: text/html; name=\"page.html\"\r\n\r\n<p>x</p>\r\n--b--\r\n");
    EXPECT_EQ(plainWins.m_BodyKind, CMessagePage::BodyPlain);
    EXPECT_EQ(plainWins.m_Text, u"plain only");
}

TEST_F(MessagePageTest, RelatedImagesAreServedByContentIdAndNotListed) {
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";
    const std::string raw =
        "Subject: r\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
        "--r\r\nContent-Type: text/html\r\n\r\n<p>Look</p><img src=\"cid:logo@x\" "
        "alt=\"logo\">\r\n"
        "--r\r\nContent-Type: image/png\r\nContent-ID: <logo@x>\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64(png) +
        "\r\n"
        "--r\r\nContent-Type: image/gif\r\nContent-ID: <unused@x>\r\n\r\nGIF89a\r\n--r--\r\n"
        "--m\r\nContent-Type: application/pdf; name=\"=?utf-8?Q?r=C3=A9sum=C3=A9.pdf?=\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64("%PDF-1.4") + "\r\n--m--\r\n";
    const CMessagePage page = Page(raw);
    EXPECT_TRUE(Has(page.m_Body, u"src=\"cid:logo@x\""));
    std::string type;
    EXPECT_EQ(page.FindInlinePart(u"logo@x", &type), png);
    EXPECT_EQ(type, "image/png");
    EXPECT_EQ(page.FindInlinePart(u"<logo@x>"), png);
    EXPECT_TRUE(page.FindInlinePart(u"other@x").empty());
    // The unreferenced image and the PDF are attached files; the shown logo is not.
    ASSERT_EQ(page.m_Attachments.size(), 2u);
    EXPECT_EQ(page.m_Attachments[0].m_MediaType, "image/gif");
    EXPECT_EQ(page.m_Attachments[1].m_Name, u"résumé.pdf");
    EXPECT_EQ(page.m_Attachments[1].m_nSize, 8);
    EXPECT_EQ(page.AttachmentBytes(1), "%PDF-1.4");
    EXPECT_TRUE(page.AttachmentBytes(2).empty());
}

TEST_F(MessagePageTest, MessageWithOnlyAttachments) {
    dbxw::TempDir temp;
    const CMessagePage page = Page(
        "Subject: files\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: application/octet-stream\r\n"
        "Content-Disposition: attachment; filename=\"data.bin\"\r\n\r\n0123456789\r\n"
        "--m\r\nContent-Type: text/plain\r\nContent-Disposition: attachment\r\n\r\nnotes\r\n"
        "--m\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\nhi\r\n--m--\r\n");
    EXPECT_EQ(page.m_BodyKind, CMessagePage::BodyNone);
    EXPECT_TRUE(page.m_Text.empty());
    ASSERT_EQ(page.m_Attachments.size(), 3u);
    EXPECT_EQ(page.m_Attachments[0].m_Name, u"data.bin");
    EXPECT_EQ(page.m_Attachments[0].m_nSize, 10);
    EXPECT_EQ(page.m_Attachments[1].m_Name, u"part-2");
    EXPECT_EQ(page.m_Attachments[2].m_Name, u"part-3.eml");
    const std::u16string path = temp.WidePath("saved.bin");
    ASSERT_TRUE(page.SaveAttachment(0, path));
    EXPECT_EQ(dbxw::ReadWholeFile(temp.Path("saved.bin")), "0123456789");
    EXPECT_FALSE(page.SaveAttachment(3, temp.WidePath("none.bin")));
    EXPECT_FALSE(std::filesystem::exists(temp.Path("none.bin")));
    EXPECT_TRUE(Has(page.TextForm(), u"\nAttached files:\n  data.bin (10 bytes)\n"));
}

TEST_F(MessagePageTest, HostileHtmlKeepsNoActiveOrOutsideContent) {
    const std::string hostile =
        "Subject: x\r\nContent-Type: text/html\r\n\r\n"
        "<html><head><meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">"
        "<base href=\"http://evil.example/\"><link rel=stylesheet "
        "href=\"http://evil.example/a.css\">"
        "<title>T</title><script>alert(1)</script>"
        "<style>body{background:url(http://evil.example/bg)}</style></head>"
        "<body onload=\"steal()\" background=\"http://evil.example/b.png\">"
        "<p style=\"color:red\" onclick='x()'>Hello</p>"
        "<img src=\"http://evil.example/pixel.gif\" width=1 height=1>"
        "<img src='file:///etc/passwd' alt=\"secret\">"
        "<img src=\"data:image/png;base64,AAAA\"><IMG SRC=cid:ok@x ONERROR=x()>"
        "<iframe src=\"http://evil.example/\">frame text</iframe>"
        "<object data=\"x.swf\"><param name=a value=b>inside object</object>"
        "<form action=\"http://evil.example/post\"><input name=p>Form text</form>"
        "<a href=\"javascript:alert(1)\">js</a> <a href=\"http://ok.example/\">ok</a>"
        "<a href=\"file:///etc\">f</a> <SCRIPT SRC=http://evil.example/x.js></SCRIPT>"
        "<svg onload=alert(1)><script>alert(2)</script></svg>"
        "<div style=\"background-image: u\\72l(http://evil.example/)\">esc</div>"
        "</body></html>\r\n";
    const CMessagePage page = Page(hostile);
    const std::u16string& body = page.m_Body;
    for (std::u16string_view banned :
         {u"script",     u"SCRIPT",  u"alert",        u"onload",     u"onclick",
          u"ONERROR",    u"onerror", u"evil.example", u"file:",      u"refresh",
          u"iframe",     u"object",  u"param",        u"form",       u"input",
          u"javascript", u"data:",   u"url(",         u"\\72",       u"<base",
          u"<link",      u"<meta",   u"svg",          u"frame text", u"inside object"}) {
        EXPECT_FALSE(Has(body, banned)) << std::string(banned.begin(), banned.end());
    }
    EXPECT_TRUE(Has(body, u"<p style=\"color:red\">Hello</p>"));
    EXPECT_TRUE(Has(body, u"[secret]"));  // the blocked image's text stays
    EXPECT_TRUE(Has(body, u"<img src=\"cid:ok@x\" />"));
    EXPECT_TRUE(Has(body, u"<a href=\"http://ok.example/\">ok</a>"));
    EXPECT_TRUE(Has(body, u"<a>js</a>"));
    EXPECT_TRUE(Has(body, u"Form text"));
    EXPECT_GE(page.m_nBlockedReferences, 5);
    // The text form drops scripts, styles and the title too.
    EXPECT_FALSE(Has(page.m_Text, u"alert"));
    EXPECT_FALSE(Has(page.m_Text, u"background"));
    EXPECT_TRUE(Has(page.m_Text, u"Hello"));
}

TEST_F(MessagePageTest, MarkupTooCostlyToLayOutIsShownAsText) {
    std::string table = "<table>";
    for (int r = 0; r < 2000; ++r) {
        table += "<tr><td>a</td><td>b</td><td>c</td></tr>";
    }
    table += "</table>";
    const CMessagePage huge = Page("Content-Type: text/html\r\n\r\n" + table);
    EXPECT_EQ(huge.m_BodyKind, CMessagePage::BodyHtml);
    EXPECT_FALSE(huge.m_bRenderHtml);
    EXPECT_TRUE(huge.m_Text.starts_with(u"a\tb\tc\na\tb\tc\n"));

    std::string nested;
    for (int i = 0; i < 40; ++i) {
        nested += "<table><tr><td>";
    }
    EXPECT_FALSE(Page("Content-Type: text/html\r\n\r\n" + nested).m_bRenderHtml);
    const std::string big(CMessagePage::kMaxRenderedHtml + 10, 'x');
    EXPECT_FALSE(Page("Content-Type: text/html\r\n\r\n<p>" + big).m_bRenderHtml);
    EXPECT_TRUE(
        Page("Content-Type: text/html\r\n\r\n<table><tr><td>1</td></tr></table>").m_bRenderHtml);
}

TEST(HtmlTextTest, EntitiesBlocksAndBrokenMarkup) {
    EXPECT_EQ(HtmlToText(u"<div>a&nbsp;&lt;b&gt;  \r\n c</div><br>d&#233;&#x263A;&bogus;"),
              u"a <b> c\n\nd\u00E9\u263A&bogus;");
    EXPECT_EQ(HtmlToText(u"<ul><li>one<li>two</ul><pre>x  y\n z</pre>"),
              u"\u2022 one\n\u2022 two\nx  y\n z");
    EXPECT_EQ(HtmlToText(u"a < b <p>c"), u"a < b\n\nc");
    // A tag cut off by the end, and a comment that never ends, lose only themselves.
    EXPECT_EQ(HtmlToText(u"text<img src=\"x"), u"text");
    EXPECT_EQ(HtmlToText(u"text<!-- open"), u"text");
    EXPECT_EQ(DecodeHtmlEntity(u"#0"), U'\uFFFD');
    EXPECT_EQ(DecodeHtmlEntity(u"#xD800"), U'\uFFFD');
    EXPECT_EQ(DecodeHtmlEntity(u"#99999999"), 0u);
    EXPECT_EQ(DecodeHtmlEntity(u"eacute"), U'\u00E9');
    EXPECT_EQ(DecodeHtmlEntity(u"nope"), 0u);
    EXPECT_EQ(FormatByteSize(1), u"1 byte");
    EXPECT_EQ(FormatByteSize(1023), u"1023 bytes");
    EXPECT_EQ(FormatByteSize(1536), u"1.5 KB");
    EXPECT_EQ(FormatByteSize(20 * 1024 * 1024), u"20.0 MB");
}

TEST(HtmlTextTest, BodyTextOfEveryTextPart) {
    RegisterStandardCodecs();
    const std::string raw =
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: text/plain; charset=koi8-r\r\n\r\n" +
        Bytes(20866, u"Ёлка") +
        "\r\n--m\r\nContent-Type: text/html\r\n\r\n<b>bold</b><script>hidden</script>\r\n"
        "--m\r\nContent-Type: image/png\r\n\r\nPNGDATA\r\n--m--\r\n";
    const std::u16string text = MessageBodyText(raw, 1252);
    EXPECT_TRUE(Has(text, u"Ёлка"));
    EXPECT_TRUE(Has(text, u"bold"));
    EXPECT_FALSE(Has(text, u"hidden"));
    EXPECT_FALSE(Has(text, u"PNGDATA"));
    EXPECT_TRUE(MessageBodyText("", 1252).empty());
}

}  // namespace
