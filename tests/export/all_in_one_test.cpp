// The all-in-one export: what each key writes for a message built for it, the order of
// the messages, and the failures the export reports.
#include "export/export_all_in_one.h"

#include <gtest/gtest.h>

#include "analysis/email_sort.h"
#include "export/template_charset.h"
#include "export/template_keys.h"
#include "html_export_fixture.h"
#include "mime/charset.h"

namespace {

// A message whose text is the header lines and the body as given.
dbxw::Message Raw(std::string header, std::string body = "Body\r\n") {
    dbxw::Message m;
    m.text = header + "\r\n" + body;
    return m;
}

class KeyRulesTest : public HtmlExportTest {
protected:
    // The key's output for a mailbox holding only the message.
    std::string KeyOf(const dbxw::Message& m, std::string_view key, std::uint32_t codePage) {
        OpenMailbox({m});
        return Expand("%%%" + std::string(key) + "%%%", codePage);
    }
};

TEST_F(KeyRulesTest, TitleIsUtf8WhateverTheCodePage) {
    OpenMailbox({Mail("A")});
    EXPECT_EQ(Expand("%%%TITLE%%%", 28591, u"Caf\u00e9 \u20ac"), "Caf\xC3\xA9 \xE2\x82\xAC");
}

TEST_F(KeyRulesTest, DatesAndRawTextAndSenderAddress) {
    dbxw::Message m = Mail("Dates", "Line\r\n");
    m.sent = dbxw::FileTimeFromUtc(2009, 3, 16, 14, 5);
    m.received = dbxw::FileTimeFromUtc(2010, 12, 1, 0, 59);
    m.senderAddress = "a@example.org";
    OpenMailbox({m});
    EXPECT_EQ(Expand("%%%DATE_SENT%%%|%%%DATE_RECEIVED%%%|%%%SENDER_EMAIL%%%"),
              "2009-03-16 14:05|2010-12-01 00:59|a@example.org");
    EXPECT_EQ(Expand("%%%EMAIL_RAW%%%"), *m.text);
}

TEST_F(KeyRulesTest, TextContentStopsBeforeAnAppendedFile) {
    const std::string body =
        "Here is the file.\r\n\r\nbegin 644 hello.txt\r\n%:&5L;&\\-\r\n`\r\nend\r\n";
    EXPECT_EQ(KeyOf(Raw("Subject: uu\r\n", body), "TEXT_CONTENT", 65001),
              "Here is the file.\r\n\r\n");
    // A "begin" that is not a line start stays.
    const std::string plain = "We begin 644 times.\r\n";
    EXPECT_EQ(KeyOf(Raw("Subject: uu\r\n", plain), "TEXT_CONTENT", 65001), plain);
}

constexpr std::string_view kAlternative =
    "Subject: alt\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"b1\"\r\n";
constexpr std::string_view kAlternativeBody =
    "--b1\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n\r\n"
    "Plain words\r\n"
    "--b1\r\n"
    "Content-Type: text/html; charset=us-ascii\r\n\r\n"
    "<html><head><title>Doc</title></head><body><b>Rich</b> words</body></html>\r\n"
    "--b1--\r\n";

TEST_F(KeyRulesTest, ContentKeysWithHtmlAndTextAlternatives) {
    OpenMailbox({Raw(std::string(kAlternative), std::string(kAlternativeBody))});
    const std::string both = Expand("%%%TEXT_OR_HTML_CONTENT%%%");
    EXPECT_NE(both.find("<b>Rich</b> words"), std::string::npos) << both;
    EXPECT_EQ(both.find("Plain"), std::string::npos) << both;
    // The document tags and the title go; the body's markup stays.
    EXPECT_EQ(both.find("<html>"), std::string::npos) << both;
    EXPECT_EQ(both.find("Doc"), std::string::npos) << both;

    const std::string html = Expand("%%%HTML_CONTENT%%%");
    EXPECT_NE(html.find("<b>Rich</b> words"), std::string::npos) << html;
    EXPECT_EQ(html.find("<body>"), std::string::npos) << html;
    EXPECT_EQ(html.find("Plain"), std::string::npos) << html;

    const std::string text = Expand("%%%TEXT_CONTENT%%%");
    EXPECT_NE(text.find("Plain words"), std::string::npos) << text;
    EXPECT_EQ(text.find("Rich"), std::string::npos) << text;
}

TEST_F(KeyRulesTest, PlainTextGetsEntitiesAndIsWrappedInPre) {
    const dbxw::Message m = Raw("Subject: p\r\nContent-Type: text/plain; charset=iso-8859-1\r\n",
                                "a < b & \"c\" \xE9\r\n");
    // Entities as the conversion makes them, and the angle brackets, so the text stays text.
    EXPECT_EQ(KeyOf(m, "TEXT_OR_HTML_CONTENT", 65001),
              "<pre>a &lt; b &amp; &quot;c&quot; &eacute;\r\n</pre>");
    // An HTML alternative wins over the text: the text is not written at all.
    const dbxw::Message both = Raw(std::string(kAlternative), std::string(kAlternativeBody));
    const std::string out = KeyOf(both, "TEXT_OR_HTML_CONTENT", 65001);
    EXPECT_EQ(out.find("<pre>"), std::string::npos) << out;
    EXPECT_NE(out.find("<b>Rich</b>"), std::string::npos) << out;
}

TEST_F(KeyRulesTest, HtmlThatMoreThanDoublesIsWrittenUnconverted) {
    // Cyrillic letters of KOI8-R take two bytes each in UTF-8: with the terminator that
    // is more than twice the part, so the part goes out as it came.
    const std::string koi(20, '\xC1');  // KOI8-R 0xC1 is U+0430
    EXPECT_EQ(KeyOf(Raw("Subject: k\r\nContent-Type: text/html; charset=koi8-r\r\n", koi),
                    "TEXT_OR_HTML_CONTENT", 65001),
              koi);
    // Half of the part in ASCII leaves room: converted.
    const std::string mixed = std::string(20, 'x') + std::string(10, '\xC1');
    std::string utf8(20, 'x');
    for (int i = 0; i < 10; ++i)
        utf8 += "\xD0\xB0";
    EXPECT_EQ(KeyOf(Raw("Subject: k\r\nContent-Type: text/html; charset=koi8-r\r\n", mixed),
                    "TEXT_OR_HTML_CONTENT", 65001),
              utf8);
    // An unknown charset is taken to be the page's: the bytes pass unchanged.
    EXPECT_EQ(
        KeyOf(Raw("Subject: k\r\nContent-Type: text/html; charset=x-nothing\r\n", "<i>\xC1</i>"),
              "TEXT_OR_HTML_CONTENT", 65001),
        "<i>\xC1</i>");
}

TEST_F(KeyRulesTest, SubjectFromTheHeaderOrTheStoredSubject) {
    EXPECT_EQ(KeyOf(Raw("Subject: =?iso-8859-1?Q?Caf=E9?=\r\n"), "SUBJECT", 65001), "Caf&eacute;");
    EXPECT_EQ(KeyOf(Raw("Subject: =?iso-8859-1?Q?Caf=E9?=\r\n"), "SUBJECT", 28591), "Caf\xE9");
    // Markup in a subject is written as text, also where nothing needs converting.
    EXPECT_EQ(KeyOf(Raw("Subject: <i>x</i>\r\n"), "SUBJECT", 28591), "&lt;i&gt;x&lt;/i&gt;");

    // Without a Subject field the stored subject is escaped and converted.
    dbxw::Message stored = Raw("From: a@b\r\n");
    stored.subject = "Tom & \"Jerry\" \xE9t\xE9";
    EXPECT_EQ(KeyOf(stored, "SUBJECT", 65001), "Tom &amp; &quot;Jerry&quot; &eacute;t&eacute;");
}

TEST_F(KeyRulesTest, SenderNameLosesItsQuotesInTheSameCodePage) {
    EXPECT_EQ(KeyOf(Raw("From: \"John Smith\"\r\n"), "SENDER_NAME", 28591), "John Smith");
    EXPECT_EQ(KeyOf(Raw("From: \"John Smith\r\n"), "SENDER_NAME", 28591), "John Smith");
    EXPECT_EQ(KeyOf(Raw("From: \"\"Two\"\"\r\n"), "SENDER_NAME", 28591), "\"Two\"");
    // Converted between code pages the quotes are entities and stay.
    EXPECT_EQ(KeyOf(Raw("From: \"Jos\xE9\"\r\n"), "SENDER_NAME", 65001), "&quot;Jos&eacute;&quot;");
    // The whole From value, address included, as text.
    EXPECT_EQ(KeyOf(Raw("From: Ann <ann@x.org>\r\n"), "SENDER_NAME", 28591),
              "Ann &lt;ann@x.org&gt;");
}

TEST_F(KeyRulesTest, SenderNameFallsBackToTheStoredNameThenTheAddress) {
    dbxw::Message named = Raw("Subject: s\r\n");
    named.senderName = "Zo\xEB";
    named.senderAddress = "zoe@x.org";
    EXPECT_EQ(KeyOf(named, "SENDER_NAME", 65001), "Zo&euml;");

    dbxw::Message addressOnly = Raw("Subject: s\r\n");
    addressOnly.senderAddress = "zoe@x.org";
    EXPECT_EQ(KeyOf(addressOnly, "SENDER_NAME", 65001), "zoe@x.org");

    dbxw::Message nothing = Raw("Subject: s\r\n");
    EXPECT_EQ(KeyOf(nothing, "SENDER_NAME", 65001), "");
}

dbxw::Message To(std::string names, std::string addresses) {
    dbxw::Message m = Raw("Subject: to\r\n");
    if (!names.empty())
        m.recipientName = std::move(names);
    if (!addresses.empty())
        m.recipientAddress = std::move(addresses);
    return m;
}

TEST_F(KeyRulesTest, ReceiversBecomeLinksWhenNamesAndAddressesPair) {
    EXPECT_EQ(KeyOf(To("Ann, Bob", "ann@x.org; bob@y.org"), "RECEIVERS_HTML", 65001),
              "<a href=\"mailto:ann@x.org\">Ann</a>; <a href=\"mailto:bob@y.org\">Bob</a>");
    // Brackets, spaces and runs of separators split addresses; apostrophes split names.
    EXPECT_EQ(KeyOf(To("O'Hara", "<o@x.org> <h@x.org>"), "RECEIVERS_HTML", 65001),
              "<a href=\"mailto:o@x.org\">O</a>; <a href=\"mailto:h@x.org\">Hara</a>");
    // Non-ASCII letters of a name become spaces.
    EXPECT_EQ(KeyOf(To("Zo\xEB", "zoe@x.org"), "RECEIVERS_HTML", 65001),
              "<a href=\"mailto:zoe@x.org\">Zo </a>");
    // Names are text and addresses attribute values: neither can open markup.
    EXPECT_EQ(KeyOf(To("Eve<b>", "eve@x.org"), "RECEIVERS_HTML", 65001),
              "<a href=\"mailto:eve@x.org\">Eve&lt;b&gt;</a>");
    EXPECT_EQ(KeyOf(To("Tom & \"J\"", "t&j\"@x.org"), "RECEIVERS_HTML", 65001),
              "<a href=\"mailto:t&amp;j&quot;@x.org\">Tom &amp; &quot;J&quot;</a>");
}

TEST_F(KeyRulesTest, ReceiversAsStoredWhenTheCountsDiffer) {
    EXPECT_EQ(KeyOf(To("Ann, Bob", "ann@x.org"), "RECEIVERS_HTML", 28591), "Ann, Bob");
    EXPECT_EQ(KeyOf(To("", "ann@x.org, bob@x.org"), "RECEIVERS_HTML", 28591),
              "ann@x.org, bob@x.org");
    // The stored bytes as they are, whatever the page's code page.
    EXPECT_EQ(KeyOf(To("Zo\xEB, Bob", "z@x.org"), "RECEIVERS_HTML", 65001), "Zo\xEB, Bob");
    EXPECT_EQ(KeyOf(To("", ""), "RECEIVERS_HTML", 65001), "");
}

// Markup in what is text, in both HTML formats and the text variant.

constexpr std::string_view kQuoted =
    "On Monday, Carol <carol@example.com> wrote:\r\n> if (a<b && c>d) return;\r\n";

TEST_F(KeyRulesTest, TextInAPageCannotTurnIntoMarkup) {
    const dbxw::Message m =
        Raw("Subject: <b>bold</b>\r\nFrom: Mallory <evil@example.com>\r\n"
            "Content-Type: text/plain; charset=utf-8\r\n",
            std::string(kQuoted));
    for (const std::uint32_t codePage : {65001u, 28591u}) {
        SCOPED_TRACE(codePage);
        EXPECT_EQ(KeyOf(m, "SUBJECT", codePage), "&lt;b&gt;bold&lt;/b&gt;");
        EXPECT_EQ(KeyOf(m, "SENDER_NAME", codePage), "Mallory &lt;evil@example.com&gt;");
        const std::string escaped =
            "On Monday, Carol &lt;carol@example.com&gt; wrote:\r\n&gt; if (a&lt;b && c&gt;d) "
            "return;\r\n";
        EXPECT_EQ(KeyOf(m, "TEXT_CONTENT", codePage), escaped);
        const std::string pre = KeyOf(m, "TEXT_OR_HTML_CONTENT", codePage);
        EXPECT_EQ(pre.find_first_of("<>", 5), pre.size() - 6) << pre;  // only <pre> and </pre>
        EXPECT_NE(pre.find("Carol &lt;carol@example.com&gt;"), std::string::npos) << pre;
    }
    // The stored subject and address when the header has none.
    dbxw::Message stored = Raw("X-No: subject\r\n");
    stored.subject = "<i>stored</i>";
    stored.senderAddress = "<x@y>";
    EXPECT_EQ(KeyOf(stored, "SUBJECT", 65001), "&lt;i&gt;stored&lt;/i&gt;");
    EXPECT_EQ(KeyOf(stored, "SENDER_EMAIL", 65001), "&lt;x@y&gt;");
    // HTML bodies and the raw message are markup and stay as they are.
    const dbxw::Message html = Raw(std::string(kAlternative), std::string(kAlternativeBody));
    EXPECT_NE(KeyOf(html, "HTML_CONTENT", 65001).find("<b>Rich</b>"), std::string::npos);
    EXPECT_EQ(KeyOf(m, "EMAIL_RAW", 65001), *m.text);
}

TEST_F(KeyRulesTest, AngleBracketsInsideJapaneseCharactersAreNotTouched) {
    // In ISO-2022-JP the kanji U+5F0F is the bytes '<' '0' between escape sequences.
    const std::string kanji = "\x1b$B<0\x1b(B";
    const dbxw::Message m =
        Raw("Subject: j\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n", kanji + " <\r\n");
    const std::string out = KeyOf(m, "TEXT_CONTENT", 50220);
    EXPECT_EQ(out.substr(0, kanji.size()), kanji) << out;
    EXPECT_NE(out.find(" &lt;"), std::string::npos) << out;
    EXPECT_EQ(EscapeMarkupInCodePage("a<b>", 1252), "a&lt;b&gt;");
    EXPECT_EQ(EscapeMarkupInCodePage(kanji, 50220), kanji);
}

TEST_F(KeyRulesTest, TheTextVariantWritesTextInTheCodePage) {
    textOutput = true;
    const dbxw::Message m =
        Raw("Subject: Tom & <Jerry> =?iso-8859-1?Q?caf=E9?=\r\nFrom: \"Ann\" <a@x.org>\r\n"
            "Content-Type: text/plain; charset=koi8-r\r\n",
            "\xF0\xD2\xC9\xD7\xC5\xD4 <a&b>\r\n");
    EXPECT_EQ(KeyOf(m, "SUBJECT", 65001), "Tom & <Jerry> caf\xC3\xA9");
    EXPECT_EQ(KeyOf(m, "SENDER_NAME", 65001), "Ann\" <a@x.org>");
    // The Cyrillic body in UTF-8, not in its own KOI8-R bytes.
    EXPECT_EQ(KeyOf(m, "TEXT_CONTENT", 65001),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 <a&b>\r\n");
    EXPECT_EQ(KeyOf(m, "TEXT_CONTENT", 1251), "\xCF\xF0\xE8\xE2\xE5\xF2 <a&b>\r\n");

    // An HTML-only message gives its text as the Message page reads it (paragraphs apart,
    // every entity decoded), not an empty body.
    const dbxw::Message html =
        Raw("Subject: h\r\nContent-Type: text/html; charset=iso-8859-1\r\n",
            "<html><head><title>T</title><style>p{}</style></head><body><p>Caf\xE9 &amp; "
            "<b>more</b> &eacute;t&#233;</p><p>2&lt;3<br>end</p></body></html>");
    const std::string text = "Caf\xC3\xA9 & more \xC3\xA9t\xC3\xA9\r\n\r\n2<3\r\nend\r\n";
    EXPECT_EQ(KeyOf(html, "TEXT_CONTENT", 65001), text);
    EXPECT_EQ(KeyOf(html, "TEXT_OR_HTML_CONTENT", 65001), text);
    EXPECT_EQ(KeyOf(html, "TEXT_CONTENT", 1252), "Caf\xE9 & more \xE9t\xE9\r\n\r\n2<3\r\nend\r\n");

    dbxw::Message stored = Raw("X-No: subject\r\n");
    stored.recipientName = "Ann, Bob";
    stored.recipientAddress = "ann@x.org; bob@y.org";
    stored.subject = "<kept> & \xE9";
    EXPECT_EQ(KeyOf(stored, "SUBJECT", 65001), "<kept> & \xC3\xA9");
    EXPECT_EQ(KeyOf(stored, "RECEIVERS_HTML", 65001), "Ann <ann@x.org>; Bob <bob@y.org>");
}

// The export itself.

class AllInOneTest : public HtmlExportTest {
protected:
    CAllInOneRequest Request(std::string_view templateText) {
        CAllInOneRequest r;
        r.templatePath = TemplateFile(templateText);
        r.outputFile = temp.WidePath("all.html");
        r.title = u"All";
        r.codePage = 65001;
        return r;
    }
    std::string Output() { return ReadWholeFile(temp.Path("all.html")); }

    // Three messages sent on different days, listed in neither date order.
    void OpenDated() {
        dbxw::Message b = Mail("B");
        b.sent = dbxw::FileTimeFromUtc(2009, 1, 2);
        dbxw::Message c = Mail("C");
        c.sent = dbxw::FileTimeFromUtc(2009, 1, 3);
        dbxw::Message a = Mail("A");
        a.sent = dbxw::FileTimeFromUtc(2009, 1, 1);
        OpenMailbox({b, c, a});
    }
};

constexpr std::string_view kList = "%%%EMAIL_START%%%%%%SUBJECT%%%%%%NEXT_EMAIL%%%";

std::vector<std::int32_t> ListIds(CDBXFile& dbx) {
    std::vector<std::int32_t> ids;
    for (const CEmailDBX* e : dbx.GetEmails().Items())
        ids.push_back(e->m_Id);
    return ids;
}

TEST_F(AllInOneTest, SortsACopyBySentDate) {
    OpenDated();
    const std::vector<std::int32_t> before = ListIds(dbx);
    CAllInOneRequest r = Request(kList);
    EXPECT_TRUE(ExportAllInOne(session, r));
    EXPECT_EQ(Output(), "ABC");
    r.sortOrder = 1;
    EXPECT_TRUE(ExportAllInOne(session, r));
    EXPECT_EQ(Output(), "CBA");
    // The mailbox list keeps its order.
    EXPECT_EQ(ListIds(dbx), before);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(AllInOneTest, DoNotSortKeepsTheListOrderTheUserChose) {
    OpenDated();
    CAllInOneRequest r = Request(kList);
    r.sortBy = 0;
    EXPECT_TRUE(ExportAllInOne(session, r));
    EXPECT_EQ(Output(), "BCA");
    SortEmails(dbx.GetEmails(), SortBySubject, false);
    EXPECT_TRUE(ExportAllInOne(session, r));
    EXPECT_EQ(Output(), "CBA");
}

TEST_F(AllInOneTest, ShowsItsProgressAndStopsOnCancel) {
    OpenDated();
    ui.SetCancelAfterPumps(1);
    EXPECT_FALSE(ExportAllInOne(session, Request(kList)));
    EXPECT_EQ(Output(), "A");
    ASSERT_EQ(ui.ProgressCount(), 1u);
    EXPECT_EQ(ui.LastProgress().creationTitle, u"Exporting emails in a HTML file...");
    EXPECT_TRUE(ui.LastProgress().destroyed);
}

TEST_F(AllInOneTest, FailuresAreReportedOnce) {
    OpenDated();
    CAllInOneRequest r = Request(kList);
    r.templatePath = temp.WidePath("none.html");
    EXPECT_FALSE(ExportAllInOne(session, r));
    EXPECT_FALSE(std::filesystem::exists(temp.Path("all.html")));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kTemplateOpenError);

    // An empty template: nothing created, nothing said.
    r = Request("");
    EXPECT_FALSE(ExportAllInOne(session, r));
    EXPECT_FALSE(std::filesystem::exists(temp.Path("all.html")));
    EXPECT_EQ(ui.messages.size(), 1u);

    r = Request(kList);
    r.outputFile = temp.WidePath("no/such/folder/all.html");
    EXPECT_FALSE(ExportAllInOne(session, r));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, WriteErrorText(r.outputFile));
    EXPECT_EQ(ui.messages[1].caption, u"Error");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Error);
    EXPECT_EQ(ui.ProgressCount(), 0u);
}

