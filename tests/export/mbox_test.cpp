#include "export/export_mbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/export_settings.h"
#include "export/export_wizard.h"
#include "export_files_fixture.h"

namespace {

using namespace std::string_literals;
using exportfiles::ExportFilesTest;
using exportfiles::NoText;
using exportfiles::Raw;
using exportfiles::ReadFile;

// A plain mboxrd reader, written from the format's rules rather than from the writer:
// a message starts at a line beginning "From "; its last line (the empty separator) is
// dropped; one '>' comes off every line matching ^>+From .
struct ReadMessage {
    std::string fromLine;
    std::string text;
};

std::vector<ReadMessage> ReadMboxrd(const std::string& file) {
    std::vector<ReadMessage> messages;
    std::size_t pos = 0;
    while (pos < file.size()) {
        std::size_t end = file.find('\n', pos);
        end = end == std::string::npos ? file.size() : end + 1;
        const std::string line = file.substr(pos, end - pos);
        pos = end;
        if (line.rfind("From ", 0) == 0) {
            messages.push_back({line, {}});
            continue;
        }
        if (messages.empty())
            return {};  // text before the first separator: not an mbox
        const std::size_t quotes = line.find_first_not_of('>');
        const bool quoted =
            quotes != std::string::npos && quotes > 0 && line.compare(quotes, 5, "From ") == 0;
        messages.back().text += quoted ? line.substr(1) : line;
    }
    for (ReadMessage& m : messages) {
        // The separator's empty line belongs to the file, not to the message.
        if (m.text.size() >= 1 && m.text.back() == '\n')
            m.text.pop_back();
    }
    return messages;
}

// What the reader must give back for a stored text: CRLF as LF, a final line break.
std::string Expected(std::string text) {
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        lf += text[i];
    }
    if (lf.empty() || lf.back() != '\n')
        lf += '\n';
    return lf;
}

dbxw::Message Dated(std::string text, std::optional<std::uint64_t> sent,
                    std::optional<std::uint64_t> received, std::optional<std::string> sender) {
    dbxw::Message m = Raw(std::move(text));
    m.sent = sent;
    m.received = received;
    m.senderAddress = std::move(sender);
    return m;
}

class MboxExportTest : public ExportFilesTest {
protected:
    std::string Export(bool expectOk = true) {
        CMboxRequest request;
        request.outputFile = (out / "box.mbox").u16string();
        EXPECT_EQ(ExportMbox(session, request, &result), expectOk);
        return ReadFile(out / "box.mbox");
    }
    CMboxResult result;
};

// ---------------------------------------------------------------------------------------
// The body: escaping and line ends, read back exactly

TEST_F(MboxExportTest, EveryMessageReadsBackByteForByte) {
    const std::vector<std::string> texts = {
        // "From " lines at every quoting depth, and lines that only look like them.
        "Subject: quoting\r\n\r\nFrom the start\r\n>From once\r\n>>From twice\r\n"
        "From: not a separator\r\nFromage\r\n From indented\r\n>>>From\r\nsay From here\r\n",
        // No line break at the end.
        "Subject: cut\r\n\r\nlast line without a break",
        // Bare LF, a CR that is no line end, a blank last line.
        "Subject: unix\n\nFrom x\nline\rwith CR\n\n",
        // The text starts with a "From " line of its own.
        "From someone@example.com Sat Jan  3 01:05:34 1996\r\nSubject: mbox inside\r\n\r\nx\r\n",
    };
    std::vector<dbxw::Message> messages;
    for (const std::string& t : texts)
        messages.push_back(Raw(t));
    OpenMailbox(messages);

    const std::string file = Export();
    const std::vector<ReadMessage> read = ReadMboxrd(file);
    ASSERT_EQ(read.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(read[i].text, Expected(texts[i])) << i;
    EXPECT_EQ(result.written, texts.size());
    EXPECT_TRUE(ui.messages.empty());

    // The quoting itself, as a mail client sees the file.
    EXPECT_NE(file.find("\n>From the start\n>>From once\n>>>From twice\nFrom: not"),
              std::string::npos);
    EXPECT_NE(file.find("\nFromage\n From indented\n>>>From\nsay From here\n"), std::string::npos);
    EXPECT_NE(file.find("\n\nlast line without a break\n\nFrom "), std::string::npos);
    EXPECT_NE(file.find("\n>From someone@example.com Sat"), std::string::npos);
    EXPECT_EQ(file.find('\r' + std::string("\n")), std::string::npos) << "no CRLF is left";
    EXPECT_NE(file.find("line\rwith CR\n\n\nFrom "), std::string::npos);
}

TEST_F(MboxExportTest, TextIsCutAtItsFirstZeroAndEmptyTextsAreSkipped) {
    OpenMailbox({Raw("Subject: z\r\n\r\nkept\0lost\r\n"s), Raw("\0only after a zero"s), NoText(7)});
    const std::string file = Export();
    const std::vector<ReadMessage> read = ReadMboxrd(file);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].text, "Subject: z\n\nkept\n");
    EXPECT_EQ(file.find("lost"), std::string::npos);
    EXPECT_EQ(result.written, 1u);
    EXPECT_EQ(result.skipped, 2u);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to read the message 2. File corrupted ?");
    EXPECT_EQ(ui.messages[1].text, u"Unable to read the message 7. File corrupted ?");
    EXPECT_EQ(ui.messages[1].caption, u"Error");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Error);
}

