// The conversion tables against iconv itself, whose answers they keep: every
// one- and two-byte sequence, every UTF-16 unit and random texts, in the
// ANSI code pages and in codesets that the tables must leave to iconv.
#include "iconv_codec.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct CodesetCase {
    const char* codeset;
    bool tablesServeThroughout; // false: a character too long for the tables shows up
};

const CodesetCase kCodesets[] = {
    {"CP1252", true}, {"GBK", true},        {"BIG5", true},  {"EUC-KR", true},
    {"CP932", true},  {"ISO-8859-15", true}, {"UTF-8", false}, {"GB18030", false},
};

std::string bytesOf(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

void expectSameWide(CodesetCodec& codec, const std::string& narrow)
{
    std::u16string fromTables = u"x";
    std::u16string fromIconv = u"x";
    codec.appendWide(narrow, fromTables);
    codec.appendWideThroughIconv(narrow, fromIconv);
    ASSERT_EQ(fromTables, fromIconv) << "bytes of " << narrow.size() << ", first "
                                     << static_cast<int>(static_cast<uint8_t>(narrow[0]));
}

void expectSameNarrow(CodesetCodec& codec, const std::u16string& wide)
{
    std::string fromTables = "x";
    std::string fromIconv = "x";
    codec.appendNarrow(wide, fromTables);
    codec.appendNarrowThroughIconv(wide, fromIconv);
    ASSERT_EQ(fromTables, fromIconv) << "units " << wide.size() << ", first " << static_cast<int>(wide[0]);
}

class CodesetCodecTest : public testing::TestWithParam<CodesetCase> {};

TEST_P(CodesetCodecTest, EveryOneAndTwoByteSequenceDecodesAsIconvDecodesIt)
{
    CodesetCodec codec(GetParam().codeset);
    for (int first = 0; first < 256; ++first) {
        expectSameWide(codec, bytesOf({first}));
        for (int second = 0; second < 256; ++second)
            expectSameWide(codec, bytesOf({first, second}));
    }
}

TEST_P(CodesetCodecTest, EveryUnitEncodesAsIconvEncodesIt)
{
    CodesetCodec codec(GetParam().codeset);
    for (int unit = 0; unit < 0x10000; ++unit)
        expectSameNarrow(codec, std::u16string(1, static_cast<char16_t>(unit)));
}

TEST_P(CodesetCodecTest, RandomTextsConvertAsIconvConvertsThem)
{
    CodesetCodec codec(GetParam().codeset);
    std::mt19937 random(936);
    // Bytes mostly from the lead and trail ranges of double-byte code pages,
    // with ASCII digits and '_' as names have them.
    const std::string alphabet = bytesOf({0x81, 0x8E, 0xA1, 0xB0, 0xC4, 0xE0, 0xF0, 0xFE, 0xFF, 0x40, 0x5F, 0x7F,
                                          0x30, 0x39, 0x41, 0x20, 0x00, 0x80, 0xC2, 0xE6, 0x8B});
    // A surrogate pair and lone surrogates among them.
    const std::u16string units = u"Az_09\u00E9\u20AC\u0081\u62C9\u4F38\u9ED8\uAC00\u30A2\uFFFD\U0001F600\uFFFF" +
                                 std::u16string{char16_t(0xDC00), char16_t(0xD800)};
    for (int round = 0; round < 20000; ++round) {
        std::string narrow;
        std::u16string wide;
        const int length = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            narrow += alphabet[random() % alphabet.size()];
            wide += units[random() % units.size()];
        }
        expectSameWide(codec, narrow);
        expectSameNarrow(codec, wide);
    }
}

TEST_P(CodesetCodecTest, TablesServeWhereEveryCharacterFitsThem)
{
    CodesetCodec codec(GetParam().codeset);
    std::u16string wide;
    std::string narrow;
    for (int first = 0; first < 256; ++first)
        for (int second = 0; second < 256; ++second)
            codec.appendWide(bytesOf({first, second}), wide);
    for (int unit = 0; unit < 0xD800; ++unit)
        codec.appendNarrow(std::u16string(1, static_cast<char16_t>(unit)), narrow);
    EXPECT_EQ(codec.tablesServe(), GetParam().tablesServeThroughout);
}

INSTANTIATE_TEST_SUITE_P(Codesets, CodesetCodecTest, testing::ValuesIn(kCodesets),
                         [](const testing::TestParamInfo<CodesetCase>& info) {
                             std::string name;
                             for (const char* c = info.param.codeset; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c)))
                                     name += *c;
                             return name;
                         });

TEST(CodesetCodec, AnUnknownCodesetGivesReplacementsNotACrash)
{
    CodesetCodec codec("NO-SUCH-CODESET");
    std::u16string wide;
    codec.appendWide("ab", wide);
    EXPECT_EQ(wide, u"\uFFFD\uFFFD");
    std::string narrow;
    codec.appendNarrow(u"ab", narrow);
    EXPECT_EQ(narrow, "??");
}

} // namespace
