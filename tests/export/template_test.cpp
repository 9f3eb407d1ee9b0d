// The template engine: reading a template, the placeholder language, repetition of the
// per-message block, the current-message rule, progress and cancel, and the text helpers.
#include "export/template.h"

#include <gtest/gtest.h>

#include "export/template_charset.h"
#include "export/template_keys.h"
#include "html_export_fixture.h"
#include "platform/file_time.h"

namespace {

class TemplateTest : public HtmlExportTest {
protected:
    void OpenAbc() { OpenMailbox({Mail("A"), Mail("B"), Mail("C")}); }
};

constexpr std::string_view kBlockTemplate =
    "H[%%%EMAIL_START%%%<%%%SUBJECT%%%>%%%NEXT_EMAIL%%%]F%%%SUBJECT%%%.";

TEST_F(TemplateTest, TextWithoutMarkersIsCopiedOnce) {
    OpenAbc();
    const std::string text = "<p>100% plain, 50%% off</p>\r\n";
    bool ok = false;
    EXPECT_EQ(Expand(text, 65001, u"T", false, &ok), text);
    EXPECT_TRUE(ok);
}

TEST_F(TemplateTest, KeysIgnoreCaseAndUnknownKeysVanish) {
    OpenAbc();
    EXPECT_EQ(Expand("[%%%title%%%|%%%Title%%%|%%%FOO%%%|%%%subject%%%]", 65001, u"T"), "[T|T||A]");
}

TEST_F(TemplateTest, MarkersAtTheEndOfTheTemplate) {
    OpenAbc();
    // An opening marker without its closing one swallows the rest.
    EXPECT_EQ(Expand("head %%%SUBJ"), "head ");
    EXPECT_EQ(Expand("head %%%TITLE%%"), "head ");
    // Two percent signs are no marker.
    EXPECT_EQ(Expand("50%%"), "50%%");
    // A marker ending the template opens an empty key that never closes.
    EXPECT_EQ(Expand("a%%%"), "a");
    // A key is at least one byte: six percent signs open a key and never close it.
    EXPECT_EQ(Expand("x%%%%%%y"), "x");
    // A seventh makes the key "%" (unknown) and closes it.
    EXPECT_EQ(Expand("x%%%%%%%y"), "xy");
}

TEST_F(TemplateTest, BlockRepeatsForEachSelectedEntryAndFooterHasNoMessage) {
    OpenAbc();
    bool ok = false;
    EXPECT_EQ(Expand(kBlockTemplate, 65001, u"T", false, &ok), "H[<A><B><C>]F.");
    EXPECT_TRUE(ok);

    Entry(1).m_bSelected = false;
    EXPECT_EQ(Expand(kBlockTemplate), "H[<A><C>]F.");

    // Keys of the title and the date do not need a message: they still work in the footer.
    EXPECT_EQ(Expand("%%%EMAIL_START%%%%%%SUBJECT%%%%%%NEXT_EMAIL%%%|%%%TITLE%%%", 65001, u"End"),
              "AC|End");
}

TEST_F(TemplateTest, KeysBeforeTheBlockShowTheFirstSelectedEntry) {
    OpenAbc();
    Entry(0).m_bSelected = false;
    EXPECT_EQ(Expand("(%%%SUBJECT%%%)%%%EMAIL_START%%%<%%%SUBJECT%%%>%%%NEXT_EMAIL%%%"),
              "(B)<B><C>");
}

TEST_F(TemplateTest, NextEmailWithoutBlockShowsSuccessiveMessages) {
    OpenAbc();
    const std::string_view text =
        "%%%SUBJECT%%%|%%%NEXT_EMAIL%%%%%%SUBJECT%%%|%%%NEXT_EMAIL%%%%%%SUBJECT%%%|"
        "%%%NEXT_EMAIL%%%%%%SUBJECT%%%|%%%NEXT_EMAIL%%%end";
    EXPECT_EQ(Expand(text), "A|B|C||end");
}

TEST_F(TemplateTest, NothingIsWrittenWithoutSelectionOrTemplate) {
    OpenAbc();
    SelectAll(false);
    bool ok = true;
    EXPECT_EQ(Expand(kBlockTemplate, 65001, u"T", true, &ok), "");
    EXPECT_FALSE(ok);
    // The progress window opened for the run is closed again.
    ASSERT_EQ(ui.ProgressCount(), 1u);
    EXPECT_TRUE(ui.LastProgress().destroyed);

    SelectAll(true);
    ok = true;
    EXPECT_EQ(Expand("", 65001, u"T", false, &ok), "");
    EXPECT_FALSE(ok);
}

TEST_F(TemplateTest, ProgressCountsMessagesAtEachNextEmail) {
    OpenAbc();
    bool ok = false;
    Expand(kBlockTemplate, 65001, u"T", true, &ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(ui.ProgressCount(), 1u);
    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, kExpandProgressTitle);
    EXPECT_EQ(p.beginTitles, std::vector<std::u16string>{u"Progress"});
    EXPECT_EQ(p.ranges, (std::vector<ProgressRange>{{0, 100, 1}}));
    EXPECT_EQ(p.positions, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(p.statusTexts,
              (std::vector<std::u16string>{u"1 emails exported.", u"2 emails exported.",
                                           u"3 emails exported."}));
    EXPECT_EQ(p.pumpWithEscapeCount, 3);
    EXPECT_EQ(p.clearCount, 1);
    EXPECT_TRUE(p.destroyed);
}

TEST_F(TemplateTest, CancelStopsAtTheNextEmailAndKeepsWhatWasWritten) {
    OpenAbc();
    ui.SetCancelAfterPumps(2);
    bool ok = true;
    EXPECT_EQ(Expand(kBlockTemplate, 65001, u"T", true, &ok), "H[<A><B>");
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ui.LastProgress().destroyed);
    EXPECT_EQ(ui.LastProgress().clearCount, 0);
}

TEST_F(TemplateTest, UnreadableMessageReportsAtEachKeyAndEntryKeysStillWork) {
    dbxw::Message lost;
    lost.subject = "Stored";
    lost.sent = dbxw::FileTimeFromUtc(2009, 3, 16, 14, 5);
    lost.senderAddress = "lost@example.org";
    OpenMailbox({lost, Mail("B")});

    const std::string out = Expand(
        "%%%EMAIL_START%%%[%%%SUBJECT%%%|%%%DATE_SENT%%%|%%%SENDER_EMAIL%%%|%%%EMAIL_RAW%%%|"
        "%%%TEXT_CONTENT%%%]%%%NEXT_EMAIL%%%");
    EXPECT_EQ(out.substr(0, out.find(']') + 1), "[Stored|2009-03-16 14:05|lost@example.org||]");
    EXPECT_NE(out.find("[B|"), std::string::npos);
    // One box per key met while the lost message was current: EMAIL_START, five keys and
    // NEXT_EMAIL.
    ASSERT_EQ(ui.messages.size(), 7u);
    for (const RecordedMessageBox& box : ui.messages) {
        EXPECT_EQ(box.text, kMessageReadError);
        EXPECT_EQ(box.caption, u"Error");
        EXPECT_EQ(box.icon, MsgIcon::Error);
    }
}

TEST_F(TemplateTest, CurrentDateIsTheLocalDateInAscii) {
    OpenAbc();
    SetLocalClock([] {
        SystemTime t;
        t.wYear = 2009;
        t.wMonth = 3;
        t.wDayOfWeek = 1;
        t.wDay = 16;
        t.wHour = 10;
        return t;
    });
    const std::string out = Expand("%%%CURRENT_DATE%%%");
    const std::u16string expected = FormatCurrentDate();
    SetLocalClock({});
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out.ends_with(", 2009-03-16")) << out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i], expected[i] < 128 ? char(expected[i]) : ' ');
    }
}

