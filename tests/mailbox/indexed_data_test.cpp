#include "mailbox/indexed_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mailbox/hyper_string.h"
#include "mailbox_fixture.h"

namespace {

using dbxw::Attribute;
using dbxw::Record;

class IndexedDataTest : public MailboxTest {};

// The end marker keeps the value before it from running into the padding of the body.
Record WithEnd(Record r) {
    r.Add(Attribute::String(0x7E, "end"));
    return r;
}

TEST_F(IndexedDataTest, ReadsTheHeaderAndSlotCount) {
    Record r = MinimalRecord(5);
    r.Add(Attribute::String(dbxw::kAttrSubject, "Hi"));  // 3 bytes
    CIndexedData d;
    dbxw::Builder b;
    b.AddRecord(r);
    const dbxw::Image image = b.Build();
    CZFile file;
    ASSERT_TRUE(file.Open(Write(image), CZFile::ModeRead));
    ASSERT_TRUE(d.Read(file, image.RecordOffset(0)));
    EXPECT_EQ(d.GetHeader(0), image.RecordOffset(0));
    EXPECT_EQ(d.GetHeader(1), 3u * 4 + 3);
    EXPECT_EQ(d.GetSlotCount(), 3u);
}

TEST_F(IndexedDataTest, ReadFailsForBadOffsetsAndCutRecords) {
    dbxw::Builder b;
    b.AddRecord(MinimalRecord(1));
    Record wrongSelf = MinimalRecord(2);
    wrongSelf.selfOffset = 1234;
    b.AddRecord(wrongSelf);
    Record pastTheEnd = MinimalRecord(3);
    pastTheEnd.bodyLength = 100000;  // far beyond the end of the file
    b.AddRecord(pastTheEnd);
    dbxw::Image image = b.Build();
    CZFile file;
    ASSERT_TRUE(file.Open(Write(image), CZFile::ModeRead));

    CIndexedData good;
    EXPECT_TRUE(good.Read(file, image.RecordOffset(0)));
    CIndexedData wrong;
    EXPECT_FALSE(wrong.Read(file, image.RecordOffset(1)));
    CIndexedData past;
    EXPECT_FALSE(past.Read(file, image.RecordOffset(2)));
    CIndexedData beyond;
    EXPECT_FALSE(beyond.Read(file, std::uint32_t(image.bytes.size()) + 4));
    CIndexedData misaligned;
    EXPECT_FALSE(misaligned.Read(file, image.RecordOffset(0) + 4));

    // The header itself cut by the end of the file.
    dbxw::Image cut = image;
    cut.Truncate(image.RecordOffset(2) + 6);
    CZFile cutFile;
    ASSERT_TRUE(cutFile.Open(Write(cut, "cut.dbx"), CZFile::ModeRead));
    CIndexedData shortHeader;
    EXPECT_FALSE(shortHeader.Read(cutFile, image.RecordOffset(2)));
}

// The scan reads records from the bytes it already holds: they must decode as a read from
// the file does, and bytes that end inside the record must be refused, not read past.
TEST_F(IndexedDataTest, ParsedFromBytesAsReadFromTheFile) {
    dbxw::Builder b;
    Record r = MinimalRecord(7);
    r.Add(Attribute::String(dbxw::kAttrSubject, "Parsed"));
    r.Add(Attribute::Dword(0x11, 0x12345678));
    b.AddRecord(WithEnd(r));
    const dbxw::Image image = b.Build();
    const std::uint32_t offset = image.RecordOffset(0);
    CZFile file;
    ASSERT_TRUE(file.Open(Write(image), CZFile::ModeRead));
    CIndexedData read;
    ASSERT_TRUE(read.Read(file, offset));

    const std::span<const std::uint8_t> rest(image.bytes.data() + offset,
                                             image.bytes.size() - offset);
    const std::size_t size = 12 + (read.GetHeader(1) + 3) / 4 * 4;
    CIndexedData parsed;
    ASSERT_TRUE(parsed.Parse(rest.first(size), offset));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(parsed.GetHeader(i), read.GetHeader(i));
    }
    EXPECT_EQ(parsed.GetSlotCount(), read.GetSlotCount());
    for (std::uint32_t id = 0; id < CIndexedData::kTableSize; ++id) {
        std::uint32_t readLength = 0;
        std::uint32_t parsedLength = 0;
        const std::uint8_t* a = read.GetValue(id, readLength);
        const std::uint8_t* p = parsed.GetValue(id, parsedLength);
        ASSERT_EQ(a == nullptr, p == nullptr) << id;
        ASSERT_EQ(readLength, parsedLength) << id;
        if (a != nullptr && std::int32_t(readLength) > 0) {
            EXPECT_EQ(std::memcmp(a, p, readLength), 0) << id;
        }
    }
    std::string subject;
    EXPECT_TRUE(parsed.GetString(dbxw::kAttrSubject, subject));
    EXPECT_EQ(subject, "Parsed");

