// Message texts read back from their chains of 528-byte blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mailbox/dbx_file.h"
#include "mailbox_fixture.h"

namespace {

using dbxw::Text;
using dbxw::TextRef;

// Text bytes that never contain a zero, and differ from block to block.
std::string Pattern(std::size_t n, char salt = 'a') {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        s[i] = char(1 + (i * 7 + std::size_t(salt)) % 250);
    }
    return s;
}

// A readable mailbox with one message, and extra chains that the tests read directly.
class MessageTextTest : public MailboxTest {
protected:
    TextRef Add(Text t) { return builder.AddText(std::move(t)); }

    // Builds and opens the mailbox; false when it does not open.
    bool OpenMailbox() {
        image = builder.Build();
        return Open(dbx, image) == DbxOk;
    }

    bool ReadChain(TextRef t, std::string& out) {
        return dbx.ReadMessageText(image.TextOffset(t), out);
    }

    void SetUp() override {
        builder =
            dbxw::SimpleMailboxBuilder({TextMessage("first", "Subject: first\r\n\r\nHi\r\n")});
    }

    dbxw::Builder builder;
    dbxw::Image image;
    CDBXFile dbx;
};

TEST_F(MessageTextTest, TextsOfEveryLengthComeBackWhole) {
    const std::vector<std::size_t> lengths = {1, 2, 511, 512, 513, 612, 1024, 1025, 5000, 70000};
    std::vector<TextRef> refs;
    for (std::size_t n : lengths) {
        refs.push_back(Add(Text{Pattern(n, char('a' + n % 20))}));
    }
    ASSERT_TRUE(OpenMailbox());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        SCOPED_TRACE(lengths[i]);
        std::string text = "previous content";
        ASSERT_TRUE(ReadChain(refs[i], text));
        EXPECT_EQ(text.size(), lengths[i]);
        EXPECT_EQ(text, Pattern(lengths[i], char('a' + lengths[i] % 20)));
    }
}

TEST_F(MessageTextTest, A612ByteTextIsTwoBlocksOf512And100) {
    const TextRef t = Add(Text{Pattern(612)});
    ASSERT_TRUE(OpenMailbox());
    EXPECT_EQ(image.GetU32(image.BlockOffset(t, 0) + 8), 512u);
    EXPECT_EQ(image.GetU32(image.BlockOffset(t, 0) + 12), image.BlockOffset(t, 1));
    EXPECT_EQ(image.GetU32(image.BlockOffset(t, 1) + 8), 100u);
    EXPECT_EQ(image.GetU32(image.BlockOffset(t, 1) + 12), 0u);
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text, Pattern(612));
}

TEST_F(MessageTextTest, PartlyFilledBlocksJoinUp) {
    Text small{Pattern(1000)};
    small.bytesPerBlock = 100;
    const TextRef t = Add(small);
    Text odd{Pattern(777, 'q')};
    odd.bytesPerBlock = 1;
    const TextRef one = Add(odd);
    ASSERT_TRUE(OpenMailbox());
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text, Pattern(1000));
    ASSERT_TRUE(ReadChain(one, text));
    EXPECT_EQ(text, Pattern(777, 'q'));
}

TEST_F(MessageTextTest, TheChainEndsQuietlyAtABadBlock) {
    Text wrongSecond{Pattern(612)};
    wrongSecond.faults.push_back({.block = 1, .selfOffset = 0x12345678});
    const TextRef a = Add(wrongSecond);

    Text pastEnd{Pattern(1536)};
    pastEnd.faults.push_back({.block = 1, .next = 0x7FFFFF00});
    const TextRef b = Add(pastEnd);

    Text cutLast{Pattern(1200)};
    const TextRef c = Add(cutLast);
    ASSERT_TRUE(OpenMailbox());

    std::string text;
    ASSERT_TRUE(ReadChain(a, text));
    EXPECT_EQ(text, Pattern(612).substr(0, 512));
    ASSERT_TRUE(ReadChain(b, text));
    EXPECT_EQ(text, Pattern(1536).substr(0, 1024));

    // The last block of a chain cut by the end of the file cannot be read.
    dbxw::Image cut = image;
    cut.Truncate(image.BlockOffset(c, 2) + 100);
    CDBXFile cutBox;
    ASSERT_EQ(Open(cutBox, cut, "cut.dbx"), DbxOk);
    ASSERT_TRUE(cutBox.ReadMessageText(image.TextOffset(c), text));
    EXPECT_EQ(text, Pattern(1200).substr(0, 1024));
}

