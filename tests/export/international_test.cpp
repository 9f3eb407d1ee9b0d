// Exports of a mailbox written on a Russian Windows: every name taken from a stored string
// or from header text without a charset is read in the mailbox's code page.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "export/export_all_in_one.h"
#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_threads.h"
#include "export_files_fixture.h"
#include "mime/mailbox_code_page.h"

namespace {

using exportfiles::ExportFilesTest;
using exportfiles::Listing;
using exportfiles::ReadFile;
using exportfiles::WriteFile;

// "Привет", "Отчёт" and "Иван" in Windows-1251 and in UTF-8.
const std::string kPrivet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
const std::string kPrivet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
const std::string kOtchet1251 = "\xCE\xF2\xF7\xB8\xF2";
const std::string kOtchet = "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82";
const std::string kIvan1251 = "\xC8\xE2\xE0\xED";
const std::string kIvan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";

// A message whose header tells the code page (encoded words), stored as a Russian
// Windows stored it; the body carries the file of the test.
dbxw::Message Stored(std::uint32_t id, const std::string& body,
                     const std::string& contentType = "text/plain; charset=windows-1251") {
    dbxw::Message m;
    m.id = id;
    m.subject = kPrivet1251;
    m.senderName = kIvan1251;
    m.senderAddress = "ivan@example.ru";
    m.recipientName = kIvan1251;
    m.recipientAddress = "ivan@example.ru";
    m.messageId = "<" + std::to_string(id) + "@example.ru>";
    m.text =
        "From: =?utf-8?B?0JjQstCw0L0=?= <ivan@example.ru>\r\n"
        "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n"
        "Message-ID: <" +
        std::to_string(id) + "@example.ru>\r\nMIME-Version: 1.0\r\nContent-Type: " + contentType +
        "\r\n\r\n" + body;
    return m;
}

class InternationalExportTest : public ExportFilesTest {
protected:
    // Opens as File > Open does: with the code page detected.
    void OpenDetected(const std::vector<dbxw::Message>& messages) {
        dbxPath = temp.Path("Inbox.dbx");
        ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(dbxPath));
        ASSERT_EQ(::OpenMailbox(dbx, dbxPath.u16string()), DbxOk);
        ASSERT_EQ(dbx.GetCodePage(), 1251u);
        MarkAll(true);
    }
};

TEST_F(InternationalExportTest, EmlNamesComeFromTheStoredOrUnlabelledSubjectInTheCodePage) {
    dbxw::Message raw8bit = Stored(3, "x\r\n");
    // No encoded word and no charset: the header's own bytes, in the mailbox's code page.
    raw8bit.text = "Subject: " + kOtchet1251 + "\r\n\r\nx\r\n";
    dbxw::Message noSubject = Stored(4, "x\r\n");
    noSubject.text = "From: someone@example.ru\r\n\r\nx\r\n";
    OpenDetected({Stored(1, "a\r\n"), Stored(2, "b\r\n"), raw8bit, noSubject});
    EXPECT_TRUE(ExportEml(session, Folder()));
    EXPECT_EQ(Listing(out),
              (std::set<std::string>{"[1]" + kPrivet + ".eml", "[2]" + kPrivet + ".eml",
                                     "[3]" + kOtchet + ".eml", "[4]" + kPrivet + ".eml"}));
}

TEST_F(InternationalExportTest, AttachedAndUuencodedFileNamesWithoutACharset) {
    const std::string multipart =
        "--XX\r\nContent-Type: text/plain\r\n\r\nsee\r\n"
        "--XX\r\nContent-Type: application/octet-stream; name=\"" +
        kOtchet1251 + ".txt\"\r\nContent-Transfer-Encoding: base64\r\n\r\nb2s=\r\n--XX--\r\n";
    const std::string uuencoded =
        "see below\r\n\r\nbegin 644 " + kIvan1251 + ".txt\r\n\";VL \r\n`\r\nend\r\n";
    OpenDetected({Stored(1, multipart, "multipart/mixed; boundary=\"XX\""), Stored(2, uuencoded),
                  Stored(3, "c\r\n"), Stored(4, "d\r\n")});
    EXPECT_EQ(ExportAttachments(session, Folder()), 2);
    EXPECT_EQ(Listing(out), (std::set<std::string>{kOtchet + ".txt", kIvan + ".txt"}));
    EXPECT_EQ(ReadFile(out / (kOtchet + ".txt")), "ok");
    EXPECT_EQ(ReadFile(out / (kIvan + ".txt")), "ok");
}

TEST_F(InternationalExportTest, ThreadFilesAndTheSenderKeyReadStoredStringsInTheCodePage) {
    // The sender key falls back to the stored name when the header has no From field.
    dbxw::Message noFrom = Stored(5, "e\r\n");
    noFrom.text = "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n\r\ne\r\n";
    OpenDetected({Stored(1, "a\r\n"), Stored(2, "b\r\n"), Stored(3, "c\r\n"), noFrom});

    const auto templatePath = temp.Path("keys.html");
    WriteFile(templatePath, "%%%EMAIL_START%%%[%%%SENDER_NAME%%%|%%%SUBJECT%%%]%%%NEXT_EMAIL%%%");
    CAllInOneRequest request;
    request.templatePath = templatePath.u16string();
    request.outputFile = (out / "all.html").u16string();
    request.codePage = 65001;
    request.sortBy = 0;
    ASSERT_TRUE(ExportAllInOne(session, request));
    const std::string page = ReadFile(out / "all.html");
    EXPECT_EQ(page.rfind("[" + kIvan + " ", 0), 0u) << page;
    const std::string last = "[" + kIvan + "|" + kPrivet + "]";
    ASSERT_GE(page.size(), last.size());
    EXPECT_EQ(page.substr(page.size() - last.size()), last) << page;

    CThreadExportRequest threads;
    threads.folder = (out / "threads").u16string() + u"/";
    std::filesystem::create_directory(out / "threads");
    threads.templatePath = templatePath.u16string();
    threads.codePage = 65001;
    ASSERT_TRUE(ExportThreads(session, threads));
    EXPECT_EQ(Listing(out / "threads").count(kPrivet + ".html"), 1u);
}

}  // namespace