    // One byte short, a header alone, nothing, or the wrong offset: refused.
    EXPECT_FALSE(parsed.Parse(rest.first(size - 1), offset));
    EXPECT_FALSE(parsed.Parse(rest.first(12), offset));
    EXPECT_FALSE(parsed.Parse(rest.first(0), offset));
    EXPECT_FALSE(parsed.Parse(rest.first(size), offset + 4));
    std::uint32_t value = 0;
    EXPECT_FALSE(parsed.GetDword(0x11, value)) << "a refused parse leaves no attributes";
}

TEST_F(IndexedDataTest, BodyIsReadInWholeWords) {
    // Five bytes of data make a 9-byte body read as three words: a file that ends at the
    // stated length cannot supply the last word.
    dbxw::Builder b;
    Record r;
    r.Add(Attribute::Bytes(0x08, "abcde"));
    b.AddRecord(r);
    dbxw::Image image = b.Build();
    const std::uint32_t at = image.RecordOffset(0);
    ASSERT_EQ(image.GetU32(at + 4), 9u);
    image.Truncate(at + 12 + 9);
    CZFile file;
    ASSERT_TRUE(file.Open(Write(image), CZFile::ModeRead));
    CIndexedData d;
    EXPECT_FALSE(d.Read(file, at));
}

TEST_F(IndexedDataTest, DirectValuesAre24Bits) {
    Record r;
    r.Add(Attribute::Direct(0x00, 0xABCDEF)).Add(Attribute::Direct(0x10, 0));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t v = 0;
    ASSERT_TRUE(d.GetDword(0x00, v));
    EXPECT_EQ(v, 0xABCDEFu);
    EXPECT_TRUE(d.IsDirect(0x00));

    std::uint32_t length = 0;
    const std::uint8_t* p = d.GetValue(0x00, length);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(p[0], 0xEF);
    EXPECT_EQ(p[1], 0xCD);
    EXPECT_EQ(p[2], 0xAB);
    EXPECT_EQ(p[3], 0x00);

    // A direct zero is still present.
    v = 99;
    EXPECT_TRUE(d.GetDword(0x10, v));
    EXPECT_EQ(v, 0u);

    // Direct values are not strings or dates of 8 bytes.
    FILETIME64 t = 0;
    EXPECT_FALSE(d.GetFiletime(0x00, t));
}

TEST_F(IndexedDataTest, IndirectDwordsOfOneToFourBytes) {
    Record r;
    r.Add(Attribute::Bytes(0x20, "\x7F"))
        .Add(Attribute::Bytes(0x21, "\x34\x12"))
        .Add(Attribute::Bytes(0x22, "\x56\x34\x12"))
        .Add(Attribute::Dword(0x23, 0x89ABCDEF))
        .Add(Attribute::Bytes(0x24, "\x01\x02\x03\x04\x05"))
        .Add(Attribute::Bytes(0x25, ""));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(WithEnd(r), d));
    std::uint32_t v = 0;
    ASSERT_TRUE(d.GetDword(0x20, v));
    EXPECT_EQ(v, 0x7Fu);
    ASSERT_TRUE(d.GetDword(0x21, v));
    EXPECT_EQ(v, 0x1234u);
    ASSERT_TRUE(d.GetDword(0x22, v));
    EXPECT_EQ(v, 0x123456u);
    ASSERT_TRUE(d.GetDword(0x23, v));
    EXPECT_EQ(v, 0x89ABCDEFu);
    EXPECT_FALSE(d.GetDword(0x24, v));  // five bytes
    EXPECT_FALSE(d.GetDword(0x25, v));  // no bytes
    EXPECT_FALSE(d.GetDword(0x26, v));  // absent
    EXPECT_FALSE(d.GetDword(200, v));   // not an identifier at all
    EXPECT_EQ(d.GetStoredLength(0x24), 5);
}