// Reading templates.

TEST_F(TemplateTest, ReadTemplateLoadsTheBytes) {
    const std::string text = std::string("<p>%%%TITLE%%%</p>\0tail", 23);
    CTemplate tpl;
    ASSERT_TRUE(ReadTemplate(TemplateFile(text), tpl, ui));
    EXPECT_EQ(tpl.m_nSize, 23);
    EXPECT_EQ(tpl.GetView(), text);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TemplateTest, ReadTemplateFailures) {
    CTemplate tpl;
    tpl.SetData("old");
    EXPECT_FALSE(ReadTemplate(temp.WidePath("missing.html"), tpl, ui));
    EXPECT_EQ(tpl.m_nSize, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kTemplateOpenError);
    EXPECT_EQ(ui.messages[0].caption, u"Error");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);

    // An empty file fails without a word.
    EXPECT_FALSE(ReadTemplate(TemplateFile(""), tpl, ui));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(tpl.m_pData, nullptr);
}

// Key names.

TEST(TemplateKeys, NamesCompareWithoutCase) {
    EXPECT_EQ(FindTemplateKey("TEXT_OR_HTML_CONTENT"), TemplateKey::TextOrHtmlContent);
    EXPECT_EQ(FindTemplateKey("email_start"), TemplateKey::EmailStart);
    EXPECT_EQ(FindTemplateKey("Receivers_Html"), TemplateKey::ReceiversHtml);
    EXPECT_EQ(FindTemplateKey("SUBJECT "), TemplateKey::Unknown);
    EXPECT_EQ(FindTemplateKey(""), TemplateKey::Unknown);
    EXPECT_EQ(FindTemplateKey(std::string_view("TITLE\0", 6)), TemplateKey::Unknown);
}

