#include "mailbox/dbx_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "mailbox_fixture.h"

namespace {

using dbxw::Builder;
using dbxw::Entry;
using dbxw::NodeRef;

class DbxFileTest : public MailboxTest {};

// A node holding records with the ids, in entry order.
NodeRef NodeOf(Builder& b, std::initializer_list<std::uint32_t> ids) {
    const NodeRef n = b.AddNode();
    for (std::uint32_t id : ids) {
        Entry e;
        e.record = b.AddRecord(MinimalRecord(id));
        b.GetNode(n).entries.push_back(e);
    }
    return n;
}

std::vector<std::int32_t> Range(std::int32_t first, std::int32_t last) {
    std::vector<std::int32_t> v(std::size_t(last - first + 1));
    std::iota(v.begin(), v.end(), first);
    return v;
}

std::vector<dbxw::Message> Messages(int n) {
    std::vector<dbxw::Message> v;
    for (int i = 0; i < n; ++i) {
        dbxw::Message m;
        m.subject = "Message " + std::to_string(i + 1);
        v.push_back(std::move(m));
    }
    return v;
}

// Root entries A, B, C with a first child X and entry children Y (after A) and Z (after C).
// Each subtree has something below it, so the order of the recursion shows too.
struct WalkTree {
    Builder b;
    NodeRef root, x, xChild, y, yChild, z;

    WalkTree() {
        root = NodeOf(b, {1, 2, 3});
        x = NodeOf(b, {10, 11});
        xChild = NodeOf(b, {12});
        y = NodeOf(b, {20});
        yChild = NodeOf(b, {21});
        z = NodeOf(b, {30, 31});
        b.GetNode(root).firstChild = x;
        b.GetNode(root).entries[0].child = y;
        b.GetNode(root).entries[2].child = z;
        b.GetNode(x).entries[1].child = xChild;
        b.GetNode(y).firstChild = yChild;
        b.root = root;
    }
};

const std::vector<std::int32_t> kWalkOrder = {1, 2, 3, 10, 11, 12, 20, 21, 30, 31};

TEST_F(DbxFileTest, OpensASimpleMailboxInListOrder) {
    std::vector<dbxw::Message> messages = Messages(12);
    messages[4].senderName = "Carol";
    const dbxw::Image image = dbxw::BuildSimpleMailbox(messages);
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    EXPECT_TRUE(dbx.IsOpen());
    EXPECT_TRUE(dbx.HasHeader());
    EXPECT_TRUE(dbx.HasFileInfo());
    EXPECT_FALSE(dbx.IsFolderFile());
    EXPECT_EQ(dbx.GetFileInfoLength(), 1560u);
    EXPECT_EQ(dbx.GetMessageCount(), 12u);
    EXPECT_EQ(dbx.GetRootNodeOffset(), image.GetU32(0xE4));
    ASSERT_EQ(Ids(dbx), Range(1, 12));
    EXPECT_EQ(dbx.GetEmails()[4]->m_SenderName, "Carol");
    EXPECT_EQ(dbx.GetEmails()[11]->m_Subject.GetTextView(), "Message 12");

    dbx.Close();
    EXPECT_FALSE(dbx.IsOpen());
    EXPECT_FALSE(dbx.HasHeader());
    EXPECT_FALSE(dbx.HasFileInfo());
    EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    EXPECT_EQ(dbx.GetMessageCount(), 0u);
    EXPECT_EQ(dbx.GetRootNodeOffset(), 0u);
    EXPECT_EQ(dbx.GetFileInfoLength(), 0u);
    EXPECT_FALSE(dbx.IsFolderFile());
}

TEST_F(DbxFileTest, ReopeningShowsOnlyTheNewFile) {
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(Messages(5)), "five.dbx"), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), 5);
    dbx.Close();
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(Messages(2)), "two.dbx"), DbxOk);
    EXPECT_EQ(Ids(dbx), Range(1, 2));
}

TEST_F(DbxFileTest, PathFailures) {
    CDBXFile dbx;
    EXPECT_EQ(dbx.Open(static_cast<const char16_t*>(nullptr)), DbxInvalidName);
    EXPECT_FALSE(dbx.IsOpen());
    EXPECT_EQ(dbx.Open(u""), DbxCannotOpen);
    EXPECT_EQ(dbx.Open(temp.WidePath("missing.dbx")), DbxCannotOpen);
    EXPECT_FALSE(dbx.IsOpen());
    EXPECT_FALSE(dbx.HasHeader());
    // A folder is no file to read.
    EXPECT_NE(dbx.Open(temp.Path().u16string()), DbxOk);
    EXPECT_FALSE(dbx.IsOpen());
}