TEST_F(IndexedDataTest, DatesMustBeExactlyEightBytes) {
    const std::uint64_t when = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5);
    Record r;
    r.Add(Attribute::Bytes(0x02, std::string(7, '\x11')))
        .Add(Attribute::Filetime(0x06, when))
        .Add(Attribute::Bytes(0x05, std::string(9, '\x22')));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(WithEnd(r), d));
    FILETIME64 t = 0;
    EXPECT_FALSE(d.GetFiletime(0x02, t));
    EXPECT_EQ(t, 0u);
    EXPECT_FALSE(d.GetFiletime(0x05, t));
    EXPECT_EQ(t, 0u);
    ASSERT_TRUE(d.GetFiletime(0x06, t));
    EXPECT_EQ(t, when);
    EXPECT_FALSE(d.GetFiletime(0x07, t));
}

TEST_F(IndexedDataTest, LastIndirectValueRunsToTheEndOfTheBodyWords) {
    Record r;
    r.Add(Attribute::Direct(0x00, 1)).Add(Attribute::Bytes(0x08, "abcde"));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t length = 0;
    const std::uint8_t* p = d.GetValue(0x08, length);
    ASSERT_NE(p, nullptr);
    // 13 body bytes are read as four words; two of them are the slots.
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(std::memcmp(p, "abcde", 5), 0);
    std::string s;
    ASSERT_TRUE(d.GetString(0x08, s));
    EXPECT_EQ(s, "abcde");  // the padding is zeros, so the text ends there
}

TEST_F(IndexedDataTest, StringsEndAtTheFirstZeroByte) {
    Record r;
    r.Add(Attribute::String(0x08, "Subject line"))
        .Add(Attribute::Bytes(0x0D, std::string("ab\0cd", 5)))
        .Add(Attribute::Bytes(0x0E, "unterminated"))
        .Add(Attribute::String(0x13, ""));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(WithEnd(r), d));
    std::string s;
    ASSERT_TRUE(d.GetString(0x08, s));
    EXPECT_EQ(s, "Subject line");
    ASSERT_TRUE(d.GetString(0x0D, s));
    EXPECT_EQ(s, "ab");
    ASSERT_TRUE(d.GetString(0x0E, s));
    EXPECT_EQ(s, "unterminated");
    // A stored empty string (just its zero byte) is present.
    s = "x";
    ASSERT_TRUE(d.GetString(0x13, s));
    EXPECT_EQ(s, "");
    EXPECT_FALSE(d.GetString(0x14, s));

    CZHyperString text;
    ASSERT_TRUE(d.GetText(0x08, text));
    EXPECT_EQ(text.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(text.GetTextView(), "Subject line");
    CZHyperString none;
    EXPECT_FALSE(d.GetText(0x14, none));
}

TEST_F(IndexedDataTest, ZeroLengthValueIsAbsent) {
    // Two indirect slots at the same offset: the first has no bytes.
    Record r;
    r.Add(Attribute::Bytes(0x08, "")).Add(Attribute::String(0x0D, "name"));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t length = 99;
    EXPECT_EQ(d.GetValue(0x08, length), nullptr);
    std::string s;
    EXPECT_FALSE(d.GetString(0x08, s));
    EXPECT_EQ(s, "");
    ASSERT_TRUE(d.GetString(0x0D, s));
    EXPECT_EQ(s, "name");
}

TEST_F(IndexedDataTest, OutOfOrderOffsetsGiveAnEmptyStringThatIsPresent) {
    // The subject claims offset 12 while the name that follows starts at 8.
    Record r;
    r.Add(Attribute::String(0x08, "subject").AtOffset(12)).Add(Attribute::String(0x0D, "name"));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    EXPECT_EQ(d.GetStoredLength(0x08), -4);
    std::string s = "stale";
    EXPECT_TRUE(d.GetString(0x08, s));
    EXPECT_EQ(s, "");
    std::uint32_t v = 0;
    EXPECT_FALSE(d.GetDword(0x08, v));
    FILETIME64 t = 0;
    EXPECT_FALSE(d.GetFiletime(0x08, t));
    ASSERT_TRUE(d.GetString(0x0D, s));
    EXPECT_EQ(s, "name");
}

