#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

// The code pages the charset table can name.
constexpr unsigned kTableCodePages[] = {
    850,   28591, 1252,  10000, 28604, 863,   861,   10079, 28605, 858,   860,   708,
    720,   864,   28596, 1256,  10004, 775,   28603, 1257,  28594, 10029, 852,   28592,
    1250,  10082, 28606, 10010, 28595, 1251,  855,   866,   20866, 10007, 21866, 10017,
    737,   28597, 10006, 1253,  869,   862,   38598, 28598, 10005, 1255,  57006, 57003,
    57002, 57010, 57011, 57008, 57009, 57007, 57004, 57005, 51932, 50220, 50221, 50222,
    20932, 10001, 932,   51949, 50225, 1361,  10003, 949,   865,   28600, 51936, 54936,
    20936, 936,   52936, 50227, 10008, 28593, 857,   28599, 10081, 1254,  28601, 10021,
    874,   950,   51950, 54950, 50229, 10002, 20127, 437,   1258,  65000, 65001};

std::u16string Decode(unsigned codePage, std::string_view bytes) {
    std::u16string out;
    EXPECT_TRUE(MultiByteToWideString(codePage, bytes, out)) << "code page " << codePage;
    return out;
}

std::string Encode(unsigned codePage, std::u16string_view text) {
    std::string out;
    EXPECT_TRUE(WideToMultiByteString(codePage, text, out)) << "code page " << codePage;
    return out;
}

TEST(CodePageShape, SizeQueryThenConversionWithTerminator) {
    const char* text = "caf\xE9";
    const int needed = MultiByteToWide(1252, text, -1, nullptr, 0);
    EXPECT_EQ(needed, 5);  // four characters and the terminator
    std::u16string out(static_cast<std::size_t>(needed), u'x');
    EXPECT_EQ(MultiByteToWide(1252, text, -1, out.data(), needed), needed);
    EXPECT_EQ(out, std::u16string(u"caf\u00E9\0", 5));
}

TEST(CodePageShape, TerminatorIsAPlainZeroInEveryCodePage) {
    // UTF-7 has no direct form of a zero byte, and ISO-2022-JP ends in a shift state.
    for (unsigned codePage : {65000u, 50220u, 52936u, 65001u}) {
        SCOPED_TRACE(codePage);
        char16_t wide[4] = {u'x', u'x', u'x', u'x'};
        ASSERT_EQ(MultiByteToWide(codePage, "Hi", -1, wide, 4), 3);
        EXPECT_EQ(std::u16string_view(wide, 4), std::u16string_view(u"Hi\0x", 4));
    }
    char bytes[16];
    const int written = WideToMultiByte(50220, u"\u65E5", -1, bytes, 16);
    EXPECT_EQ(std::string_view(bytes, written > 0 ? written : 0),
              std::string_view("\x1B$BF|\x1B(B\0", 9));
    EXPECT_EQ(WideToMultiByte(65000, u"a", -1, bytes, 16), 2);
    EXPECT_EQ(std::string_view(bytes, 2), std::string_view("a\0", 2));
}

