#include "export/export_attachments.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "export/export_settings.h"
#include "export_files_fixture.h"

namespace {

using exportfiles::Attachment;
using exportfiles::ExportFilesTest;
using exportfiles::Listing;
using exportfiles::MultipartMail;
using exportfiles::NoText;
using exportfiles::Raw;
using exportfiles::ReadFile;

// A plain base64 encoder for the fixtures, independent of the decoder under test.
std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(v >> 18) & 63];
        out += kDigits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
    }
    return out;
}

Attachment File(std::string name, std::string_view content) {
    return {std::move(name), Base64(content)};
}

// "hi\n" uuencoded under the name.
std::string UuBody(const std::string& name) {
    return "Here it is:\r\n\r\nbegin 644 " + name + "\r\n#:&D*\r\n`\r\nend\r\n";
}

using AttachmentsTest = ExportFilesTest;

TEST_F(AttachmentsTest, NamedPartsAreSavedWithTheirDecodedContent) {
    OpenMailbox({Raw(MultipartMail(
        {File("report.pdf", "%PDF-1.4 bytes"), File("notes.txt", "line one\r\nline two\r\n")}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 2);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"report.pdf", "notes.txt"}));
    EXPECT_EQ(ReadFile(out / "report.pdf"), "%PDF-1.4 bytes");
    EXPECT_EQ(ReadFile(out / "notes.txt"), "line one\r\nline two\r\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(AttachmentsTest, TakenNamesGetANumberBeforeTheExtension) {
    OpenMailbox({Raw(MultipartMail({File("report.pdf", "first")})),
                 Raw(MultipartMail({File("report.pdf", "second")})),
                 Raw(MultipartMail({File("report.pdf", "third"), File("archive.tar.gz", "a"),
                                    File("archive.tar.gz", "b")}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 1);
    EXPECT_EQ(SaveAttachments(session, Entry(1), Folder()), 1);
    EXPECT_EQ(SaveAttachments(session, Entry(2), Folder()), 3);

    EXPECT_EQ(Listing(out), (std::set<std::string>{"report.pdf", "report(2).pdf", "report(3).pdf",
                                                   "archive.tar.gz", "archive.tar(2).gz"}));
    EXPECT_EQ(ReadFile(out / "report.pdf"), "first");
    EXPECT_EQ(ReadFile(out / "report(2).pdf"), "second");
    EXPECT_EQ(ReadFile(out / "report(3).pdf"), "third");
}

TEST_F(AttachmentsTest, TakenNameWithoutADotIsNotSavedAgain) {
    OpenMailbox(
        {Raw(MultipartMail({File("README", "one")})), Raw(MultipartMail({File("README", "two")}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 1);
    EXPECT_EQ(SaveAttachments(session, Entry(1), Folder()), 0);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"README"}));
    EXPECT_EQ(ReadFile(out / "README"), "one");
    EXPECT_TRUE(ui.messages.empty()) << "skipped without a message";
}

TEST_F(AttachmentsTest, BadCharactersInNamesBecomeUnderscores) {
    OpenMailbox({Raw(MultipartMail({File("a:b?c*.txt", "x"), File("say \\hi\\|.txt", "y")}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 2);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"a_b_c_.txt", "say _hi__.txt"}));
}

TEST_F(AttachmentsTest, HostileNamesStayInsideTheFolder) {
    OpenMailbox({Raw(MultipartMail({File("../x", "1"), File("/etc/x", "2"),
                                    File("../../up.txt", "3"), File("..", "4"), File(".", "5")}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 3);
    EXPECT_EQ(Listing(out), (std::set<std::string>{".._x", "_etc_x", ".._.._up.txt"}));
    // "." and ".." name the folders themselves: reported as unusable names.
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const RecordedMessageBox& box : ui.messages) {
        EXPECT_EQ(box.text, u"Unable to read the name of this attached file.");
        EXPECT_EQ(box.caption, u"Error");
        EXPECT_EQ(box.icon, MsgIcon::Error);
    }
    EXPECT_EQ(Listing(temp.Path()).count("x"), 0u);
    EXPECT_EQ(Listing(temp.Path()).count("up.txt"), 0u);
}

TEST_F(AttachmentsTest, EmptyAttachmentCountsAndCreatesNoFile) {
    OpenMailbox({Raw(MultipartMail({{"empty.bin", ""}}))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 1);
    EXPECT_TRUE(Listing(out).empty());
}

TEST_F(AttachmentsTest, UuencodedFileIsSavedOncePerMessage) {
    // Three parts without a name: the search must not run once for each.
    const std::string text =
        "Subject: uu\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
        "--B\r\nContent-Type: text/plain\r\n\r\n" +
        UuBody("hi.txt") +
        "--B\r\nContent-Type: text/html\r\n\r\n<p>hi</p>\r\n"
        "--B\r\nContent-Type: text/plain\r\n\r\nno file here\r\n"
        "--B--\r\n";
    OpenMailbox({Raw(text), Raw("Subject: plain\r\n\r\n" + UuBody("plain.txt"))});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 1);
    EXPECT_EQ(SaveAttachments(session, Entry(1), Folder()), 1);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"hi.txt", "plain.txt"}));
    EXPECT_EQ(ReadFile(out / "hi.txt"), "hi\n");
}

TEST_F(AttachmentsTest, UuencodedBlockEndsAtItsEndLineAndCounts) {
    // No zero-length line before "end", then an empty line and a second block: the first
    // file keeps only its own bytes, and the export counts it.
    OpenMailbox(
        {Raw("Subject: sig\r\n\r\nRegards\r\nbegin 644 sig.txt\r\n#0V%T\r\nend\r\n\r\n"
             "begin 644 two.txt\r\n#:&D*\r\n`\r\nend\r\n")});
    EXPECT_EQ(ExportAttachments(session, Folder()), 1);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"sig.txt"}));
    EXPECT_EQ(ReadFile(out / "sig.txt"), "Cat");
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"1 attached file(s) exported."}));
}

