// mkdbx: the record fields it takes from message headers, the sample messages it turns into
// the sample mailbox, and the program's exit codes.
#include "eml_message.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mailbox/crc32.h"
#include "mailbox/dbx_file.h"
#include "mailbox_fixture.h"

namespace {

using dbxw::FileTimeFromUtc;

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MkdbxParseTest, BareLineFeedsBecomeCrLf) {
    EXPECT_EQ(mkdbx::NormalizeLineEnds("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(mkdbx::NormalizeLineEnds("\n"), "\r\n");
    EXPECT_EQ(mkdbx::NormalizeLineEnds("a\r\nb\r\n"), "a\r\nb\r\n");
    EXPECT_EQ(mkdbx::NormalizeLineEnds("lone\rcr"), "lone\rcr");
    EXPECT_EQ(mkdbx::NormalizeLineEnds(""), "");
}

TEST(MkdbxParseTest, HeaderFieldsAreUnfoldedAndKeepTheirBytes) {
    const std::string message =
        " stray continuation\r\n"
        "Subject: a long\r\n"
        " subject\r\n"
        "\tover three lines\r\n"
        "X-Empty:\r\n"
        "subject: second one\r\n"
        "From :  =?utf-8?B?SsO8cmdlbg==?= <j@example.org>  \r\n"
        "\r\n"
        "Body-Looking: not a field\r\n";
    const std::vector<mkdbx::HeaderField> fields = mkdbx::ParseHeader(message);
    ASSERT_EQ(fields.size(), 4u);
    const mkdbx::HeaderField* subject = mkdbx::FindField(fields, "SUBJECT");
    ASSERT_NE(subject, nullptr);
    EXPECT_EQ(subject->value, "a long subject\tover three lines");
    EXPECT_EQ(mkdbx::FindField(fields, "X-Empty")->value, "");
    EXPECT_EQ(mkdbx::FindField(fields, "From")->value, "=?utf-8?B?SsO8cmdlbg==?= <j@example.org>");
    EXPECT_EQ(mkdbx::FindField(fields, "Body-Looking"), nullptr);
}

TEST(MkdbxParseTest, FirstMailboxOfAnAddressList) {
    struct Case {
        const char* value;
        const char* name;
        const char* address;
    };
    const Case cases[] = {
        {"Alice Martin <alice@example.com>", "Alice Martin", "alice@example.com"},
        {"\"Martin, Alice\" <alice@example.com>", "Martin, Alice", "alice@example.com"},
        {"\"A \\\"Q\\\" B\" <q@example.com>", "A \"Q\" B", "q@example.com"},
        {"alice@example.com", "alice@example.com", "alice@example.com"},
        {"alice@example.com (Alice Martin)", "Alice Martin", "alice@example.com"},
        {"<alice@example.com>", "alice@example.com", "alice@example.com"},
        {"=?koi8-r?B?6dfBzg==?= <ivan@example.org>", "=?koi8-r?B?6dfBzg==?=", "ivan@example.org"},
        {"Bob <bob@example.org>, Carol <carol@example.com>", "Bob", "bob@example.org"},
        {"\"Stone, Bob\" <bob@example.org>, carol@example.com", "Stone, Bob", "bob@example.org"},
        {"team: Bob <bob@example.org>, Carol <carol@example.com>;", "Bob", "bob@example.org"},
        {"undisclosed-recipients:;", "undisclosed-recipients", ""},
        {"Alice (work) <alice@example.com>", "Alice", "alice@example.com"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::optional<mkdbx::Mailbox> m = mkdbx::ParseFirstMailbox(c.value);
        ASSERT_TRUE(m.has_value());
        EXPECT_EQ(m->name, c.name);
        EXPECT_EQ(m->address, c.address);
    }
    EXPECT_FALSE(mkdbx::ParseFirstMailbox("").has_value());
    EXPECT_FALSE(mkdbx::ParseFirstMailbox("  ,  ").has_value());
}

TEST(MkdbxParseTest, DatesWithTimeZonesBecomeUtc) {
    struct Case {
        const char* value;
        std::uint64_t utc;
    };
    const Case cases[] = {
        {"Mon, 3 Nov 2008 17:05:12 +0000", FileTimeFromUtc(2008, 11, 3, 17, 5, 12)},
        {"Tue, 14 Apr 2009 16:40:03 -0700", FileTimeFromUtc(2009, 4, 14, 23, 40, 3)},
        {"Mon, 27 Apr 2009 18:03:00 +0430", FileTimeFromUtc(2009, 4, 27, 13, 33, 0)},
        {"Sat, 2 May 2009 03:17:55 EDT", FileTimeFromUtc(2009, 5, 2, 7, 17, 55)},
        {"Sat, 2 May 2009 03:17:55 PST", FileTimeFromUtc(2009, 5, 2, 11, 17, 55)},
        {"3 Nov 2008 17:05 +0100", FileTimeFromUtc(2008, 11, 3, 16, 5, 0)},
        {"Thu, 1 Jan 2009 00:30:00 +0100", FileTimeFromUtc(2008, 12, 31, 23, 30, 0)},
        {"Sun, 29 Feb 2004 23:59:59 -0001", FileTimeFromUtc(2004, 3, 1, 0, 0, 59)},
        {"Mon, 3 Nov 08 17:05:12 GMT", FileTimeFromUtc(2008, 11, 3, 17, 5, 12)},
        {"Wed, 3 Nov 99 17:05:12 UT", FileTimeFromUtc(1999, 11, 3, 17, 5, 12)},
        {"Mon, 3 Nov 2008 17:05:12 +0000 (UTC)", FileTimeFromUtc(2008, 11, 3, 17, 5, 12)},
        {"Mon (Monday), 3 november 2008 17:05:12", FileTimeFromUtc(2008, 11, 3, 17, 5, 12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::optional<std::uint64_t> t = mkdbx::ParseMailDate(c.value);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(*t, c.utc);
    }
    for (const char* bad :
         {"", "yesterday", "32 Nov 2008 10:00", "3 Foo 2008 10:00", "3 Nov 2008 25:00",
          "3 Nov 2008", "3 Nov 1500 10:00 +0000", "3 Nov 2008 10:00 +0099"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(mkdbx::ParseMailDate(bad).has_value());
    }
}

TEST(MkdbxParseTest, PriorityLinesAndNamedParts) {
    EXPECT_EQ(mkdbx::ParsePriority("1 (Highest)"), 1u);
    EXPECT_EQ(mkdbx::ParsePriority(" 2"), 1u);
    EXPECT_EQ(mkdbx::ParsePriority("3"), 3u);
    EXPECT_EQ(mkdbx::ParsePriority("4 (Low)"), 5u);
    EXPECT_EQ(mkdbx::ParsePriority("5 (Lowest)"), 5u);
    EXPECT_FALSE(mkdbx::ParsePriority("High").has_value());
    EXPECT_FALSE(mkdbx::ParsePriority("").has_value());

    EXPECT_EQ(mkdbx::CountLines(""), 0u);
    EXPECT_EQ(mkdbx::CountLines("a\r\nb\r\n"), 2u);
    EXPECT_EQ(mkdbx::CountLines("a\r\nb"), 2u);
    EXPECT_EQ(mkdbx::CountLines("\r\n\r\n\r\n"), 3u);
}

TEST(MkdbxParseTest, AttachmentsAreNamedMimeParts) {
    const std::string mixed =
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "preamble\r\n--b1\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
        "--b1\r\nContent-Type: application/octet-stream; name=\"data.bin\"\r\n\r\nAAAA\r\n"
        "--b1--\r\n";
    EXPECT_TRUE(mkdbx::HasNamedPart(mixed));

    const std::string filenameOnly =
        "Content-Type: multipart/mixed; boundary=b2\r\n\r\n"
        "--b2\r\nContent-Disposition: attachment; filename=report.txt\r\n\r\nx\r\n--b2--\r\n";
    EXPECT_TRUE(mkdbx::HasNamedPart(filenameOnly));

    const std::string rfc2231 =
        "Content-Type: multipart/mixed; boundary=b3\r\n\r\n"
        "--b3\r\nContent-Disposition: attachment; filename*=utf-8''r%C3%A9sum%C3%A9.txt\r\n\r\n"
        "x\r\n--b3--\r\n";
    EXPECT_TRUE(mkdbx::HasNamedPart(rfc2231));

    const std::string nested =
        "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
        "--outer\r\nContent-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
        "--inner\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--inner\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--inner--\r\n"
        "--outer\r\nContent-Type: image/png;\r\n name=\"logo.png\"\r\n\r\niVBO\r\n--outer--\r\n";
    EXPECT_TRUE(mkdbx::HasNamedPart(nested));

    const std::string alternative =
        "Content-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
        "--alt\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--alt\r\nContent-Type: text/html\r\n\r\n<p>html</p>\r\n--alt--\r\n";
    EXPECT_FALSE(mkdbx::HasNamedPart(alternative));

    // Text that merely looks like a header inside a plain body names nothing.
    const std::string quoted =
        "Content-Type: text/plain\r\n\r\n"
        "Content-Type: application/pdf; name=\"not-a-part.pdf\"\r\n";
    EXPECT_FALSE(mkdbx::HasNamedPart(quoted));

    const std::string singlePart =
        "Content-Type: application/pdf; name=\"whole.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n";
    EXPECT_TRUE(mkdbx::HasNamedPart(singlePart));
    EXPECT_FALSE(mkdbx::HasNamedPart("Subject: plain\r\n\r\nno parts\r\n"));
}

TEST(MkdbxParseTest, MessageFromEmlFillsTheRecord) {
    const std::string raw =
        "Received: from relay.example.org by mx.example.com;\n"
        "\tMon, 3 Nov 2008 18:10:00 +0100\n"
        "Received: from origin.example.org by relay.example.org; Mon, 3 Nov 2008 17:06:00 +0000\n"
        "From: \"Martin, Alice\" <alice@example.com>\n"
        "To: Bob Stone <bob@example.org>, carol@example.com\n"
        "Subject: =?iso-8859-1?Q?Caf=E9?=\n"
        "Date: Mon, 3 Nov 2008 17:05:00 +0000\n"
        "Message-ID: <m1@example.com>\n"
        "In-Reply-To: <m0@example.org>\n"
        "X-Priority: 1 (Highest)\n"
        "Content-Type: multipart/mixed; boundary=\"zz\"\n"
        "\n"
        "--zz\n"
        "Content-Type: text/plain\n\nhello\n"
        "--zz\n"
        "Content-Type: text/plain; name=\"notes.txt\"\n\nnotes\n"
        "--zz--\n";
    const dbxw::Message m = mkdbx::MessageFromEml(raw);
    EXPECT_EQ(m.subject, "Caf\xE9");
    EXPECT_EQ(m.senderName, "Martin, Alice");
    EXPECT_EQ(m.senderAddress, "alice@example.com");
    EXPECT_EQ(m.recipientName, "Bob Stone");
    EXPECT_EQ(m.recipientAddress, "bob@example.org");
    EXPECT_EQ(m.messageId, "<m1@example.com>");
    EXPECT_EQ(m.inReplyTo, "<m0@example.org>");
    EXPECT_EQ(m.sent, FileTimeFromUtc(2008, 11, 3, 17, 5));
    // The first Received: line is the delivery into the mailbox.
    EXPECT_EQ(m.received, FileTimeFromUtc(2008, 11, 3, 17, 10));
    EXPECT_EQ(m.priority, 1u);
    EXPECT_EQ(m.flags & dbxw::kFlagAttachment, dbxw::kFlagAttachment);
    ASSERT_TRUE(m.text.has_value());
    EXPECT_EQ(*m.text, mkdbx::NormalizeLineEnds(raw));
    EXPECT_EQ(m.text->find("\n\n"), std::string::npos);
    EXPECT_EQ(m.lines, 21u);
    EXPECT_FALSE(m.id.has_value());  // the position in the mailbox decides
}

TEST(MkdbxParseTest, MissingHeadersGiveNoAttribute) {
    const dbxw::Message bare = mkdbx::MessageFromEml("\r\njust a body\r\n");
    EXPECT_FALSE(bare.subject.has_value());
    EXPECT_FALSE(bare.senderName.has_value());
    EXPECT_FALSE(bare.recipientAddress.has_value());
    EXPECT_FALSE(bare.messageId.has_value());
    EXPECT_FALSE(bare.inReplyTo.has_value());
    EXPECT_FALSE(bare.sent.has_value());
    EXPECT_FALSE(bare.received.has_value());
    EXPECT_FALSE(bare.priority.has_value());
    EXPECT_EQ(bare.flags, 0u);
    EXPECT_EQ(bare.text, "\r\njust a body\r\n");

    // Without a Received: line the message arrives a few minutes after it was sent.
    const dbxw::Message dated = mkdbx::MessageFromEml("Date: 3 Nov 2008 17:05 +0000\r\n\r\nx\r\n");
    ASSERT_TRUE(dated.sent.has_value());
    ASSERT_TRUE(dated.received.has_value());
    EXPECT_GT(*dated.received, *dated.sent);
    EXPECT_LE(*dated.received - *dated.sent, 10 * 60 * dbxw::kTicksPerSecond);
}

std::vector<std::filesystem::path> SampleFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLBOX_SAMPLES_DIR)) {
        if (entry.path().extension() == ".eml") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class MkdbxSamplesTest : public MailboxTest {};

TEST_F(MkdbxSamplesTest, TheSampleMailboxHoldsWhatTheSamplesPromise) {
    const std::vector<std::filesystem::path> files = SampleFiles();
    ASSERT_GE(files.size(), 12u);
    std::vector<dbxw::Message> messages;
    std::vector<std::string> raw;
    for (const auto& f : files) {
        raw.push_back(Contents(f));
        // Stored as Outlook Express stores them: nothing to convert.
        EXPECT_EQ(mkdbx::NormalizeLineEnds(raw.back()), raw.back()) << f;
        messages.push_back(mkdbx::MessageFromEml(raw.back()));
    }
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(messages)), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), std::int32_t(files.size()));

    auto entry = [&](std::string_view fileStart) -> const CEmailDBX* {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].filename().string().starts_with(fileStart)) {
                return dbx.GetEmails()[std::int32_t(i)];
            }
        }
        ADD_FAILURE() << "no sample " << fileStart;
        return nullptr;
    };
    int attachments = 0;
    int high = 0;
    int low = 0;
    for (std::int32_t i = 0; i < dbx.GetEmails().GetCount(); ++i) {
        const CEmailDBX* e = dbx.GetEmails()[i];
        EXPECT_EQ(e->m_Id, i + 1);
        EXPECT_TRUE(e->m_bHasText);
        EXPECT_NE(e->m_SentTime, 0u);
        EXPECT_GT(e->m_ReceivedTime, e->m_SentTime);
        EXPECT_FALSE(e->m_Subject.IsEmpty());
        EXPECT_FALSE(e->m_SenderAddress.empty());
        std::string text;
        ASSERT_TRUE(dbx.GetMessageText(e, text));
        EXPECT_EQ(text, raw[std::size_t(i)]);
        attachments += e->m_bHasAttachment ? 1 : 0;
        high += e->m_nPriority == 1 ? 1 : 0;
        low += e->m_nPriority == 5 ? 1 : 0;
    }
    EXPECT_EQ(attachments, 1);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(low, 1);

    const CEmailDBX* invoice = entry("03-");
    ASSERT_NE(invoice, nullptr);
    EXPECT_TRUE(invoice->m_bHasAttachment);
    EXPECT_EQ(invoice->m_RecipientName, "Martin, Alice");

    const CEmailDBX* koi8 = entry("07-");
    ASSERT_NE(koi8, nullptr);
    // Cyrillic has no place in Windows-1252, the code page of the sample mailbox.
    EXPECT_EQ(koi8->m_Subject.GetTextView().find("=?"), std::string_view::npos);
    EXPECT_NE(koi8->m_Subject.GetTextView().find('?'), std::string_view::npos);

    // The reply chain links by identifier, and its copy is an exact duplicate.
    const CEmailDBX* question = entry("08-");
    const CEmailDBX* answer = entry("09-");
    const CEmailDBX* followUp = entry("10-");
    const CEmailDBX* copy = entry("11-");
    ASSERT_TRUE(question && answer && followUp && copy);
    EXPECT_EQ(answer->m_InReplyTo, question->m_MessageId);
    EXPECT_EQ(answer->m_nInReplyToCrc, question->m_nMessageIdCrc);
    EXPECT_EQ(followUp->m_nInReplyToCrc, answer->m_nMessageIdCrc);
    EXPECT_EQ(copy->m_MessageId, answer->m_MessageId);
    EXPECT_EQ(copy->m_SentTime, answer->m_SentTime);

    const CEmailDBX* urgent = entry("12-");
    ASSERT_NE(urgent, nullptr);
    EXPECT_EQ(urgent->m_nPriority, 1);
    EXPECT_EQ(DateText(urgent->m_SentTime), u"2009-05-02 07:17");

    const CEmailDBX* bare = entry("13-");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->m_nPriority, 5);
    EXPECT_EQ(bare->m_SenderName, bare->m_SenderAddress);
}