TEST_F(DbxFileTest, ShortFilesCannotBeReadAndLeaveNothingOpen) {
    const dbxw::Image full = dbxw::BuildSimpleMailbox(Messages(3));
    for (std::size_t size : {std::size_t(0), std::size_t(100), std::size_t(9403)}) {
        SCOPED_TRACE(size);
        dbxw::Image cut = full;
        cut.Truncate(size);
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, cut), DbxCannotRead);
        EXPECT_FALSE(dbx.IsOpen());
        EXPECT_FALSE(dbx.HasHeader());
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    }
}

TEST_F(DbxFileTest, FolderFilesHoldNoEmail) {
    struct Case {
        std::uint32_t at6C, at70, at80;
    };
    for (const Case c : {Case{0, 0, 3}, Case{1, 0, 0}, Case{0, 0xFFFFFFFF, 0}, Case{5, 5, 3}}) {
        SCOPED_TRACE(testing::Message() << c.at6C << " " << c.at70 << " " << c.at80);
        Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
        b.header.folder6C = c.at6C;
        b.header.folder70 = c.at70;
        b.header.folder80 = c.at80;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxFolderFile);
        EXPECT_FALSE(dbx.IsOpen());
        EXPECT_FALSE(dbx.HasHeader());
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    }
    // Any other value at 0x80 is a message file.
    Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
    b.header.folder80 = 2;
    CDBXFile dbx;
    EXPECT_EQ(Open(dbx, b.Build()), DbxOk);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 3);
}

TEST_F(DbxFileTest, NoEmailCases) {
    {
        SCOPED_TRACE("message count 0 with the root set");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
        b.header.messageCount = 0;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
        EXPECT_NE(dbx.GetRootNodeOffset(), 0u);
        // The file stays open and the header loaded until the caller closes.
        EXPECT_TRUE(dbx.IsOpen());
        EXPECT_TRUE(dbx.HasHeader());
        dbx.Close();
        EXPECT_FALSE(dbx.IsOpen());
    }
    {
        SCOPED_TRACE("root offset 0");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
        b.header.rootOffset = 0;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    }
    {
        SCOPED_TRACE("root with a wrong self offset");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
        b.GetNode(b.root).selfOffset = 0x1234;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    }
    {
        SCOPED_TRACE("root pointing at the records, not at a node");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
        const dbxw::Image first = b.Build();
        b.header.rootOffset = first.RecordOffset(0) + 4;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);
    }
    {
        SCOPED_TRACE("root past the end, and root cut by the end");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(1));
        b.header.rootOffset = 0x7FFFFFF0;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);

        Builder tail;
        tail.AddRecord(MinimalRecord(1));
        tail.root = NodeOf(tail, {2});
        dbxw::Image image = tail.Build();
        // Put the root into the last 100 bytes of the file.
        const std::uint32_t at = std::uint32_t(image.bytes.size()) - 100;
        image.PutU32(at, at);
        image.PutU32(0xE4, at);
        CDBXFile cut;
        EXPECT_EQ(Open(cut, image, "tail.dbx"), DbxNoEmail);
    }
    {
        SCOPED_TRACE("a root without readable records is still a walk");
        Builder b;
        b.root = b.AddNode();
        b.header.messageCount = 1;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(dbx.GetEmails().GetCount(), 0);
    }
}

TEST_F(DbxFileTest, HeaderValuesAreReadAsStored) {
    Builder b = dbxw::SimpleMailboxBuilder(Messages(3));
    b.header.messageCount = 77;
    const dbxw::Image image = b.Build();
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    EXPECT_EQ(dbx.GetMessageCount(), 77u);
    EXPECT_EQ(dbx.GetRootNodeOffset(), image.NodeOffset(b.root));
    EXPECT_EQ(dbx.GetEmails().GetCount(), 3);
}

TEST_F(DbxFileTest, WalkOrderIsOwnEntriesThenFirstChildThenEntryChildren) {
    WalkTree t;
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, t.b.Build()), DbxOk);
    EXPECT_EQ(Ids(dbx), kWalkOrder);
}

TEST_F(DbxFileTest, ACorruptedNodeLosesOnlyItsSubtree) {
    {
        SCOPED_TRACE("Y has a wrong self offset");
        WalkTree t;
        t.b.GetNode(t.y).selfOffset = 8;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, t.b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2, 3, 10, 11, 12, 30, 31}));
    }
    {
        SCOPED_TRACE("X's child points past the end of the file");
        WalkTree t;
        t.b.GetNode(t.x).entries[1].rawChildOffset = 0x7FFFFF00;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, t.b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2, 3, 10, 11, 20, 21, 30, 31}));
    }
    {
        SCOPED_TRACE("the first child points into the middle of a node");
        WalkTree t;
        Builder& b = t.b;
        const dbxw::Image first = b.Build();
        b.GetNode(t.root).rawFirstChild = first.NodeOffset(t.x) + 12;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2, 3, 20, 21, 30, 31}));
    }
}

