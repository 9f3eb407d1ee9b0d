// Message dates on exported files: each per-message and per-thread format, the formats
// that keep the time of writing, the switch, and the wizard's remembered check box.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <string>
#include <vector>

#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_mbox.h"
#include "export/export_settings.h"
#include "export/export_threads.h"
#include "export/export_wizard.h"
#include "export_files_fixture.h"

namespace {

namespace fs = std::filesystem;
using exportfiles::ExportFilesTest;
using exportfiles::Raw;

constexpr std::int64_t kEpochSeconds = 11'644'473'600;

std::int64_t UnixSeconds(std::uint64_t fileTime) {
    return std::int64_t(fileTime / dbxw::kTicksPerSecond) - kEpochSeconds;
}

// The modification time in whole seconds; -1 when the file is missing.
std::int64_t Mtime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_mtim.tv_sec) : -1;
}

const std::uint64_t kSent = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5, 0);
const std::uint64_t kReceived = dbxw::FileTimeFromUtc(2009, 2, 14, 9, 30, 15);

dbxw::Message Dated(std::string text, std::optional<std::uint64_t> sent,
                    std::optional<std::uint64_t> received) {
    dbxw::Message m = Raw(std::move(text));
    m.sent = sent;
    m.received = received;
    return m;
}

class FileTimesTest : public ExportFilesTest {
protected:
    void SetUp() override {
        ExportFilesTest::SetUp();
        start = std::time(nullptr);
    }
    // Written during the test rather than dated.
    [[nodiscard]] bool WrittenNow(const fs::path& path) const {
        const std::int64_t t = Mtime(path);
        return t >= start - 1 && t <= std::time(nullptr) + 1;
    }
    std::int64_t start = 0;
};

TEST_F(FileTimesTest, EmlFilesTakeTheSentDateElseTheReceivedDate) {
    OpenMailbox({Dated("Subject: a\r\n\r\nx\r\n", kSent, kReceived),
                 Dated("Subject: b\r\n\r\nx\r\n", std::nullopt, kReceived),
                 Dated("Subject: c\r\n\r\nx\r\n", std::nullopt, std::nullopt)});
    ASSERT_TRUE(ExportEml(session, Folder()));
    EXPECT_EQ(Mtime(out / "[1]a.eml"), UnixSeconds(kSent));
    EXPECT_EQ(Mtime(out / "[2]b.eml"), UnixSeconds(kReceived));
    EXPECT_TRUE(WrittenNow(out / "[3]c.eml")) << "no date: the time of writing stays";
}

TEST_F(FileTimesTest, AttachedAndUuencodedFilesTakeTheirMessagesDate) {
    const std::string uuencoded = "Subject: uu\r\n\r\nbegin 644 notes.txt\r\n#:&D*\r\n`\r\nend\r\n";
    OpenMailbox({Dated(exportfiles::MultipartMail({{"report.pdf", "aGVsbG8="}}), kSent, kReceived),
                 Dated(uuencoded, std::nullopt, kReceived)});
    EXPECT_EQ(ExportAttachments(session, Folder()), 2);
    EXPECT_EQ(Mtime(out / "report.pdf"), UnixSeconds(kSent));
    EXPECT_EQ(Mtime(out / "notes.txt"), UnixSeconds(kReceived));
}

TEST_F(FileTimesTest, ThreadFileTakesItsLatestWrittenMessage) {
    const std::uint64_t later = dbxw::FileTimeFromUtc(2008, 11, 5, 12, 0, 0);
    const std::uint64_t latest = dbxw::FileTimeFromUtc(2012, 1, 1, 0, 0, 0);
    dbxw::Message first = Dated("Subject: plan\r\n\r\nx\r\n", kSent, std::nullopt);
    first.messageId = "<1@x>";
    dbxw::Message answer = Dated("Subject: Re: plan\r\n\r\nx\r\n", later, std::nullopt);
    answer.messageId = "<2@x>";
    answer.inReplyTo = "<1@x>";
    // Left out of the export, so its date is not the file's.
    dbxw::Message skipped = Dated("Subject: Re: plan\r\n\r\nx\r\n", latest, std::nullopt);
    skipped.messageId = "<3@x>";
    skipped.inReplyTo = "<1@x>";
    OpenMailbox({first, answer, skipped});
    Entry(2)->m_bSelected = false;

    const fs::path tpl = temp.Path("thread.html");
    exportfiles::WriteFile(tpl, "%%%EMAIL_START%%%%%%SUBJECT%%%%%%NEXT_EMAIL%%%");
    CThreadExportRequest request;
    request.folder = Folder();
    request.templatePath = tpl.u16string();
    request.codePage = 65001;
    ASSERT_TRUE(ExportThreads(session, request));
    EXPECT_EQ(Mtime(out / "plan.html"), UnixSeconds(later));
}

TEST_F(FileTimesTest, OneFileExportsAndTheSwitchKeepTheTimeOfWriting) {
    OpenMailbox({Dated("Subject: a\r\n\r\nx\r\n", kSent, kReceived)});
    CMboxRequest mbox;
    mbox.outputFile = (out / "all.mbox").u16string();
    ASSERT_TRUE(ExportMbox(session, mbox));
    EXPECT_TRUE(WrittenNow(out / "all.mbox"));

    CExportCommand command;
    command.format = FormatEml;
    command.destination = Folder() + u"off";
    command.fileTimes = false;
    ASSERT_TRUE(RunExportCommand(session, command));
    EXPECT_TRUE(WrittenNow(out / "off" / "[1]a.eml"));

    command.destination = Folder() + u"on";
    command.fileTimes = true;
    ASSERT_TRUE(RunExportCommand(session, command));
    EXPECT_EQ(Mtime(out / "on" / "[1]a.eml"), UnixSeconds(kSent));
}

TEST_F(FileTimesTest, WizardShowsAndRemembersTheCheckBoxForFolderFormats) {
    for (const CExportFormatInfo& format : WizardExportFormats()) {
        const CExportStep3View view = InitExportStep3(format.code, settings);
        EXPECT_EQ(view.showFileTimes, format.destination == ExportDestination::Folder)
            << format.code;
        EXPECT_TRUE(view.fileTimes) << "on by default";
    }
    ExportStep3StoreFileTimes(false, settings);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeySetFileTimes), 0);
    EXPECT_FALSE(InitExportStep3(FormatEml, settings).fileTimes);

    // Save Attachments has no step 3: it follows the remembered choice.
    OpenMailbox({Dated(exportfiles::MultipartMail({{"a.bin", "aGVsbG8="}}), kSent, kReceived)});
    const std::vector<std::int32_t> rows = {0};
    const auto saved = RunSaveAttachmentsCommand(
        session, settings, rows, [&](std::u16string_view) { return std::optional(Folder()); });
    ASSERT_EQ(saved, 1);
    EXPECT_TRUE(WrittenNow(out / "a.bin"));

    ExportStep3StoreFileTimes(true, settings);
    EXPECT_TRUE(InitExportStep3(FormatHtmlThreads, settings).fileTimes);
    fs::remove(out / "a.bin");
    ASSERT_EQ(
        RunSaveAttachmentsCommand(session, settings, rows,
                                  [&](std::u16string_view) { return std::optional(Folder()); }),
        1);
    EXPECT_EQ(Mtime(out / "a.bin"), UnixSeconds(kSent));
}

}  // namespace
