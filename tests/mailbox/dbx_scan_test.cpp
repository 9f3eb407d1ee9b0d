// The rescue scan over files from the DBX writer: deleted and unlisted chains, the shapes
// damage gives them (shared stale pointers, loops, blocks claimed twice, shifted copies),
// and the rule that a healthy file yields nothing.
#include <algorithm>
#include <numeric>

#include "mailbox_fixture.h"

namespace {

// A message text of about `size` bytes whose every 4-byte group differs, so that a lost
// or moved byte shows.
std::string Body(std::size_t size, int seed) {
    std::string text = "Subject: message " + std::to_string(seed) + "\r\n\r\n";
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "line " + std::to_string(seed) + "." + std::to_string(i) + "\r\n";
    }
    text.resize(size);
    return text;
}

// The text a deleted message reads back as: the first 4 bytes of every 512 lost.
std::string WithLostBytes(std::string text) {
    for (std::size_t at = 0; at < text.size(); at += dbxw::kBlockTextSize) {
        for (std::size_t i = at; i < std::min(at + 4, text.size()); ++i) {
            text[i] = CDBXFile::kLostByte;
        }
    }
    return text;
}

class ScanTest : public MailboxTest {
protected:
    // Scans the opened file and reads every chain's text through a recovered entry.
    std::vector<CRecoveredChain> Scan(CDBXFile& dbx, std::vector<std::string>* texts = nullptr) {
        std::vector<CRecoveredChain> chains;
        EXPECT_TRUE(dbx.ScanForChains(chains));
        if (texts != nullptr) {
            texts->clear();
            for (const CRecoveredChain& chain : chains) {
                std::string text;
                (void)dbx.GetMessageText(dbx.MakeRecoveredEntry(chain).get(), text);
                texts->push_back(text);
            }
        }
        return chains;
    }

    static std::vector<dbxw::Message> Messages(const std::vector<std::size_t>& sizes) {
        std::vector<dbxw::Message> messages;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            dbxw::Message m;
            m.subject = "message " + std::to_string(i);
            m.text = Body(sizes[i], int(i));
            messages.push_back(m);
        }
        return messages;
    }
};

TEST_F(ScanTest, HealthyMailboxYieldsNothing) {
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < 150; ++i) {
        sizes.push_back(1 + (i * 397) % 3000);
    }
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(Messages(sizes))), DbxOk);
    EXPECT_EQ(dbx.GetDamageCount(), 0u);
    EXPECT_TRUE(Scan(dbx).empty());
    EXPECT_EQ(dbx.GetEmails().GetCount(), 150);
}

TEST_F(ScanTest, DeletedMessagesOfOneTwoAndManyBlocksComeBackWithTheirLostBytes) {
    const std::vector<std::size_t> sizes = {700, 300, 1024, 2900, 120};
    const std::vector<dbxw::Message> messages = Messages(sizes);
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    // Records are added in message order: delete 1 block, 2 blocks, 6 blocks.
    b.DeleteMessage(1);
    b.DeleteMessage(2);
    b.DeleteMessage(3);
    dbxw::Image image = b.Build();
    // A stale tail after the last message's end, where the freed block kept old bytes.
    const std::uint32_t lastBlock = image.BlockOffset(b.GetRecord(3).text, 5);
    const std::size_t tailAt = lastBlock + 16 + 2900 % 512;
    const std::string stale = "OLD BYTES";
    std::copy(stale.begin(), stale.end(), image.bytes.begin() + std::ptrdiff_t(tailAt));

    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 2);  // the index no longer has them
    std::vector<std::string> texts;
    const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
    ASSERT_EQ(chains.size(), 3u);
    const std::size_t blocks[] = {1, 2, 6};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(chains[i].m_Kind, RecoveredKind::Deleted);
        EXPECT_EQ(chains[i].m_nBlockCount, blocks[i]);
        EXPECT_EQ(chains[i].m_nHead, image.TextOffset(b.GetRecord(dbxw::RecordRef(i + 1)).text));
        EXPECT_EQ(dbx.MakeRecoveredEntry(chains[i])->m_nLostBytes, 4 * blocks[i]);
    }
    EXPECT_EQ(texts[0], WithLostBytes(*messages[1].text));
    EXPECT_EQ(texts[1], WithLostBytes(*messages[2].text));
    EXPECT_EQ(texts[2], WithLostBytes(*messages[3].text) + stale);
    // Each record still names its chain, so the entries get their identifiers back.
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(chains[i].m_nRecordOffset, image.RecordOffset(dbxw::RecordRef(i + 1)));
        EXPECT_EQ(dbx.MakeRecoveredEntry(chains[i])->m_Id, std::int32_t(i + 2));
    }
}