// Runs a shell command line and returns the program's exit code.
int RunCommand(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

class MkdbxProgramTest : public MailboxTest {
protected:
    std::string Mkdbx() const { return Quoted(QUILLBOX_MKDBX_PATH); }
    std::string Errors() const { return Quoted(temp.Path("stderr.txt")); }
};

TEST_F(MkdbxProgramTest, BuildsAMailboxFromMessageFiles) {
    const std::filesystem::path a = temp.Path("a.eml");
    const std::filesystem::path b = temp.Path("b.eml");
    std::ofstream(a, std::ios::binary) << "Subject: first\nFrom: x@example.com\n\nbody one\n";
    std::ofstream(b, std::ios::binary) << "Subject: second\r\n\r\nbody two\r\n";
    const std::filesystem::path out = temp.Path("out.dbx");
    ASSERT_EQ(RunCommand(Mkdbx() + " " + Quoted(out) + " " + Quoted(a) + " " + Quoted(b)), 0);

    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(out.u16string()), DbxOk);
    ASSERT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(dbx.GetEmails()[0]->m_Subject.GetTextView(), "first");
    EXPECT_EQ(dbx.GetEmails()[1]->m_Subject.GetTextView(), "second");
    std::string text;
    ASSERT_TRUE(dbx.GetMessageText(dbx.GetEmails()[0], text));
    EXPECT_EQ(text, "Subject: first\r\nFrom: x@example.com\r\n\r\nbody one\r\n");
}

