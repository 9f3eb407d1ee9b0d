#include "mime/decoder_uu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"

namespace fs = std::filesystem;

namespace {

struct UuStyle {
    std::string lineEnd = "\n";
    char zero = '`';             // the character that stands for 0: '`' or ' '
    bool stripTrailing = false;  // trailing blanks removed, as some mail gateways do
    bool endLine = true;         // the zero-length line and "end" after the data
};

char UuChar(unsigned value, char zero) {
    return value == 0 ? zero : char(value + 32);
}

// A reference encoder, independent of the decoder: 45 bytes a line.
std::string UuEncode(const std::string& name, const std::string& data, const UuStyle& style) {
    std::string out = "begin 644 " + name + style.lineEnd;
    for (std::size_t at = 0; at < data.size(); at += 45) {
        const std::size_t n = std::min<std::size_t>(45, data.size() - at);
        std::string line(1, UuChar(unsigned(n), style.zero));
        for (std::size_t i = 0; i < n; i += 3) {
            unsigned char b[3] = {0, 0, 0};
            for (std::size_t k = 0; k < 3 && i + k < n; ++k) {
                b[k] = static_cast<unsigned char>(data[at + i + k]);
            }
            line += UuChar(b[0] >> 2, style.zero);
            line += UuChar(((b[0] & 3) << 4) | (b[1] >> 4), style.zero);
            line += UuChar(((b[1] & 15) << 2) | (b[2] >> 6), style.zero);
            line += UuChar(b[2] & 63, style.zero);
        }
        if (style.stripTrailing) {
            line.erase(line.find_last_not_of(' ') + 1);
        }
        out += line + style.lineEnd;
    }
    if (style.endLine) {
        out += std::string(1, style.zero) + style.lineEnd + "end" + style.lineEnd;
    }
    return out;
}

std::string RandomBytes(std::size_t n, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(n, '\0');
    for (char& c : s) {
        c = char(byte(rng));
    }
    return s;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        names.insert(fs::relative(e.path(), folder).generic_string());
    }
    return names;
}

// Reads lines of a text without looking for a block first.
class LineReader : public CDecoder {
public:
    using CDecoder::Start;
};

// A scratch folder "out/" inside a parent, so that escapes into the parent show.
class DecodeToFolderTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(OutDir()); }
    [[nodiscard]] fs::path OutDir() const { return temp.Path("out"); }
    [[nodiscard]] std::u16string Folder() const { return OutDir().u16string() + u"/"; }
    bool Decode(const std::string& text) { return decoder.DecodeToFolder(text, Folder()); }

    dbxw::TempDir temp;
    CDecoderUU decoder;
};

}  // namespace

TEST(DecoderReadLine, LinesKeepTheirLfAndLongLinesAreCut) {
    const std::string text = "abcdefg\nh\n\nxyz";
    LineReader reader;
    reader.Start(text.data(), std::uint32_t(text.size()));
    char buf[5];
    std::vector<std::string> lines;
    while (reader.ReadLine(buf, sizeof buf)) {
        lines.emplace_back(buf);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "efg\n", "h\n", "\n", "xyz"}));
    EXPECT_EQ(reader.GetPosition(), text.size());
    EXPECT_FALSE(reader.ReadLine(buf, sizeof buf));
    EXPECT_EQ(buf[0], '\0');

    // Capacities that cannot hold a byte and its zero never report a line.
    reader.Start(text.data(), std::uint32_t(text.size()));
    EXPECT_FALSE(reader.ReadLine(buf, 1));
    EXPECT_EQ(buf[0], '\0');
    EXPECT_FALSE(reader.ReadLine(buf, 0));
    EXPECT_FALSE(reader.ReadLine(nullptr, 10));
    EXPECT_EQ(reader.GetPosition(), 0u);
    // A NUL is copied like any byte; only the LF ends a line.
    const std::string withNul("a\0b\nc", 6);
    reader.Start(withNul.data(), std::uint32_t(withNul.size()));
    ASSERT_TRUE(reader.ReadLine(buf, sizeof buf));
    EXPECT_EQ(std::string(buf, 5), std::string("a\0b\n\0", 5));
    EXPECT_EQ(reader.GetPosition(), 4u);
}

