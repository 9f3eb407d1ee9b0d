#include "export/export_eml.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_attachments.h"
#include "export/export_session.h"
#include "export_files_fixture.h"
#include "mailbox/z_file.h"
#include "mime/transfer_codec.h"

namespace {

using exportfiles::ExportFilesTest;
using exportfiles::Listing;
using exportfiles::NoText;
using exportfiles::Raw;
using exportfiles::ReadFile;
using exportfiles::WriteFile;

using EmlExportTest = ExportFilesTest;

TEST_F(EmlExportTest, NamesComeFromIdAndSubjectField) {
    OpenMailbox({
        Raw("Subject: Meeting on Friday\r\n\r\nBody\r\n"),
        Raw("Subject:\r\n\r\nno subject\r\n"),
        Raw("From: a@example.com\r\n\r\nheader has no subject\r\n", "Stored subject"),
        Raw("Subject: =?utf-8?B?Q2Fmw6k=?=\r\n\r\nencoded\r\n"),
    });
    EXPECT_TRUE(ExportEml(session, Folder()));

    EXPECT_EQ(Listing(out), (std::set<std::string>{"[1]Meeting on Friday.eml", "[2].eml",
                                                   "[3]Stored subject.eml", "[4]Caf\xC3\xA9.eml"}));
    EXPECT_TRUE(ui.messages.empty()) << "no summary is shown";
}

TEST_F(EmlExportTest, BadCharactersAndSeparatorsBecomeUnderscores) {
    OpenMailbox({
        Raw("Subject: a:b?c*d\"e<f>g|h\\i/j\r\n\r\nx\r\n"),
        Raw("Subject: ../../escape\r\n\r\nx\r\n"),
        Raw("Subject: /etc/passwd\r\n\r\nx\r\n"),
        Raw("Subject: tab\there\r\n\r\nx\r\n"),
    });
    EXPECT_TRUE(ExportEml(session, Folder()));
    EXPECT_EQ(Listing(out),
              (std::set<std::string>{"[1]a_b_c_d_e_f_g_h_i_j.eml", "[2].._.._escape.eml",
                                     "[3]_etc_passwd.eml", "[4]tab_here.eml"}));
    // Nothing landed beside the output folder.
    EXPECT_EQ(Listing(temp.Path()).count("escape.eml"), 0u);
    for (const std::string& name : Listing(temp.Path())) {
        EXPECT_TRUE(name == "Inbox.dbx" || name == "out" || name.rfind("out/", 0) == 0) << name;
    }
}

TEST_F(EmlExportTest, RawBytesAreWrittenUnchangedUpToTheFirstZero) {
    const std::string crlf = "Subject: lines\r\nX-A: 1\r\n\r\nfirst\r\nsecond\n\xE9\xFF\r\n";
    const std::string withZero =
        std::string("Subject: zero\r\n\r\nbefore", 23) + std::string("\0after", 6);
    OpenMailbox({Raw(crlf), Raw(withZero)});
    EXPECT_TRUE(ExportEml(session, Folder()));

    EXPECT_EQ(ReadFile(out / "[1]lines.eml"), crlf);
    EXPECT_EQ(ReadFile(out / "[2]zero.eml"), "Subject: zero\r\n\r\nbefore");
}

TEST_F(EmlExportTest, ExistingFileIsOverwrittenAndEqualNamesReplaceEachOther) {
    dbxw::Message first = Raw("Subject: same\r\n\r\nfirst\r\n");
    first.id = 5;
    dbxw::Message second = Raw("Subject: same\r\n\r\nsecond\r\n");
    second.id = 5;
    OpenMailbox({first, second});
    WriteFile(out / "[5]same.eml", "an old and much longer file that must not survive");

    EXPECT_TRUE(ExportEml(session, Folder()));
    EXPECT_EQ(ReadFile(out / "[5]same.eml"), "Subject: same\r\n\r\nsecond\r\n");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(EmlExportTest, LongSubjectIsCutToFitTheFileNameLimit) {
    const std::string ascii(400, 'a');
    std::string accented;
    for (int i = 0; i < 200; ++i)
        accented += "\xC3\xA9";
    OpenMailbox({Raw("Subject: " + ascii + "\r\n\r\nx\r\n"),
                 Raw("Subject: " + accented + "\r\n\r\nx\r\n")});
    EXPECT_TRUE(ExportEml(session, Folder()));
    EXPECT_TRUE(ui.messages.empty()) << "every name was accepted";

    const std::set<std::string> names = Listing(out);
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& name : names) {
        // Cut at a character boundary as close to the limit as the characters allow.
        EXPECT_EQ(name.size(), 255u) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".eml");
    }
    EXPECT_EQ(names.count("[1]" + std::string(255 - 3 - 4, 'a') + ".eml"), 1u);
    // The 8-bit subject widens byte by byte, each byte taking two UTF-8 bytes.
    std::string widened;
    for (int i = 0; i < 62; ++i)
        widened += "\xC3\x83\xC2\xA9";
    EXPECT_EQ(names.count("[2]" + widened + ".eml"), 1u);
}

