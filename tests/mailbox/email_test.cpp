#include "mailbox/email.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mailbox/crc32.h"
#include "mailbox/email_array.h"
#include "mailbox_fixture.h"

namespace {

using dbxw::Attribute;
using dbxw::Record;

class EmailTest : public MailboxTest {};

TEST_F(EmailTest, EveryAttributeReachesItsField) {
    dbxw::Message m;
    m.id = 4711;
    m.flags = dbxw::kFlag0020 | dbxw::kFlagAttachment;
    m.sent = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5, 30);
    m.received = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 9);
    m.lines = 42;
    m.messageId = "<4711@example.com>";
    m.subject = "Caf\xE9 on Monday";
    m.inReplyTo = "<4700@example.org>";
    m.senderName = "Alice Martin";
    m.senderAddress = "alice@example.com";
    m.priority = 5;
    m.recipientName = "Bob Stone";
    m.recipientAddress = "bob@example.org";
    m.text = "Subject: x\r\n\r\nbody\r\n";
    dbxw::Builder b;
    dbxw::AddMessage(b, m, 1);
    const dbxw::Image image = b.Build();
    CZFile file;
    ASSERT_TRUE(file.Open(Write(image), CZFile::ModeRead));
    const std::unique_ptr<CEmailDBX> e = BuildEmailEntry(file, image.RecordOffset(0));
    ASSERT_NE(e, nullptr);

    EXPECT_EQ(e->m_Id, 4711);
    EXPECT_TRUE(e->m_bHasText);
    EXPECT_TRUE(e->m_bFlag0020);
    EXPECT_TRUE(e->m_bHasAttachment);
    EXPECT_FALSE(e->m_bSelected);
    EXPECT_EQ(e->m_SentTime, *m.sent);
    EXPECT_EQ(e->m_ReceivedTime, *m.received);
    EXPECT_EQ(e->m_nLines, 42u);
    EXPECT_EQ(e->m_Subject.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(e->m_Subject.GetTextView(), "Caf\xE9 on Monday");
    EXPECT_EQ(e->m_SenderName, "Alice Martin");
    EXPECT_EQ(e->m_SenderAddress, "alice@example.com");
    EXPECT_EQ(e->m_RecipientName, "Bob Stone");
    EXPECT_EQ(e->m_RecipientAddress, "bob@example.org");
    EXPECT_EQ(e->m_nPriority, 5);
    EXPECT_EQ(e->m_MessageId, "<4711@example.com>");
    EXPECT_EQ(e->m_nMessageIdCrc, Crc32("<4711@example.com>"));
    EXPECT_EQ(e->m_InReplyTo, "<4700@example.org>");
    EXPECT_EQ(e->m_nInReplyToCrc, Crc32("<4700@example.org>"));
    EXPECT_NE(e->m_nMessageIdCrc, e->m_nInReplyToCrc);
    EXPECT_EQ(e->m_nTextOffset, image.TextOffset(0));
    EXPECT_TRUE(e->m_bHasSenderName);
    EXPECT_TRUE(e->m_bHasRecipientName);
    EXPECT_TRUE(e->m_bHasMessageId);
    EXPECT_EQ(e->m_pThreadParent, nullptr);
    EXPECT_FALSE(e->m_bThreadVisited);
    EXPECT_EQ(e->m_nThreadIndex, 0);
}