// ---------------------------------------------------------------------------------------
// The separator line

TEST_F(MboxExportTest, SeparatorTakesSenderAndDateWithTheirFallbacks) {
    const std::uint64_t sent = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5, 0);
    const std::uint64_t received = dbxw::FileTimeFromUtc(2010, 12, 25, 8, 9, 10);
    OpenMailbox({
        Dated("A: 1\r\n\r\nx\r\n", sent, received, "ann@example.com"),
        Dated("A: 2\r\n\r\nx\r\n", std::nullopt, received, " bob @ example.com\t"),
        Dated("A: 3\r\n\r\nx\r\n", std::nullopt, std::nullopt, std::nullopt),
        Dated("A: 4\r\n\r\nx\r\n", sent, std::nullopt, ""),
        Dated("A: 5\r\n\r\nx\r\n", std::uint64_t{1} << 63, received, "   "),
    });
    const std::vector<ReadMessage> read = ReadMboxrd(Export());
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[0].fromLine, "From ann@example.com Mon Nov  3 17:05:00 2008\n");
    EXPECT_EQ(read[1].fromLine, "From bob@example.com Sat Dec 25 08:09:10 2010\n");
    EXPECT_EQ(read[2].fromLine, "From MAILER-DAEMON Thu Jan  1 00:00:00 1970\n");
    EXPECT_EQ(read[3].fromLine, "From MAILER-DAEMON Mon Nov  3 17:05:00 2008\n");
    // A sent date that is no date counts as none.
    EXPECT_EQ(read[4].fromLine, "From MAILER-DAEMON Sat Dec 25 08:09:10 2010\n");
}

// ---------------------------------------------------------------------------------------
// The run: selection, progress, cancel, failures

TEST_F(MboxExportTest, OnlyMarkedEntriesInListOrderWithProgress) {
    OpenMailbox({Raw("N: 0\r\n\r\nx\r\n"), Raw("N: 1\r\n\r\nx\r\n"), Raw("N: 2\r\n\r\nx\r\n"),
                 Raw("N: 3\r\n\r\nx\r\n")});
    Entry(1)->m_bSelected = false;
    const std::vector<ReadMessage> read = ReadMboxrd(Export());
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].text, "N: 0\n\nx\n");
    EXPECT_EQ(read[1].text, "N: 2\n\nx\n");
    EXPECT_EQ(read[2].text, "N: 3\n\nx\n");

    ASSERT_EQ(ui.ProgressCount(), 1u);
    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, kMboxProgressTitle);
    EXPECT_EQ(p.positions, (std::vector<int>{33, 66, 100}));
    EXPECT_EQ(p.statusTexts.back(), u"3 emails exported.");
    EXPECT_EQ(p.clearCount, 1);
}

