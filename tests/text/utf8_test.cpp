// UTF-8 and UTF-16 conversion with replacement of ill-formed input, and the
// checks for well-formed UTF-8 (whole, and how far) that agree with it case
// for case.
#include "utf8.h"

#include <gtest/gtest.h>

namespace {

struct Decoding {
    const char* name;
    std::string utf8;
    std::u16string utf16;
    bool valid;
};

TEST(Utf8, DecodesUtf8AndReplacesEachIllFormedSequence)
{
    const Decoding cases[] = {
        {"nothing", "", u"", true},
        {"ASCII", "plain", u"plain", true},
        {"two, three and four bytes", "\xC3\xA9\xE8\xAF\x8D\xF0\x9F\x8D\xA3", u"\u00E9\u8BCD\U0001F363", true},
        {"the last code point before the surrogates", "\xED\x9F\xBF", u"\uD7FF", true},
        {"the first code point after them", "\xEE\x80\x80", u"\uE000", true},
        {"the last code point of Unicode", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        {"an embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3), true},
        {"a stray continuation byte", "a\x80z", u"a\uFFFDz", false},
        {"an overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", false},
        {"an overlong two-byte form", "\xC1\xBF", u"\uFFFD\uFFFD", false},
        {"an overlong three-byte form", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", false},
        {"an overlong four-byte form", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"an encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"a five-byte form", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", false},
        {"a sequence cut short by ASCII", "\xE8\xAFz", u"\uFFFDz", false},
        {"a sequence cut short by the end", "ok\xF0\x9F\x8D", u"ok\uFFFD", false},
        {"a lead byte alone at the end", "ok\xC3", u"ok\uFFFD", false},
        {"bytes that never start a sequence", "\xFE\xFF", u"\uFFFD\uFFFD", false},
    };
    for (const Decoding& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(xl::utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(xl::isValidUtf8(c.utf8), c.valid);
        // In every ill-formed case only ASCII comes before the first
        // replacement, so its place in UTF-16 is its offset in the bytes.
        EXPECT_EQ(xl::validUtf8Prefix(c.utf8), c.valid ? c.utf8.size() : c.utf16.find(u'\uFFFD'));
    }
}

TEST(Utf8, EncodesUtf16AndReplacesUnpairedSurrogates)
{
    EXPECT_EQ(xl::utf16ToUtf8(u"\u00E9\u8BCD\U0001F363"), "\xC3\xA9\xE8\xAF\x8D\xF0\x9F\x8D\xA3");
    EXPECT_EQ(xl::utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(xl::utf16ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "x\xEF\xBF\xBD");
}

} // namespace
