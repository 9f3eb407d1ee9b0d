#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/diag_log.h"
#include "platform/large_alloc.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "support/memory_settings.h"
#include "support/recording_ui.h"

namespace {

using ::testing::ElementsAre;

// ---- paths

// Lists grow from ordinary memory into mapped memory and back as they change size; what
// they hold must survive every move.
TEST(LargeVector, KeepsItsValuesAcrossTheSizeWhereItsMemoryChangesKind) {
    LargeVector<std::uint32_t> values;
    const std::size_t past = 3 * kLargeAllocationBytes / sizeof(std::uint32_t);
    for (std::uint32_t i = 0; i < past; ++i) {
        values.push_back(i * 2654435761u);
    }
    LargeVector<std::uint32_t> copy = values;
    values.resize(10);
    values.shrink_to_fit();
    ASSERT_EQ(copy.size(), past);
    for (std::uint32_t i = 0; i < past; i += 4099) {
        ASSERT_EQ(copy[i], i * 2654435761u) << i;
    }
    EXPECT_EQ(values[9], 9 * 2654435761u);
    const LargeVector<std::uint8_t> zeros(kLargeAllocationBytes * 2 + 3);
    EXPECT_EQ(std::count(zeros.begin(), zeros.end(), 0), std::ptrdiff_t(zeros.size()));
    EXPECT_EQ(AllocateLarge(0), nullptr);
}

TEST(Paths, WideAndFileSystemFormsAreUtf8) {
    const std::filesystem::path path = PathFromWide(u"/tmp/\u00E4rger/\u65E5.eml");
    EXPECT_EQ(path.native(), "/tmp/\xC3\xA4rger/\xE6\x97\xA5.eml");
    EXPECT_EQ(WideFromPath(path), u"/tmp/\u00E4rger/\u65E5.eml");
    EXPECT_EQ(WideFromPath(std::filesystem::path("bad\xFF")), u"bad\uFFFD");
}

TEST(Paths, ModuleFolderHoldsThisProgram) {
    const std::u16string folder = GetModuleFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'/');
    EXPECT_TRUE(std::filesystem::exists(PathFromWide(folder + u"test_platform")));
}

TEST(Paths, WithTrailingSeparator) {
    EXPECT_EQ(WithTrailingSeparator(u"/home/me/out"), u"/home/me/out/");
    EXPECT_EQ(WithTrailingSeparator(u"/home/me/out/"), u"/home/me/out/");
    EXPECT_EQ(WithTrailingSeparator(u"C:\\out\\/\\"), u"C:\\out/");
    EXPECT_EQ(WithTrailingSeparator(u"/"), u"/");
    EXPECT_EQ(WithTrailingSeparator(u""), u"/");
}

// ---- diagnostic log

class DiagLogTest : public ::testing::Test {
protected:
    void TearDown() override { SetDiagLogToStderr(false); }
};

TEST_F(DiagLogTest, DiscardsByDefault) {
    EXPECT_FALSE(IsDiagLogEnabled());
    ::testing::internal::CaptureStderr();
    DiagLog("node at 0x1234 has a wrong self offset");
    DiagLogF("block %d", 7);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(DiagLogTest, EnabledWritesOneLinePerMessage) {
    SetDiagLogToStderr(true);
    EXPECT_TRUE(IsDiagLogEnabled());
    ::testing::internal::CaptureStderr();
    DiagLog("first");
    DiagLog("second\n");
    DiagLogF("record %u at offset 0x%X", 3u, 0x1F0u);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "first\nsecond\nrecord 3 at offset 0x1F0\n");
}

TEST_F(DiagLogTest, NothingIsFormattedWhileDiscarding) {
    // %n writes how far formatting got: untouched means no formatting ran.
    int reached = -1;
    DiagLogF("abc%n", &reached);
    EXPECT_EQ(reached, -1);
    SetDiagLogToStderr(true);
    ::testing::internal::CaptureStderr();
    DiagLogF("abc%n", &reached);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reached, 3);
}

// ---- progress helpers