TEST_F(EmailTest, MissingAttributesLeaveTheInitialValues) {
    const std::unique_ptr<CEmailDBX> e = EntryOf(MinimalRecord(3));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_Id, 3);
    EXPECT_FALSE(e->m_bHasText);
    EXPECT_FALSE(e->m_bFlag0020);
    EXPECT_FALSE(e->m_bHasAttachment);
    EXPECT_EQ(e->m_SentTime, 0u);
    EXPECT_EQ(e->m_ReceivedTime, 0u);
    EXPECT_EQ(e->m_nLines, 0u);
    EXPECT_TRUE(e->m_Subject.IsEmpty());
    EXPECT_EQ(e->m_SenderName, "");
    EXPECT_EQ(e->m_SenderAddress, "");
    EXPECT_EQ(e->m_RecipientName, "");
    EXPECT_EQ(e->m_RecipientAddress, "");
    EXPECT_EQ(e->m_nPriority, 3);
    EXPECT_EQ(e->m_MessageId, "");
    EXPECT_EQ(e->m_nMessageIdCrc, 0u);
    EXPECT_EQ(e->m_InReplyTo, "");
    EXPECT_EQ(e->m_nInReplyToCrc, 0u);
    EXPECT_EQ(e->m_nTextOffset, 0u);
    EXPECT_FALSE(e->m_bHasSenderName);
    EXPECT_FALSE(e->m_bHasRecipientName);
    EXPECT_FALSE(e->m_bHasMessageId);
    // The zero FILETIME is the first minute of 1601.
    EXPECT_EQ(DateText(e->m_SentTime), u"1601-01-01 00:00");
    EXPECT_EQ(DateText(e->m_ReceivedTime), u"1601-01-01 00:00");
}

TEST_F(EmailTest, IdentifierForms) {
    const std::unique_ptr<CEmailDBX> direct = EntryOf(MinimalRecord(0xFFFFFF));
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(direct->m_Id, 16777215);

    Record indirect;
    indirect.Add(Attribute::Dword(dbxw::kAttrId, 0x01020304))
        .Add(Attribute::Direct(dbxw::kAttrFlags, 0));
    const std::unique_ptr<CEmailDBX> wide = EntryOf(indirect);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->m_Id, 0x01020304);

    Record twoBytes;
    twoBytes.Add(Attribute::Bytes(dbxw::kAttrId, "\x39\x30"))
        .Add(Attribute::Direct(dbxw::kAttrFlags, 0));
    const std::unique_ptr<CEmailDBX> shortId = EntryOf(twoBytes);
    ASSERT_NE(shortId, nullptr);
    EXPECT_EQ(shortId->m_Id, 12345);
}

TEST_F(EmailTest, RecordsWithoutUsableIdOrFlagsYieldNoEntry) {
    Record noId;
    noId.Add(Attribute::Direct(dbxw::kAttrFlags, 1))
        .Add(Attribute::String(dbxw::kAttrSubject, "x"));
    EXPECT_EQ(EntryOf(noId), nullptr);

    Record noFlags;
    noFlags.Add(Attribute::Direct(dbxw::kAttrId, 1))
        .Add(Attribute::String(dbxw::kAttrSubject, "x"));
    EXPECT_EQ(EntryOf(noFlags), nullptr);

    Record fiveByteFlags;
    fiveByteFlags.Add(Attribute::Direct(dbxw::kAttrId, 1))
        .Add(Attribute::Bytes(dbxw::kAttrFlags, std::string("\x01\0\0\0\0", 5)))
        .Add(Attribute::String(dbxw::kAttrSubject, "x"));
    EXPECT_EQ(EntryOf(fiveByteFlags), nullptr);

    Record fiveByteId;
    fiveByteId.Add(Attribute::Bytes(dbxw::kAttrId, std::string("\x01\0\0\0\0", 5)))
        .Add(Attribute::Direct(dbxw::kAttrFlags, 0))
        .Add(Attribute::String(dbxw::kAttrSubject, "x"));
    EXPECT_EQ(EntryOf(fiveByteId), nullptr);

    Record emptyFlags;
    emptyFlags.Add(Attribute::Direct(dbxw::kAttrId, 1))
        .Add(Attribute::Bytes(dbxw::kAttrFlags, ""))
        .Add(Attribute::String(dbxw::kAttrSubject, "x"));
    EXPECT_EQ(EntryOf(emptyFlags), nullptr);

    Record wrongSelf = MinimalRecord(1);
    wrongSelf.selfOffset = 4;
    EXPECT_EQ(EntryOf(wrongSelf), nullptr);
}