TEST_F(DbxFileTest, UnreadableRecordsAreSkipped) {
    Builder b;
    const NodeRef root = NodeOf(b, {1, 2, 3, 4, 5});
    dbxw::Record& wrongSelf = b.GetRecord(b.GetNode(root).entries[1].record);
    wrongSelf.selfOffset = 0x10;
    dbxw::Record& noFlags = b.GetRecord(b.GetNode(root).entries[2].record);
    noFlags.attributes.pop_back();
    noFlags.Add(dbxw::Attribute::String(dbxw::kAttrSubject, "no flags"));
    b.GetNode(root).entries[3].rawRecordOffset = 0x7FFFFFF0;
    // The last record in the file claims a body that runs past its end.
    dbxw::Record last = MinimalRecord(6);
    last.bodyLength = 4096;
    Entry e;
    e.record = b.AddRecord(last);
    b.GetNode(root).entries.push_back(e);
    b.root = root;
    const dbxw::Image image = b.Build();
    ASSERT_GT(image.RecordOffset(e.record) + 12 + 4096, image.bytes.size());
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 5}));
}

TEST_F(DbxFileTest, EntryWithoutRecordStillHasItsChildWalked) {
    Builder b;
    const NodeRef root = NodeOf(b, {2});
    const NodeRef child = NodeOf(b, {5, 6});
    Entry empty;
    empty.child = child;
    b.GetNode(root).entries.insert(b.GetNode(root).entries.begin(), empty);
    b.root = root;
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
    EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{2, 5, 6}));
}

TEST_F(DbxFileTest, EntryCountsAboveTheNodeAreCutTo51) {
    {
        SCOPED_TRACE("60 entries, the last 9 stored after the node");
        Builder b;
        const NodeRef root = b.AddNode();
        for (std::uint32_t id = 1; id <= 60; ++id) {
            Entry e;
            e.record = b.AddRecord(MinimalRecord(id));
            b.GetNode(root).entries.push_back(e);
        }
        b.root = root;
        const dbxw::Image image = b.Build();
        ASSERT_EQ(image.bytes[image.NodeOffset(root) + 0x11], 60);
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, image), DbxOk);
        EXPECT_EQ(Ids(dbx), Range(1, 51));
    }
    {
        SCOPED_TRACE("a count of 255 over 3 entries, records right after the node");
        Builder b;
        const NodeRef root = NodeOf(b, {1, 2, 3});
        b.GetNode(root).entryCount = 255;
        b.root = root;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), Range(1, 3));
    }
}

TEST_F(DbxFileTest, ChildrenLeadingBackEndTheWalk) {
    {
        SCOPED_TRACE("an entry child pointing at the root");
        Builder b;
        const NodeRef root = NodeOf(b, {1, 2});
        b.GetNode(root).entries[1].child = root;
        b.root = root;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), Range(1, 2));
    }
    {
        SCOPED_TRACE("a node that is its own first child");
        Builder b;
        const NodeRef root = NodeOf(b, {1});
        b.GetNode(root).firstChild = root;
        b.root = root;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), Range(1, 1));
    }
    {
        SCOPED_TRACE("a grandchild pointing at its grandparent and its parent");
        WalkTree t;
        t.b.GetNode(t.xChild).firstChild = t.root;
        t.b.GetNode(t.xChild).entries[0].child = t.x;
        t.b.GetNode(t.yChild).firstChild = t.y;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, t.b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), kWalkOrder);
    }
    {
        SCOPED_TRACE("two entries sharing one child node");
        Builder b;
        const NodeRef root = NodeOf(b, {1, 2});
        const NodeRef shared = NodeOf(b, {9});
        b.GetNode(root).entries[0].child = shared;
        b.GetNode(root).entries[1].child = shared;
        b.root = root;
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
        EXPECT_EQ(Ids(dbx), (std::vector<std::int32_t>{1, 2, 9}));
    }
}

TEST_F(DbxFileTest, AChainOf150000NestedNodesWalksWithoutExhaustingTheStack) {
    constexpr std::size_t kDepth = 150000;
    const dbxw::Image image = dbxw::DeepChainBuilder(kDepth).Build();
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, image), DbxOk);
    ASSERT_EQ(dbx.GetEmails().GetCount(), std::int32_t(kDepth));
    EXPECT_EQ(Ids(dbx), Range(1, std::int32_t(kDepth)));
}

TEST_F(DbxFileTest, TheSameChainThroughEntryChildren) {
    constexpr std::uint32_t kDepth = 100000;
    Builder b;
    NodeRef previous = dbxw::kNone;
    for (std::uint32_t i = 1; i <= kDepth; ++i) {
        const NodeRef n = NodeOf(b, {i});
        if (previous == dbxw::kNone) {
            b.root = n;
        } else {
            b.GetNode(previous).entries[0].child = n;
        }
        previous = n;
    }
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
    EXPECT_EQ(Ids(dbx), Range(1, std::int32_t(kDepth)));
}