TEST(DecoderDetect, FindsTheFirstStartLineAndItsOffset) {
    CDecoder d;
    std::uint32_t offset = 99;
    EXPECT_EQ(d.Detect("begin 644 a.txt\n", &offset), CDecoder::DetectUuencode);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(d.GetStatus(), CDecoder::StatusOk);

    const std::string first(119, 'x');
    EXPECT_EQ(d.Detect(first + "\nbegin 644 a.txt\n", &offset), CDecoder::DetectUuencode);
    EXPECT_EQ(offset, 120u);

    EXPECT_EQ(d.Detect("text\r\n=ybegin line=128 size=3 name=a\r\n", &offset),
              CDecoder::DetectYEnc);
    EXPECT_EQ(offset, 6u);
    // Whichever comes first wins.
    EXPECT_EQ(d.Detect("=ybegin x\nbegin 644 a\n", &offset), CDecoder::DetectYEnc);
    EXPECT_EQ(d.Detect("begin 644 a\n=ybegin x\n", &offset), CDecoder::DetectUuencode);
    // The last line needs no LF.
    EXPECT_EQ(d.Detect("a\nbegin ", &offset), CDecoder::DetectUuencode);
    EXPECT_EQ(offset, 2u);
}

TEST(DecoderDetect, NearMissesAreNoStartLines) {
    CDecoder d;
    for (const std::string text :
         {"Begin 644 a.txt\n", " begin 644 a.txt\n", "begin\n", "begin", "xbegin 644 a\n",
          "=ybegin\n", "=Ybegin x\n", "text with begin 644 a inside\n"}) {
        std::uint32_t offset = 7;
        EXPECT_EQ(d.Detect(text, &offset), CDecoder::DetectNone) << text;
        EXPECT_EQ(offset, 0u) << text;
        EXPECT_EQ(d.GetStatus(), CDecoder::StatusNoBegin) << text;
    }
    std::uint32_t offset = 7;
    EXPECT_EQ(d.Detect(nullptr, 10, &offset), CDecoder::DetectNone);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(d.Detect("begin 644 a\n", 0, &offset), CDecoder::DetectNone);
    EXPECT_EQ(d.Detect("begin 644 a\n", 5, nullptr), CDecoder::DetectNone);
    // A NUL inside the first six bytes breaks the marker.
    EXPECT_EQ(d.Detect(std::string_view("beg\0n 644 a\n", 12)), CDecoder::DetectNone);
}

TEST(DecoderDetect, LongLinesAreReadInPieces) {
    CDecoder d;
    std::uint32_t offset = 0;
    // The rest of a line longer than 1023 bytes is read as a line of its own.
    const std::string cut(1023, 'x');
    EXPECT_EQ(d.Detect(cut + "begin 644 a\n", &offset), CDecoder::DetectUuencode);
    EXPECT_EQ(offset, 1023u);
    EXPECT_EQ(d.Detect(cut + "xbegin 644 a\n", &offset), CDecoder::DetectNone);
}

TEST(DecoderKinds, OnlyTheUuDecoderDecodes) {
    CDecoder base;
    base.Detect("nothing\n");
    ASSERT_EQ(base.GetStatus(), CDecoder::StatusNoBegin);
    EXPECT_FALSE(base.CanDecode());
    EXPECT_EQ(base.GetStatus(), CDecoder::StatusOk);

    CDecoderUU uu;
    EXPECT_TRUE(uu.CanDecode());
    CDecoder& asBase = uu;
    EXPECT_TRUE(asBase.CanDecode());
    // Without an open file there is nowhere to write a group.
    EXPECT_FALSE(uu.DecodeGroup("0V%T", 3));
}