TEST_F(EmailTest, OnlyTheThreeKnownFlagBitsCount) {
    Record others;
    others.Add(Attribute::Direct(dbxw::kAttrId, 1))
        .Add(Attribute::Dword(dbxw::kAttrFlags,
                              ~(dbxw::kFlagHasText | dbxw::kFlag0020 | dbxw::kFlagAttachment)))
        .Add(Attribute::Direct(dbxw::kAttrTextOffset, 0x3000));
    const std::unique_ptr<CEmailDBX> e = EntryOf(others);
    ASSERT_NE(e, nullptr);
    EXPECT_FALSE(e->m_bHasText);
    EXPECT_FALSE(e->m_bFlag0020);
    EXPECT_FALSE(e->m_bHasAttachment);
    EXPECT_EQ(e->m_nTextOffset, 0u);

    for (std::uint32_t bit : {dbxw::kFlagHasText, dbxw::kFlag0020, dbxw::kFlagAttachment}) {
        SCOPED_TRACE(bit);
        const std::unique_ptr<CEmailDBX> one = EntryOf(MinimalRecord(1, bit));
        ASSERT_NE(one, nullptr);
        EXPECT_EQ(one->m_bHasText, bit == dbxw::kFlagHasText);
        EXPECT_EQ(one->m_bFlag0020, bit == dbxw::kFlag0020);
        EXPECT_EQ(one->m_bHasAttachment, bit == dbxw::kFlagAttachment);
    }
}

TEST_F(EmailTest, TextOffsetNeedsFlagBitOne) {
    Record clear = MinimalRecord(1, dbxw::kFlag0020);
    clear.Add(Attribute::Direct(dbxw::kAttrTextOffset, 0x2AD4));
    const std::unique_ptr<CEmailDBX> noText = EntryOf(clear);
    ASSERT_NE(noText, nullptr);
    EXPECT_FALSE(noText->m_bHasText);
    EXPECT_EQ(noText->m_nTextOffset, 0u);

    Record set = MinimalRecord(1, dbxw::kFlagHasText);
    set.Add(Attribute::Dword(dbxw::kAttrTextOffset, 0x01000000));
    const std::unique_ptr<CEmailDBX> text = EntryOf(set);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->m_bHasText);
    EXPECT_EQ(text->m_nTextOffset, 0x01000000u);

    // The flag without an offset, or with offset 0: no text.
    const std::unique_ptr<CEmailDBX> flagOnly = EntryOf(MinimalRecord(1, dbxw::kFlagHasText));
    ASSERT_NE(flagOnly, nullptr);
    EXPECT_TRUE(flagOnly->m_bHasText);
    EXPECT_EQ(flagOnly->m_nTextOffset, 0u);
    Record zero = MinimalRecord(1, dbxw::kFlagHasText);
    zero.Add(Attribute::Direct(dbxw::kAttrTextOffset, 0));
    const std::unique_ptr<CEmailDBX> zeroOffset = EntryOf(zero);
    ASSERT_NE(zeroOffset, nullptr);
    EXPECT_EQ(zeroOffset->m_nTextOffset, 0u);
}

TEST_F(EmailTest, PriorityAndLines) {
    Record high = MinimalRecord(1);
    high.Add(Attribute::Direct(dbxw::kAttrPriority, 1))
        .Add(Attribute::Dword(dbxw::kAttrLines, 70000));
    const std::unique_ptr<CEmailDBX> e = EntryOf(high);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_nPriority, 1);
    EXPECT_EQ(e->m_nLines, 70000u);

    // A malformed priority leaves it normal.
    Record bad = MinimalRecord(1);
    bad.Add(Attribute::Bytes(dbxw::kAttrPriority, "12345")).Add(Attribute::String(0x7E, "end"));
    const std::unique_ptr<CEmailDBX> normal = EntryOf(bad);
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(normal->m_nPriority, 3);
}