TEST_F(DbxFileTest, FileInfoBlock) {
    {
        SCOPED_TRACE("a length other than 1560 skips the block");
        for (std::uint32_t length : {0u, 1559u, 1561u}) {
            Builder b = dbxw::SimpleMailboxBuilder(Messages(4));
            b.header.fileInfoLength = length;
            const dbxw::Image image = b.Build();
            // The tree starts right after the header, where the block would be.
            ASSERT_LT(image.NodeOffset(0), 9404u + 1560u);
            CDBXFile dbx;
            ASSERT_EQ(Open(dbx, image), DbxOk);
            EXPECT_FALSE(dbx.HasFileInfo());
            EXPECT_EQ(dbx.GetFileInfoLength(), length);
            EXPECT_EQ(Ids(dbx), Range(1, 4));
        }
    }
    {
        SCOPED_TRACE("a block that cannot be read does not stop the open");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(2));
        b.header.writeFileInfo = false;
        b.firstObjectOffset = 0x200;  // the whole mailbox inside the header
        const dbxw::Image image = b.Build();
        ASSERT_EQ(image.bytes.size(), 9404u);
        CDBXFile dbx;
        ASSERT_EQ(Open(dbx, image), DbxOk);
        EXPECT_FALSE(dbx.HasFileInfo());
        EXPECT_EQ(Ids(dbx), Range(1, 2));
    }
    {
        SCOPED_TRACE("the unreadable block leaves the status to the tree");
        Builder b = dbxw::SimpleMailboxBuilder(Messages(2));
        b.header.writeFileInfo = false;
        b.firstObjectOffset = 0x200;
        b.header.messageCount = 0;
        CDBXFile dbx;
        EXPECT_EQ(Open(dbx, b.Build()), DbxNoEmail);
    }
}

TEST_F(DbxFileTest, ManyEntriesGrowTheList) {
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, dbxw::BuildSimpleMailbox(Messages(2001))), DbxOk);
    EXPECT_EQ(dbx.GetEmails().GetCount(), 2001);
    EXPECT_EQ(dbx.GetEmails().GetCapacity(), 4000);
    EXPECT_EQ(Ids(dbx), Range(1, 2001));
}

TEST_F(DbxFileTest, RecordsStoredInsideTheTreeNodesRegionLoad) {
    // A realistic 3-level layout from the convenience builder.
    const std::vector<dbxw::Message> messages = Messages(300);
    const Builder b = dbxw::SimpleMailboxBuilder(messages);
    ASSERT_GT(b.NodeCount(), 10u);
    CDBXFile dbx;
    ASSERT_EQ(Open(dbx, b.Build()), DbxOk);
    EXPECT_EQ(Ids(dbx), Range(1, 300));
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DbxFileTest, TheFileIsNeverWritten) {
    std::vector<dbxw::Message> messages = Messages(5);
    for (auto& m : messages) {
        m.text = "Subject: " + *m.subject + "\r\n\r\n" + std::string(700, 'b') + "\r\n";
    }
    const std::filesystem::path path = temp.Path("readonly.dbx");
    ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(path));
    // An old time, so that even a write within the same second would show.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    std::filesystem::last_write_time(path, old);
    const std::string before = Contents(path);
    {
        CDBXFile dbx;
        ASSERT_EQ(dbx.Open(path.u16string()), DbxOk);
        for (const CEmailDBX* e : dbx.GetEmails().Items()) {
            std::string text;
            EXPECT_TRUE(dbx.GetMessageText(e, text));
        }
        dbx.Close();
        EXPECT_EQ(dbx.Open(path.u16string()), DbxOk);
    }
    EXPECT_EQ(std::filesystem::last_write_time(path), old);
    EXPECT_EQ(Contents(path), before);
}

TEST(DbxStatusTextTest, EveryStatusHasItsText) {
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxOk)), u"No error.");
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxInvalidName)), u"Invalid file name.");
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxCannotOpen)),
              u"Unable to open this file.\nPlease check if the path is correct,\nand if the file "
              u"is not open by another application.");
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxCannotRead)),
              u"Unable to read this file.\nPlease check if the path is correct,\nand if the file "
              u"is not open by another application.");
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxFolderFile)),
              u"This file is an Outlook Express folder file. It does not contain any email.");
    EXPECT_EQ(std::u16string_view(GetStatusText(DbxNoEmail)),
              u"This file is empty, and does not contain any email.");
    EXPECT_EQ(std::u16string_view(GetStatusText(0)), u"Unknown error.");
    EXPECT_EQ(std::u16string_view(GetStatusText(105)), u"Unknown error.");
}

}  // namespace