TEST(ProgressPercent, RoundsAndGuardsTheRange) {
    EXPECT_EQ(ProgressPercent(1, 0, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 0, 3), 67);
    EXPECT_EQ(ProgressPercent(3, 0, 3), 100);
    EXPECT_EQ(ProgressPercent(50, 0, 100), 50);
    EXPECT_EQ(ProgressPercent(1, 0, 200), 1);      // 0.5 rounds up
    EXPECT_EQ(ProgressPercent(199, 0, 200), 100);  // 99.5 rounds up
    EXPECT_EQ(ProgressPercent(0, -10, 10), 50);
    EXPECT_EQ(ProgressPercent(7, 0, 0), 0);
    EXPECT_EQ(ProgressPercent(7, 5, 5), 0);
    EXPECT_EQ(ProgressPercent(1, 3, 0), 0);
    EXPECT_EQ(ProgressPercent(INT_MAX, INT_MIN, INT_MAX), 100);  // no overflow
}

TEST(ProgressTitle, AppendsThePercentage) {
    EXPECT_EQ(ProgressTitle(u"Scanning threads...", 33), u"Scanning threads... [33%]");
    EXPECT_EQ(ProgressTitle(u"Export attached files...", 0), u"Export attached files... [0%]");
    EXPECT_EQ(ProgressTitle(u"", 100), u" [100%]");
}

TEST(FormatText, FormatsAndBoundsTheText) {
    EXPECT_EQ(FormatText("%i emails scanned", 120), u"120 emails scanned");
    EXPECT_EQ(FormatText("%s", "caf\xC3\xA9"), u"caf\u00E9");
    const std::string longText(700, 'x');
    const std::u16string cut = FormatText("%s!", longText.c_str());
    EXPECT_EQ(cut, std::u16string(IProgress::kMaxStatusText, u'x'));
    // A character outside the BMP that would straddle the bound is dropped whole.
    const std::string almost(IProgress::kMaxStatusText - 1, 'a');
    const std::u16string pair = FormatText("%s\xF0\x9F\x98\x80", almost.c_str());
    EXPECT_EQ(pair, std::u16string(IProgress::kMaxStatusText - 1, u'a'));
    EXPECT_EQ(CutStatusText(u"short"), u"short");
}

// ---- in-memory settings

TEST(MemorySettings, MissingValuesReadAsDefaults) {
    CMemorySettings settings;
    EXPECT_EQ(settings.ReadInt(u"Config", u"Format", 1), 1);
    EXPECT_EQ(settings.ReadString(u"Config", u"LastFolderOut"), u"");
    EXPECT_EQ(settings.ReadString(u"Config", u"HtmlTemplate", u"fallback"), u"fallback");
    EXPECT_EQ(settings.Size(), 0u);
}

TEST(MemorySettings, SectionsAndKeysIgnoreAsciiCase) {
    CMemorySettings settings;
    EXPECT_TRUE(settings.WriteInt(u"Settings", u"X", 120));
    EXPECT_EQ(settings.ReadInt(u"SETTINGS", u"x", -1), 120);
    EXPECT_TRUE(settings.WriteInt(u"settings", u"x", 7));
    EXPECT_EQ(settings.ReadInt(u"Settings", u"X", -1), 7);
    EXPECT_EQ(settings.Size(), 1u);
    EXPECT_EQ(settings.ReadInt(u"Config", u"X", -1), -1);  // other section
    // Only ASCII folds: a non-ASCII key stays distinct from its capital form.
    EXPECT_TRUE(settings.WriteString(u"Config", u"\u00E9", u"small"));
    EXPECT_FALSE(settings.Has(u"Config", u"\u00C9"));
}

TEST(MemorySettings, IntegersAndStringsAreKeptApart) {
    CMemorySettings settings;
    EXPECT_TRUE(settings.WriteString(u"Config", u"Format", u"2"));
    EXPECT_EQ(settings.ReadInt(u"Config", u"Format", 1), 1);
    EXPECT_EQ(settings.StringValue(u"Config", u"Format"), u"2");
    EXPECT_FALSE(settings.IntValue(u"Config", u"Format").has_value());

    EXPECT_TRUE(settings.WriteInt(u"Config", u"LastFileOut", 5));
    EXPECT_EQ(settings.ReadString(u"Config", u"LastFileOut", u"none"), u"none");
    EXPECT_EQ(settings.IntValue(u"Config", u"LastFileOut"), 5);

    // A write replaces the kind too.
    EXPECT_TRUE(settings.WriteInt(u"Config", u"Format", 3));
    EXPECT_EQ(settings.ReadInt(u"Config", u"Format", 1), 3);
    EXPECT_EQ(settings.WriteCount(), 3);
}

