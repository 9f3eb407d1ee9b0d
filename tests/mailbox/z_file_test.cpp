#include "mailbox/z_file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"

namespace {

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ZFileTest : public ::testing::Test {
protected:
    std::string PathOf(const char* name) const { return temp.Path(name).string(); }
    std::string Existing(const char* name, const std::string& bytes) const {
        WriteBytes(temp.Path(name), bytes);
        return PathOf(name);
    }

    dbxw::TempDir temp;
};

TEST_F(ZFileTest, ConstructedObjectIsClosedWithoutError) {
    CZFile f;
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetMode(), 0);
    EXPECT_EQ(f.GetLength(), 0u);
    EXPECT_EQ(f.GetError(), CZFile::ErrNone);
}

TEST_F(ZFileTest, EmptyOrNullPathFailsWithNoFileNameAndClosesAnOpenFile) {
    const std::string path = Existing("a.bin", "0123456789");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    ASSERT_TRUE(f.IsOpen());
    EXPECT_FALSE(f.Open("", CZFile::ModeRead));
    EXPECT_EQ(f.GetError(), CZFile::ErrNoFileName);
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetMode(), 0);
    EXPECT_EQ(f.GetLength(), 0u);

    CZFile g;
    ASSERT_TRUE(g.Open(path.c_str(), CZFile::ModeRead));
    EXPECT_FALSE(g.Open(static_cast<const char16_t*>(nullptr), CZFile::ModeWrite));
    EXPECT_EQ(g.GetError(), CZFile::ErrNoFileName);
    EXPECT_FALSE(g.IsOpen());

    CZFile h;
    EXPECT_FALSE(h.Open(u"", CZFile::ModeAppend));
    EXPECT_EQ(h.GetError(), CZFile::ErrNoFileName);
    CZFile k;
    EXPECT_FALSE(k.Open(static_cast<const char*>(nullptr), CZFile::ModeRead));
    EXPECT_EQ(k.GetError(), CZFile::ErrNoFileName);
}

TEST_F(ZFileTest, OpenFailuresByMode) {
    CZFile f;
    EXPECT_FALSE(f.Open(PathOf("missing.bin").c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetError(), CZFile::ErrOpenForRead);
    EXPECT_FALSE(f.IsOpen());

    const std::string inMissingFolder = PathOf("no-such-folder/out.bin");
    CZFile w;
    EXPECT_FALSE(w.Open(inMissingFolder.c_str(), CZFile::ModeWrite));
    EXPECT_EQ(w.GetError(), CZFile::ErrOpen);
    CZFile rw;
    EXPECT_FALSE(rw.Open(inMissingFolder.c_str(), CZFile::ModeReadWrite));
    EXPECT_EQ(rw.GetError(), CZFile::ErrOpen);
    CZFile a;
    EXPECT_FALSE(a.Open(inMissingFolder.c_str(), CZFile::ModeAppend));
    EXPECT_EQ(a.GetError(), CZFile::ErrOpen);
    // An unknown mode reads, but it is not mode 1, so its failure is the general one.
    CZFile other;
    EXPECT_FALSE(other.Open(PathOf("missing.bin").c_str(), 9));
    EXPECT_EQ(other.GetError(), CZFile::ErrOpen);
}

TEST_F(ZFileTest, ErrorIsNotClearedBySuccess) {
    const std::string path = Existing("a.bin", "abc");
    CZFile f;
    EXPECT_FALSE(f.Open(PathOf("missing.bin").c_str(), CZFile::ModeRead));
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    char buffer[3];
    EXPECT_TRUE(f.Read(buffer, 3u));
    EXPECT_EQ(f.GetError(), CZFile::ErrOpenForRead);
}

TEST_F(ZFileTest, EmptyFileHasLengthZeroAndOnlyOffsetZeroSeeks) {
    const std::string path = Existing("empty.bin", "");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetMode(), CZFile::ModeRead);
    EXPECT_EQ(f.GetLength(), 0u);
    EXPECT_TRUE(f.Seek(0));
    EXPECT_EQ(f.GetError(), CZFile::ErrNone);
    EXPECT_FALSE(f.Seek(1));
    EXPECT_EQ(f.GetError(), CZFile::ErrSeek);
    char c = 0;
    EXPECT_FALSE(f.Read(&c, 1u));
    EXPECT_EQ(f.GetError(), CZFile::ErrRead);
}