TEST_F(MkdbxProgramTest, ExitCodes) {
    EXPECT_EQ(RunCommand(Mkdbx() + " 2>" + Errors()), 2);
    EXPECT_NE(Contents(temp.Path("stderr.txt")).find("usage"), std::string::npos);
    EXPECT_EQ(RunCommand(Mkdbx() + " --bogus out.dbx 2>" + Errors()), 2);
    EXPECT_EQ(RunCommand(Mkdbx() + " --help >/dev/null"), 0);

    const std::filesystem::path missing = temp.Path("missing.eml");
    EXPECT_EQ(RunCommand(Mkdbx() + " " + Quoted(temp.Path("o.dbx")) + " " + Quoted(missing) +
                         " 2>" + Errors()),
              1);
    const std::string err = Contents(temp.Path("stderr.txt"));
    EXPECT_NE(err.find("missing.eml"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(temp.Path("o.dbx")));

    // A folder opens, but cannot be read as a message.
    EXPECT_EQ(RunCommand(Mkdbx() + " " + Quoted(temp.Path("o.dbx")) + " " + Quoted(temp.Path()) +
                         " 2>" + Errors()),
              1);
    EXPECT_FALSE(std::filesystem::exists(temp.Path("o.dbx")));

    const std::filesystem::path msg = temp.Path("m.eml");
    std::ofstream(msg, std::ios::binary) << "Subject: s\r\n\r\nb\r\n";
    const std::filesystem::path unwritable = temp.Path("no-such-folder/o.dbx");
    EXPECT_EQ(RunCommand(Mkdbx() + " " + Quoted(unwritable) + " " + Quoted(msg) + " 2>" + Errors()),
              1);
    EXPECT_NE(Contents(temp.Path("stderr.txt")).find("o.dbx"), std::string::npos);
}

}  // namespace

