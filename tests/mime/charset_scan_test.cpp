#include "mime/charset_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mime/transfer_codec.h"
#include "mime_test_text.h"
#include "support/recording_ui.h"

using mimetest::Crlf;

namespace {

std::string TextPart(const std::string& charset, const std::string& body = "hello") {
    return Crlf("Subject: s\nContent-Type: text/plain; charset=" + charset + "\n\n" + body + "\n");
}

std::string Alternative(const std::string& plainCharset, const std::string& htmlCharset) {
    return Crlf(
        "Subject: alt\nMIME-Version: 1.0\n"
        "Content-Type: multipart/alternative; boundary=\"b1\"\n\n"
        "--b1\nContent-Type: text/plain; charset=\"" +
        plainCharset +
        "\"\n\nplain\n"
        "--b1\nContent-Type: text/html; charset=" +
        htmlCharset +
        "\n\n<p>html</p>\n"
        "--b1--\n");
}

class CharsetScanTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }

    // Opens a mailbox of the raw texts, in list order.
    void Open(const std::vector<std::string>& texts) {
        std::vector<dbxw::Message> messages;
        for (const std::string& text : texts) {
            dbxw::Message m;
            m.text = text;
            messages.push_back(m);
        }
        const auto path = temp.Path("box.dbx");
        ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(path));
        ASSERT_EQ(dbx.Open(path.u16string()), DbxOk);
    }

    std::vector<std::u16string> Scan() {
        std::vector<std::u16string> found;
        EXPECT_TRUE(ScanCharsets(dbx, ui, found));
        return found;
    }

    dbxw::TempDir temp;
    CDBXFile dbx;
    CRecordingUi ui;
};

TEST_F(CharsetScanTest, NamesDifferingOnlyInCaseAreKeptOnceAsFirstSpelled) {
    Open({TextPart("UTF-8"), TextPart("utf-8"), TextPart("Utf-8"), TextPart("koi8-r")});
    EXPECT_EQ(Scan(), (std::vector<std::u16string>{u"UTF-8", u"koi8-r"}));
}

TEST_F(CharsetScanTest, EveryLeafOfAMessageCountsAndPartsWithoutCharsetAddNothing) {
    const std::string noCharset = Crlf("Subject: n\nContent-Type: text/plain\n\nx\n");
    const std::string image = Crlf(
        "Subject: i\nContent-Type: image/png; name=\"a.png\"\n"
        "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=\n");
    Open({noCharset, Alternative("iso-8859-1", "windows-1252"), image});
    EXPECT_EQ(Scan(), (std::vector<std::u16string>{u"iso-8859-1", u"windows-1252"}));
}

TEST_F(CharsetScanTest, EntriesWithoutTextAreSkippedQuietly) {
    std::vector<dbxw::Message> messages(3);
    messages[0].text = TextPart("iso-8859-2");
    messages[2].text = TextPart("big5");  // the middle entry stores no text
    const auto path = temp.Path("gaps.dbx");
    ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(path));
    ASSERT_EQ(dbx.Open(path.u16string()), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 3);

    EXPECT_EQ(Scan(), (std::vector<std::u16string>{u"iso-8859-2", u"big5"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CharsetScanTest, ProgressIsUpdatedEveryTenthEntryAndPumpedForEach) {
    Open(std::vector<std::string>(25, TextPart("us-ascii")));
    (void)Scan();

    const CProgressRecord& p = ui.LastProgress();
    EXPECT_EQ(p.creationTitle, u"Scanning emails...");
    ASSERT_FALSE(p.ranges.empty());
    EXPECT_EQ(p.ranges.front(), (ProgressRange{0, 100, 1}));
    // 0, 10 and 20 of 25, then full before the window goes.
    EXPECT_EQ(p.positions, (std::vector<int>{0, 40, 80, 100}));
    EXPECT_EQ(p.statusTexts, (std::vector<std::u16string>{u"0 emails scanned", u"10 emails scanned",
                                                          u"20 emails scanned"}));
    EXPECT_EQ(p.clearCount, 1);
    EXPECT_EQ(p.pumpWithEscapeCount, 25);
    EXPECT_TRUE(p.destroyed);
}

TEST_F(CharsetScanTest, CancelStopsBeforeTheNextEntry) {
    Open({TextPart("iso-8859-5"), TextPart("iso-8859-7"), TextPart("iso-8859-9")});
    ui.SetCancelAfterPumps(2);
    std::vector<std::u16string> found;
    EXPECT_FALSE(ScanCharsets(dbx, ui, found));
    // The first entry was scanned; the second poll saw the cancel.
    EXPECT_EQ(found, (std::vector<std::u16string>{u"iso-8859-5"}));
    EXPECT_TRUE(ui.LastProgress().destroyed);
}

TEST(CharsetReportTest, RowsAreSortedByNameWithTheFirstMatchingDescription) {
    const auto rows = BuildCharsetReport({u"utf-8", u"X-Unknown", u"Big5", u"ISO-8859-1"});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].m_Name, u"Big5");
    EXPECT_EQ(rows[1].m_Name, u"ISO-8859-1");
    EXPECT_EQ(rows[2].m_Name, u"utf-8");
    EXPECT_EQ(rows[3].m_Name, u"X-Unknown");
    EXPECT_EQ(rows[1].m_Description, u"Western European/American (Latin 1-ISO)");
    EXPECT_EQ(rows[2].m_Description, u"Unicode (UTF-8)");
    EXPECT_TRUE(rows[3].m_Description.empty());
    EXPECT_FALSE(rows[0].m_Description.empty());
    EXPECT_TRUE(BuildCharsetReport({}).empty());
}

}  // namespace
