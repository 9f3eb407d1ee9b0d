#include "mime/charset.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>
#include <vector>

#include "mailbox/hyper_string.h"
#include "platform/code_page.h"

using namespace std::string_view_literals;

namespace {

std::string Convert(std::string_view charset, std::uint32_t target, std::string_view text,
                    bool entities, bool* ok = nullptr) {
    std::string out = "stale";
    const bool done =
        ConvertCharset(charset, target, text.data(), std::int32_t(text.size()), out, entities);
    if (ok != nullptr) {
        *ok = done;
    }
    if (!done) {
        EXPECT_EQ(out, "") << "a failed conversion leaves no output";
    }
    return out;
}

// A character each code page is made for (empty: ASCII only).
const std::map<std::uint32_t, std::u16string> kSamples = {
    {850, u"\u00E9"},   {28591, u"\u00E9"}, {1252, u"\u20AC"},  {10000, u"\u00E9"},
    {28604, u"\u0175"}, {863, u"\u00E9"},   {861, u"\u00F0"},   {10079, u"\u00FE"},
    {28605, u"\u20AC"}, {858, u"\u20AC"},   {860, u"\u00E3"},   {708, u"\u0634"},
    {720, u"\u0634"},   {864, u"\u0663"},   {28596, u"\u0634"}, {1256, u"\u0634"},
    {10004, u"\u0634"}, {775, u"\u0105"},   {28603, u"\u0105"}, {1257, u"\u0105"},
    {28594, u"\u0105"}, {10029, u"\u0105"}, {852, u"\u010D"},   {28592, u"\u010D"},
    {1250, u"\u010D"},  {10082, u"\u010D"}, {28606, u"\u0219"}, {10010, u"\u0103"},
    {28595, u"\u0434"}, {1251, u"\u0434"},  {855, u"\u0434"},   {866, u"\u0434"},
    {20866, u"\u0434"}, {10007, u"\u0434"}, {21866, u"\u0457"}, {10017, u"\u0457"},
    {737, u"\u03B1"},   {28597, u"\u03B1"}, {10006, u"\u03B1"}, {1253, u"\u03B1"},
    {869, u"\u03B1"},   {862, u"\u05D0"},   {38598, u"\u05D0"}, {28598, u"\u05D0"},
    {10005, u"\u05D0"}, {1255, u"\u05D0"},  {57006, u"\u0995"}, {57003, u"\u0995"},
    {57002, u"\u0915"}, {57010, u"\u0A95"}, {57011, u"\u0A15"}, {57008, u"\u0C95"},
    {57009, u"\u0D15"}, {57007, u"\u0B15"}, {57004, u"\u0B95"}, {57005, u"\u0C15"},
    {51932, u"\u3042"}, {50220, u"\u3042"}, {50221, u"\u3042"}, {50222, u"\u3042"},
    {20932, u"\u3042"}, {10001, u"\u3042"}, {932, u"\u3042"},   {51949, u"\uD55C"},
    {50225, u"\uD55C"}, {1361, u"\uD55C"},  {10003, u"\uD55C"}, {949, u"\uD55C"},
    {865, u"\u00F8"},   {28600, u"\u014B"}, {51936, u"\u4E2D"}, {54936, u"\u4E2D"},
    {20936, u"\u4E2D"}, {936, u"\u4E2D"},   {52936, u"\u4E2D"}, {50227, u"\u4E2D"},
    {10008, u"\u4E2D"}, {28593, u"\u0125"}, {857, u"\u011F"},   {28599, u"\u011F"},
    {10081, u"\u011F"}, {1254, u"\u011F"},  {28601, u"\u0E01"}, {10021, u"\u0E01"},
    {874, u"\u0E01"},   {950, u"\u4E2D"},   {51950, u"\u4E2D"}, {54950, u"\u4E2D"},
    {50229, u"\u4E2D"}, {10002, u"\u4E2D"}, {20127, u""},       {437, u"\u00E9"},
    {1258, u"\u01B0"},  {65000, u"\u00E9"}, {65001, u"\u00E9"},
};

}  // namespace