TEST_F(ZFileTest, SeekUpToTheLengthAndReadExactBlocks) {
    const std::string path = Existing("ten.bin", "0123456789");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetLength(), 10u);
    EXPECT_EQ(f.GetPosition(), 0);

    EXPECT_TRUE(f.Seek(10));
    EXPECT_EQ(f.GetPosition(), 10);
    EXPECT_EQ(f.GetError(), CZFile::ErrNone);
    EXPECT_FALSE(f.Seek(11));
    EXPECT_EQ(f.GetError(), CZFile::ErrSeek);
    EXPECT_FALSE(f.Seek(0xFFFFFFFFFFull));

    ASSERT_TRUE(f.Seek(3));
    char buffer[16] = {};
    ASSERT_TRUE(f.Read(buffer, 4u));
    EXPECT_EQ(std::string(buffer, 4), "3456");
    EXPECT_EQ(f.GetPosition(), 7);

    // Five bytes remain: a 12-byte read is one short block, so it fails.
    ASSERT_TRUE(f.Seek(5));
    EXPECT_FALSE(f.Read(buffer, 12u));
    EXPECT_EQ(f.GetError(), CZFile::ErrRead);
}

TEST_F(ZFileTest, ScatteredReadsReturnTheFileBytes) {
    // Sizes and offsets that land inside, across and beyond any buffering of the reads.
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = char((i * 131 + i / 251) & 0xFF);
    }
    const std::string path = Existing("big.bin", bytes);
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    ASSERT_EQ(f.GetLength(), bytes.size());
    std::uint64_t state = 12345;
    std::vector<char> buffer(bytes.size());
    for (int i = 0; i < 2000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const std::size_t at = std::size_t(state >> 33) % bytes.size();
        const std::size_t sizes[] = {1, 4, 12, 528, 636, 65535, 65536, 65537, 70000, 140000};
        const std::size_t size = sizes[(state >> 20) % std::size(sizes)];
        SCOPED_TRACE(testing::Message() << "at " << at << " size " << size);
        ASSERT_TRUE(f.Seek(at));
        if (at + size > bytes.size()) {
            EXPECT_FALSE(f.Read(buffer.data(), std::uint32_t(size)));
            continue;
        }
        ASSERT_TRUE(f.Read(buffer.data(), std::uint32_t(size)));
        ASSERT_EQ(std::string(buffer.data(), size), bytes.substr(at, size));
        ASSERT_EQ(f.GetPosition(), std::int64_t(at + size));
        // The next bytes follow on without a seek.
        if (at + size + 8 <= bytes.size()) {
            ASSERT_TRUE(f.Read(buffer.data(), 8u));
            ASSERT_EQ(std::string(buffer.data(), 8), bytes.substr(at + size, 8));
        }
    }
    // A failed read leaves the file usable after the next seek.
    ASSERT_TRUE(f.Seek(bytes.size() - 3));
    EXPECT_FALSE(f.Read(buffer.data(), 4u));
    ASSERT_TRUE(f.Seek(0));
    ASSERT_TRUE(f.Read(buffer.data(), std::uint32_t(bytes.size())));
    EXPECT_EQ(std::string(buffer.data(), bytes.size()), bytes);
    EXPECT_FALSE(f.Read(buffer.data(), 1u));
}

TEST_F(ZFileTest, EveryReadWidthForwardsAndNegativeSizesAreRefused) {
    const std::string path = Existing("ten.bin", "0123456789");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    char buffer[10] = {};
    EXPECT_TRUE(f.Read(buffer, std::int32_t(2)));
    EXPECT_TRUE(f.Read(buffer + 2, std::int64_t(3)));
    EXPECT_TRUE(f.Read(buffer + 5, std::uint32_t(5)));
    EXPECT_EQ(std::string(buffer, 10), "0123456789");

    ASSERT_TRUE(f.Seek(0));
    EXPECT_FALSE(f.Read(buffer, std::int32_t(-1)));
    EXPECT_EQ(f.GetError(), CZFile::ErrRead);
    EXPECT_FALSE(f.Read(buffer, std::int64_t(-4)));
    EXPECT_EQ(f.GetPosition(), 0);
}

