// The mailbox file is only ever read: opening, viewing, scanning, the duplicate tools and
// every export leave its bytes and its modification time as they were, the file is held
// open for reading only, and a file nobody may write (or one on a read-only mount) loads
// like any other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/duplicates.h"
#include "analysis/email_sort.h"
#include "analysis/mailbox_rescue.h"
#include "analysis/message_thread.h"
#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_all_in_one.h"
#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_mbox.h"
#include "export/export_session.h"
#include "export/export_threads.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mime/charset_scan.h"
#include "mime/transfer_codec.h"
#include "mime/viewer_text.h"
#include "support/recording_ui.h"

namespace {

namespace fs = std::filesystem;

timespec ModificationTime(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    return info.st_mtim;
}

// The access modes of this process's descriptors open on the file.
std::vector<int> OpenModes(const fs::path& path) {
    std::vector<int> modes;
    const fs::path target = fs::canonical(path);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (fs::read_symlink(fd.path(), error) != target || error)
            continue;
        std::ifstream info("/proc/self/fdinfo/" + fd.path().filename().string());
        for (std::string line; std::getline(info, line);) {
            if (line.rfind("flags:", 0) == 0) {
                modes.push_back(int(std::strtol(line.c_str() + 6, nullptr, 8)) & O_ACCMODE);
            }
        }
    }
    return modes;
}

std::vector<dbxw::Message> Messages() {
    std::vector<dbxw::Message> messages;
    auto add = [&](std::string subject, std::string text, std::string id, std::string reply) {
        dbxw::Message m;
        m.subject = subject;
        m.messageId = id;
        if (!reply.empty())
            m.inReplyTo = reply;
        m.text = "Subject: " + subject + "\r\nMessage-ID: " + id + "\r\n" + text;
        messages.push_back(std::move(m));
    };
    add("Plan", "Content-Type: text/plain; charset=iso-8859-1\r\n\r\nthe plan\r\n", "<1@x>", "");
    add("Re: Plan",
        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain\r\n"
        "\r\nsee file\r\n--b\r\nContent-Type: application/pdf; name=\"plan.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--b--\r\n",
        "<2@x>", "<1@x>");
    add("Again", "\r\nbegin 644 notes.txt\r\n#86)C\r\n`\r\nend\r\n", "<1@x>", "");
    return messages;
}

class ReadOnlyTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterStandardCodecs();
        ASSERT_TRUE(dbxw::BuildSimpleMailbox(Messages()).WriteTo(mailbox));
    }

    // Everything the program does with an open mailbox, into the scratch folder.
    void UseEverything(CDBXFile& dbx) {
        CRecordingUi ui;
        CExportSession session(dbx, ui);
        CEmailArray& emails = dbx.GetEmails();
        std::string text;
        for (CEmailDBX* entry : emails.Items()) {
            ASSERT_TRUE(dbx.GetMessageText(entry, text));
            (void)GetTextPageContent(text);
            entry->m_bSelected = true;
        }
        std::vector<std::u16string> charsets;
        EXPECT_TRUE(ScanCharsets(dbx, ui, charsets));
        EXPECT_EQ(CountThreads(emails, ui), 2u);
        EXPECT_EQ(CountDuplicateEmails(emails, ui), 1u);

        const fs::path out = temp.Path("out");
        fs::create_directories(out);
        const std::u16string folder = out.u16string() + u"/";
        EXPECT_TRUE(ExportEml(session, folder));
        EXPECT_EQ(ExportAttachments(session, folder), 2);
        CAllInOneRequest all;
        all.templatePath = (fs::path(QUILLBOX_TEMPLATE_DIR) / "html_style1.html").u16string();
        all.outputFile = (out / "all.html").u16string();
        all.codePage = 65001;
        EXPECT_TRUE(ExportAllInOne(session, all));
        CThreadExportRequest threads;
        threads.folder = folder;
        threads.templatePath = all.templatePath;
        threads.codePage = 65001;
        EXPECT_TRUE(ExportThreads(session, threads));
        const CEmailSortState sort;
        EXPECT_EQ(DeleteDuplicateEmails(emails, ui, sort), 1u);
        // Three EML files, two attached files, the page and two thread pages: all in the
        // scratch folder, none beside the mailbox.
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 8);
        EXPECT_EQ(
            std::distance(fs::directory_iterator(mailbox.parent_path()), fs::directory_iterator()),
            2);
    }

    dbxw::TempDir temp;
    fs::path mailbox = temp.Path("keep.dbx");
};

TEST_F(ReadOnlyTest, OpeningViewingAndExportingLeaveTheFileUntouched) {
    const std::string before = dbxw::ReadWholeFile(mailbox);
    const timespec mtime = ModificationTime(mailbox);
    ASSERT_FALSE(before.empty());
    {
        CDBXFile dbx;
        ASSERT_EQ(dbx.Open(mailbox.u16string()), DbxOk);
        // Held open for reading only, by exactly one descriptor.
        EXPECT_EQ(OpenModes(mailbox), std::vector<int>{O_RDONLY});
        UseEverything(dbx);
        EXPECT_EQ(OpenModes(mailbox), std::vector<int>{O_RDONLY});
    }
    EXPECT_TRUE(OpenModes(mailbox).empty());
    EXPECT_EQ(dbxw::ReadWholeFile(mailbox), before);
    const timespec after = ModificationTime(mailbox);
    EXPECT_EQ(after.tv_sec, mtime.tv_sec);
    EXPECT_EQ(after.tv_nsec, mtime.tv_nsec);
}