TEST_F(MessageTextTest, NothingGatheredIsAFailure) {
    const TextRef empty = Add(Text{""});
    Text wrongFirst{Pattern(100)};
    wrongFirst.faults.push_back({.block = 0, .selfOffset = 4});
    const TextRef wrong = Add(wrongFirst);
    Text zeroFirst{std::string("\0abc", 4)};
    const TextRef zero = Add(zeroFirst);
    ASSERT_TRUE(OpenMailbox());

    std::string text;
    EXPECT_FALSE(ReadChain(empty, text));
    EXPECT_FALSE(ReadChain(wrong, text));
    EXPECT_FALSE(dbx.ReadMessageText(0, text));
    EXPECT_FALSE(dbx.ReadMessageText(std::uint32_t(image.bytes.size()) + 16, text));
    EXPECT_FALSE(dbx.ReadMessageText(0xFFFFFFFF, text));
    EXPECT_FALSE(dbx.ReadMessageText(image.TextOffset(wrong) + 4, text));
    // A text that starts with its zero byte has bytes, but nothing before the zero.
    std::string z;
    (void)ReadChain(zero, z);
    EXPECT_EQ(z, "");
}

TEST_F(MessageTextTest, TheTextEndsAtItsFirstZeroByte) {
    std::string withZero = Pattern(900);
    withZero[600] = '\0';
    const TextRef t = Add(Text{withZero});
    const TextRef s = Add(Text{std::string("abc\0def", 7)});
    ASSERT_TRUE(OpenMailbox());
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text, Pattern(900).substr(0, 600));
    ASSERT_TRUE(ReadChain(s, text));
    EXPECT_EQ(text, "abc");
}

TEST_F(MessageTextTest, ByteCountsAbove512NeverReachOutsideTheBlock) {
    std::vector<TextRef> refs;
    for (std::uint32_t count : {513u, 528u, 600u, 0x10000u, 0xFFFFFFFFu}) {
        Text t{Pattern(1024)};
        t.faults.push_back({.block = 0, .byteCount = count});
        refs.push_back(Add(t));
    }
    ASSERT_TRUE(OpenMailbox());
    for (TextRef r : refs) {
        SCOPED_TRACE(r);
        std::string text;
        (void)ReadChain(r, text);
        // Whatever the reader keeps of such a block, it holds only text bytes of the chain
        // (a block header after the 512 bytes would break the pattern).
        ASSERT_LE(text.size(), 1024u);
        EXPECT_EQ(text, Pattern(1024).substr(0, text.size()));
    }
}

TEST_F(MessageTextTest, LoopingChainsEnd) {
    Text backToFirst{Pattern(1536)};
    backToFirst.faults.push_back({.block = 2, .nextBlock = 0});
    const TextRef a = Add(backToFirst);
    Text self{Pattern(300)};
    self.faults.push_back({.block = 0, .nextBlock = 0});
    const TextRef b = Add(self);
    Text toMiddle{Pattern(2048)};
    toMiddle.faults.push_back({.block = 3, .nextBlock = 1});
    const TextRef c = Add(toMiddle);
    ASSERT_TRUE(OpenMailbox());

    std::string text;
    ASSERT_TRUE(ReadChain(a, text));
    EXPECT_EQ(text, Pattern(1536));
    ASSERT_TRUE(ReadChain(b, text));
    EXPECT_EQ(text, Pattern(300));
    ASSERT_TRUE(ReadChain(c, text));
    EXPECT_EQ(text, Pattern(2048));
}

