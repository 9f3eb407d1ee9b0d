// Recovered entries: their fields from the message's own header when the record is gone,
// from the record when it survived, and their place after the index's rows.
#include <gtest/gtest.h>

#include "analysis/mailbox_rescue.h"
#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "support/recording_ui.h"

namespace {

const std::string kRich =
    "From: =?iso-8859-1?Q?Ren=E9_Dupont?= <rene@example.fr>\r\n"
    "To: \"Ann Example\" <ann@example.com>, bob@example.org\r\n"
    "Subject: =?utf-8?B?Q2Fmw6kgYXQgbm9vbg==?=\r\n"
    "Date: Mon, 3 Nov 2008 17:05:12 +0100\r\n"
    "X-Priority: 1 (Highest)\r\n"
    "Message-ID: <rich@example.fr>\r\n"
    "In-Reply-To: <earlier@example.com>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
    "\r\n"
    "--b\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "See the file.\r\n"
    "--b\r\n"
    "Content-Type: application/pdf\r\n"
    "Content-Disposition: attachment; filename=\"menu.pdf\"\r\n"
    "\r\n"
    "JVBERi0=\r\n"
    "--b--\r\n";

dbxw::Message Plain(int n, std::size_t size = 100) {
    dbxw::Message m;
    m.subject = "plain " + std::to_string(n);
    std::string text =
        "From: someone@example.com\r\nSubject: plain " + std::to_string(n) + "\r\n\r\n";
    while (text.size() < size) {
        text += "body of " + std::to_string(n) + "\r\n";
    }
    m.text = text;
    return m;
}

class RescueTest : public ::testing::Test {
protected:
    std::u16string Write(const dbxw::Image& image) {
        const std::filesystem::path path = temp.Path("box.dbx");
        EXPECT_TRUE(image.WriteTo(path));
        return path.u16string();
    }

    dbxw::TempDir temp;
    CRecordingUi ui;
};

TEST_F(RescueTest, AnEntryWithoutItsRecordTakesItsFieldsFromTheHeader) {
    CEmailDBX entry;
    FillEntryFromText(entry, kRich);
    EXPECT_EQ(std::string(entry.m_Subject.GetText()), std::string("Caf\xE9 at noon"));
    EXPECT_EQ(entry.m_SenderName, "Ren\xE9 Dupont");
    EXPECT_EQ(entry.m_SenderAddress, "rene@example.fr");
    EXPECT_EQ(entry.m_RecipientName, "Ann Example");
    EXPECT_EQ(entry.m_RecipientAddress, "ann@example.com");
    EXPECT_EQ(entry.m_SentTime, dbxw::FileTimeFromUtc(2008, 11, 3, 16, 5, 12));
    EXPECT_EQ(entry.m_ReceivedTime, entry.m_SentTime);
    EXPECT_EQ(entry.m_nPriority, 1);
    EXPECT_EQ(entry.m_nLines, 20u);
    EXPECT_TRUE(entry.m_bHasAttachment);
    EXPECT_EQ(entry.m_MessageId, "<rich@example.fr>");
    EXPECT_EQ(entry.m_InReplyTo, "<earlier@example.com>");
    EXPECT_NE(entry.m_nMessageIdCrc, 0u);

    // Without those fields the defaults stay; the lost first bytes of a deleted message
    // break only its first field.
    CEmailDBX bare;
    FillEntryFromText(bare, "~~~~ x <x@example.com>\r\nSubject: Hello\r\n\r\nText\r\n");
    EXPECT_EQ(std::string(bare.m_Subject.GetText()), "Hello");
    EXPECT_EQ(bare.m_nPriority, 3);
    EXPECT_EQ(bare.m_SentTime, 0u);
    EXPECT_FALSE(bare.m_bHasAttachment);
    EXPECT_TRUE(bare.m_SenderName.empty());

    // Lost bytes inside the first field's name: the name is restored, a date telling Date
    // from From when nothing of the name is left.
    CEmailDBX cut;
    FillEntryFromText(cut, "~~~~ect: Lost start\r\nFrom: Bo <bo@example.com>\r\n\r\nx\r\n");
    EXPECT_EQ(std::string(cut.m_Subject.GetText()), "Lost start");
    EXPECT_EQ(cut.m_SenderName, "Bo");
    CEmailDBX dated;
    FillEntryFromText(dated, "~~~~: Mon, 3 Nov 2008 17:05:12 +0000\r\nSubject: d\r\n\r\n");
    EXPECT_EQ(dated.m_SentTime, dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5, 12));
    CEmailDBX sender;
    FillEntryFromText(sender, "~~~~: Cy <cy@example.com>\r\nSubject: s\r\n\r\n");
    EXPECT_EQ(sender.m_SenderAddress, "cy@example.com");
    EXPECT_EQ(sender.m_SentTime, 0u);