TEST_F(EmlExportTest, UnreadableMessageIsReportedAndSkipped) {
    OpenMailbox({Raw("Subject: one\r\n\r\n1\r\n"), NoText(77), Raw("Subject: three\r\n\r\n3\r\n")});
    EXPECT_TRUE(ExportEml(session, Folder()));

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to read the message 77. File corrupted ?");
    EXPECT_EQ(ui.messages[0].caption, u"Error");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"[1]one.eml", "[3]three.eml"}));
    // The unreadable entry counts in "done" but gets no step of its own.
    EXPECT_EQ(ui.LastProgress().positions, (std::vector<int>{33, 100}));
    EXPECT_EQ(ui.LastProgress().statusTexts,
              (std::vector<std::u16string>{u"1 files exported.", u"3 files exported."}));
}

TEST_F(EmlExportTest, UnwritableFolderAsksOnceThenCountsTheRestInOneBox) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n"), Raw("Subject: d\r\n\r\n4\r\n")});
    const std::u16string missing = temp.WidePath("missing") + u"/";

    // Yes: the export goes on and the three later failures come in one box at the end,
    // after the progress window has gone.
    ui.QueueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(ExportEml(session, missing));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to write the following output file :\n" + missing +
                                       u"[1]a.eml\nDisk full, or fill open by another "
                                       u"application ?\n\nContinue with the other emails?");
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(ui.messages[1].text, u"3 files could not be written.");
    EXPECT_EQ(ui.messages[1].buttons, MsgButtons::Ok);
    EXPECT_EQ(ui.messages[1].openProgress, 0);
    for (const RecordedMessageBox& box : ui.messages) {
        EXPECT_EQ(box.caption, u"Error");
        EXPECT_EQ(box.icon, MsgIcon::Error);
    }
    EXPECT_EQ(session.WriteFailures().Count(), 4u);

    // No: nothing after the first box, not even the count; the next export starts afresh.
    ui.messages.clear();
    ui.QueueAnswer(MsgAnswer::No);
    EXPECT_TRUE(ExportEml(session, missing));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(session.WriteFailures().Count(), 1u);
    EXPECT_EQ(ui.PendingAnswers(), 0u);
    EXPECT_EQ(ui.DefaultAnswersUsed(), 0);

    // Without questions (the command line) each failure shows as before and all count.
    ui.messages.clear();
    session.WriteFailures().SetAskToContinue(false);
    EXPECT_TRUE(ExportEml(session, missing));
    ASSERT_EQ(ui.messages.size(), 4u);
    EXPECT_EQ(ui.messages[3].text, WriteErrorText(missing + u"[4]d.eml"));
    EXPECT_EQ(ui.messages[3].buttons, MsgButtons::Ok);
    EXPECT_EQ(session.WriteFailures().Count(), 4u);
}

TEST_F(EmlExportTest, FailuresBetweenWrittenFilesAreCountedNotBoxed) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n"), Raw("Subject: d\r\n\r\n4\r\n")});
    // A folder in the way of a file name fails that file alone, even for root.
    std::filesystem::create_directory(out / "[2]b.eml");
    std::filesystem::create_directory(out / "[4]d.eml");
    EXPECT_TRUE(ExportEml(session, Folder()));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, WriteErrorQuestionText(Folder() + u"[2]b.eml"));
    EXPECT_EQ(ui.messages[0].openProgress, 1) << "asked while the export runs";
    EXPECT_EQ(ui.messages[1].text, u"1 files could not be written.");
    EXPECT_EQ(ui.messages[1].openProgress, 0);
    EXPECT_EQ(ReadFile(out / "[3]c.eml"), "Subject: c\r\n\r\n3\r\n");
    EXPECT_EQ(ui.LastProgress().positions, (std::vector<int>{25, 75}));
}

