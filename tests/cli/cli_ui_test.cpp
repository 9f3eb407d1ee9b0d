#include "cli/cli_ui_services.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

namespace {

TEST(CliMessageBox, WritesCaptionAndTextAsOneLine) {
    std::ostringstream out;
    CCliUi ui(out, false);
    EXPECT_EQ(
        ui.MessageBox(u"Cannot open the file.", kErrorCaption, MsgIcon::Error, MsgButtons::Ok),
        MsgAnswer::Ok);
    EXPECT_EQ(
        ui.MessageBox(u"12 threads found.\r\nDone \u00E9", kAppName, MsgIcon::None, MsgButtons::Ok),
        MsgAnswer::Ok);
    EXPECT_EQ(out.str(),
              "Error: Cannot open the file.\n"
              "Korvane Quillbox: 12 threads found.\r\nDone \xC3\xA9\n");
}

TEST(CliMessageBox, QuestionsGetTheDefaultsAndSayWhich) {
    std::ostringstream out;
    CCliUi ui(out, false);
    EXPECT_EQ(ui.MessageBox(u"Remove them?", kAppName, MsgIcon::Question, MsgButtons::YesNo),
              MsgAnswer::Yes);
    EXPECT_EQ(ui.MessageBox(u"Go on?", kAppName, MsgIcon::Question, MsgButtons::YesNoCancel),
              MsgAnswer::Yes);
    EXPECT_EQ(ui.MessageBox(u"Continue?", kAppName, MsgIcon::Warning, MsgButtons::OkCancel),
              MsgAnswer::Ok);
    EXPECT_EQ(out.str(),
              "Korvane Quillbox: Remove them? -> Yes\n"
              "Korvane Quillbox: Go on? -> Yes\n"
              "Korvane Quillbox: Continue? -> Ok\n");
}

TEST(CliMessageBox, ConfiguredAnswers) {
    std::ostringstream out;
    CCliUi ui(out, false, CliUiOptions{MsgAnswer::No, MsgAnswer::Cancel});
    EXPECT_EQ(ui.MessageBox(u"a", kAppName, MsgIcon::Question, MsgButtons::YesNo), MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"b", kAppName, MsgIcon::Question, MsgButtons::YesNoCancel),
              MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"c", kAppName, MsgIcon::Question, MsgButtons::OkCancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(ui.MessageBox(u"d", kAppName, MsgIcon::None, MsgButtons::Ok), MsgAnswer::Ok);

    CCliUi cancelling(out, false, CliUiOptions{MsgAnswer::Cancel, MsgAnswer::Ok});
    EXPECT_EQ(cancelling.AnswerFor(MsgButtons::YesNoCancel), MsgAnswer::Cancel);
    EXPECT_EQ(cancelling.AnswerFor(MsgButtons::YesNo), MsgAnswer::No);  // no Cancel there
    EXPECT_EQ(cancelling.AnswerFor(MsgButtons::OkCancel), MsgAnswer::Ok);
}

TEST(CliProgress, WritesNothingWhenNotATerminal) {
    std::ostringstream out;
    CCliUi ui(out, false);
    {
        auto progress = ui.CreateProgress(u"Exporting emails in a HTML file...", false);
        progress->SetRange(0, 100, 1);
        EXPECT_TRUE(progress->Begin(u"Progress", false));
        for (int i = 1; i <= 10; ++i) {
            progress->SetPosition(i * 10);
            progress->SetStatusText(u"emails exported.");
            progress->PumpMessages(true);
            EXPECT_FALSE(progress->IsCancelled());
        }
        progress->ClearProgress();
    }
    EXPECT_EQ(out.str(), "");
}

TEST(CliProgress, DrawsInPlaceAndClearsAtTheEnd) {
    std::ostringstream out;
    CCliUi ui(out, true);
    {
        auto progress = ui.CreateProgress(u"Export emails as EML files...", false);
        progress->SetRange(0, 100, 1);
        progress->Begin(u"Progress", false);
        EXPECT_EQ(out.str(), "");  // nothing until there is something to show
        EXPECT_EQ(progress->SetPosition(50), 0);
        progress->SetStatusText(u"123 emails exported.");
        progress->SetStatusText(u"123 emails exported.");  // unchanged: not redrawn
        EXPECT_EQ(progress->SetPosition(50), 50);
    }
    const std::string bar50 = "[##########          ]  50%";
    const std::string full = bar50 + " 123 emails exported.";
    EXPECT_EQ(out.str(), "\r" + bar50 + "\r" + full + "\r" + std::string(full.size(), ' ') + "\r");
}

TEST(CliProgress, ShorterLineWipesTheRestAndMessagesWipeTheBar) {
    std::ostringstream out;
    CCliUi ui(out, true);
    auto progress = ui.CreateProgress(u"t", false);
    progress->SetStatusText(u"12345 files exported.");
    const std::string longLine = "[                    ]   0% 12345 files exported.";
    ASSERT_EQ(out.str(), "\r" + longLine);
    out.str("");
    progress->SetStatusText(u"x");
    const std::string shortLine = "[                    ]   0% x";
    EXPECT_EQ(out.str(), "\r" + shortLine + std::string(longLine.size() - shortLine.size(), ' '));
    out.str("");
    ui.MessageBox(u"Cannot create the file.", kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
    EXPECT_EQ(out.str(),
              "\r" + std::string(shortLine.size(), ' ') + "\rError: Cannot create the file.\n");
    out.str("");
    progress->SetPosition(100);  // comes back after the message
    EXPECT_EQ(out.str(), "\r[####################] 100% x");
    out.str("");
    progress->ClearProgress();
    EXPECT_EQ(out.str(), "\r" + std::string(29, ' ') + "\r");
    out.str("");
    progress.reset();
    EXPECT_EQ(out.str(), "");  // already wiped
}

TEST(CliProgress, LineFormat) {
    EXPECT_EQ(FormatProgressLine(0, u"", 79), "[                    ]   0%");
    EXPECT_EQ(FormatProgressLine(33, u"10 emails scanned", 79),
              "[######              ]  33% 10 emails scanned");
    EXPECT_EQ(FormatProgressLine(250, u"", 79), "[####################] 100%");
    EXPECT_EQ(FormatProgressLine(-4, u"a\r\nb", 79), "[                    ]   0% a  b");
    // Cut by columns, never inside a UTF-8 sequence.
    EXPECT_EQ(FormatProgressLine(0, u"\u00E9\u00E9\u00E9", 30),
              "[                    ]   0% \xC3\xA9\xC3\xA9");
}

TEST(CliProgress, FirstCtrlCCancelsAtTheNextPump) {
    std::ostringstream out;
    CCliUi ui(out, false);
    auto progress = ui.CreateProgress(u"Scanning emails...", false);
    CCliUi::InstallInterruptHandler();
    ASSERT_EQ(std::raise(SIGINT), 0);  // handled, so the test goes on
    EXPECT_TRUE(CCliUi::InterruptPending());
    EXPECT_FALSE(progress->IsCancelled());  // only noticed while pumping
    progress->PumpMessages(false);
    EXPECT_TRUE(progress->IsCancelled());
    EXPECT_FALSE(CCliUi::InterruptPending());  // taken up by this operation
    progress->ClearProgress();
    EXPECT_FALSE(progress->IsCancelled());
    // The handler was one-shot: the next Ctrl-C ends the program as usual.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST(CliTextOutput, BoxTextsAreTheOutputOnePerLine) {
    std::ostringstream out;
    std::ostringstream err;
    CCliUi inner(err, false, CliUiOptions{MsgAnswer::No, MsgAnswer::Cancel});
    CTextOutputUi ui(out, inner);
    EXPECT_EQ(ui.MessageBox(u"3 threads found.\n", kAppName, MsgIcon::None, MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(ui.MessageBox(u"Note\nsecond line", kAppName, MsgIcon::None, MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(ui.MessageBox(u"Caf\u00E9?", kErrorCaption, MsgIcon::Error, MsgButtons::YesNo),
              MsgAnswer::No);
    EXPECT_EQ(ui.MessageBox(u"", kAppName, MsgIcon::None, MsgButtons::OkCancel), MsgAnswer::Cancel);
    EXPECT_EQ(out.str(), "3 threads found.\nNote\nsecond line\nCaf\xC3\xA9?\n\n");
    EXPECT_TRUE(err.str().empty());

    // Progress is the wrapped services' own: nothing on a stream that is not a terminal.
    auto progress = ui.CreateProgress(u"Scanning threads...", false);
    ASSERT_NE(progress, nullptr);
    progress->SetPosition(50);
    progress->SetStatusText(u"5 emails scanned");
    EXPECT_FALSE(progress->IsCancelled());
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(out.str().size(),
              std::string("3 threads found.\nNote\nsecond line\nCaf\xC3\xA9?\n\n").size());
}

}  // namespace