TEST(CodePageShape, ExplicitLengthConvertsNoTerminator) {
    char16_t out[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(MultiByteToWide(1252, "abc", 3, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWide(1252, "abc", 3, out, 8), 3);
    EXPECT_EQ(std::u16string_view(out, 4), u"abcx");
    // A zero byte inside an explicit length is just another character.
    EXPECT_EQ(MultiByteToWide(1252, "a\0b", 3, out, 8), 3);
    EXPECT_EQ(std::u16string_view(out, 3), std::u16string_view(u"a\0b", 3));
}

TEST(CodePageShape, OutputTooSmallFailsAndExactFitSucceeds) {
    char16_t wide[4];
    EXPECT_EQ(MultiByteToWide(1252, "abcd", -1, wide, 4), 0);  // needs 5 with the zero
    EXPECT_EQ(MultiByteToWide(1252, "abc", -1, wide, 4), 4);
    char bytes[3];
    EXPECT_EQ(WideToMultiByte(1252, u"abc", -1, bytes, 3), 0);
    EXPECT_EQ(WideToMultiByte(1252, u"abc", 3, bytes, 3), 3);
    EXPECT_EQ(std::string_view(bytes, 3), "abc");
}

TEST(CodePageShape, BadArgumentsFail) {
    char16_t wide[8];
    char bytes[8];
    EXPECT_EQ(MultiByteToWide(1252, nullptr, -1, wide, 8), 0);
    EXPECT_EQ(MultiByteToWide(1252, "abc", 0, wide, 8), 0);
    EXPECT_EQ(MultiByteToWide(1252, "abc", -2, wide, 8), 0);
    EXPECT_EQ(MultiByteToWide(1252, "abc", 3, wide, -1), 0);
    EXPECT_EQ(MultiByteToWide(1252, "abc", 3, nullptr, 8), 0);
    EXPECT_EQ(WideToMultiByte(1252, nullptr, -1, bytes, 8), 0);
    EXPECT_EQ(WideToMultiByte(1252, u"abc", 0, bytes, 8), 0);
    EXPECT_EQ(WideToMultiByte(1252, u"abc", -5, bytes, 8), 0);
    EXPECT_EQ(WideToMultiByte(1252, u"abc", 3, nullptr, 8), 0);
}

TEST(CodePageShape, WideToMultiByteCountsTerminatorAndSizeQuery) {
    const char16_t* text = u"\u20ACuro";
    const int needed = WideToMultiByte(1252, text, -1, nullptr, 0);
    EXPECT_EQ(needed, 5);
    std::string out(static_cast<std::size_t>(needed), 'x');
    EXPECT_EQ(WideToMultiByte(1252, text, -1, out.data(), needed), needed);
    EXPECT_EQ(out, std::string("\x80uro\0", 5));
}

TEST(CodePageTable, UnknownCodePageFails) {
    char16_t wide[8];
    char bytes[8];
    EXPECT_FALSE(IsCodePageAvailable(12345));
    EXPECT_EQ(MultiByteToWide(12345, "abc", -1, wide, 8), 0);
    EXPECT_EQ(MultiByteToWide(12345, "abc", -1, nullptr, 0), 0);
    EXPECT_EQ(WideToMultiByte(12345, u"abc", -1, bytes, 8), 0);
    std::u16string wideOut = u"stale";
    EXPECT_FALSE(MultiByteToWideString(12345, "abc", wideOut));
    EXPECT_TRUE(wideOut.empty());
    std::string byteOut = "stale";
    EXPECT_FALSE(WideToMultiByteString(12345, u"abc", byteOut));
    EXPECT_TRUE(byteOut.empty());
}

TEST(CodePageTable, CodePageZeroIsTheSystemCodePage) {
    EXPECT_TRUE(IsCodePageAvailable(0));
    EXPECT_EQ(Decode(0, "\x80\x9F"), u"\u20AC\u0178");
    EXPECT_EQ(Encode(0, u"\u20AC"), "\x80");
}

TEST(CodePageTable, EveryTableCodePageRoundTripsOrFailsCleanly) {
    std::string unavailable;
    for (unsigned codePage : kTableCodePages) {
        SCOPED_TRACE(codePage);
        char16_t wide[16];
        char bytes[16];
        const int decoded = MultiByteToWide(codePage, "Hello", -1, wide, 16);
        const int encoded = WideToMultiByte(codePage, u"Hello", -1, bytes, 16);
        if (!IsCodePageAvailable(codePage)) {
            EXPECT_EQ(decoded, 0);
            EXPECT_EQ(encoded, 0);
            EXPECT_EQ(MultiByteToWide(codePage, "Hello", -1, nullptr, 0), 0);
            unavailable += (unavailable.empty() ? "" : " ") + std::to_string(codePage);
            continue;
        }
        EXPECT_EQ(std::u16string_view(wide, decoded > 0 ? decoded : 0),
                  std::u16string_view(u"Hello", 6));
        ASSERT_GT(encoded, 0);
        std::u16string back;
        ASSERT_TRUE(MultiByteToWideString(codePage, std::string_view(bytes, encoded), back));
        EXPECT_EQ(back, std::u16string_view(u"Hello", 6));
        EXPECT_EQ(bytes[encoded - 1], '\0');
    }
    RecordProperty("UnavailableCodePages", unavailable);
    std::printf("Code pages without a converter here: %s\n",
                unavailable.empty() ? "none" : unavailable.c_str());
}

TEST(CodePageTable, CommonCodePagesAreAvailable) {
    // Those the mail formats meet all the time, and the four only iconv carries.
    for (unsigned codePage :
         {1252u, 28591u, 65001u, 20866u, 1251u, 932u, 936u, 949u, 950u, 50220u, 51932u, 54936u,
          28605u, 20127u, 65000u, 28606u, 1361u, 10079u, 10017u}) {
        EXPECT_TRUE(IsCodePageAvailable(codePage)) << codePage;
    }
}

TEST(CodePageDecode, Windows1252) {
    EXPECT_EQ(Decode(1252, "\x80"), u"\u20AC");
    EXPECT_EQ(Decode(1252, "\x93quoted\x94"), u"\u201Cquoted\u201D");
    EXPECT_EQ(Decode(1252, "\xE9\xFF"), u"\u00E9\u00FF");
    // Windows gives the holes of the table their C1 control.
    EXPECT_EQ(Decode(1252, "\x81\x8D"), u"\u0081\u008D");
}

TEST(CodePageDecode, Latin1KeepsC1Controls) {
    EXPECT_EQ(Decode(28591, "\x80\xE9"), u"\u0080\u00E9");
}

TEST(CodePageDecode, Koi8r) {
    EXPECT_EQ(Decode(20866, "\xF0\xD2\xC9\xD7\xC5\xD4"), u"\u041F\u0440\u0438\u0432\u0435\u0442");
    EXPECT_EQ(Encode(20866, u"\u043C\u0438\u0440"), "\xCD\xC9\xD2");
}

TEST(CodePageDecode, Utf8InvalidBecomesReplacement) {
    EXPECT_EQ(Decode(65001, "a\xC3(b"), u"a\uFFFD(b");
    EXPECT_EQ(Decode(65001, "\xFF"), u"\uFFFD");
    EXPECT_EQ(Decode(65001, "x\xE2\x82"), u"x\uFFFD");  // cut-off sequence at the end
    EXPECT_EQ(Decode(65001, "\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(CodePageDecode, UsAsciiHighBytesBecomeReplacement) {
    std::string all;
    for (int b = 0x80; b <= 0xFF; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::u16string out = Decode(20127, "A" + all + "z");
    ASSERT_EQ(out.size(), all.size() + 2);
    EXPECT_EQ(out.front(), u'A');
    EXPECT_EQ(out.back(), u'z');
    EXPECT_EQ(out.find_first_not_of(u'\uFFFD', 1), out.size() - 1);
    EXPECT_EQ(Encode(20127, u"caf\u00E9"), "caf?");
}

TEST(CodePageDecode, UndecodableMultiByteInputBecomesReplacement) {
    // 0x81 0x20 is no Shift_JIS character: the lead byte is replaced, the blank kept.
    const std::u16string out = Decode(932, "a\x81 b");
    EXPECT_EQ(out.front(), u'a');
    EXPECT_NE(out.find(u'\uFFFD'), std::u16string::npos);
    EXPECT_EQ(out.back(), u'b');
    EXPECT_EQ(Decode(932, "\x93\xFA\x96\x7B"), u"\u65E5\u672C");
}

TEST(CodePageEncode, UnmappableBecomesDefaultCharacter) {
    EXPECT_EQ(Encode(28591, u"\u20AC5"), "?5");
    EXPECT_EQ(Encode(1252, u"\u65E5\u672C!"),
              "?"
              "?!");
    EXPECT_EQ(Encode(1251, u"\u00E9\u0416"), "?\xC6");
    // A character outside the BMP is one character, so one '?'.
    EXPECT_EQ(Encode(1252, u"a\U0001F600b"), "a?b");
    EXPECT_EQ(Encode(932, u"\u0416\u00E9"), "\x84\x47?");
}

TEST(CodePageEncode, Utf8LoneSurrogateBecomesReplacementCharacter) {
    const std::u16string lone(1, char16_t{0xD800});
    EXPECT_EQ(Encode(65001, u"a" + lone + u"b"),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(CodePageStateful, Iso2022JpEscapesAndResetsBetweenCalls) {
    const std::u16string text = u"A\u65E5\u672C";
    const std::string first = Encode(50220, text);
    const std::string second = Encode(50220, text);
    EXPECT_EQ(first, "A\x1B$BF|K\\\x1B(B");
    EXPECT_EQ(second, first);  // no shift state left over from the first call
    EXPECT_EQ(Decode(50220, first), text);
    const int needed = WideToMultiByte(50220, text.c_str(), -1, nullptr, 0);
    EXPECT_EQ(needed, static_cast<int>(first.size()) + 1);
}

TEST(CodePageStateful, HalfWidthKanaOfTheJisVariants) {
    EXPECT_EQ(Decode(50221, "A\x1B(I12\x1B(BB"), u"A\uFF71\uFF72B");
    EXPECT_EQ(Decode(50222,
                     "A\x0E"
                     "12\x0F"
                     "B"),
              u"A\uFF71\uFF72B");
}

TEST(CodePageFallback, Iso885916ThroughIconv) {
    EXPECT_EQ(Decode(28606, "\xAA\xBA"), u"\u0218\u0219");
    EXPECT_EQ(Encode(28606, u"\u0218\u20AC\u65E5"), "\xAA\xA4?");
}

TEST(CodePageFallback, JohabThroughIconv) {
    EXPECT_EQ(Decode(1361, "\x88\x61"), u"\uAC00");
    EXPECT_EQ(Encode(1361, u"\uAC00a"),
              "\x88\x61"
              "a");
    EXPECT_EQ(Encode(1361, u"\u0E01"), "?");  // no Thai in Johab
    // A lead byte with nothing after it.
    const std::u16string cut = Decode(1361, "a\x88");
    EXPECT_EQ(cut, u"a\uFFFD");
}

TEST(CodePageFallback, MacIcelandicHasTheIcelandicLetters) {
    EXPECT_EQ(Decode(10079, "\xA0\xDC\xDD\xDE\xDF\xE0"), u"\u00DD\u00D0\u00F0\u00DE\u00FE\u00FD");
    EXPECT_EQ(Encode(10079, u"\u00DD\u00D0\u00F0\u00FD"), "\xA0\xDC\xDD\xE0");
    EXPECT_EQ(Encode(10079, u"\u0110"), "?");  // D with stroke is not in this code page
    EXPECT_EQ(Encode(10079, u"a\U0001F600"), "a?");
    EXPECT_EQ(Decode(10079, "Hello"), u"Hello");
}

TEST(CodePageFallback, MacUkrainian) {
    EXPECT_EQ(Decode(10017, "\xA2\xB6"), u"\u0490\u0491");
    EXPECT_EQ(Encode(10017, u"\u0490"), "\xA2");
}

TEST(CodePageRoundTrip, EightBitTablesKeepTheirLetters) {
    struct Case {
        unsigned codePage;
        std::u16string text;
    };
    const Case cases[] = {
        {1250, u"\u017Elu\u0165ou\u010Dk\u00FD"},
        {1253, u"\u03B1\u03B2\u03B3"},
        {1255, u"\u05E9\u05DC\u05D5\u05DD"},
        {1256, u"\u0633\u0644\u0627\u0645"},
        {28597, u"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1"},
        {874, u"\u0E2A\u0E27\u0E31"},
        {866, u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        {437, u"\u00C7\u00FC\u00E9"},
        {10000, u"\u00C4\u00E9"},
        {1258, u"\u0110\u00F4ng"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        const std::string bytes = Encode(c.codePage, c.text);
        EXPECT_EQ(bytes.find('?'), std::string::npos);
        EXPECT_EQ(Decode(c.codePage, bytes), c.text);
    }
}

TEST(CodePageRoundTrip, LongTextGrowsTheBuffer) {
    // UTF-7 needs more than two bytes per CJK character, past the first guess.
    std::u16string text;
    for (int i = 0; i < 4000; ++i) {
        text.push_back(static_cast<char16_t>(0x4E00 + i % 500));
    }
    const std::string utf7 = Encode(65000, text);
    EXPECT_GT(utf7.size(), text.size() * 2);
    EXPECT_EQ(Decode(65000, utf7), text);
    EXPECT_EQ(WideToMultiByte(65000, text.data(), static_cast<int>(text.size()), nullptr, 0),
              static_cast<int>(utf7.size()));
}

TEST(CodePageDecode, Utf7TakesUnencodedAsciiAsItIs) {
    EXPECT_EQ(Decode(65000, "Hi +AOk-"), u"Hi \u00E9");
    EXPECT_EQ(Decode(65000, "C:\\dir ~me\f"), u"C:\\dir ~me\f");
    EXPECT_EQ(Decode(65000, "\xE9"), u"\uFFFD");  // 8-bit bytes stay undecodable
}

TEST(CodePageStrings, EmptySourceSucceeds) {
    std::u16string wide = u"stale";
    EXPECT_TRUE(MultiByteToWideString(1252, "", wide));
    EXPECT_TRUE(wide.empty());
    std::string bytes = "stale";
    EXPECT_TRUE(WideToMultiByteString(28606, u"", bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST(CodePageStrings, Utf8Helpers) {
    const std::u16string wide = u"a\u00E9\u20AC\U0001F600";
    const std::string utf8 = WideToUtf8(wide);
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utf8ToWide("ok\xC0\xAF"), u"ok\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToWide(""), u"");
    EXPECT_EQ(Utf8ToWide(std::string_view("a\0b", 3)), std::u16string_view(u"a\0b", 3));
}

TEST(CodePageStrings, MailboxBytesAreReadInTheMailboxCodePage) {
    EXPECT_EQ(MailboxBytesToUtf8(1252, "\x80 caf\xE9"), "\xE2\x82\xAC caf\xC3\xA9");
    EXPECT_EQ(MailboxBytesToUtf8(1251, "\xCF\xF0\xE8\xE2\xE5\xF2"),
              "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    EXPECT_EQ(MailboxBytesToUtf8(1252, ""), "");
    // Stored strings end at their first zero byte.
    EXPECT_EQ(MailboxBytesToWide(1252, std::string_view("ab\0cd", 5)), u"ab");
    // A code page without a converter still shows something: each byte on its own.
    EXPECT_EQ(MailboxBytesToWide(4242, "a\xE9"), u"a\u00E9");
}

TEST(CodePageStrings, AnsiCodePagesAreNamedForMenus) {
    EXPECT_EQ(AnsiCodePageName(1251), u"Windows-1251");
    EXPECT_EQ(AnsiCodePageTitle(1251), u"Cyrillic, Windows-1251");
    EXPECT_EQ(AnsiCodePageTitle(65001), u"Windows-65001");
    std::vector<std::uint32_t> listed;
    for (const AnsiCodePage& cp : GetAnsiCodePages()) {
        EXPECT_TRUE(IsCodePageAvailable(cp.codePage)) << cp.codePage;
        listed.push_back(cp.codePage);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::uint32_t>{874, 932, 936, 949, 950, 1250, 1251, 1252, 1253,
                                                  1254, 1255, 1256, 1257, 1258}));
    EXPECT_TRUE(IsAnsiCodePage(874));
    EXPECT_FALSE(IsAnsiCodePage(28591));
    EXPECT_FALSE(IsAnsiCodePage(0));
}

TEST(CodePageCache, ConcurrentConversionsStayCorrect) {
    auto work = [](unsigned codePage, std::string bytes, std::u16string expected, int* bad) {
        for (int i = 0; i < 2000; ++i) {
            std::u16string out;
            if (!MultiByteToWideString(codePage, bytes, out) || out != expected) {
                ++*bad;
            }
        }
    };
    int bad1 = 0;
    int bad2 = 0;
    std::thread t1(work, 20866u, std::string("\xF0\xD2"), std::u16string(u"\u041F\u0440"), &bad1);
    std::thread t2(work, 50220u, std::string("\x1B$BF|\x1B(B"), std::u16string(u"\u65E5"), &bad2);
    t1.join();
    t2.join();
    EXPECT_EQ(bad1, 0);
    EXPECT_EQ(bad2, 0);
}

}  // namespace
