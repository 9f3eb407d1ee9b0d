#include "platform/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/progress_stepper.h"
#include "support/recording_ui.h"

namespace {

using ::testing::ElementsAre;

TEST(TextToolkit, CutAtZeroKeepsWhatACStringWouldBe) {
    EXPECT_EQ(CutAtZero(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(CutAtZero(std::string("\0x", 2)), "");
    EXPECT_EQ(CutAtZero("whole"), "whole");
    EXPECT_EQ(CutAtZero(std::u16string(u"ab\0cd", 5)), u"ab");
    EXPECT_EQ(CutAtZero(std::u16string_view()), u"");
}

TEST(TextToolkit, CaseFoldingTouchesOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsNoCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
    // '@' and '`' sit next to the letters; Latin-1 letters are not folded.
    EXPECT_FALSE(EqualsNoCase("@", "`"));
    EXPECT_FALSE(EqualsNoCase("\xC9", "\xE9"));
    EXPECT_FALSE(EqualsNoCase(u"\u00C9t\u00E9", u"\u00E9T\u00E9"));
    EXPECT_TRUE(EqualsNoCase(u"UTF-8", std::string_view("utf-8")));
    // A unit above 255 never equals the byte it would be cut to.
    EXPECT_FALSE(EqualsNoCase(u"\u0161", std::string_view("a")));
    EXPECT_TRUE(StartsWithNoCase("TEXT/plain", "text"));
    EXPECT_FALSE(StartsWithNoCase("te", "text"));
    EXPECT_EQ(AsciiUpper('q'), 'Q');
    EXPECT_EQ(AsciiLower(u'Q'), u'q');
    EXPECT_EQ(AsciiLowered("Inbox.DBX @[Z]"), "inbox.dbx @[z]");
    EXPECT_EQ(AsciiLowered(u"\u00C9T\u00C9 Sent"), u"\u00C9t\u00C9 sent");
    EXPECT_TRUE(StartsWithNoCase(u"HTTPS://x", u"https://"));
    EXPECT_FALSE(StartsWithNoCase(u"http", u"https://"));
    EXPECT_TRUE(EndsWithNoCase(u"Inbox.DBX", u".dbx"));
    EXPECT_FALSE(EndsWithNoCase(u"Inbox.dbx~", u".dbx"));
    EXPECT_FALSE(EndsWithNoCase(u"bx", u".dbx"));
}

TEST(TextToolkit, CompareNoCaseOrdersFoldedUnitsOfBothWidths) {
    EXPECT_EQ(CompareNoCase(u"koi8-R", u"KOI8-r"), 0);
    EXPECT_LT(CompareNoCase(u"big5", u"Windows-1252"), 0);
    EXPECT_GT(CompareNoCase(u"z", u"A"), 0);
    EXPECT_LT(CompareNoCase(u"ab", u"abc"), 0);
    EXPECT_GT(CompareNoCase(u"\u00E9", u"z"), 0);  // unsigned units
    EXPECT_EQ(CompareNoCase(std::u16string(u"x\0y", 3), u"X"), 0);
    EXPECT_LT(CompareNoCase("_", "a"), 0);  // folded to lower case, '_' comes first
}

TEST(TextToolkit, FindNoCaseFromAPosition) {
    const std::string_view text = "Content-Type: text/HTML; charset=UTF-8";
    EXPECT_EQ(FindNoCase(text, "html"), 19u);
    EXPECT_EQ(FindNoCase(text, "T", 1), 3u);
    EXPECT_EQ(FindNoCase(text, "CHARSET=utf-8", 20), 25u);
    EXPECT_EQ(FindNoCase(text, "charset", 26), std::string_view::npos);
    EXPECT_EQ(FindNoCase(text, "", 5), 5u);
    EXPECT_EQ(FindNoCase(text, "", text.size()), text.size());
    EXPECT_EQ(FindNoCase(text, "x", text.size() + 1), std::string_view::npos);
    EXPECT_EQ(FindNoCase("ab", "abc"), std::string_view::npos);
    // The same in UTF-16, where a unit above 255 matches only itself.
    EXPECT_EQ(FindNoCase(u"color: red; BEHAVIOR: x", u"behavior"), 12u);
    EXPECT_EQ(FindNoCase(u"\u0161rc", u"src"), std::u16string_view::npos);
    EXPECT_EQ(FindNoCase(u"a\u0161B", u"\u0161b", 1), 1u);
    EXPECT_EQ(FindNoCase(u"ab", u"b", 3), std::u16string_view::npos);
}

TEST(TextToolkit, Utf8CutsNeverSplitACharacter) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    EXPECT_EQ(Utf8CharCount(text), 5u);
    EXPECT_EQ(Utf8CutChars(text, 0), "");
    EXPECT_EQ(Utf8CutChars(text, 2), "a\xC3\xA9");
    EXPECT_EQ(Utf8CutChars(text, 4), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8CutChars(text, 5), text);
    EXPECT_EQ(Utf8CutChars(text, 50), text);
    EXPECT_EQ(Utf8CharCount(""), 0u);
}

TEST(ProgressStepper, OpensStepsAndClearsTheWindow) {
    CRecordingUi ui;
    {
        CProgressStepper stepper(ui, u"Export attached files...", false);
        EXPECT_TRUE(stepper.Step(1, 3, u"1 attached files exported."));
        stepper.Show(0, 0, u"none");  // no total: the bar stays at 0
        EXPECT_TRUE(stepper.Pump());
        stepper.Clear();
    }
    const CProgressRecord& rec = ui.Progress(0);
    EXPECT_TRUE(rec.destroyed);
    EXPECT_FALSE(rec.creationSmooth);
    EXPECT_THAT(rec.events,
                ElementsAre("Create Export attached files...", "SetRange 0 100 1", "Begin Progress",
                            "SetPosition 33", "Status 1 attached files exported.", "Pump escape",
                            "SetPosition 0", "Status none", "Pump escape", "Clear", "Destroy"));
}

TEST(ProgressStepper, ReportsTheCancelAndCountsWithoutOverflow) {
    CRecordingUi ui;
    ui.SetCancelAfterPumps(2);
    CProgressStepper stepper(ui, u"t", true);
    const std::uint64_t huge = std::uint64_t{1} << 40;
    EXPECT_TRUE(stepper.Step(huge / 2, huge, u"half"));
    EXPECT_FALSE(stepper.Step(huge, huge, u"all"));
    EXPECT_FALSE(stepper.Pump());
    EXPECT_TRUE(ui.LastProgress().creationSmooth);
    EXPECT_THAT(ui.LastProgress().positions, ElementsAre(50, 100));
}

}  // namespace