TEST(MemorySettings, FailingWritesChangeNothing) {
    CMemorySettings settings;
    ASSERT_TRUE(settings.WriteInt(u"Settings", u"Y", 10));
    settings.SetFailWrites(true);
    EXPECT_FALSE(settings.WriteInt(u"Settings", u"Y", 20));
    EXPECT_FALSE(settings.WriteString(u"Config", u"HtmlFileTitle", u"t"));
    EXPECT_EQ(settings.ReadInt(u"Settings", u"Y", -1), 10);
    EXPECT_FALSE(settings.Has(u"Config", u"HtmlFileTitle"));
    settings.Clear();
    EXPECT_EQ(settings.Size(), 0u);
}

// ---- recording UI

TEST(RecordingUi, RecordsEveryBoxInOrder) {
    CRecordingUi ui;
    EXPECT_EQ(ui.MessageBox(u"Cannot open file", kErrorCaption, MsgIcon::Error, MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(ui.MessageBox(u"Done.", kAppName, MsgIcon::None, MsgButtons::Ok), MsgAnswer::Ok);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, u"Cannot open file");
    EXPECT_EQ(ui.messages[0].caption, u"Error");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(ui.messages[1].caption, u"Korvane Quillbox");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::None);
    EXPECT_THAT(ui.MessageTexts(), ElementsAre(u"Cannot open file", u"Done."));
    EXPECT_EQ(ui.DefaultAnswersUsed(), 0);  // Ok boxes are not questions
}

