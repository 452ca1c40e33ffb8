// The _xHHHH_ escapes of XML workbook text, decoded left to right.
#include "utf8.h"
#include "xlsx/escapes.h"

#include <gtest/gtest.h>

namespace {

struct Escape {
    std::u16string written;
    std::u16string meant;
};

TEST(Escapes, DecodesEscapesLeftToRight)
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

} // namespace
