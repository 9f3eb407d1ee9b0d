// What the list shows of an entry: every column's text or icon.
#include "mailbox/email_columns.h"

#include <gtest/gtest.h>

#include "dbxwriter/dbx_writer.h"
#include "mailbox/email.h"

namespace {

void Fill(CEmailDBX& e) {
    e.m_Id = -42;
    e.m_Subject.SetText("Caf\xE9 & co");
    e.m_SentTime = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5);
    e.m_ReceivedTime = 0x8000000000000000ull;
    e.m_SenderName = "Price \x80 list";
    e.m_RecipientName = "Zo\xEB";
    e.m_nLines = 4000000000u;
}

TEST(EmailColumnsTest, TextCellsFollowTheirFieldsAndCodePages) {
    CEmailDBX e;
    Fill(e);
    EXPECT_EQ(GetEmailCellText(e, ColId, 1252), u"-42");
    EXPECT_EQ(GetEmailCellText(e, ColSubject, 1252), u"Caf\u00E9 & co");
    EXPECT_EQ(GetEmailCellText(e, ColSent, 1252), u"2008-11-03 17:05");
    EXPECT_EQ(GetEmailCellText(e, ColReceived, 1252), u"");
    // Names are read through the mailbox's code page: in 1252 0x80 is the euro sign.
    EXPECT_EQ(GetEmailCellText(e, ColFrom, 1252), u"Price \u20AC list");
    EXPECT_EQ(GetEmailCellText(e, ColTo, 1252), u"Zo\u00EB");
    EXPECT_EQ(GetEmailCellText(e, ColLines, 1252), u"4000000000");
    for (int column : {int(ColAttachment), int(ColPriority), int(ColFlag), -1, 10}) {
        EXPECT_EQ(GetEmailCellText(e, column, 1252), u"") << column;
    }
    // The same bytes in a Cyrillic mailbox; the subject follows the code page too, and is
    // left as stored, so that another code page can read it afterwards.
    EXPECT_EQ(GetEmailCellText(e, ColSubject, 1251), u"Caf\u0439 & co");
    EXPECT_EQ(GetEmailCellText(e, ColFrom, 1251), u"Price \u0402 list");
    EXPECT_EQ(GetEmailCellText(e, ColTo, 1251), u"Zo\u043B");
    EXPECT_EQ(GetEmailCellText(e, ColSubject, 1252), u"Caf\u00E9 & co");
    EXPECT_EQ(e.m_Subject.GetType(), CZHyperString::TypeAnsi);
}

TEST(EmailColumnsTest, IconsShowOnlyForTheirValues) {
    CEmailDBX e;
    for (int column = 0; column < kEmailColumnCount; ++column) {
        EXPECT_EQ(GetEmailCellIcon(e, column), IconNone) << column;
    }
    e.m_bHasAttachment = true;
    e.m_bFlag0020 = true;
    EXPECT_EQ(GetEmailCellIcon(e, ColAttachment), IconAttachment);
    EXPECT_EQ(GetEmailCellIcon(e, ColFlag), IconFlag);
    const std::pair<int, EmailIcon> priorities[] = {
        {1, IconHighPriority}, {2, IconNone}, {3, IconNone}, {5, IconLowPriority}, {0, IconNone}};
    for (const auto& [priority, icon] : priorities) {
        e.m_nPriority = priority;
        EXPECT_EQ(GetEmailCellIcon(e, ColPriority), icon) << priority;
    }
    EXPECT_TRUE(IsIconColumn(ColAttachment) && IsIconColumn(ColPriority) && IsIconColumn(ColFlag));
    EXPECT_FALSE(IsIconColumn(ColId) || IsIconColumn(ColSubject) || IsIconColumn(ColLines));
}

TEST(EmailColumnsTest, HeadingsAndWidthsOfTheTenColumns) {
    const char16_t* headings[] = {u"ID",   u"A",        u"P",    u"F",  u"Subject",
                                  u"Sent", u"Received", u"From", u"To", u"Lines"};
    const int widths[] = {40, 21, 21, 21, 250, 100, 100, 150, 150, 60};
    for (int c = 0; c < kEmailColumnCount; ++c) {
        EXPECT_EQ(std::u16string(kEmailColumns[c].heading), headings[c]);
        EXPECT_EQ(kEmailColumns[c].width, widths[c]);
        EXPECT_EQ(kEmailColumns[c].align,
                  IsIconColumn(c) ? ColumnAlign::Centre : ColumnAlign::Left);
    }
}

}  // namespace