TEST_F(EmlExportTest, WriteThatFailsAtTheFinalFlushIsReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OpenMailbox({Raw("Subject: a\r\n\r\nshort enough to stay buffered\r\n"),
                 Raw("Subject: b\r\n\r\n2\r\n")});
    // The open succeeds and the bytes are buffered; only the close meets the full disk.
    std::filesystem::create_symlink("/dev/full", out / "[1]a.eml");
    EXPECT_TRUE(ExportEml(session, Folder()));

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, WriteErrorQuestionText(Folder() + u"[1]a.eml"));
    EXPECT_EQ(ReadFile(out / "[2]b.eml"), "Subject: b\r\n\r\n2\r\n");
    EXPECT_EQ(ui.LastProgress().statusTexts, (std::vector<std::u16string>{u"2 files exported."}));
}

TEST_F(EmlExportTest, OnlyMarkedEntriesAndNothingWhenNoneIsMarked) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n")});
    MarkAll(false);
    EXPECT_FALSE(ExportEml(session, Folder()));
    EXPECT_TRUE(Listing(out).empty());
    EXPECT_EQ(ui.ProgressCount(), 0u);
    EXPECT_TRUE(ui.messages.empty());

    Entry(1)->m_bSelected = true;
    EXPECT_TRUE(ExportEml(session, Folder()));
    EXPECT_EQ(Listing(out), (std::set<std::string>{"[2]b.eml"}));
}

TEST_F(EmlExportTest, ProgressAndCancel) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n")});
    ui.SetCancelAfterPumps(2);
    EXPECT_TRUE(ExportEml(session, Folder())) << "a cancel is not a failure";

    EXPECT_EQ(Listing(out), (std::set<std::string>{"[1]a.eml", "[2]b.eml"}));
    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, u"Export emails as EML files...");
    EXPECT_EQ(p.beginTitles, (std::vector<std::u16string>{u"Progress"}));
    EXPECT_EQ(p.ranges, (std::vector<ProgressRange>{{0, 100, 1}}));
    EXPECT_EQ(p.positions, (std::vector<int>{33, 66}));
    EXPECT_TRUE(p.destroyed);
    EXPECT_EQ(session.Progress(), nullptr);
}

// ---------------------------------------------------------------------------------------
// The progress helpers of the session

using ExportProgressTest = ExportFilesTest;

TEST_F(ExportProgressTest, NoWindowWithoutMarkedEntries) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n")});
    MarkAll(false);
    EXPECT_EQ(session.BeginExportProgress(u"T"), 0u);
    EXPECT_EQ(ui.ProgressCount(), 0u);
    EXPECT_TRUE(session.StepExportProgress(1, 1)) << "no window: nothing can cancel";
    session.EndExportProgress();
}

TEST_F(ExportProgressTest, StepsShowPercentAndFileCountAndReplaceAnOldWindow) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n")});
    Entry(2)->m_bSelected = false;
    EXPECT_EQ(session.BeginExportProgress(u"First"), 2u);
    EXPECT_EQ(session.BeginExportProgress(u"Second"), 2u);
    ASSERT_EQ(ui.ProgressCount(), 2u);
    EXPECT_TRUE(ui.Progress(0).destroyed) << "a window still open is replaced";

    EXPECT_TRUE(session.StepExportProgress(1, 3));
    EXPECT_TRUE(session.StepExportProgress(2, 3));
    const CProgressRecord& p = ui.Progress(1);
    EXPECT_EQ(p.positions, (std::vector<int>{33, 66}));
    EXPECT_EQ(p.statusTexts,
              (std::vector<std::u16string>{u"1 files exported.", u"2 files exported."}));
    EXPECT_EQ(p.pumpCount, 2);
    session.EndExportProgress();
    EXPECT_TRUE(p.destroyed);
}