// The scan reads the file 4 MiB at a time and reads the records it meets from those bytes;
// a record that the end of a read cuts in two is read from the file instead, and still
// gives the deleted message its identifier.
TEST_F(ScanTest, ARecordCutByTheEndOfAReadStillNamesItsChain) {
    constexpr std::int64_t kRead = std::int64_t(4) << 20;
    std::size_t fillerText =
        std::size_t(kRead / dbxw::kBlockSize * dbxw::kBlockTextSize) - 64 * 1024;
    std::size_t fillerSubject = 8;
    dbxw::Image image;
    dbxw::Builder b;
    std::vector<dbxw::Message> messages;
    bool across = false;
    for (int attempt = 0; attempt < 6 && !across; ++attempt) {
        messages = Messages({fillerText, 900, 300});
        messages[0].subject = std::string(fillerSubject, 'f');
        b = dbxw::SimpleMailboxBuilder(messages);
        b.DeleteMessage(1);
        image = b.Build();
        const std::int64_t start = image.RecordOffset(1);
        const std::int64_t end = image.TextOffset(b.GetRecord(1).text);
        across = start < kRead && end > kRead;
        // Moves the record's middle onto the read's end: whole blocks of the filler's
        // text, then bytes of its record's subject.
        const std::int64_t gap = kRead - (start + end) / 2;
        ASSERT_GT(gap, -std::int64_t(dbxw::kBlockSize)) << "the filler starts too large";
        fillerText +=
            std::size_t(std::max<std::int64_t>(gap, 0) / dbxw::kBlockSize) * dbxw::kBlockTextSize;
        fillerSubject += std::size_t(std::max<std::int64_t>(gap, 0) % dbxw::kBlockSize);
    }
    ASSERT_TRUE(across) << "no layout put the record across the end of the first read";

    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    std::vector<std::string> texts;
    const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(chains[0].m_Kind, RecoveredKind::Deleted);
    EXPECT_EQ(chains[0].m_nRecordOffset, image.RecordOffset(1));
    EXPECT_EQ(dbx.MakeRecoveredEntry(chains[0])->m_Id, 2);
    EXPECT_EQ(texts[0], WithLostBytes(*messages[1].text));
}

TEST_F(ScanTest, FreedChainsThatShareAStalePointerSplitWhereTheLinksSay) {
    const std::vector<dbxw::Message> messages = Messages({900, 900, 100});
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    b.DeleteMessage(0);
    b.DeleteMessage(1);
    dbxw::Image image = b.Build();
    const dbxw::TextRef a = b.GetRecord(0).text;
    const dbxw::TextRef c = b.GetRecord(1).text;
    // A's first block still points where C's first block points: C's second block, whose
    // link names C's first block.
    image.PutU32(image.BlockOffset(a, 0) + 12, image.BlockOffset(c, 1));

    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    std::vector<std::string> texts;
    const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
    ASSERT_EQ(chains.size(), 3u);
    EXPECT_EQ(chains[0].m_nHead, image.BlockOffset(a, 0));
    EXPECT_EQ(chains[0].m_nBlockCount, 1u);
    EXPECT_EQ(chains[1].m_nHead, image.BlockOffset(a, 1));  // lost its predecessor
    EXPECT_EQ(chains[2].m_nHead, image.BlockOffset(c, 0));
    EXPECT_EQ(chains[2].m_nBlockCount, 2u);
    EXPECT_EQ(texts[0], WithLostBytes(messages[0].text->substr(0, 512)));
    EXPECT_EQ(texts[2], WithLostBytes(*messages[1].text));
}

TEST_F(ScanTest, LoopsEndAndEveryBlockIsUsedOnce) {
    dbxw::Builder b;
    const std::string looped = Body(1500, 1);
    const std::string cycle = Body(1024, 2);
    const std::string first = Body(1000, 3);
    const std::string second = Body(1000, 4);
    // Unreferenced chains: one whose last block points back into it, two blocks that point
    // at each other with no head, and two chains that both claim one block.
    dbxw::Text t1{looped};
    t1.faults.push_back({.block = 2, .nextBlock = 1});
    const dbxw::TextRef loop = b.AddText(t1);
    dbxw::Text t2{cycle};
    t2.faults.push_back({.block = 1, .nextBlock = 0});
    const dbxw::TextRef ring = b.AddText(t2);
    const dbxw::TextRef p = b.AddText(dbxw::Text{first});
    const dbxw::TextRef q = b.AddText(dbxw::Text{second});
    dbxw::Image image = b.Build();
    image.PutU32(image.BlockOffset(q, 0) + 12, image.BlockOffset(p, 1));

    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxNoEmail);
    std::vector<std::string> texts;
    const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
    ASSERT_EQ(chains.size(), 5u);
    for (const CRecoveredChain& chain : chains) {
        EXPECT_EQ(chain.m_Kind, RecoveredKind::Unlisted);
    }
    EXPECT_EQ(chains[0].m_nHead, image.TextOffset(loop));
    EXPECT_EQ(chains[0].m_nBlockCount, 3u);
    EXPECT_EQ(texts[0], looped);
    EXPECT_EQ(chains[1].m_nHead, image.TextOffset(ring));  // cut at its first block
    EXPECT_EQ(chains[1].m_nBlockCount, 2u);
    EXPECT_EQ(texts[1], cycle);
    EXPECT_EQ(chains[2].m_nHead, image.TextOffset(p));  // the earlier claim wins
    EXPECT_EQ(texts[2], first);
    EXPECT_EQ(chains[3].m_nHead, image.TextOffset(q));
    EXPECT_EQ(texts[3], second.substr(0, 512));
    EXPECT_EQ(chains[4].m_nHead, image.BlockOffset(q, 1));
    std::uint32_t used = 0;
    for (const CRecoveredChain& chain : chains) {
        used += chain.m_nBlockCount;
    }
    EXPECT_EQ(used, 3u + 2u + 2u + 2u);
}

