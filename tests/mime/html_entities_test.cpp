#include "mime/html_entities.h"

#include <gtest/gtest.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <map>
#include <set>

#include "mailbox/hyper_string.h"
#include "mime/charset.h"

TEST(HtmlEntities, WhatChangesAndWhatStays) {
    EXPECT_EQ(EncodeHtmlEntities(u"a & \"b\" <b>x</b> '"), u"a &amp; &quot;b&quot; <b>x</b> '");
    EXPECT_EQ(EncodeHtmlEntities(u"\u00E9\u00FC\u20AC\u0080"), u"&eacute;&uuml;\u20AC&euro;");
    EXPECT_EQ(EncodeHtmlEntities(u"\u008B\u009B\u009C\u009F"), u"&lt;&gt;&oelig;&Yuml;");
    EXPECT_EQ(EncodeHtmlEntities(u"\u007F\u0081\u009E\u0100\u0152"),
              u"\u007F\u0081\u009E\u0100\u0152");
    EXPECT_EQ(EncodeHtmlEntities(u"\u00A0\u00A9\u00B0\u00BD\u00D7\u00DF\u00F7\u00FF"),
              u"&nbsp;&copy;&deg;&frac12;&times;&szlig;&divide;&yuml;");
}

// The accented letters' names follow from their decomposition: base letter, then accent.
TEST(HtmlEntities, Latin1NamesAreDistinctAndMatchDecompositions) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    ASSERT_TRUE(U_SUCCESS(status));
    const std::map<char16_t, std::u16string> accents = {
        {0x0300, u"grave"}, {0x0301, u"acute"}, {0x0302, u"circ"}, {0x0303, u"tilde"},
        {0x0308, u"uml"},   {0x030A, u"ring"},  {0x0327, u"cedil"}};
    std::set<std::u16string_view> seen;
    int decomposed = 0;
    for (char16_t unit = 160; unit <= 255; ++unit) {
        const std::u16string_view entity = HtmlEntityFor(unit);
        ASSERT_GE(entity.size(), 4u);
        EXPECT_TRUE(entity.front() == u'&' && entity.back() == u';');
        EXPECT_TRUE(seen.insert(entity).second) << "duplicate at " << int(unit);
        const icu::UnicodeString parts = nfd->normalize(icu::UnicodeString(unit), status);
        if (unit >= 192 && parts.length() == 2) {
            ++decomposed;
            ASSERT_EQ(accents.count(parts.charAt(1)), 1u) << int(unit);
            EXPECT_EQ(entity.substr(1, entity.size() - 2),
                      std::u16string(1, parts.charAt(0)) + accents.at(parts.charAt(1)));
        }
    }
    EXPECT_EQ(decomposed, 53);
}

TEST(HtmlEntities, CountingAndCutting) {
    std::int32_t length = -5;
    ASSERT_TRUE(EncodeHtmlEntities(u"", nullptr, length));
    EXPECT_EQ(length, 1);
    ASSERT_TRUE(EncodeHtmlEntities(u"a&\u00E9", nullptr, length));
    EXPECT_EQ(length, 1 + 1 + 5 + 8);

    // Capacity 4: three units and the terminator, even inside an entity.
    for (const auto& [source, cut] : {std::pair{u"&x", u"&am"}, std::pair{u"abcdef", u"abc"}}) {
        std::u16string buffer(8, u'#');
        length = 4;
        ASSERT_TRUE(EncodeHtmlEntities(source, buffer.data(), length));
        EXPECT_EQ(buffer, std::u16string(cut) + u'\0' + u"####");
    }
    char16_t buffer[8];
    for (std::int32_t capacity : {1, 0, -3}) {
        EXPECT_FALSE(EncodeHtmlEntities(u"a", buffer, capacity));
    }
    EXPECT_FALSE(EncodeHtmlEntities(nullptr, nullptr, length));
}

TEST(HtmlEntities, EscapeHtmlOfEachKind) {
    CZHyperString text;
    text.SetText("caf\xE9 & <i>");
    ASSERT_TRUE(EscapeHtml(text));
    EXPECT_EQ(text.GetType(), CZHyperString::TypeWide);
    EXPECT_EQ(text.GetWideView(), u"caf&eacute; &amp; <i>");
    EXPECT_EQ(text.GetCapacity(), std::int32_t(text.GetWideView().size()) + 1);

    SetCharsetText(text, "\xC3\xA9\xE2\x82\xAC\"", "utf-8");
    ASSERT_TRUE(EscapeHtml(text));
    EXPECT_EQ(text.GetWideView(), u"&eacute;\u20AC&quot;");

    CZHyperString empty;
    EXPECT_TRUE(EscapeHtml(empty));
    empty.SetWide(u"");
    EXPECT_TRUE(EscapeHtml(empty));
    EXPECT_EQ(empty.GetWideView(), u"");
}