TEST(MkdbxParseTest, DisplayTextsAreDecodedIntoTheCodePage) {
    // UTF-8 with an en dash, which Windows-1252 holds at 0x96.
    EXPECT_EQ(mkdbx::CodePageText("=?utf-8?B?R3LDvMOfZSDigJMgWsO8cmljaA==?=", 1252),
              "Gr\xFC\xDF"
              "e \x96 Z\xFCrich");
    EXPECT_EQ(mkdbx::CodePageText("=?iso-8859-1?Q?Ren=E9?= Lefort", 1252), "Ren\xE9 Lefort");
    // Cyrillic has no place in 1252; a Russian Windows stores it in 1251.
    EXPECT_EQ(mkdbx::CodePageText("=?koi8-r?B?6dfBzg==?=", 1252), "????");
    EXPECT_EQ(mkdbx::CodePageText("=?koi8-r?B?6dfBzg==?=", 1251), "\xC8\xE2\xE0\xED");
    EXPECT_EQ(mkdbx::CodePageText("plain words", 1251), "plain words");
    // Raw 8-bit text is read in the charset the message declares.
    EXPECT_EQ(mkdbx::CodePageText("\xE9\xD7\xC1\xCE", 1251, "koi8-r"), "\xC8\xE2\xE0\xED");
    EXPECT_EQ(mkdbx::CodePageText("\xE9\xD7\xC1\xCE", 1251), "\xE9\xD7\xC1\xCE");
    // An unknown charset keeps the decoded bytes.
    EXPECT_EQ(mkdbx::CodePageText("=?x-unknown?Q?a=FFb?=", 1252),
              "a\xFF"
              "b");
}