TEST_F(IndexedDataTest, LaterSlotWithTheSameIdReplacesTheEarlier) {
    Record strings;
    strings.Add(Attribute::String(0x08, "first")).Add(Attribute::String(0x08, "second"));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(strings, d));
    std::string s;
    ASSERT_TRUE(d.GetString(0x08, s));
    EXPECT_EQ(s, "second");

    Record numbers;
    numbers.Add(Attribute::Direct(0x10, 1)).Add(Attribute::Dword(0x10, 5));
    CIndexedData n;
    ASSERT_TRUE(ReadRecord(numbers, n));
    std::uint32_t v = 0;
    ASSERT_TRUE(n.GetDword(0x10, v));
    EXPECT_EQ(v, 5u);
    EXPECT_FALSE(n.IsDirect(0x10));
}

TEST_F(IndexedDataTest, SlotsBeyondTheBodyAreNeverRead) {
    // 200 slots claimed, three words of body: the table runs off the body.
    Record r;
    r.Add(Attribute::Direct(0x00, 42)).Add(Attribute::String(0x08, "hello"));
    r.slotCount = 200;
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t v = 0;
    ASSERT_TRUE(d.GetDword(0x00, v));
    EXPECT_EQ(v, 42u);
    // The data area would start past the body, so no indirect value can be there.
    std::string s;
    EXPECT_FALSE(d.GetString(0x08, s));
    EXPECT_EQ(s, "");
}

TEST_F(IndexedDataTest, ValuesReachingPastTheBodyAreAbsent) {
    // The name claims an offset far beyond the body, which gives the subject before it a
    // length that runs off the end.
    Record r;
    r.Add(Attribute::Direct(0x00, 7))
        .Add(Attribute::String(0x08, "abc"))
        .Add(Attribute::String(0x0D, "def").AtOffset(0xFFFF00));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t length = 0;
    EXPECT_EQ(d.GetValue(0x08, length), nullptr);
    std::string s;
    EXPECT_FALSE(d.GetString(0x08, s));
    EXPECT_EQ(s, "");
    FILETIME64 t = 0;
    // The name, last in the table, gets a negative length: present but empty, and never
    // a positive length that would reach outside.
    std::string name = "stale";
    EXPECT_TRUE(d.GetString(0x0D, name));
    EXPECT_EQ(name, "");
    if (d.GetValue(0x0D, length) != nullptr) {
        EXPECT_LT(std::int32_t(length), 0);
    }
    EXPECT_FALSE(d.GetFiletime(0x0D, t));
    std::uint32_t v = 0;
    EXPECT_FALSE(d.GetDword(0x0D, v));
    ASSERT_TRUE(d.GetDword(0x00, v));
    EXPECT_EQ(v, 7u);

    // A value that starts inside the body and ends past it: four bytes of data area, but
    // the next slot's offset makes the first value nine bytes long.
    Record edge;
    edge.Add(Attribute::Bytes(0x08, "abcd")).Add(Attribute::Bytes(0x0D, "").AtOffset(9));
    CIndexedData e;
    ASSERT_TRUE(ReadRecord(edge, e));
    EXPECT_EQ(e.GetStoredLength(0x08), 9);
    EXPECT_EQ(e.GetValue(0x08, length), nullptr);
    EXPECT_FALSE(e.GetString(0x08, s));
    EXPECT_FALSE(e.GetDword(0x08, v));
}

TEST_F(IndexedDataTest, RecordsWithoutABodyHaveNoAttributes) {
    for (std::uint32_t bodyLength : {0u, 0x19000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(bodyLength);
        Record r = MinimalRecord(9);
        r.Add(Attribute::String(0x08, "never read"));
        r.bodyLength = bodyLength;
        CIndexedData d;
        ASSERT_TRUE(ReadRecord(r, d));
        std::uint32_t v = 0;
        EXPECT_FALSE(d.GetDword(0x00, v));
        EXPECT_FALSE(d.GetDword(0x01, v));
        std::string s;
        EXPECT_FALSE(d.GetString(0x08, s));
    }
}

TEST_F(IndexedDataTest, RawSlotsCanHoldAnyIdentifier) {
    // Identifier 0x7F, direct, value 0x123456, written as one raw word.
    Record r;
    r.Add(Attribute::Direct(0x01, 0).WithRawSlot(0x123456u << 8 | 0x80 | 0x7F));
    CIndexedData d;
    ASSERT_TRUE(ReadRecord(r, d));
    std::uint32_t v = 0;
    ASSERT_TRUE(d.GetDword(0x7F, v));
    EXPECT_EQ(v, 0x123456u);
    EXPECT_FALSE(d.GetDword(0x01, v));
}

}  // namespace