TEST_F(ZFileTest, RefusedReadsAndWritesTouchNoStream) {
    const std::string path = Existing("ten.bin", "0123456789");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeRead));
    ASSERT_TRUE(f.Seek(4));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_FALSE(f.Read(buffer, 0u));
    EXPECT_EQ(f.GetError(), CZFile::ErrRead);
    EXPECT_FALSE(f.Read(nullptr, 4u));
    EXPECT_EQ(f.GetPosition(), 4);
    EXPECT_EQ(buffer[0], 'x');

    CZFile w;
    ASSERT_TRUE(w.Open(PathOf("out.bin").c_str(), CZFile::ModeWrite));
    EXPECT_FALSE(w.Write("abc", 0u));
    EXPECT_EQ(w.GetError(), CZFile::ErrWrite);
    EXPECT_FALSE(w.Write(nullptr, 3u));
    EXPECT_FALSE(w.Write("abc", std::int32_t(-3)));
    EXPECT_EQ(w.GetPosition(), 0);
    w.Close();
    EXPECT_EQ(ReadBytes(temp.Path("out.bin")), "");

    CZFile closed;
    EXPECT_FALSE(closed.Read(buffer, 4u));
    EXPECT_EQ(closed.GetError(), CZFile::ErrRead);
    EXPECT_FALSE(closed.Write(buffer, 4u));
    EXPECT_EQ(closed.GetError(), CZFile::ErrWrite);
    EXPECT_FALSE(closed.Seek(0));
    EXPECT_EQ(closed.GetError(), CZFile::ErrSeek);
}

TEST_F(ZFileTest, WriteModeTruncatesAndDoesNotMeasure) {
    const std::string path = Existing("out.bin", "old content that is longer");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeWrite));
    EXPECT_EQ(f.GetLength(), 0u);
    EXPECT_TRUE(f.Write("new", 3u));
    EXPECT_TRUE(f.Write(" bytes", std::int64_t(6)));
    EXPECT_EQ(f.GetLength(), 0u);
    // Only offset 0 lies within the unmeasured length.
    EXPECT_TRUE(f.Seek(0));
    EXPECT_FALSE(f.Seek(1));
    EXPECT_TRUE(f.CloseFile());
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(ReadBytes(path), "new bytes");
}

TEST_F(ZFileTest, ShortWriteFails) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    CZFile f;
    ASSERT_TRUE(f.Open("/dev/full", CZFile::ModeWrite));
    // Larger than any stream buffer, so the device's refusal reaches the write.
    const std::vector<char> big(1 << 20, 'x');
    EXPECT_FALSE(f.Write(big.data(), std::uint32_t(big.size())));
    EXPECT_EQ(f.GetError(), CZFile::ErrWrite);
}

TEST_F(ZFileTest, ReadWriteModeOnExistingFileMeasuresAndKeepsContent) {
    const std::string path = Existing("rw.bin", "abcdef");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeReadWrite));
    EXPECT_EQ(f.GetMode(), CZFile::ModeReadWrite);
    EXPECT_EQ(f.GetLength(), 6u);
    char buffer[3] = {};
    ASSERT_TRUE(f.Read(buffer, 3u));
    EXPECT_EQ(std::string(buffer, 3), "abc");
    ASSERT_TRUE(f.Seek(4));
    EXPECT_TRUE(f.Write("XY", 2u));
    f.Close();
    EXPECT_EQ(ReadBytes(path), "abcdXY");
}

TEST_F(ZFileTest, ReadWriteModeOnNewFileCreatesItUnmeasured) {
    const std::string path = PathOf("new.bin");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeReadWrite));
    EXPECT_EQ(f.GetLength(), 0u);
    EXPECT_TRUE(f.Write("hello", 5u));
    EXPECT_TRUE(f.Seek(0));
    EXPECT_FALSE(f.Seek(3));
    f.Close();
    EXPECT_EQ(ReadBytes(path), "hello");
}

TEST_F(ZFileTest, AppendModeMeasuresAndWritesAtTheEnd) {
    const std::string path = Existing("log.txt", "line 1\n");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), CZFile::ModeAppend));
    EXPECT_EQ(f.GetLength(), 7u);
    EXPECT_TRUE(f.Write("line 2\n", 7u));
    EXPECT_EQ(f.GetLength(), 7u);
    f.Close();
    EXPECT_EQ(ReadBytes(path), "line 1\nline 2\n");

    CZFile created;
    ASSERT_TRUE(created.Open(PathOf("fresh.txt").c_str(), CZFile::ModeAppend));
    EXPECT_EQ(created.GetLength(), 0u);
}

TEST_F(ZFileTest, UnknownModeReadsWithoutMeasuring) {
    const std::string path = Existing("ten.bin", "0123456789");
    CZFile f;
    ASSERT_TRUE(f.Open(path.c_str(), 7));
    EXPECT_EQ(f.GetMode(), 7);
    EXPECT_EQ(f.GetLength(), 0u);
    EXPECT_FALSE(f.Seek(1));
    char buffer[2] = {};
    EXPECT_TRUE(f.Read(buffer, 2u));
    EXPECT_EQ(std::string(buffer, 2), "01");
    EXPECT_FALSE(f.Write("z", 1u));
}