TEST_F(EmailTest, StoredEmptyNamesDifferFromAbsentOnes) {
    Record stored = MinimalRecord(1);
    stored.Add(Attribute::String(dbxw::kAttrMessageId, ""))
        .Add(Attribute::String(dbxw::kAttrSenderName, ""))
        .Add(Attribute::String(dbxw::kAttrRecipientName, ""));
    const std::unique_ptr<CEmailDBX> e = EntryOf(stored);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->m_bHasMessageId);
    EXPECT_TRUE(e->m_bHasSenderName);
    EXPECT_TRUE(e->m_bHasRecipientName);
    EXPECT_EQ(e->m_MessageId, "");
    EXPECT_EQ(e->m_nMessageIdCrc, 0u);

    // Zero-length values (two slots at one offset) are absent.
    Record zeroLength = MinimalRecord(1);
    zeroLength.Add(Attribute::Bytes(dbxw::kAttrMessageId, ""))
        .Add(Attribute::Bytes(dbxw::kAttrSenderName, ""))
        .Add(Attribute::Bytes(dbxw::kAttrRecipientName, ""))
        .Add(Attribute::String(dbxw::kAttrSubject, "s"));
    const std::unique_ptr<CEmailDBX> z = EntryOf(zeroLength);
    ASSERT_NE(z, nullptr);
    EXPECT_FALSE(z->m_bHasMessageId);
    EXPECT_FALSE(z->m_bHasSenderName);
    EXPECT_FALSE(z->m_bHasRecipientName);
    EXPECT_EQ(z->m_Subject.GetTextView(), "s");
}

TEST_F(EmailTest, IdentifierChecksumsStopAtTheFirstZero) {
    Record r = MinimalRecord(1);
    r.Add(Attribute::Bytes(dbxw::kAttrMessageId, std::string("<a@b>\0junk", 10)))
        .Add(Attribute::String(dbxw::kAttrInReplyTo, "<c@d>"));
    const std::unique_ptr<CEmailDBX> e = EntryOf(r);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_MessageId, "<a@b>");
    EXPECT_EQ(e->m_nMessageIdCrc, Crc32("<a@b>"));
    EXPECT_EQ(e->m_nInReplyToCrc, Crc32("<c@d>"));
}

TEST_F(EmailTest, ReceivedTimeComesFromItsOwnAttributeOnly) {
    // The recipient address is a string: even when it happens to be eight bytes long
    // ("a@b.com" and its zero), it must not be taken for a date.
    const std::uint64_t received = dbxw::FileTimeFromUtc(2010, 5, 6, 7, 8);
    Record eight = MinimalRecord(1);
    eight.Add(Attribute::Filetime(dbxw::kAttrReceived, received))
        .Add(Attribute::String(dbxw::kAttrRecipientAddress, "a@b.com"))
        .Add(Attribute::String(0x7E, "end"));
    const std::unique_ptr<CEmailDBX> e = EntryOf(eight);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->m_ReceivedTime, received);
    EXPECT_EQ(e->m_RecipientAddress, "a@b.com");

    Record none = MinimalRecord(1);
    none.Add(Attribute::Filetime(dbxw::kAttrRecipientAddress, received))
        .Add(Attribute::String(0x7E, "end"));
    const std::unique_ptr<CEmailDBX> n = EntryOf(none);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->m_ReceivedTime, 0u);
}

TEST(DateTextTest, FormatsTheStoredUtcTime) {
    EXPECT_EQ(DateText(dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5, 59)), u"2008-11-03 17:05");
    EXPECT_EQ(DateText(dbxw::FileTimeFromUtc(2000, 2, 29, 0, 0)), u"2000-02-29 00:00");
    EXPECT_EQ(DateText(dbxw::FileTimeFromUtc(1999, 12, 31, 23, 59, 59)), u"1999-12-31 23:59");
    EXPECT_EQ(DateText(dbxw::FileTimeFromUtc(2038, 1, 19, 3, 14, 8)), u"2038-01-19 03:14");

    std::string target = "unchanged";
    DateText(dbxw::FileTimeFromUtc(2009, 4, 1, 9, 15), target);
    EXPECT_EQ(target, "2009-04-01 09:15");
}