TEST(CodePageTable, RowsAndLookup) {
    const auto table = GetCodePageTable();
    ASSERT_EQ(table.size(), 122u);
    EXPECT_EQ(table.front().m_Charset, "ibm850");
    EXPECT_EQ(table.front().m_Description, u"Western European/American (Latin 1-IBM)");
    EXPECT_EQ(table[2].m_Charset, "latin1");
    EXPECT_EQ(table.back().m_Charset, "x-unicode-2-0-utf-8");
    std::set<std::uint32_t> codePages;
    std::vector<std::uint32_t> unnamed;
    for (const CCodePageRow& row : table) {
        codePages.insert(row.m_nCodePage);
        if (row.m_Charset.empty()) {
            unnamed.push_back(row.m_nCodePage);
            continue;
        }
        // Names are unique, so each one finds its own row, in both forms.
        const std::u16string wide(row.m_Charset.begin(), row.m_Charset.end());
        EXPECT_EQ(CodePageFromCharset(wide), row.m_nCodePage) << row.m_Charset;
    }
    EXPECT_EQ(unnamed, (std::vector<std::uint32_t>{50221, 50222}));
    EXPECT_EQ(codePages.size(), kSamples.size());

    EXPECT_EQ(CodePageFromCharset("ISO-8859-1"), 28591u);
    EXPECT_EQ(CodePageFromCharset(u"UTF-8"), 65001u);
    EXPECT_EQ(CodePageFromCharset("ks_c_5601-1987"), 949u);
    EXPECT_EQ(CodePageFromCharset("Latin1"), 28591u);
    for (std::string_view none : {""sv, "utf-8 "sv, "utf8"sv, "ibm850\0"sv}) {
        EXPECT_EQ(CodePageFromCharset(none), 0u) << none;
    }
    EXPECT_EQ(CodePageFromCharset(u""), 0u);
    // Only ASCII letters fold: U+0130 and U+212A are not 'i' and 'k'.
    EXPECT_EQ(CodePageFromCharset(u"\u0130bm850"), 0u);
    EXPECT_EQ(CodePageFromCharset(u"\u212Aoi8-r"), 0u);
}

TEST(ConvertCharset, EntitiesAndPassThrough) {
    EXPECT_EQ(Convert("us-ascii", 1252, "say \"hi\" & go", true), "say &quot;hi&quot; &amp; go");
    EXPECT_EQ(Convert("us-ascii", 1252, "say \"hi\"", false), "say \"hi\"");
    // Same code page, an unknown charset, or no code page at all: bytes unchanged.
    EXPECT_EQ(Convert("windows-1252", 1252, "\"caf\xE9\"", true), "\"caf\xE9\"");
    EXPECT_EQ(Convert("x-unknown", 65001, "\"\xFF\"", true), "\"\xFF\"");
    EXPECT_EQ(Convert("", 0, "\"&\"", true), "\"&\"");
    EXPECT_EQ(Convert("utf-8", 0, "\xC3\xA9", true), "\xC3\xA9");

    EXPECT_EQ(Convert("utf-8", 1252, "caf\xC3\xA9 \xE2\x82\xAC", false), "caf\xE9 \x80");
    EXPECT_EQ(Convert("utf-8", 1252, "caf\xC3\xA9", true), "caf&eacute;");
    EXPECT_EQ(Convert("ISO-8859-1", 65001, "caf\xE9", false), "caf\xC3\xA9");
    // The terminator is not converted: UTF-7 would write it as "+AAA-".
    EXPECT_EQ(Convert("utf-8", 65000, "a\xC3\xA9", false), "a+AOk-");
    // The euro sign has no entity and no place in Latin-1.
    EXPECT_EQ(Convert("utf-8", 28591, "\xE2\x82\xAC\xC3\xA9", true), "?&eacute;");
}

TEST(ConvertCharset, LengthsAndFailures) {
    bool ok = true;
    Convert("utf-8", 1252, "", false, &ok);
    EXPECT_FALSE(ok);
    std::string out;
    EXPECT_FALSE(ConvertCharset("utf-8", 1252, nullptr, 5, out, false));
    EXPECT_FALSE(ConvertCharset("utf-8", 1252, "abc", -1, out, false));

    // Only `length` bytes are read, and the text ends at a zero byte among them.
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_TRUE(ConvertCharset("utf-8", 1252, unterminated, 2, out, true));
    EXPECT_EQ(out, "ab");
    EXPECT_EQ(Convert("utf-8", 1252, std::string_view("ab\0cd", 5), false), "ab");
    EXPECT_EQ(Convert("latin1", 28591, std::string_view("ab\0cd", 5), false), "ab");
    EXPECT_EQ(Convert("utf-8", 1252, std::string_view("\0cd", 3), true, &ok), "");
    EXPECT_TRUE(ok);
}