TEST(RecordingUi, QuestionsFollowTheScriptThenTheDefault) {
    CRecordingUi ui;
    ui.QueueAnswers({MsgAnswer::No, MsgAnswer::Cancel});
    ui.QueueAnswer(MsgAnswer::Ok);
    // An Ok box in between takes nothing from the script.
    ui.MessageBox(u"notice", kAppName, MsgIcon::None, MsgButtons::Ok);
    EXPECT_EQ(ui.MessageBox(u"q1", kAppName, MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"q2", kAppName, MsgIcon::Question, MsgButtons::YesNoCancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(ui.MessageBox(u"q3", kAppName, MsgIcon::Warning, MsgButtons::OkCancel),
              MsgAnswer::Ok);
    EXPECT_EQ(ui.PendingAnswers(), 0u);
    EXPECT_EQ(ui.DefaultAnswersUsed(), 0);

    EXPECT_EQ(ui.MessageBox(u"q4", kAppName, MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::Yes);
    EXPECT_EQ(ui.MessageBox(u"q5", kAppName, MsgIcon::Question, MsgButtons::OkCancel),
              MsgAnswer::Ok);
    ui.SetDefaultQuestionAnswer(MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"q6", kAppName, MsgIcon::Question, MsgButtons::YesNoCancel),
              MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"q7", kAppName, MsgIcon::Question, MsgButtons::OkCancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(ui.DefaultAnswersUsed(), 4);
    ASSERT_EQ(ui.messages.size(), 8u);
    EXPECT_EQ(ui.messages[2].answer, MsgAnswer::Cancel);
    EXPECT_EQ(ui.messages[2].buttons, MsgButtons::YesNoCancel);
}

TEST(RecordingProgress, TitleChangesOnlyWithThePercentage) {
    CRecordingUi ui;
    {
        auto progress = ui.CreateProgress(u"Scanning threads...", false);
        progress->SetRange(0, 3, 1);
        EXPECT_TRUE(progress->Begin(u"Progress", false));
        EXPECT_EQ(progress->SetPosition(0), 0);
        EXPECT_EQ(progress->SetPosition(1), 0);
        EXPECT_EQ(progress->SetPosition(1), 1);
        EXPECT_EQ(progress->SetPosition(2), 1);
        EXPECT_EQ(ui.LastProgress().lastPercent, 67);
    }
    const CProgressRecord& rec = ui.Progress(0);
    EXPECT_TRUE(rec.destroyed);
    EXPECT_EQ(rec.creationTitle, u"Scanning threads...");
    EXPECT_THAT(rec.beginTitles, ElementsAre(u"Progress"));
    EXPECT_THAT(rec.ranges, ElementsAre(ProgressRange{0, 3, 1}));
    EXPECT_THAT(rec.positions, ElementsAre(0, 1, 1, 2));
    EXPECT_THAT(rec.titles, ElementsAre(u"Scanning threads...", u"Scanning threads... [33%]",
                                        u"Scanning threads... [67%]"));
}

TEST(RecordingProgress, EmptyRangeStaysAtZeroPercent) {
    CRecordingUi ui;
    auto progress = ui.CreateProgress(u"Scanning emails...", false);
    progress->SetRange(0, 0, 1);
    progress->SetPosition(5);
    progress->SetPosition(10);
    EXPECT_THAT(ui.LastProgress().titles, ElementsAre(u"Scanning emails..."));
}

TEST(RecordingProgress, PositionIsClampedToTheRangeLikeTheBar) {
    CRecordingUi ui;
    auto progress = ui.CreateProgress(u"t", false);
    progress->SetRange(0, 10, 1);
    progress->SetPosition(25);
    EXPECT_EQ(progress->SetPosition(3), 10);
    EXPECT_EQ(ui.LastProgress().lastPosition, 3);
}

TEST(RecordingProgress, ClearProgressResetsTextPositionAndCancel) {
    CRecordingUi ui;
    ui.SetCancelAfterPumps(2);
    auto progress = ui.CreateProgress(u"Exporting emails in a HTML file...", false);
    progress->SetRange(0, 100, 1);
    progress->Begin(u"Progress", false);
    progress->SetPosition(10);
    progress->SetStatusText(u"1 emails exported.");
    progress->PumpMessages(true);
    EXPECT_FALSE(progress->IsCancelled());
    progress->PumpMessages(true);
    EXPECT_TRUE(progress->IsCancelled());
    progress->PumpMessages(true);  // stays cancelled, not cancelled twice
    EXPECT_TRUE(progress->IsCancelled());

    progress->ClearProgress();
    const CProgressRecord& rec = ui.LastProgress();
    EXPECT_FALSE(progress->IsCancelled());
    EXPECT_EQ(rec.statusText, u"");
    EXPECT_EQ(rec.lastPosition, 0);
    EXPECT_EQ(rec.cancelledAtPump, 2);
    EXPECT_EQ(rec.pumpCount, 3);
    EXPECT_EQ(rec.pumpWithEscapeCount, 3);
    EXPECT_EQ(rec.clearCount, 1);
    EXPECT_EQ(rec.title, u"Exporting emails in a HTML file... [0%]");
    EXPECT_THAT(rec.statusTexts, ElementsAre(u"1 emails exported."));
    EXPECT_THAT(rec.events,
                ElementsAre("Create Exporting emails in a HTML file...", "SetRange 0 100 1",
                            "Begin Progress", "SetPosition 10", "Status 1 emails exported.",
                            "Pump escape", "Pump escape", "Cancelled", "Pump escape", "Clear"));

    // At 0 percent already, clearing adds no title.
    const std::size_t titles = rec.titles.size();
    progress->ClearProgress();
    EXPECT_EQ(rec.titles.size(), titles);
    EXPECT_EQ(progress->SetPosition(0), 0);
}

TEST(RecordingProgress, EachProgressHasItsOwnRecordAndCancelCount) {
    CRecordingUi ui;
    ui.SetCancelAfterPumps(1);
    auto first = ui.CreateProgress(u"a", true);
    auto second = ui.CreateProgress(u"b", false);
    first->PumpMessages(false);
    EXPECT_TRUE(first->IsCancelled());
    EXPECT_FALSE(second->IsCancelled());
    first.reset();
    second->SetStatusText(std::u16string(600, u'z'));
    ASSERT_EQ(ui.ProgressCount(), 2u);
    EXPECT_TRUE(ui.Progress(0).destroyed);
    EXPECT_TRUE(ui.Progress(0).creationSmooth);
    EXPECT_EQ(ui.Progress(0).pumpWithEscapeCount, 0);
    EXPECT_FALSE(ui.Progress(1).destroyed);
    EXPECT_EQ(ui.Progress(1).statusText.size(), IProgress::kMaxStatusText);
}

}  // namespace