TEST(DecoderFileName, CleanedAndRefusedNames) {
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 a.txt\r\n", 1252), u"a.txt");
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 a b\n", 1252), u"a b");
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 ../x/y\n", 1252), u".._x_y");
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine(std::string_view("begin 644 ab\0cd\n", 16), 1252),
              u"ab");
    // Name bytes are read in the mailbox's code page.
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 \xE9", 1252), u"\u00E9");
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 \xEC\xE8\xF0.txt", 1251),
              u"\u043C\u0438\u0440.txt");
    EXPECT_EQ(CDecoderUU::FileNameFromBeginLine("begin 644 \x93\xFA\x96{.txt", 932),
              u"\u65E5\u672C.txt");
    for (const char* line :
         {"begin 644 ..\n", "begin 644 .\r\n", "begin 644 \n", "begin 644", "begin ", ""}) {
        EXPECT_EQ(CDecoderUU::FileNameFromBeginLine(line, 1252), u"") << line;
    }
}

TEST_F(DecodeToFolderTest, RoundTripsInEveryLineStyle) {
    std::mt19937 rng(2024);
    std::vector<UuStyle> styles;
    for (const char* end : {"\n", "\r\n"}) {
        for (const char zero : {'`', ' '}) {
            for (const bool strip : {false, true}) {
                styles.push_back({end, zero, strip, true});
            }
        }
    }
    for (const std::size_t size : {1u, 2u, 3u, 4u, 44u, 45u, 46u, 90u, 91u, 1000u, 4099u}) {
        const std::string data = RandomBytes(size, rng);
        for (const UuStyle& style : styles) {
            SCOPED_TRACE("size " + std::to_string(size) + " end " +
                         std::to_string(style.lineEnd.size()) + " zero '" + style.zero +
                         "' strip " + std::to_string(style.stripTrailing));
            ASSERT_TRUE(Decode("Hi,\r\nthe file:\r\n\r\n" + UuEncode("data.bin", data, style) +
                               "\r\nBye\r\n"));
            EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusOk);
            EXPECT_EQ(decoder.GetOutputPath(), Folder() + u"data.bin");
            EXPECT_EQ(ReadAll(OutDir() / "data.bin"), data);
        }
    }
    EXPECT_EQ(Listing(temp.Path()), (std::set<std::string>{"out", "out/data.bin"}));
}

TEST_F(DecodeToFolderTest, KnownLinesAndBlockEnds) {
    // '#' announces three bytes; "0V%T" are the characters of "Cat".
    ASSERT_TRUE(Decode("begin 644 cat.txt\n#0V%T\n`\nend\n"));
    EXPECT_EQ(ReadAll(OutDir() / "cat.txt"), "Cat");
    // Missing characters count as blanks: "#0V  " is 16, 54, 0, 0, so the bytes are
    // 16*4 + 54/16 = 'C', (54*16) mod 256 = 0x60 and 0.
    ASSERT_TRUE(Decode("begin 644 cat.txt\n#0V\n`\n"));
    EXPECT_EQ(ReadAll(OutDir() / "cat.txt"), std::string("C\x60\0", 3));
    ASSERT_TRUE(Decode("begin 644 cat.txt\r\n#0V\r\n`\r\n"));
    EXPECT_EQ(ReadAll(OutDir() / "cat.txt"), std::string("C\x60\0", 3));
    // The block ends at a zero-length line, a blank one, or an empty one; no "end" needed.
    for (const std::string ending : {"`\n", " \n", "\n", "`", "`\r\n"}) {
        ASSERT_TRUE(Decode("begin 644 e.txt\r\n#0V%T\r\n\r\n" + ending + "#0V%T\n")) << ending;
        EXPECT_EQ(ReadAll(OutDir() / "e.txt"), "Cat") << ending;
    }
    // The length character counts modulo 64, so a byte above 127 is a length too.
    ASSERT_TRUE(
        Decode("begin 644 hi.txt\n\xA3"
               "0V%T\n`\n"));
    EXPECT_EQ(ReadAll(OutDir() / "hi.txt"), "Cat");
}