TEST_F(AttachmentsTest, UuencodedFileThatFailsAtTheFinalFlushIsNotCounted) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OpenMailbox({Raw("Subject: uu\r\n\r\n" + UuBody("hi.txt"))});
    std::filesystem::create_symlink("/dev/full", out / "hi.txt");
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 0);
}

TEST_F(AttachmentsTest, UuencodedNameWithSeparatorsStaysInside) {
    OpenMailbox(
        {Raw("Subject: uu\r\n\r\n" + UuBody("../../evil.sh")),
         Raw("Subject: yenc\r\n\r\n=ybegin line=128 size=2 name=y.bin\r\nab\r\n=yend\r\n")});
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 1);
    EXPECT_EQ(SaveAttachments(session, Entry(1), Folder()), 0) << "yEnc data is not saved";
    EXPECT_EQ(Listing(out), (std::set<std::string>{".._.._evil.sh"}));
}

TEST_F(AttachmentsTest, UnreadableMessageAndNullEntry) {
    OpenMailbox({NoText(9)});
    EXPECT_EQ(SaveAttachments(session, nullptr, Folder()), 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(SaveAttachments(session, Entry(0), Folder()), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to read the message 9. File corrupted ?");
    EXPECT_EQ(ui.messages[0].caption, u"Error");
}

TEST_F(AttachmentsTest, FileThatCannotBeCreatedIsReportedAndNotCounted) {
    OpenMailbox({Raw(MultipartMail({File("a.txt", "x")}))});
    const std::u16string missing = temp.WidePath("missing") + u"/";
    EXPECT_EQ(SaveAttachments(session, Entry(0), missing), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              u"Unable to write the following output file :\n" + missing +
                  u"a.txt\nDisk full, or fill open by another application ?\n\nContinue with "
                  u"the other emails?");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
}

TEST_F(AttachmentsTest, UnwritableFolderGivesOneQuestionOneCountAndTheSummary) {
    OpenMailbox({Raw(MultipartMail({File("a.txt", "1"), File("b.txt", "2")})),
                 Raw(MultipartMail({File("c.txt", "3")}))});
    const std::u16string missing = temp.WidePath("missing") + u"/";
    ui.QueueAnswer(MsgAnswer::Yes);
    EXPECT_EQ(ExportAttachments(session, missing), 0);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, WriteErrorQuestionText(missing + u"a.txt"));
    EXPECT_EQ(ui.messages[1].text, u"2 files could not be written.");
    EXPECT_EQ(ui.messages[1].caption, u"Error");
    EXPECT_EQ(ui.messages[2].text, u"0 attached file(s) exported.");
    EXPECT_EQ(ui.messages[1].openProgress, 0);
    EXPECT_EQ(ui.messages[2].openProgress, 0);
    EXPECT_EQ(ui.LastProgress().positions, (std::vector<int>{50, 100}));

    // No stops at once: no further part, no further message, then the summary alone.
    ui.messages.clear();
    ui.QueueAnswer(MsgAnswer::No);
    EXPECT_EQ(ExportAttachments(session, missing), 0);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::u16string>{WriteErrorQuestionText(missing + u"a.txt"),
                                           u"0 attached file(s) exported."}));
    EXPECT_EQ(ui.LastProgress().positions, (std::vector<int>{50}));
}

