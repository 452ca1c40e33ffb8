// UTF-8 and UTF-16 conversion with replacement of ill-formed input, and the
// _xHHHH_ escapes of workbook text.
#include "common/text_codec.h"

#include <gtest/gtest.h>

namespace {

struct Decoding {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

TEST(TextCodec, DecodesUtf8AndReplacesEachIllFormedSequence)
{
    const Decoding cases[] = {
        {"ASCII", "plain", u"plain"},
        {"two, three and four bytes", "\xC3\xA9\xE8\xAF\x8D\xF0\x9F\x8D\xA3", u"\u00E9\u8BCD\U0001F363"},
        {"a stray continuation byte", "a\x80z", u"a\uFFFDz"},
        {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"an overlong three-byte form", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
        {"an encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"a sequence cut short by ASCII", "\xE8\xAFz", u"\uFFFDz"},
        {"a sequence cut short by the end", "ok\xF0\x9F\x8D", u"ok\uFFFD"},
        {"bytes that never start a sequence", "\xFE\xFF", u"\uFFFD\uFFFD"},
        {"an embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Decoding& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(xl::utf8ToUtf16(c.utf8), c.utf16);
    }
}

TEST(TextCodec, EncodesUtf16AndReplacesUnpairedSurrogates)
{
    EXPECT_EQ(xl::utf16ToUtf8(u"\u00E9\u8BCD\U0001F363"), "\xC3\xA9\xE8\xAF\x8D\xF0\x9F\x8D\xA3");
    EXPECT_EQ(xl::utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(xl::utf16ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
}

struct Escape {
    std::u16string written;
    std::u16string meant;
};

TEST(TextCodec, DecodesEscapesLeftToRight)
{
    const Escape cases[] = {
        {u"a_x000D_\nb", u"a\r\nb"},
        {u"_x000d_", u"\r"},
        {u"_x0041__x0042_", u"AB"},
        {u"_xD83C__xDF63_", u"\U0001F363"},
        {u"_x005F_x0041_", u"_x0041_"},     // an escaped underscore keeps the text after it
        {u"_x005f__x0041_", u"_A"},
        {u"_x004_", u"_x004_"},             // too few digits
        {u"_x00G1_", u"_x00G1_"},
        {u"_X0041_", u"_X0041_"},           // the x is lower case
        {u"_x0041", u"_x0041"},
        {u"mail_SPDR35Removal_title_032023", u"mail_SPDR35Removal_title_032023"},
        {u"__x0041_", u"_A"},
        {u"_x0000_", std::u16string(1, u'\0')},
    };
    for (const Escape& c : cases) {
        std::u16string text = c.written;
        xl::decodeEscapes(text);
        EXPECT_EQ(text, c.meant) << xl::utf16ToUtf8(c.written);
    }
}

TEST(TextCodec, QuotesFileTextSafelyInMessages)
{
    EXPECT_EQ(xl::quoteForMessage("A0"), "A0");
    EXPECT_EQ(xl::quoteForMessage("a\nb\xC3\xA9"), "a\\x0Ab\xC3\xA9");
    EXPECT_EQ(xl::quoteForMessage("bad \xFF"), "bad \xEF\xBF\xBD");
    EXPECT_EQ(xl::quoteForMessage(std::string(100, 'z'), 5), "zzzzz...");
    EXPECT_EQ(xl::quoteForMessage("ab\xC3\xA9\xC3\xA9", 3), "ab\xC3\xA9...");
}

} // namespace