TEST_F(DecodeToFolderTest, EndLineClosesABlockWithoutItsZeroLine) {
    std::mt19937 rng(11);
    const std::string signature = RandomBytes(100, rng);
    UuStyle style;
    style.endLine = false;
    const std::string block = UuEncode("sig.bin", signature, style);
    // "end" right after the data, with the line ends and trailing blanks mail gives it; a
    // second block follows after an empty line and must not join the first file.
    for (const std::string end : {"end\n", "end\r\n", "end  \r\n", "end\t\n", "end"}) {
        SCOPED_TRACE(end);
        ASSERT_TRUE(Decode("Sig:\r\n" + block + end + "\r\n" + UuEncode("two.bin", "x", style) +
                           "Bye\r\n"));
        EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusOk);
        EXPECT_EQ(ReadAll(OutDir() / "sig.bin"), signature);
        EXPECT_FALSE(fs::exists(OutDir() / "two.bin"));
    }
    // Only "end" alone is an end: "endless" is a data line ('e' announces five bytes).
    ASSERT_FALSE(Decode("begin 644 d.txt\n#0V%T\nendless\n"));
    EXPECT_EQ(ReadAll(OutDir() / "d.txt").substr(0, 3), "Cat");
    EXPECT_EQ(ReadAll(OutDir() / "d.txt").size(), 8u);
}

TEST_F(DecodeToFolderTest, TruncatedBlockFailsAndKeepsWhatWasDecoded) {
    std::mt19937 rng(7);
    const std::string data = RandomBytes(100, rng);
    UuStyle style;
    style.endLine = false;
    EXPECT_FALSE(Decode(UuEncode("part.bin", data, style)));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusTruncated);
    EXPECT_EQ(ReadAll(OutDir() / "part.bin"), data);

    EXPECT_FALSE(Decode("begin 644 empty.bin\r\n"));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusTruncated);
    EXPECT_TRUE(fs::exists(OutDir() / "empty.bin"));
    EXPECT_EQ(fs::file_size(OutDir() / "empty.bin"), 0u);

    // A later complete block on the same object succeeds and says so.
    EXPECT_TRUE(Decode("begin 644 cat.txt\n#0V%T\n`\n"));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusOk);
}

TEST_F(DecodeToFolderTest, FailuresBeforeTheFile) {
    EXPECT_FALSE(Decode("no block here\nBegin 644 a.txt\n#0V%T\n`\n"));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusNoBegin);
    EXPECT_FALSE(decoder.DecodeToFolder(nullptr, 5, Folder().c_str()));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusNoBegin);
    EXPECT_FALSE(decoder.DecodeToFolder("begin 644 a.txt\n#0V%T\n`\n", 0, Folder().c_str()));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusNoBegin);

    EXPECT_FALSE(decoder.DecodeToFolder(std::string("begin 644 a.txt\n#0V%T\n`\n"), u""));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusCannotCreate);
    EXPECT_FALSE(decoder.DecodeToFolder("begin 644 a.txt\n", 16, nullptr));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusCannotCreate);

    const std::u16string missing = temp.Path("missing").u16string() + u"/";
    EXPECT_FALSE(decoder.DecodeToFolder(std::string("begin 644 a.txt\n#0V%T\n`\n"), missing));
    EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusCannotCreate);
    EXPECT_TRUE(decoder.GetOutputPath().empty());
    EXPECT_EQ(Listing(temp.Path()), std::set<std::string>{"out"});
}