TEST_F(ScanTest, AWipedRootLeavesEveryMessageUnlistedAndWhole) {
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < 60; ++i) {
        sizes.push_back(200 + i * 41);
    }
    const std::vector<dbxw::Message> messages = Messages(sizes);
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    dbxw::Image image = b.Build();
    CDBXFile healthy;
    ASSERT_EQ(Open(healthy, image, "healthy.dbx"), DbxOk);
    image.Wipe(image.NodeOffset(b.root), dbxw::kNodeSize);

    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxNoEmail);
    std::vector<std::string> texts;
    const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
    ASSERT_EQ(chains.size(), messages.size());
    for (std::size_t i = 0; i < chains.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(chains[i].m_Kind, RecoveredKind::Unlisted);
        std::string indexText;
        ASSERT_TRUE(healthy.GetMessageText(healthy.GetEmails().Get(std::int32_t(i)), indexText));
        EXPECT_EQ(texts[i], indexText);
        // The records are all there, though no node reaches them.
        EXPECT_EQ(dbx.MakeRecoveredEntry(chains[i])->m_Id, std::int32_t(i + 1));
    }
}

TEST_F(ScanTest, CopiesCutOrPaddedAtTheirStartStillGiveEveryMessage) {
    const std::vector<dbxw::Message> messages = Messages({100, 600, 1300, 40, 2000});
    const dbxw::Image original = dbxw::BuildSimpleMailbox(messages);
    for (const std::int64_t shift : {-4096, -8, 12, 1024}) {
        SCOPED_TRACE(shift);
        dbxw::Image image = original;
        if (shift < 0) {
            image.CutStart(std::size_t(-shift));
        } else {
            image.PadStart(std::size_t(shift), 0x5A);
        }
        CDBXFile dbx;
        (void)dbx.OpenForRecovery(Write(image).c_str());
        ASSERT_TRUE(dbx.IsOpen());
        std::vector<std::string> texts;
        const std::vector<CRecoveredChain> chains = Scan(dbx, &texts);
        ASSERT_EQ(chains.size(), messages.size());
        for (std::size_t i = 0; i < chains.size(); ++i) {
            EXPECT_EQ(chains[i].m_nShift, shift);
            EXPECT_EQ(chains[i].m_Kind, RecoveredKind::Unlisted);
            EXPECT_EQ(texts[i], *messages[i].text);
        }
    }
}

TEST_F(ScanTest, TheWalkCountsTheDamageItSkips) {
    std::vector<std::size_t> sizes(400, 900);
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(Messages(sizes));
    dbxw::Image image = b.Build();
    CDBXFile whole;
    ASSERT_EQ(Open(whole, image, "whole.dbx"), DbxOk);
    EXPECT_EQ(whole.GetDamageCount(), 0u);

    // A copy cut short: the nodes, records and texts past the cut fail their checks.
    dbxw::Image cut = image;
    cut.Truncate(image.bytes.size() / 2);
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, cut, "cut.dbx"), DbxOk);
    EXPECT_LT(dbx.GetEmails().GetCount(), 400);
    EXPECT_GT(dbx.GetDamageCount(), 0u);

    // A node that fails its self-offset check is one damaged place.
    dbxw::Builder nodeDamage = dbxw::SimpleMailboxBuilder(Messages(sizes));
    nodeDamage.GetNode(nodeDamage.GetNode(nodeDamage.root).firstChild).selfOffset = 4;
    CDBXFile damaged;
    ASSERT_EQ(Open(damaged, nodeDamage.Build(), "node.dbx"), DbxOk);
    EXPECT_EQ(damaged.GetDamageCount(), 1u);
    // Its records' chains are whole, and come back as unlisted messages.
    std::vector<CRecoveredChain> chains;
    ASSERT_TRUE(damaged.ScanForChains(chains));
    EXPECT_EQ(std::size_t(damaged.GetEmails().GetCount()) + chains.size(), 400u);
}

}  // namespace