TEST(DateTextTest, TopBitDatesCannotBeShown) {
    EXPECT_EQ(DateText(0x8000000000000000ull), u"");
    EXPECT_EQ(DateText(0xFFFFFFFFFFFFFFFFull), u"");
    std::string target = "unchanged";
    DateText(0x8000000000000001ull, target);
    EXPECT_EQ(target, "unchanged");
}

std::vector<std::unique_ptr<CEmailDBX>> MakeEntries(int n) {
    std::vector<std::unique_ptr<CEmailDBX>> v;
    for (int i = 0; i < n; ++i) {
        v.push_back(std::make_unique<CEmailDBX>());
        v.back()->m_Id = i;
    }
    return v;
}

TEST(EmailArrayTest, TheMailboxListGrowsBy2000AndKeepsIndexes) {
    CDBXFile dbx;
    CEmailArray& list = dbx.GetEmails();
    EXPECT_TRUE(list.OwnsEntries());
    EXPECT_EQ(list.GetCapacity(), 2000);
    EXPECT_EQ(list.GetGrowBy(), 2000);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetLastIndex(), -1);

    std::vector<CEmailDBX*> raw;
    for (int i = 0; i < 2000; ++i) {
        auto e = std::make_unique<CEmailDBX>();
        e->m_Id = i;
        raw.push_back(e.get());
        list.Append(std::move(e));
    }
    EXPECT_EQ(list.GetCapacity(), 2000);
    auto last = std::make_unique<CEmailDBX>();
    raw.push_back(last.get());
    list.Append(std::move(last));
    EXPECT_EQ(list.GetCapacity(), 4000);
    EXPECT_EQ(list.GetCount(), 2001);
    EXPECT_EQ(list.GetLastIndex(), 2000);
    for (int i = 0; i < 2001; ++i) {
        ASSERT_EQ(list.Get(i), raw[std::size_t(i)]) << i;
    }
    EXPECT_EQ(list[2001], nullptr);  // inside the capacity, unused
    EXPECT_EQ(list.Get(4000), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);

    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetCapacity(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
    list.Append(std::make_unique<CEmailDBX>());
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetCapacity(), 2000);
}

TEST(EmailArrayTest, BorrowingListsReleaseWithoutDestroying) {
    auto entries = MakeEntries(7);
    CEmailArray borrowed(false, 0, 3);
    EXPECT_FALSE(borrowed.OwnsEntries());
    for (auto& e : entries) {
        borrowed.Append(e.get());
    }
    EXPECT_EQ(borrowed.GetCount(), 7);
    EXPECT_EQ(borrowed.GetCapacity(), 9);
    EXPECT_EQ(borrowed.Items().size(), 7u);
    EXPECT_EQ(borrowed.Items()[6], entries[6].get());
    borrowed.ReleaseAll();
    EXPECT_EQ(borrowed.GetCount(), 0);
    // The entries live on; AddressSanitizer would report a use after free here.
    EXPECT_EQ(entries[6]->m_Id, 6);

    CEmailArray sized(false);
    sized.SetCapacity(10, 5);
    EXPECT_EQ(sized.GetCapacity(), 10);
    EXPECT_EQ(sized.GetGrowBy(), 5);
    for (int i = 0; i < 11; ++i) {
        sized.Append(entries[std::size_t(i % 7)].get());
    }
    EXPECT_EQ(sized.GetCapacity(), 15);
    EXPECT_EQ(sized.Get(10), entries[3].get());
    sized.ReleaseAll();
}

}  // namespace