TEST_F(ZFileTest, CloseResetsModeAndLengthAndReopenWorks) {
    const std::string a = Existing("a.bin", "aaaa");
    const std::string b = Existing("b.bin", "bb");
    CZFile f;
    ASSERT_TRUE(f.Open(a.c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetLength(), 4u);
    // Opening again closes the first file before the second.
    ASSERT_TRUE(f.Open(b.c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetLength(), 2u);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetMode(), 0);
    EXPECT_EQ(f.GetLength(), 0u);
    f.Close();  // closing twice is harmless
    EXPECT_TRUE(f.CloseFile());
}

TEST_F(ZFileTest, WidePathsReachNonAsciiNames) {
    const std::filesystem::path path = temp.Path(
        "Gr\xC3\xBC\xC3\x9F"
        "e \xD0\xB0.bin");
    WriteBytes(path, "wide");
    CZFile f;
    ASSERT_TRUE(f.Open(path.u16string().c_str(), CZFile::ModeRead));
    EXPECT_EQ(f.GetLength(), 4u);
    char buffer[4] = {};
    ASSERT_TRUE(f.Read(buffer, 4u));
    EXPECT_EQ(std::string(buffer, 4), "wide");

    CZFile missing;
    EXPECT_FALSE(missing.Open(temp.WidePath("nope.bin"), CZFile::ModeRead));
    EXPECT_EQ(missing.GetError(), CZFile::ErrOpenForRead);
}

TEST_F(ZFileTest, FileExists) {
    const std::string path = Existing("here.txt", "x");
    EXPECT_TRUE(FileExists(path.c_str()));
    EXPECT_TRUE(FileExists(temp.Path("here.txt").u16string().c_str()));
    EXPECT_FALSE(FileExists(PathOf("gone.txt").c_str()));
    EXPECT_FALSE(FileExists(temp.WidePath("gone.txt").c_str()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(u""));
    EXPECT_FALSE(FileExists(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(FileExists(static_cast<const char16_t*>(nullptr)));
}

TEST_F(ZFileTest, WholeFileReadGivesEveryByteOrSaysWhyNot) {
    const std::string bytes("head\0tail\xFF", 10);
    std::string read = "stale";
    EXPECT_EQ(ReadWholeFile(temp.Path("a.bin").u16string(), read), WholeFileRead::CannotOpen);
    EXPECT_EQ(read, "");
    Existing("a.bin", bytes);
    EXPECT_EQ(ReadWholeFile(temp.Path("a.bin").u16string(), read), WholeFileRead::Ok);
    EXPECT_EQ(read, bytes);
    Existing("empty.bin", "");
    EXPECT_EQ(ReadWholeFile(temp.Path("empty.bin").u16string(), read), WholeFileRead::Empty);
    EXPECT_EQ(read, "");

    // A sparse file one byte past the limit costs no disk and is refused before any read.
    Existing("big.bin", "x");
    std::filesystem::resize_file(temp.Path("big.bin"), kMaxWholeFileBytes + 1);
    EXPECT_EQ(ReadWholeFile(temp.Path("big.bin").u16string(), read), WholeFileRead::TooLarge);
    std::filesystem::resize_file(temp.Path("big.bin"), kMaxWholeFileBytes);
    EXPECT_EQ(ReadWholeFile(temp.Path("big.bin").u16string(), read), WholeFileRead::Ok);
    EXPECT_EQ(read.size(), kMaxWholeFileBytes);
}

TEST_F(ZFileTest, WholeFileWriteReplacesTheFileAndReportsFailures) {
    const std::u16string path = temp.Path("out.bin").u16string();
    EXPECT_TRUE(WriteWholeFile(path, std::string("a much longer first text", 24)));
    EXPECT_TRUE(WriteWholeFile(path, std::string("x\0y", 3)));
    EXPECT_EQ(ReadBytes(temp.Path("out.bin")), std::string("x\0y", 3));
    EXPECT_TRUE(WriteWholeFile(path, ""));
    EXPECT_TRUE(std::filesystem::exists(temp.Path("out.bin")));
    EXPECT_EQ(std::filesystem::file_size(temp.Path("out.bin")), 0u);
    EXPECT_FALSE(WriteWholeFile(temp.Path("missing/out.bin").u16string(), "x"));
    EXPECT_FALSE(WriteWholeFile(u"", "x"));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(WriteWholeFile(u"/dev/full", std::string(1 << 16, 'z')));
    }
}

}  // namespace