TEST_F(MboxExportTest, CancelKeepsWhatWasWrittenAndCallbackCanStop) {
    OpenMailbox({Raw("N: 0\r\n\r\nx\r\n"), Raw("N: 1\r\n\r\nx\r\n"), Raw("N: 2\r\n\r\nx\r\n")});
    ui.SetCancelAfterPumps(2);
    EXPECT_EQ(ReadMboxrd(Export(false)).size(), 2u);
    EXPECT_TRUE(result.cancelled);

    // A store export runs without the window and stops through its callback.
    ui.SetCancelAfterPumps(0);
    CMboxRequest request;
    request.outputFile = (out / "quiet.mbox").u16string();
    request.showProgress = false;
    std::vector<std::uint32_t> seen;
    request.onMessage = [&](std::uint32_t done, std::uint32_t total) {
        EXPECT_EQ(total, 3u);
        seen.push_back(done);
        return done < 2;
    };
    const std::size_t windows = ui.ProgressCount();
    EXPECT_FALSE(ExportMbox(session, request, &result));
    EXPECT_EQ(ui.ProgressCount(), windows);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(ReadMboxrd(ReadFile(out / "quiet.mbox")).size(), 2u);
}

TEST_F(MboxExportTest, NothingMarkedGivesAnEmptyFileAndAnUnwritablePathIsReported) {
    OpenMailbox({Raw("N: 0\r\n\r\nx\r\n")});
    MarkAll(false);
    exportfiles::WriteFile(out / "box.mbox", "old content");
    EXPECT_EQ(Export(), "");
    EXPECT_EQ(ui.ProgressCount(), 0u);

    MarkAll(true);
    CMboxRequest request;
    request.outputFile = (out / "missing" / "box.mbox").u16string();
    EXPECT_FALSE(ExportMbox(session, request, &result));
    EXPECT_TRUE(result.fileFailed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to write the following output file :\n" +
                                       request.outputFile +
                                       u"\nDisk full, or fill open by another application ?");
}

TEST_F(MboxExportTest, FullDiskIsReportedNotTakenForSuccess) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OpenMailbox({Raw("N: 0\r\n\r\n" + std::string(1 << 20, 'x') + "\r\n")});
    CMboxRequest request;
    request.outputFile = u"/dev/full";
    EXPECT_FALSE(ExportMbox(session, request, &result));
    EXPECT_TRUE(result.fileFailed);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, u"Error");
}

// ---------------------------------------------------------------------------------------
// The wizard and the command line's dispatch

TEST_F(MboxExportTest, WizardListsMboxSixthWithAFileDestinationAndNoOptionsStep) {
    const auto formats = WizardExportFormats();
    ASSERT_EQ(formats.size(), 6u);
    EXPECT_EQ(formats[5].code, FormatMbox);
    EXPECT_EQ(std::u16string(formats[5].listText),
              u"MBOX File, all emails in one mbox file (Thunderbird, mutt...)");
    EXPECT_FALSE(formats[5].hasOptionsStep);
    for (const CExportFormatInfo& other : formats.first(5))
        EXPECT_NE(other.code, FormatMbox);

    settings.WriteInt(kConfigSection, kKeyFormat, FormatMbox);
    EXPECT_EQ(InitExportStep2(settings, formats).selectedIndex, 5);
    const CExportStep3View view = InitExportStep3(FormatMbox, settings);
    EXPECT_EQ(view.destination, ExportDestination::File);
    EXPECT_EQ(view.fileFilter, u"MBOX Files (*.mbox)|*.mbox|All Files (*.*)|*.*||");

    OpenMailbox({Raw("N: 0\r\n\r\nx\r\n"), Raw("N: 1\r\n\r\nx\r\n")});
    CExportCommand command;
    command.format = FormatMbox;
    command.destination = (out / "cmd.mbox").u16string();
    command.rows = {1};
    EXPECT_TRUE(RunExportCommand(session, command));
    const std::vector<ReadMessage> read = ReadMboxrd(ReadFile(out / "cmd.mbox"));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].text, "N: 1\n\nx\n");
}

}  // namespace