TEST_F(ReadOnlyTest, AOneFileExportIntoTheOpenMailboxIsRefused) {
    const std::string before = dbxw::ReadWholeFile(mailbox);
    fs::create_symlink(mailbox, temp.Path("link.mbox"));
    fs::create_hard_link(mailbox, temp.Path("hard.html"));
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(mailbox.u16string()), DbxOk);
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        entry->m_bSelected = true;
    }
    CRecordingUi ui;
    CExportSession session(dbx, ui);
    // By its own name and through a link: the file would be emptied before it was read.
    for (const fs::path& target : {mailbox, temp.Path("link.mbox")}) {
        CMboxRequest request;
        request.outputFile = target.u16string();
        EXPECT_FALSE(ExportMbox(session, request)) << target;
    }
    CAllInOneRequest all;
    all.templatePath = (fs::path(QUILLBOX_TEMPLATE_DIR) / "html_style1.html").u16string();
    all.outputFile = temp.Path("hard.html").u16string();
    all.codePage = 65001;
    EXPECT_FALSE(ExportAllInOne(session, all));
    EXPECT_EQ(dbxw::ReadWholeFile(mailbox), before);
    ASSERT_EQ(ui.messages.size(), 3u);
    for (const auto& message : ui.messages) {
        EXPECT_EQ(message.text.rfind(u"The output file is the mailbox being exported:\n", 0), 0u);
        EXPECT_EQ(message.icon, MsgIcon::Error);
    }
    // Any other file is written as before.
    all.outputFile = temp.Path("other.html").u16string();
    EXPECT_TRUE(ExportAllInOne(session, all));
    EXPECT_EQ(ui.messages.size(), 3u);
}

TEST_F(ReadOnlyTest, TheRescueScanLeavesTheFileUntouched) {
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(Messages());
    b.DeleteMessage(1);
    ASSERT_TRUE(b.Build().WriteTo(mailbox));
    fs::permissions(mailbox,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = dbxw::ReadWholeFile(mailbox);
    const timespec mtime = ModificationTime(mailbox);
    {
        CDBXFile dbx;
        ASSERT_EQ(dbx.Open(mailbox.u16string()), DbxOk);
        CRecordingUi ui;
        ASSERT_EQ(RecoverMessages(dbx, ui).m_nDeleted, 1u);
        EXPECT_EQ(OpenModes(mailbox), std::vector<int>{O_RDONLY});
        std::string text;
        for (CEmailDBX* entry : dbx.GetEmails().Items()) {
            ASSERT_TRUE(dbx.GetMessageText(entry, text));
            entry->m_bSelected = true;
        }
        CExportSession session(dbx, ui);
        const fs::path out = temp.Path("out");
        fs::create_directories(out);
        EXPECT_TRUE(ExportEml(session, out.u16string() + u"/"));
        EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
        // The recovered row kept its record, so its identifier names the file.
        CEmailDBX* recovered = dbx.GetEmails().Get(2);
        ASSERT_TRUE(recovered->IsRecovered());
        EXPECT_TRUE(fs::exists(out / "[2]Re_ Plan.eml"));
        CEmailDBX orphan;
        orphan.m_Recovered = RecoveredKind::Deleted;
        orphan.m_nTextOffset = 0x2A40;
        EXPECT_EQ(EmlFileName(orphan, "Subject: Re: Plan\r\n\r\n", 1252),
                  u"[deleted-00002A40]Re_ Plan.eml");
        EXPECT_EQ(GetEmailCellText(orphan, ColId, 1252), u"deleted");
        EXPECT_EQ(GetEmailCellText(*recovered, ColId, 1252), u"2 deleted");
    }
    EXPECT_EQ(dbxw::ReadWholeFile(mailbox), before);
    EXPECT_EQ(ModificationTime(mailbox).tv_nsec, mtime.tv_nsec);
}

TEST_F(ReadOnlyTest, AFileWithoutWritePermissionLoadsNormally) {
    fs::permissions(mailbox,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(mailbox.u16string()), DbxOk);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 3);
    UseEverything(dbx);
}

TEST_F(ReadOnlyTest, AFileOnAReadOnlyMountLoadsNormally) {
    // A private mount namespace, so the read-only mount vanishes with the child process.
    const fs::path view = temp.Path("ro");
    fs::create_directories(view);
    const std::string script = "mount --bind '" + temp.Path("").string() + "' '" + view.string() +
                               "' && mount -o remount,ro,bind '" + view.string() +
                               "' && ! touch '" + (view / "probe").string() + "' 2>/dev/null";
    if (std::system(("unshare -m sh -c \"" + script + "\" >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << "no private read-only mounts here (needs root and unshare)";
    }
    // The reader runs in the namespace through a tiny program of its own: this test binary.
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string child =
        "'" + self + "' --gtest_filter=ReadOnlyChild.* --gtest_also_run_disabled_tests";
    const std::string command = "unshare -m sh -c \"" + script + " && QUILLBOX_RO_MAILBOX='" +
                                (view / "keep.dbx").string() + "' " + child + "\" >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

// Run only by the test above, inside its namespace.
TEST(ReadOnlyChild, DISABLED_OpenAndReadEveryMessage) {
    const char* path = std::getenv("QUILLBOX_RO_MAILBOX");
    ASSERT_NE(path, nullptr);
    RegisterStandardCodecs();
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(fs::path(path).u16string()), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 3);
    std::string text;
    for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
        ASSERT_TRUE(dbx.GetMessageText(entry, text));
        EXPECT_NE(text.find("Subject: "), std::string::npos);
    }
}

}  // namespace