// ---------------------------------------------------------------------------------------
// The wizard loop and the Save Attachments command

TEST_F(AttachmentsTest, WizardLoopRunsOverMarkedEntriesWithProgressAndSummary) {
    OpenMailbox({Raw(MultipartMail({File("a.txt", "1"), File("b.txt", "2")})),
                 Raw(MultipartMail({File("c.txt", "3")})),
                 Raw(MultipartMail({File("d.txt", "4")}))});
    Entry(1)->m_bSelected = false;
    EXPECT_EQ(ExportAttachments(session, Folder()), 3);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"a.txt", "b.txt", "d.txt"}));

    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, u"Export attached files...");
    EXPECT_EQ(p.ranges, (std::vector<ProgressRange>{{0, 100, 1}}));
    EXPECT_EQ(p.positions, (std::vector<int>{50, 100}));
    EXPECT_EQ(p.statusTexts, (std::vector<std::u16string>{u"2 attached files exported.",
                                                          u"3 attached files exported."}));
    EXPECT_EQ(p.clearCount, 0) << "no return to [0%] under the summary";
    EXPECT_TRUE(p.destroyed);
    EXPECT_EQ(p.titles.back(), u"Export attached files... [100%]");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"3 attached file(s) exported.");
    EXPECT_EQ(ui.messages[0].caption, u"Korvane Quillbox");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
}

TEST_F(AttachmentsTest, SummaryWithNothingSavedAndAfterCancel) {
    OpenMailbox({Raw("Subject: none\r\n\r\nplain\r\n"), Raw(MultipartMail({File("a.txt", "1")})),
                 Raw(MultipartMail({File("b.txt", "2")}))});
    Entry(1)->m_bSelected = false;
    Entry(2)->m_bSelected = false;
    EXPECT_EQ(ExportAttachments(session, Folder()), 0);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"0 attached file(s) exported."}));

    ui.messages.clear();
    MarkAll(true);
    ui.SetCancelAfterPumps(2);
    EXPECT_EQ(ExportAttachments(session, Folder()), 1);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"1 attached file(s) exported."}));
}

TEST_F(AttachmentsTest, RowsLoopIgnoresTheExportMarkAndRowsWithoutEntry) {
    OpenMailbox(
        {Raw(MultipartMail({File("a.txt", "1")})), Raw(MultipartMail({File("b.txt", "2")}))});
    MarkAll(false);
    const std::vector<std::int32_t> rows = {1, 7, -1};
    EXPECT_EQ(SaveAttachmentsOfRows(session, rows, Folder()), 1);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"b.txt"}));
    // Only rows with an entry move the bar, 1 of 3, and the end fills it.
    EXPECT_EQ(ui.LastProgress().positions, (std::vector<int>{33, 100}));
    EXPECT_EQ(ui.messages.back().openProgress, 0);
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"1 attached file(s) exported."}));
}