TEST_F(AllInOneTest, NoSelectionLeavesAnEmptyFile) {
    OpenDated();
    WriteWholeFile(temp.Path("all.html"), "old content");
    SelectAll(false);
    EXPECT_FALSE(ExportAllInOne(session, Request(kList)));
    EXPECT_TRUE(std::filesystem::exists(temp.Path("all.html")));
    EXPECT_EQ(Output(), "");
    EXPECT_TRUE(ui.messages.empty());
}

// The templates that ship with the program.

std::string ShippedTemplate(std::string_view name) {
    return ReadWholeFile(std::filesystem::path(QUILLBOX_TEMPLATE_DIR) / name);
}

TEST_F(AllInOneTest, ShippedTemplatesShowEveryMessage) {
    dbxw::Message one = Raw("Subject: First one\r\nFrom: \"Ann\"\r\n", "Hello <there>\r\n");
    one.recipientName = "Bob";
    one.recipientAddress = "bob@x.org";
    dbxw::Message two =
        Raw(std::string(kAlternative) + "From: Cy\r\n", std::string(kAlternativeBody));
    OpenMailbox({one, two});

    const std::string html = ShippedTemplate("html_style1.html");
    ASSERT_FALSE(html.empty());
    EXPECT_EQ(FindTemplateCharset(html), 65001u);
    EXPECT_NE(html.find("Content-Security-Policy"), std::string::npos);
    CAllInOneRequest r = Request(html);
    r.sortBy = 0;
    r.title = u"Archive \u00e9";
    EXPECT_TRUE(ExportAllInOne(session, r));
    const std::string page = Output();
    EXPECT_NE(page.find("Archive \xC3\xA9"), std::string::npos);
    EXPECT_NE(page.find("First one"), std::string::npos);
    EXPECT_NE(page.find("<pre>Hello &lt;there&gt;"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"mailto:bob@x.org\">Bob</a>"), std::string::npos);
    EXPECT_NE(page.find("<b>Rich</b> words"), std::string::npos);
    EXPECT_EQ(page.find("%%%"), std::string::npos);
    EXPECT_LT(page.find("First one"), page.find("<b>Rich</b>"));

    const std::string text = ShippedTemplate("simple_text_file.txt");
    ASSERT_FALSE(text.empty());
    r = Request(text);
    r.sortBy = 0;
    r.textOutput = true;
    EXPECT_TRUE(ExportAllInOne(session, r));
    const std::string plain = Output();
    EXPECT_NE(plain.find("First one"), std::string::npos);
    EXPECT_NE(plain.find("Hello <there>"), std::string::npos);
    EXPECT_NE(plain.find("Plain words"), std::string::npos);
    EXPECT_EQ(plain.find("%%%"), std::string::npos);
}

}  // namespace
