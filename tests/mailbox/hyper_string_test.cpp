#include "mailbox/hyper_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

CZHyperString Ansi(std::string_view bytes) {
    CZHyperString s;
    s.SetText(bytes);
    return s;
}

TEST(HyperStringTest, StartsEmptyAsPlainText) {
    CZHyperString s;
    EXPECT_EQ(s.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(s.GetCodePage(), 0u);
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.GetGrowBy(), 2000);
    EXPECT_EQ(s.GetTextLength(), 0);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s.GetText(), "");
}

TEST(HyperStringTest, SetTextStoresExactlyTheBytes) {
    CZHyperString s;
    s.SetText("hello world", 5);
    EXPECT_EQ(s.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(s.GetTextView(), "hello");
    EXPECT_EQ(s.GetTextLength(), 5);
    EXPECT_GE(s.GetCapacity(), 6);

    s.SetText("", 0);
    EXPECT_EQ(s.GetTextLength(), 0);
    EXPECT_STREQ(s.GetText(), "");

    // Setting text goes back to plain 8-bit text from any kind.
    CZHyperString wide;
    wide.SetWide(u"abc");
    ASSERT_EQ(wide.GetType(), CZHyperString::TypeWide);
    wide.SetText("xy", 2);
    EXPECT_EQ(wide.GetType(), CZHyperString::TypeAnsi);
    EXPECT_EQ(wide.GetTextView(), "xy");
    EXPECT_EQ(wide.GetWideView(), u"");
}

TEST(HyperStringTest, SanitizeFileNameReplacesReservedAndControlCharacters) {
    CZHyperString s = Ansi("Re: a/b?");
    s.SanitizeFileName();
    EXPECT_EQ(s.GetTextView(), "Re_ a_b_");

    CZHyperString all = Ansi("a:b?c/d\\e*f\"g<h>i|j\x01k\x1Fl\tm.txt");
    all.SanitizeFileName();
    EXPECT_EQ(all.GetTextView(), "a_b_c_d_e_f_g_h_i_j_k_l_m.txt");

    // Bytes of 128 and above, and the blank, stay.
    CZHyperString high = Ansi("caf\xE9 \x7F");
    high.SanitizeFileName();
    EXPECT_EQ(high.GetTextView(), "caf\xE9 \x7F");

    CZHyperString wide;
    wide.SetWide(u"Re: \u00E9t\u00E9/2009?");
    wide.SanitizeFileName();
    EXPECT_EQ(wide.GetWideView(), u"Re_ \u00E9t\u00E9_2009_");
}

TEST(HyperStringTest, ToWideWidensPlainBytesUnitByUnit) {
    CZHyperString s = Ansi("\xE9\x80\x41\xFF");
    ASSERT_TRUE(s.ToWide());
    EXPECT_EQ(s.GetType(), CZHyperString::TypeWide);
    // No code page is involved: 0x80 stays 0x80 rather than becoming the euro sign.
    EXPECT_EQ(s.GetWideView(),
              std::u16string({char16_t(233), char16_t(0x80), u'A', char16_t(255)}));
    EXPECT_STREQ(s.GetText(), "");

    // Already wide: left alone.
    ASSERT_TRUE(s.ToWide());
    EXPECT_EQ(s.GetTextLength(), 4);
    EXPECT_EQ(std::u16string_view(s.GetWide()), u"\u00E9\u0080A\u00FF");
}

TEST(HyperStringTest, ToCodePageConvertsThroughUtf16) {
    CZHyperString s = Ansi("caf\xE9");
    ASSERT_TRUE(s.ToCodePage(65001));
    EXPECT_EQ(s.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(s.GetCodePage(), 65001u);
    EXPECT_EQ(s.GetTextView(), "caf\xC3\xA9");
    EXPECT_EQ(s.GetWideView(), u"");

    // Code page text widens through its code page.
    ASSERT_TRUE(s.ToWide());
    EXPECT_EQ(s.GetWideView(), u"caf\u00E9");

    CZHyperString ru;
    ru.SetWide(u"\u041F\u0440\u0438\u0432\u0435\u0442");
    ASSERT_TRUE(ru.ToCodePage(1251));
    EXPECT_EQ(ru.GetTextView(), "\xCF\xF0\xE8\xE2\xE5\xF2");
    ASSERT_TRUE(ru.ToCodePage(20866));  // koi8-r, by way of UTF-16
    EXPECT_EQ(ru.GetCodePage(), 20866u);
    EXPECT_EQ(ru.GetTextView(), "\xF0\xD2\xC9\xD7\xC5\xD4");
    ASSERT_TRUE(ru.ToWide());
    EXPECT_EQ(ru.GetWideView(), u"\u041F\u0440\u0438\u0432\u0435\u0442");
}

TEST(HyperStringTest, UnmappableCharactersBecomeQuestionMarks) {
    CZHyperString s;
    s.SetWide(u"a\u4E2Db");
    ASSERT_TRUE(s.ToCodePage(1252));
    EXPECT_EQ(s.GetTextView(), "a?b");
}

TEST(HyperStringTest, FailedConversionKeepsTheRepresentation) {
    CZHyperString s;
    s.SetWide(u"keep me");
    EXPECT_FALSE(s.ToCodePage(4242));  // no such code page
    EXPECT_EQ(s.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(s.GetWideView(), u"keep me");
    EXPECT_EQ(s.GetCodePage(), 0u);

    CZHyperString ansi = Ansi("plain");
    EXPECT_FALSE(ansi.ToCodePage(4242));
    // The widening step succeeded before the conversion failed.
    EXPECT_EQ(ansi.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(ansi.GetWideView(), u"plain");
}

TEST(HyperStringTest, EmptyTextConvertsToAnEmptyCodePageText) {
    CZHyperString s;
    EXPECT_TRUE(s.ToWide());
    EXPECT_TRUE(s.ToCodePage(1252));
    EXPECT_EQ(s.GetTextLength(), 0);
}

TEST(HyperStringTest, ReserveGrowsByAtLeastTheGrowStep) {
    CZHyperString s;
    s.Reserve(10, false);
    EXPECT_EQ(s.GetCapacity(), 2000);
    s.Reserve(2000, false);  // not above the capacity
    EXPECT_EQ(s.GetCapacity(), 2000);
    s.Reserve(0, false);
    s.Reserve(-5, false);
    EXPECT_EQ(s.GetCapacity(), 2000);
    s.Reserve(2001, false);
    EXPECT_EQ(s.GetCapacity(), 4000);
    s.Reserve(9000, false);  // more than a step above: exactly what was asked
    EXPECT_EQ(s.GetCapacity(), 9000);

    CZHyperString small;
    small.SetGrowBy(0);
    EXPECT_EQ(small.GetGrowBy(), 1);
    small.SetGrowBy(-3);
    EXPECT_EQ(small.GetGrowBy(), 1);
    small.SetGrowBy(16);
    small.Reserve(4, false);
    EXPECT_EQ(small.GetCapacity(), 16);
}

TEST(HyperStringTest, ReserveKeepsOrDropsTheContent) {
    CZHyperString kept = Ansi("abc");
    kept.Reserve(kept.GetCapacity() + 1, true);
    EXPECT_EQ(kept.GetTextView(), "abc");

    CZHyperString dropped = Ansi("abc");
    dropped.Reserve(dropped.GetCapacity() + 1, false);
    EXPECT_EQ(dropped.GetTextLength(), 0);

    CZHyperString wide;
    wide.SetWide(u"\u00E9t\u00E9");
    wide.Reserve(wide.GetCapacity() + 100, true);
    EXPECT_EQ(wide.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(wide.GetWideView(), u"\u00E9t\u00E9");
}

TEST(HyperStringTest, SetTypeDiscardsTheOtherRepresentation) {
    CZHyperString s = Ansi("gone");
    s.SetType(CZHyperString::TypeAnsi);  // unchanged: no effect
    EXPECT_EQ(s.GetTextView(), "gone");
    s.SetType(CZHyperString::TypeWide);
    EXPECT_EQ(s.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.GetTextLength(), 0);
    EXPECT_STREQ(s.GetText(), "");

    CZHyperString w;
    w.SetWide(u"also gone");
    w.SetType(CZHyperString::TypeCodePage);
    EXPECT_EQ(w.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(w.GetCapacity(), 0);
    EXPECT_EQ(w.GetTextLength(), 0);
    EXPECT_EQ(w.GetWideView(), u"");
}

TEST(HyperStringTest, EmptyKeepsKindAndCapacity) {
    CZHyperString s;
    s.SetWide(u"text");
    const std::int32_t capacity = s.GetCapacity();
    s.Empty();
    EXPECT_EQ(s.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(s.GetCapacity(), capacity);
    EXPECT_EQ(s.GetTextLength(), 0);
}

TEST(HyperStringTest, CopyTakesKindGrowStepCodePageAndText) {
    CZHyperString source = Ansi("caf\xE9");
    source.SetGrowBy(64);
    ASSERT_TRUE(source.ToCodePage(65001));
    CZHyperString copy;
    copy.SetWide(u"old");
    copy.Copy(source);
    EXPECT_EQ(copy.GetType(), CZHyperString::TypeCodePage);
    EXPECT_EQ(copy.GetCodePage(), 65001u);
    EXPECT_EQ(copy.GetGrowBy(), 64);
    EXPECT_EQ(copy.GetTextView(), "caf\xC3\xA9");
    EXPECT_EQ(copy.GetWideView(), u"");

    // The copy owns its text.
    source.SetText("changed");
    EXPECT_EQ(copy.GetTextView(), "caf\xC3\xA9");
    CZHyperString assigned;
    assigned = copy;
    EXPECT_EQ(assigned.GetTextView(), copy.GetTextView());
}

TEST(HyperStringTest, ReplaceCharInEitherRepresentation) {
    CZHyperString s = Ansi("a-b-c");
    s.ReplaceChar(u'-', u'+');
    EXPECT_EQ(s.GetTextView(), "a+b+c");

    CZHyperString w;
    w.SetWide(u"x\u00E9y\u00E9");
    w.ReplaceChar(u'\u00E9', u'e');
    EXPECT_EQ(w.GetWideView(), u"xeye");
    EXPECT_EQ(w.GetTextLength(), 4);
}

}  // namespace