TEST_F(DecodeToFolderTest, FileNamesAsTheBeginLineGivesThem) {
    // The name starts at the eleventh byte, whatever the mode looks like.
    ASSERT_TRUE(Decode("begin 0644 a.txt\n#0V%T\n`\n"));
    EXPECT_TRUE(fs::exists(OutDir() / " a.txt"));
    ASSERT_TRUE(Decode("begin 6 long name.txt\r\n#0V%T\n`\n"));
    EXPECT_TRUE(fs::exists(OutDir() / "ng name.txt"));
    // Name bytes are Windows-1252: 0xE9 is e acute, 0x80 the euro sign.
    ASSERT_TRUE(Decode("begin 644 caf\xE9 \x80.txt\n#0V%T\n`\n"));
    EXPECT_TRUE(fs::exists(OutDir() / "caf\xC3\xA9 \xE2\x82\xAC.txt"));

    // An existing file is replaced, not appended to.
    std::ofstream(OutDir() / "cat.txt") << "a much longer old content";
    ASSERT_TRUE(Decode("begin 644 cat.txt\n#0V%T\n`\n"));
    EXPECT_EQ(ReadAll(OutDir() / "cat.txt"), "Cat");

    // A folder given without its separator still receives the file inside it.
    ASSERT_TRUE(
        decoder.DecodeToFolder(std::string("begin 644 in.txt\n#0V%T\n`\n"), OutDir().u16string()));
    EXPECT_EQ(ReadAll(OutDir() / "in.txt"), "Cat");
    EXPECT_FALSE(fs::exists(temp.Path("outin.txt")));
}

TEST_F(DecodeToFolderTest, NamesNeverLeaveTheFolder) {
    const struct {
        std::string name;
        std::string saved;
    } cases[] = {
        {"../../evil.txt", ".._.._evil.txt"},
        {"/etc/passwd", "_etc_passwd"},
        {"..\\..\\win.ini", ".._.._win.ini"},
        {"sub/../x", "sub_.._x"},
        {"a:b?c*d\"e<f>g|h", "a_b_c_d_e_f_g_h"},
        {"tab\there", "tab_here"},
        {"...", "..."},
    };
    std::set<std::string> expected{"out"};
    for (const auto& c : cases) {
        ASSERT_TRUE(Decode("begin 644 " + c.name + "\r\n#0V%T\r\n`\r\nend\r\n")) << c.name;
        EXPECT_EQ(ReadAll(OutDir() / c.saved), "Cat") << c.name;
        EXPECT_EQ(decoder.GetOutputPath(), Folder() + fs::path(c.saved).u16string());
        expected.insert("out/" + c.saved);
    }
    // Names that would be the folder itself or its parent are refused.
    for (const std::string name : {"..", ".", "", "\r", ".\r"}) {
        EXPECT_FALSE(Decode("begin 644 " + name + "\n#0V%T\n`\n")) << name;
        EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusCannotCreate) << name;
    }
    // A begin line too short to hold a name reads nothing past its end, even where an
    // earlier, longer line left its bytes in the buffer.
    for (const std::string line : {"begin \n", "begin 644\n", "begin 644 \n"}) {
        EXPECT_FALSE(
            Decode("a first line, long enough to leave bytes behind\n" + line + "#0V%T\n`\n"))
            << line;
        EXPECT_EQ(decoder.GetStatus(), CDecoder::StatusCannotCreate) << line;
        EXPECT_TRUE(decoder.GetOutputPath().empty());
    }
    EXPECT_EQ(Listing(temp.Path()), expected);
}

TEST_F(DecodeToFolderTest, HostileDataLinesStayInTheirBuffer) {
    // Lines longer than the buffer, NULs, and lengths beyond what the line holds.
    const std::string lines[] = {
        std::string(300, '_') + "\n", std::string("\0\0\0\n", 4),
        std::string("_\0", 2),        "_\n",
        "M" + std::string(78, 'M'),   "\x7F\n",
    };
    for (const std::string& line : lines) {
        EXPECT_TRUE(Decode("begin 644 h.bin\n" + line + "\n`\n")) << line.size();
    }
    // Random text after a begin line: whatever it decodes to, the run ends.
    std::mt19937 rng(99);
    for (int i = 0; i < 300; ++i) {
        Decode("begin 644 r.bin\n" + RandomBytes(std::size_t(i * 7), rng));
        EXPECT_NE(decoder.GetStatus(), CDecoder::StatusNoBegin);
    }
    EXPECT_EQ(Listing(temp.Path()), (std::set<std::string>{"out", "out/h.bin", "out/r.bin"}));
}