TEST_F(ExportProgressTest, StepReportsTheCancel) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n")});
    ui.SetCancelAfterPumps(1);
    ASSERT_EQ(session.BeginExportProgress(u"T"), 1u);
    EXPECT_FALSE(session.StepExportProgress(1, 1));
}

// ---------------------------------------------------------------------------------------
// A failed final flush is a failed write

TEST(ZFileCloseTest, CloseReportsAFlushThatFails) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    CZFile f;
    ASSERT_TRUE(f.Open("/dev/full", CZFile::ModeWrite));
    // Small enough to sit in the stream buffer until the close.
    EXPECT_TRUE(f.Write("abc", 3u));
    EXPECT_FALSE(f.CloseFile());
    EXPECT_EQ(f.GetError(), CZFile::ErrWrite);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(f.CloseFile()) << "closing a closed file has nothing to fail";
}

TEST(ZFileCloseTest, CloseOfAGoodFileSucceeds) {
    dbxw::TempDir temp;
    CZFile f;
    ASSERT_TRUE(f.Open(temp.WidePath("f.bin"), CZFile::ModeWrite));
    EXPECT_TRUE(f.Write("abc", 3u));
    EXPECT_TRUE(f.CloseFile());
    EXPECT_EQ(ReadFile(temp.Path("f.bin")), "abc");
}

// ---------------------------------------------------------------------------------------
// A folder that cannot be written at all: a read-only mount (in a private mount namespace,
// as root), else a folder without write permission (as any other user).

// EML and attachment exports into the folder: one question each and one count, never a
// box per file.
void ExportIntoUnwritableFolder(const std::filesystem::path& folder) {
    RegisterStandardCodecs();
    dbxw::TempDir temp;
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < 30; ++i)
        messages.push_back(Raw(exportfiles::MultipartMail({{"f.txt", "eA=="}})));
    ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(temp.Path("Inbox.dbx")));
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(temp.WidePath("Inbox.dbx")), DbxOk);
    for (CEmailDBX* e : dbx.GetEmails().Items())
        e->m_bSelected = true;
    CRecordingUi ui;
    CExportSession session(dbx, ui);
    const std::u16string wide = folder.u16string() + u"/";

    EXPECT_TRUE(ExportEml(session, wide));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(ui.messages[0].text.rfind(
                  u"Unable to write the following output file :\n" + wide + u"[1]files.eml\n", 0),
              0u);
    EXPECT_EQ(ui.messages[1].text, u"29 files could not be written.");
    EXPECT_EQ(ui.messages[1].openProgress, 0);

    ui.messages.clear();
    EXPECT_EQ(ExportAttachments(session, wide), 0);
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::u16string>{WriteErrorQuestionText(wide + u"f.txt"),
                                           u"29 files could not be written.",
                                           u"0 attached file(s) exported."}));
    EXPECT_TRUE(Listing(folder).empty());
}

TEST_F(EmlExportTest, ReadOnlyFolderGivesOneQuestionAndOneCount) {
    if (geteuid() != 0) {
        std::filesystem::permissions(
            out, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        ExportIntoUnwritableFolder(out);
        std::filesystem::permissions(out, std::filesystem::perms::owner_all);
        return;
    }
    // Root writes through permissions: a read-only bind mount that only a child process
    // in its own mount namespace sees.
    const std::filesystem::path view = temp.Path("ro");
    std::filesystem::create_directories(view);
    const std::string script = "mount --bind '" + out.string() + "' '" + view.string() +
                               "' && mount -o remount,ro,bind '" + view.string() +
                               "' && ! touch '" + (view / "probe").string() + "' 2>/dev/null";
    if (std::system(("unshare -m sh -c \"" + script + "\" >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "no private read-only mounts here (needs unshare and mount rights)";
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "unshare -m sh -c \"" + script + " && QUILLBOX_RO_FOLDER='" +
                                view.string() + "' '" + self +
                                "' --gtest_filter=UnwritableFolderChild.* "
                                "--gtest_also_run_disabled_tests\" >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(Listing(out).empty());
}

// Run only by the test above, inside its namespace.
TEST(UnwritableFolderChild, DISABLED_ExportIntoTheReadOnlyMount) {
    const char* folder = std::getenv("QUILLBOX_RO_FOLDER");
    ASSERT_NE(folder, nullptr);
    ExportIntoUnwritableFolder(folder);
}

}  // namespace