TEST(ConvertCharset, IntoBuffer) {
    std::vector<char> buffer(8, '#');
    std::int32_t written = -1;
    // A copy takes exactly `length` bytes and must fit whole.
    EXPECT_TRUE(
        ConvertCharsetToBuffer("windows-1252", 1252, "ab\0d", 4, buffer.data(), 4, &written));
    EXPECT_EQ(written, 4);
    EXPECT_EQ(std::string(buffer.data(), 5), std::string("ab\0d#", 5));
    EXPECT_FALSE(
        ConvertCharsetToBuffer("windows-1252", 1252, "abcd", 4, buffer.data(), 3, &written));
    EXPECT_EQ(written, 0);

    // A conversion writes the text and its terminator, and must fit whole too.
    std::fill(buffer.begin(), buffer.end(), '#');
    const char* utf8 = "\xC3\xA9t\xC3\xA9";
    EXPECT_TRUE(ConvertCharsetToBuffer(u"utf-8", 1252, utf8, 6, buffer.data(), 4, &written));
    EXPECT_EQ(written, 4);
    EXPECT_EQ(std::string(buffer.data(), 5), std::string("\xE9t\xE9\0#", 5));
    std::fill(buffer.begin(), buffer.end(), '#');
    EXPECT_FALSE(ConvertCharsetToBuffer("utf-8", 1252, utf8, 6, buffer.data(), 3, &written));
    EXPECT_EQ(std::string(buffer.data(), 4), "####");
    EXPECT_FALSE(ConvertCharsetToBuffer("utf-8", 1252, "abc", 0, buffer.data(), 8));
    EXPECT_FALSE(ConvertCharsetToBuffer("utf-8", 1252, "abc", 3, nullptr, 8));
}

// Every row either converts its own kind of text both ways or fails cleanly.
TEST(ConvertCharset, EveryCodePageOfTheTable) {
    std::set<std::uint32_t> checked;
    std::string unavailable;
    for (const CCodePageRow& row : GetCodePageTable()) {
        if (!checked.insert(row.m_nCodePage).second) {
            continue;
        }
        const std::uint32_t cp = row.m_nCodePage;
        SCOPED_TRACE(testing::Message() << cp << " " << row.m_Charset);
        bool ok = false;
        const std::string ascii = Convert("utf-8", cp, "Hello, world", false, &ok);
        std::string expected;
        EXPECT_TRUE(!ok ||
                    (WideToMultiByteString(cp, u"Hello, world", expected) && ascii == expected))
            << ascii;
        if (!ok) {
            unavailable += (unavailable.empty() ? "" : " ") + std::to_string(cp);
            if (!row.m_Charset.empty()) {
                Convert(row.m_Charset, 65001, "Hello", false, &ok);
                EXPECT_FALSE(ok);
            }
            continue;
        }
        const std::u16string& sample = kSamples.at(cp);
        const std::string utf8 = WideToUtf8(std::u16string(u"Hello ") + sample);
        const std::string encoded = Convert("utf-8", cp, utf8, false, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(encoded.find('?'), std::string::npos) << "sample not in the code page";
        if (row.m_Charset.empty()) {
            std::u16string back;
            ASSERT_TRUE(MultiByteToWideString(cp, encoded, back));
            EXPECT_EQ(back, u"Hello " + sample);
            continue;
        }
        EXPECT_EQ(Convert(row.m_Charset, 65001, ascii, false), "Hello, world");
        EXPECT_EQ(Convert(row.m_Charset, 65001, encoded, false), utf8);
    }
    std::cout << "[ code pages ] cannot convert here: "
              << (unavailable.empty() ? "none" : unavailable) << "\n";
    RecordProperty("unavailable_code_pages", unavailable);
}

TEST(SetCharsetText, KindFollowsTheCharset) {
    CZHyperString text;
    text.SetWide(u"old");
    SetCharsetText(text, "caf\xC3\xA9", "UTF-8");
    EXPECT_EQ(text.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(text.GetCodePage(), 65001u);
    EXPECT_EQ(text.GetTextView(), "caf\xC3\xA9");
    EXPECT_EQ(text.GetWideText(), std::u16string_view(u""));
    ASSERT_TRUE(text.ToWide());
    EXPECT_EQ(text.GetWideView(), u"caf\u00E9");

    SetCharsetText(text, "caf\xE9", "x-unknown");
    EXPECT_EQ(text.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(text.GetCodePage(), 0u);
    ASSERT_TRUE(text.ToWide());
    EXPECT_EQ(text.GetWideView(), u"caf\u00E9");

    SetCharsetText(text, "short", nullptr);
    EXPECT_EQ(text.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(text.GetTextView(), "short");
    SetCharsetText(text, nullptr, "koi8-r");
    EXPECT_EQ(text.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(text.GetTextView(), "");
}