// Charset of a template.

TEST(FindTemplateCharset, FindsTheDeclaredCodePage) {
    EXPECT_EQ(FindTemplateCharset(
                  R"(<meta http-equiv="Content-Type" content="text/html; charset=utf-8">)"),
              65001u);
    EXPECT_EQ(FindTemplateCharset(R"(<meta charset="iso-8859-2">)"), 28592u);
    EXPECT_EQ(FindTemplateCharset("charset=KOI8-R;\n"), 20866u);
    EXPECT_EQ(FindTemplateCharset("<p>no declaration</p>"), 0u);
    // A value with nothing after it, and a name no row carries.
    EXPECT_EQ(FindTemplateCharset("charset=utf-8"), 0u);
    EXPECT_EQ(FindTemplateCharset("charset=klingon\""), 0u);
    // Case counts for the key.
    EXPECT_EQ(FindTemplateCharset("CHARSET=utf-8\""), 0u);
    // 100 bytes are a value; 101 are too long to be one.
    EXPECT_EQ(FindTemplateCharset("charset=" + std::string(100, 'x') + "\""), 0u);
    // The quoted form is looked for first.
    EXPECT_EQ(FindTemplateCharset("charset=koi8-r; charset=\"utf-8\""), 65001u);
}

// Text helpers.

TEST(NarrowAscii, ReplacesNonAsciiAndAlwaysTerminates) {
    EXPECT_EQ(NarrowAscii(u"\u00c9t\u00e9 \u20ac!", '?'), "?t? ?!");
    EXPECT_EQ(NarrowAscii(u"", ' '), "");

    char buffer[4] = {'x', 'x', 'x', 'x'};
    NarrowAscii(u"abcdef", buffer, sizeof buffer, ' ');
    EXPECT_EQ(std::string(buffer), "abc");
    NarrowAscii(u"abcdef", buffer, 1, ' ');
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'x';
    NarrowAscii(u"abcdef", buffer, 0, ' ');
    EXPECT_EQ(buffer[0], 'x');
}

// TITLE is the one key written as UTF-8, whatever the export's code page.
TEST(TitleKeyText, EncodesEveryPlaneAndReplacesLoneSurrogates) {
    EXPECT_EQ(TitleKeyText(u"A\u00e9\u20ac"), "A\xC3\xA9\xE2\x82\xAC");
    // A surrogate pair is one character; a lone surrogate, high or low, is none.
    EXPECT_EQ(TitleKeyText(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(TitleKeyText(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(TitleKeyText(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
    EXPECT_EQ(TitleKeyText(std::u16string(1, char16_t(0xDBFF))), "\xEF\xBF\xBD");
    EXPECT_EQ(TitleKeyText(u""), "");
}

}  // namespace