TEST_F(AttachmentsTest, CommandWantsRowsAndAFolder) {
    OpenMailbox({Raw(MultipartMail({File("a.txt", "1")}))});
    int asked = 0;
    const FolderChooser never = [&](std::u16string_view) -> std::optional<std::u16string> {
        ++asked;
        return std::nullopt;
    };
    EXPECT_EQ(RunSaveAttachmentsCommand(session, settings, {}, never), std::nullopt);
    EXPECT_EQ(asked, 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Please select one or more message...");
    EXPECT_EQ(ui.messages[0].caption, u"Info");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);

    ui.messages.clear();
    const std::vector<std::int32_t> rows = {0};
    EXPECT_EQ(RunSaveAttachmentsCommand(session, settings, rows, never), std::nullopt);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFolderOut)) << "a cancel stores nothing";
    EXPECT_EQ(ui.ProgressCount(), 0u);
}

TEST_F(AttachmentsTest, CommandStartsFromAndStoresLastFolderOut) {
    OpenMailbox({Raw(MultipartMail({File("a.txt", "1")}))});
    settings.WriteString(u"config", u"lastfolderout", u"/previous/");
    std::u16string offered;
    const FolderChooser choose = [&](std::u16string_view current) {
        offered = current;
        return std::optional<std::u16string>(out.u16string());  // no trailing '/'
    };
    const std::vector<std::int32_t> rows = {0};
    EXPECT_EQ(RunSaveAttachmentsCommand(session, settings, rows, choose), 1);
    EXPECT_EQ(offered, u"/previous/");
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyLastFolderOut), Folder());
    EXPECT_EQ(Listing(out), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"1 attached file(s) exported."}));
}

}  // namespace

namespace {

// The plain rule, one check per number from 2: what every search must find.
std::string PlainFreeName(const std::filesystem::path& folder, const std::string& stem,
                          const std::string& ext) {
    if (!std::filesystem::exists(folder / (stem + ext)))
        return stem + ext;
    for (int k = 2;; ++k) {
        const std::string name = stem + "(" + std::to_string(k) + ")" + ext;
        if (!std::filesystem::exists(folder / name))
            return name;
    }
}

TEST_F(AttachmentsTest, ManyMessagesWithOneNameGetTheNamesOfThePlainRuleAroundOldFiles) {
    // Files of an earlier run leave gaps that every search must still fill in order.
    for (const char* old : {"image001.jpg", "image001(3).jpg", "image001(4).jpg", "image001(9).jpg",
                            "other(2).jpg"}) {
        exportfiles::WriteFile(out / old, "old");
    }
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < 40; ++i) {
        messages.push_back(Raw(MultipartMail({File("image001.jpg", "img"), {"image001.jpg", ""}})));
    }
    OpenMailbox(messages);
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back(PlainFreeName(out, "image001", ".jpg"));
        // The empty second part is given the next free name but creates no file, so the
        // next message's search finds that name free again.
        EXPECT_EQ(SaveAttachments(session, Entry(i), Folder()), 2);
        EXPECT_TRUE(std::filesystem::exists(out / expected.back())) << expected.back();
    }
    EXPECT_EQ(expected[0], "image001(2).jpg");
    EXPECT_EQ(expected[1], "image001(5).jpg");
    EXPECT_EQ(expected[4], "image001(8).jpg");
    EXPECT_EQ(expected[5], "image001(10).jpg");
    EXPECT_EQ(std::set<std::string>(expected.begin(), expected.end()).size(), 40u);
    EXPECT_EQ(exportfiles::ReadFile(out / "image001(9).jpg"), "old");

    // A file removed between two exports is taken again by the next one.
    std::filesystem::remove(out / "image001(3).jpg");
    EXPECT_EQ(ExportAttachments(session, Folder()), 80);
    EXPECT_TRUE(std::filesystem::exists(out / "image001(3).jpg"));
}

}  // namespace