    // A Russian mailbox stores its strings in Windows-1251; so do its recovered rows.
    CEmailDBX russian;
    FillEntryFromText(russian,
                      "From: =?utf-8?B?0JjQstCw0L0=?= <ivan@example.ru>\r\n"
                      "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n\r\nx\r\n",
                      1251);
    EXPECT_EQ(std::string(russian.m_Subject.GetText()), "\xCF\xF0\xE8\xE2\xE5\xF2");
    EXPECT_EQ(russian.m_SenderName, "\xC8\xE2\xE0\xED");
}

TEST_F(RescueTest, RecoveredRowsFollowTheIndexRowsOnce) {
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < 8; ++i) {
        messages.push_back(Plain(i, 100 + std::size_t(i) * 300));
    }
    messages[5].text = kRich;
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    b.DeleteMessage(2);  // its record survives: fields from it
    b.DeleteMessage(5);
    dbxw::Image image = b.Build();
    image.Wipe(image.RecordOffset(5), 12);  // and this one's is gone

    CDBXFile plain;
    ASSERT_EQ(plain.Open(Write(image)), DbxOk);
    std::vector<std::int32_t> indexIds;
    for (const CEmailDBX* e : plain.GetEmails().Items()) {
        indexIds.push_back(e->m_Id);
    }
    ASSERT_EQ(indexIds.size(), 6u);

    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(Write(image)), DbxOk);
    const CRescueResult result = RecoverMessages(dbx, ui);
    EXPECT_TRUE(result.m_bCompleted);
    EXPECT_EQ(result.m_nDeleted, 2u);
    EXPECT_EQ(result.m_nUnlisted, 0u);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 8);
    for (std::size_t i = 0; i < indexIds.size(); ++i) {
        EXPECT_EQ(dbx.GetEmails().Get(std::int32_t(i))->m_Id, indexIds[i]);
        EXPECT_FALSE(dbx.GetEmails().Get(std::int32_t(i))->IsRecovered());
    }
    const CEmailDBX* fromRecord = dbx.GetEmails().Get(6);
    EXPECT_EQ(fromRecord->m_Recovered, RecoveredKind::Deleted);
    EXPECT_EQ(fromRecord->m_Id, 3);
    EXPECT_EQ(std::string(fromRecord->m_Subject.GetText()), "plain 2");
    EXPECT_EQ(fromRecord->m_nTextOffset, image.TextOffset(b.GetRecord(2).text));
    const CEmailDBX* fromHeader = dbx.GetEmails().Get(7);
    EXPECT_EQ(fromHeader->m_Id, -1);
    EXPECT_EQ(fromHeader->m_nLostBytes, 4u);  // one block
    EXPECT_EQ(std::string(fromHeader->m_Subject.GetText()), std::string("Caf\xE9 at noon"));
    EXPECT_EQ(CountRecovered(dbx), 2u);

    // The progress window showed the scan of the file.
    ASSERT_EQ(ui.ProgressCount(), 1u);
    EXPECT_EQ(ui.LastProgress().creationTitle, kRescueProgressTitle);
    EXPECT_EQ(ui.LastProgress().positions.back(), 100);

    // A second scan finds the same chains and adds nothing.
    EXPECT_EQ(RecoverMessages(dbx, ui).Recovered(), 0u);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 8);
}

TEST_F(RescueTest, ACancelledScanAddsNothing) {
    std::vector<dbxw::Message> messages = {Plain(0), Plain(1)};
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    b.DeleteMessage(0);
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(Write(b.Build())), DbxOk);
    ui.SetCancelAfterPumps(1);
    EXPECT_FALSE(RecoverMessages(dbx, ui).m_bCompleted);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 1);
}

TEST_F(RescueTest, TheScanIsOfferedOnlyForADamagedIndex) {
    std::vector<dbxw::Message> messages = {Plain(0), Plain(1), Plain(2)};
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    const dbxw::Image healthy = b.Build();
    CDBXFile dbx;
    std::int32_t status = dbx.Open(Write(healthy));
    EXPECT_FALSE(ShouldOfferRescue(dbx, status));

    b.header.rootOffset = 12345;
    status = dbx.Open(Write(b.Build()));
    ASSERT_EQ(status, DbxNoEmail);
    EXPECT_TRUE(ShouldOfferRescue(dbx, status));

    // An empty folder file holds nothing but its header.
    dbxw::Builder empty;
    status = dbx.Open(Write(empty.Build()));
    ASSERT_EQ(status, DbxNoEmail);
    EXPECT_FALSE(ShouldOfferRescue(dbx, status));

    // Every node of the tree damaged below a root that reads: nothing listed.
    dbxw::Builder lost = dbxw::SimpleMailboxBuilder(messages);
    for (std::size_t n = 0; n < lost.NodeCount(); ++n) {
        for (dbxw::Entry& e : lost.GetNode(dbxw::NodeRef(n)).entries) {
            e.rawRecordOffset = 16;
        }
    }
    status = dbx.Open(Write(lost.Build()));
    ASSERT_EQ(status, DbxOk);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    EXPECT_TRUE(ShouldOfferRescue(dbx, status));
}

}  // namespace