TEST_F(MessageTextTest, ChainsMayStepBackwardsWithoutLooping) {
    // Blocks read in the file order 0, 3, 1, 2: two backward steps, no block twice.
    Text shuffled{Pattern(2048)};
    shuffled.faults.push_back({.block = 0, .nextBlock = 3});
    shuffled.faults.push_back({.block = 3, .nextBlock = 1});
    shuffled.faults.push_back({.block = 2, .next = 0});
    const TextRef t = Add(shuffled);
    ASSERT_TRUE(OpenMailbox());
    const std::string p = Pattern(2048);
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text, p.substr(0, 512) + p.substr(1536, 512) + p.substr(512, 1024));
}

TEST_F(MessageTextTest, TextsLargerThanOneGrowthStep) {
    const std::string big = Pattern(3 * 1024 * 1024 + 77, 'z');
    const TextRef t = Add(Text{big});
    ASSERT_TRUE(OpenMailbox());
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text.size(), big.size());
    EXPECT_TRUE(text == big);
}

TEST_F(MessageTextTest, EveryNonZeroByteValueSurvives) {
    std::string all;
    for (int i = 1; i < 256; ++i) {
        all.push_back(char(i));
    }
    all += "\r\n\r\n\xFF\xFE";
    const TextRef t = Add(Text{all});
    ASSERT_TRUE(OpenMailbox());
    std::string text;
    ASSERT_TRUE(ReadChain(t, text));
    EXPECT_EQ(text, all);
}

class GetMessageTextTest : public MailboxTest {};

TEST_F(GetMessageTextTest, EveryEntryGetsItsOwnText) {
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < 40; ++i) {
        messages.push_back(TextMessage("m" + std::to_string(i),
                                       "Subject: m" + std::to_string(i) + "\r\n\r\n" +
                                           Pattern(std::size_t(i) * 97, char('a' + i % 26))));
    }
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(messages)), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 40);
    for (int i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        std::string text;
        ASSERT_TRUE(dbx.GetMessageText(dbx.GetEmails()[i], text));
        EXPECT_EQ(text, *messages[std::size_t(i)].text);
    }
    // Again, in reverse: reading one text does not disturb the next.
    for (int i = 39; i >= 0; --i) {
        std::string text;
        ASSERT_TRUE(dbx.GetMessageText(dbx.GetEmails()[i], text));
        EXPECT_EQ(text, *messages[std::size_t(i)].text);
    }
}

TEST_F(GetMessageTextTest, EntriesWithoutTextFail) {
    dbxw::Builder b;
    const dbxw::NodeRef root = b.AddNode();
    // Flag 0x1 clear although the record points at a perfectly good chain.
    dbxw::Record clear = MinimalRecord(1, dbxw::kFlag0020);
    clear.text = b.AddText(Text{"Subject: hidden\r\n\r\nnot for the list\r\n"});
    dbxw::Record noOffset = MinimalRecord(2, dbxw::kFlagHasText);
    dbxw::Record good = MinimalRecord(3, dbxw::kFlagHasText);
    good.text = b.AddText(Text{"Subject: shown\r\n\r\nyes\r\n"});
    for (const dbxw::Record& r : {clear, noOffset, good}) {
        dbxw::Entry e;
        e.record = b.AddRecord(r);
        b.GetNode(root).entries.push_back(e);
    }
    b.root = root;
    const dbxw::Image image = b.Build();
    ASSERT_NE(image.GetU32(image.TextOffset(0)), 0u);
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    ASSERT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2, 3}));

    std::string text;
    EXPECT_FALSE(dbx.GetMessageText(dbx.GetEmails()[0], text));
    EXPECT_FALSE(dbx.GetMessageText(dbx.GetEmails()[1], text));
    EXPECT_FALSE(dbx.GetMessageText(nullptr, text));
    ASSERT_TRUE(dbx.GetMessageText(dbx.GetEmails()[2], text));
    EXPECT_EQ(text, "Subject: shown\r\n\r\nyes\r\n");
    // The hidden chain itself is fine: only the flag keeps it away.
    ASSERT_TRUE(dbx.ReadMessageText(image.TextOffset(0), text));
    EXPECT_EQ(text, "Subject: hidden\r\n\r\nnot for the list\r\n");
}

}  // namespace
