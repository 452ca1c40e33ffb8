// The naming rule, case by case, in both code pages.
#include "translate_name.h"

#include "code_page.h"
#include "text.h"

#include <gtest/gtest.h>

namespace {

TermDictionary pairs(std::initializer_list<std::pair<std::u16string, std::u16string>> entries)
{
    TermDictionary dictionary;
    for (const auto& [first, second] : entries) {
        dictionary.set(first, second);
        dictionary.set(second, first);
    }
    return dictionary;
}

struct NameCase {
    const char* name;
    const char* expected;
    NamePattern pattern;
    NameOutcome outcome;
};

class WorkedExamples : public ::testing::TestWithParam<int> {};

TEST_P(WorkedExamples, EveryExampleOfTheNamingRule)
{
    IN_CODE_PAGE(GetParam());
    const TermDictionary dictionary = pairs({{u"Abc", u"Xyz"}, {u"Def", u"Uvw"}});
    using P = NamePattern;
    using O = NameOutcome;
    const NameCase cases[] = {
        {"Abc12", "Xyz12", P::OneTerm, O::Translated},
        {"Xyz12", "Abc12", P::OneTerm, O::Translated},
        {"Abc12_Def", "Xyz12_Uvw", P::TwoTerm, O::Translated},
        {"Uvw7_Xyz", "Def7_Abc", P::TwoTerm, O::Translated},
        {"Abc1x2_Def", "Xyz1x2_Uvw", P::TwoTerm, O::Translated},
        {"Abc12_Ghi", "Abc12_Ghi", P::TwoTerm, O::NoCounterpart},
        {"Abc12_Def_3", "Abc12_Def_3", P::TwoTerm, O::NoCounterpart},
        {"Abc12_", "Abc12_", P::TwoTerm, O::EmptySegment},
        {"Ab_c12_Def", "Ab_c12_Def", P::TwoTerm, O::NoCounterpart},
        {"Abc_Def", "Abc_Def", P::TwoTerm, O::NoDigit},
        {"Abc_Def12", "Abc_Def12", P::TwoTerm, O::NoUnderscoreAfterDigit},
        {"1_Abc", "1_Abc", P::TwoTerm, O::EmptySegment},
        {"_Abc1", "_Abc1", P::OneTerm, O::NoCounterpart},
        {"_Abc1_Def", "_Abc1_Def", P::OneTerm, O::NoCounterpart},
        {"Abc", "Abc", P::OneTerm, O::NoDigit},
        {"12Abc", "12Abc", P::OneTerm, O::EmptySegment},
        {"abc12", "abc12", P::OneTerm, O::NoCounterpart},
        {"\xC4\xAC\xC8\xCF" "CSYS", "Default CSYS", P::CoordinateSystem, O::Translated},
        {"Default CSYS2", "Default CSYS2", P::OneTerm, O::NoCounterpart},
        {"Default CSYS ", "Default CSYS ", P::OneTerm, O::NoDigit},
        {"default csys", "default csys", P::OneTerm, O::NoDigit},
        {"", "", P::OneTerm, O::NoDigit},
    };
    // One translator for every case as well, as a pass uses it: nothing of
    // one name may linger into the next.
    NameTranslator translator(dictionary);
    for (int round = 0; round < 2; ++round) {
        for (const NameCase& c : cases) {
            NameTranslation result = analyseName(c.name, dictionary);
            EXPECT_EQ(result.name, c.expected) << "name " << c.name;
            EXPECT_EQ(result.pattern, c.pattern) << "name " << c.name;
            EXPECT_EQ(result.outcome, c.outcome) << "name " << c.name;
            EXPECT_EQ(translateName(c.name, dictionary), c.expected) << "name " << c.name;
            EXPECT_EQ(translator.translate(c.name), c.expected) << "name " << c.name << ", round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, WorkedExamples, ::testing::Values(936, 1252));

// "默认CSYS" in code page 936 and in UTF-8.
const std::string kCsys936 = "\xC4\xAC\xC8\xCF" "CSYS";
const std::string kCsysUtf8 = "\xE9\xBB\x98\xE8\xAE\xA4" "CSYS";

struct CsysCase {
    int codePage;
    Direction direction;
    std::string name;
    std::string expected;
    NameOutcome outcome;
};

// The Chinese name goes through the code page like any counterpart; its 936
// bytes, which earlier versions wrote in every code page, heal in any.
TEST(TranslateName, TheCoordinateSystemNamesInEveryCodePage)
{
    using D = Direction;
    using O = NameOutcome;
    const CsysCase cases[] = {
        {936, D::Swap, "Default CSYS", kCsys936, O::Translated},
        {936, D::Swap, kCsys936, "Default CSYS", O::Translated},
        {936, D::ToColumnB, "Default CSYS", kCsys936, O::Translated},
        {936, D::ToColumnB, kCsys936, kCsys936, O::AlreadyInTarget},
        {936, D::ToColumnA, "Default CSYS", "Default CSYS", O::AlreadyInTarget},
        {936, D::ToColumnA, kCsys936, "Default CSYS", O::Translated},
        {1252, D::Swap, "Default CSYS", "Default CSYS", O::CounterpartNotWritable},
        {1252, D::Swap, kCsys936, "Default CSYS", O::Translated},
        {1252, D::ToColumnB, "Default CSYS", "Default CSYS", O::CounterpartNotWritable},
        {1252, D::ToColumnB, kCsys936, "Default CSYS", O::Translated},
        {1252, D::ToColumnA, "Default CSYS", "Default CSYS", O::AlreadyInTarget},
        {1252, D::ToColumnA, kCsys936, "Default CSYS", O::Translated},
        {65001, D::Swap, "Default CSYS", kCsysUtf8, O::Translated},
        {65001, D::Swap, kCsysUtf8, "Default CSYS", O::Translated},
        {65001, D::Swap, kCsys936, "Default CSYS", O::Translated},
        {65001, D::ToColumnB, "Default CSYS", kCsysUtf8, O::Translated},
        {65001, D::ToColumnB, kCsysUtf8, kCsysUtf8, O::AlreadyInTarget},
        {65001, D::ToColumnB, kCsys936, kCsysUtf8, O::Translated},
        {65001, D::ToColumnA, kCsysUtf8, "Default CSYS", O::Translated},
        {65001, D::ToColumnA, kCsys936, "Default CSYS", O::Translated},
        // Not the names themselves: through the patterns.
        {1252, D::Swap, "Default CSYS ", "Default CSYS ", O::NoDigit},
        {65001, D::Swap, "x" + kCsysUtf8, "x" + kCsysUtf8, O::NoDigit},
    };
    TermDictionary empty;
    TermColumns columns(empty);
    for (const CsysCase& c : cases) {
        CodePageScope scope(c.codePage);
        if (!scope.active())
            continue;
        const NamingRule rule = c.direction == Direction::Swap ? NamingRule(empty) : NamingRule(columns, c.direction);
        NameTranslator translator(rule);
        for (int round = 0; round < 2; ++round) {
            const NameTranslation result = translator.analyse(c.name);
            EXPECT_EQ(result.name, c.expected) << c.codePage << " " << c.name;
            EXPECT_EQ(result.outcome, c.outcome) << c.codePage << " " << c.name;
            EXPECT_EQ(result.pattern == NamePattern::CoordinateSystem, c.outcome != O::NoDigit) << c.name;
            if (c.outcome == O::CounterpartNotWritable) {
                EXPECT_EQ(result.notWritable, kDefaultCsysChineseText);
            }
            // Toward one column, nothing changes on its own result.
            if (c.direction != Direction::Swap) {
                EXPECT_EQ(translator.translate(result.name), result.name) << c.codePage << " " << c.name;
            }
        }
    }
}

TEST(TranslateName, TheCoordinateSystemNamesBypassTheDictionary)
{
    IN_CODE_PAGE(936);
    const TermDictionary dictionary = pairs({{u"Default CSYS", u"Other"}});
    EXPECT_EQ(translateName("Default CSYS", dictionary), kCsys936);
    EXPECT_EQ(translateName("Default CSYS2", dictionary), "Other2");
}

// Chinese terms in code page 936: 拉伸 (Extrude) and 草图 (Sketch).
const std::u16string kExtrudeZh = u"\u62C9\u4F38";
const std::u16string kSketchZh = u"\u8349\u56FE";
const std::string kExtrudeGbk = "\xC0\xAD\xC9\xEC";
const std::string kSketchGbk = "\xB2\xDD\xCD\xBC";

TEST(TranslateNameIn936, ChineseTermsInEverySegment)
{
    IN_CODE_PAGE(936);
    const TermDictionary dictionary = pairs({{u"Extrude", kExtrudeZh}, {u"Sketch", kSketchZh}});
    const std::pair<std::string, std::string> cases[] = {
        {"Extrude12_Sketch", kExtrudeGbk + "12_" + kSketchGbk},
        {kExtrudeGbk + "12_" + kSketchGbk, "Extrude12_Sketch"},
        {kExtrudeGbk + "12_Sketch", "Extrude12_" + kSketchGbk},
        {kExtrudeGbk + "7", "Extrude7"},
        {"Sketch3", kSketchGbk + "3"},
        // The middle is carried over, whatever it holds.
        {kExtrudeGbk + "1" + kSketchGbk + "2_Sketch", "Extrude1" + kSketchGbk + "2_" + kSketchGbk},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(translateName(name, dictionary), expected) << name;
}

TEST(TranslateNameIn936, ASecondByteOf0x5FCountsAsAnUnderscore)
{
    IN_CODE_PAGE(936);
    // 奏 is B4 5F in GBK: its second byte is '_'.
    const std::string zou = "\xB4\x5F";
    const TermDictionary dictionary = pairs({{u"Extrude", kExtrudeZh}, {u"\u594F", u"Play"}});
    // The first '_' is inside 奏 at index 1: two-term form, no '_' after the digit.
    EXPECT_EQ(analyseName(zou + "1", dictionary).outcome, NameOutcome::NoUnderscoreAfterDigit);
    EXPECT_EQ(translateName(zou + "1", dictionary), zou + "1");
    // The 0x5F byte ends the middle: the rest starts in the middle of nowhere.
    const std::string name = "Extrude1" + zou + "x";
    NameTranslation cut = analyseName(name, dictionary);
    EXPECT_EQ(cut.pattern, NamePattern::TwoTerm);
    EXPECT_EQ(cut.carried, "1\xB4\x5F");
    EXPECT_EQ(cut.rest, "x");
    EXPECT_EQ(cut.name, name);
}

TEST(TranslateName, ATranslationLongerThan127BytesIsWhole)
{
    IN_CODE_PAGE(1252);
    const std::u16string longTerm(200, u'L');
    const TermDictionary dictionary = pairs({{u"Abc", longTerm}});
    EXPECT_EQ(translateName("Abc12_Abc", dictionary), std::string(200, 'L') + "12_" + std::string(200, 'L'));
}

// Names read with a larger buffer than the host's 128 bytes hold terms that
// long too, in either code page, and in the one translator a pass keeps.
TEST(TranslateName, TermsLongerThanAHostNameBufferAreLookedUpWhole)
{
    // Ends in a letter that both code pages hold, in one byte or in two.
    const std::u16string longTerm = std::u16string(300, u'T') + u"\u00E9";
    const TermDictionary dictionary = pairs({{longTerm, u"Short"}});
    for (int codePage : {936, 1252}) {
        CodePageScope scope(codePage);
        if (!scope.active())
            continue;
        const std::string narrowLongTerm = wideToNarrow(longTerm);
        NameTranslator translator(dictionary);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(translator.translate(narrowLongTerm + "7_Short"), "Short7_" + narrowLongTerm);
            EXPECT_EQ(translator.translate("Short7"), narrowLongTerm + "7");
            EXPECT_EQ(translator.translate("Short1_Other"), "Short1_Other");
        }
    }
}

TEST(TranslateName, NamesThatAreNotValidTextKeepTheirBytes)
{
    IN_CODE_PAGE(936);
    const TermDictionary dictionary = pairs({{u"Extrude", kExtrudeZh}, {u"Sketch", kSketchZh}});
    const std::pair<std::string, std::string> cases[] = {
        // A lone lead byte at the end, unchanged.
        {"Extrude1_Hole\x81", "Extrude1_Hole\x81"},
        // Bytes that begin no character, unchanged.
        {"\xFF\xFF" "12", "\xFF\xFF" "12"},
        // Broken bytes in the carried-over middle survive a translation.
        {"Extrude1\xFF\x80_Sketch", kExtrudeGbk + "1\xFF\x80_" + kSketchGbk},
        // And in a one-term suffix.
        {"Sketch1\x81", kSketchGbk + "1\x81"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(translateName(name, dictionary), expected);
}

TEST(TranslateName, ValidNamesLeftUnchangedKeepTheirExactBytes)
{
    const std::pair<int, std::string> cases[] = {
        {936, "\xC0\xAD\xC9\xEC" "12_" "\xB2\xDD\xCD\xBC"},
        {1252, "Fl\xE4" "che3_R\xFC" "cken"},
        {1252, "Abc\x80" "1"},
    };
    const TermDictionary dictionary = pairs({{u"Extrude", u"X"}});
    for (const auto& [codePage, name] : cases) {
        CodePageScope scope(codePage);
        if (scope.active()) {
            EXPECT_EQ(translateName(name, dictionary), name);
        }
    }
}

// Written with '?' in its place, the name could never be turned back.
TEST(TranslateName, ACounterpartThatTheCodePageCannotHoldLeavesTheNameAsItWas)
{
    IN_CODE_PAGE(1252);
    const TermDictionary dictionary = pairs({{u"Extrude", kExtrudeZh}, {u"Sketch", u"Profile"}});
    for (const char* name : {"Extrude5", "Extrude5_Sketch", "Sketch5_Extrude"}) {
        const NameTranslation analysis = analyseName(name, dictionary);
        EXPECT_EQ(analysis.name, name);
        EXPECT_EQ(analysis.outcome, NameOutcome::CounterpartNotWritable) << name;
        EXPECT_EQ(analysis.notWritable, kExtrudeZh) << name;
    }
    // A term without a counterpart says more about the name than one that cannot be written.
    EXPECT_EQ(analyseName("Extrude5_Rib", dictionary).outcome, NameOutcome::NoCounterpart);
}

// The rule toward one column, in ASCII so that it runs in any code page:
// column A holds Abc, Def, Pqr, Mid, Same; column B Xyz, Uvw, Mid, Stu, Same.
struct DirectionalCase {
    Direction direction;
    const char* name;
    const char* expected;
    NameOutcome outcome;
};

TEST(DirectionalRule, EveryKindOfSegmentTowardEachColumn)
{
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"Abc", u"Xyz"}, {u"Def", u"Uvw"}, {u"Pqr", u"Mid"}, {u"Mid", u"Stu"}, {u"Same", u"Same"}};
    TermDictionary terms;
    TermColumns columns(terms);
    for (const auto& [first, second] : rows) {
        terms.set(first, second);
        terms.set(second, first);
        columns.enterRow(first, second);
    }
    using D = Direction;
    using O = NameOutcome;
    const DirectionalCase cases[] = {
        {D::ToColumnB, "Abc12", "Xyz12", O::Translated},                 // a source term
        {D::ToColumnB, "Xyz12", "Xyz12", O::AlreadyInTarget},            // a target term
        {D::ToColumnB, "Abc12_Uvw", "Xyz12_Uvw", O::Translated},         // mixed
        {D::ToColumnB, "Xyz12_Def", "Xyz12_Uvw", O::Translated},         // mixed the other way
        {D::ToColumnB, "Xyz12_Uvw", "Xyz12_Uvw", O::AlreadyInTarget},
        {D::ToColumnB, "Abc12_Ghi", "Abc12_Ghi", O::NoCounterpart},      // unknown
        {D::ToColumnB, "Ghi12_Uvw", "Ghi12_Uvw", O::NoCounterpart},
        {D::ToColumnB, "Abc12_", "Abc12_", O::EmptySegment},
        {D::ToColumnB, "12Abc", "12Abc", O::EmptySegment},
        {D::ToColumnB, "Abc", "Abc", O::NoDigit},
        {D::ToColumnB, "Pqr3", "Mid3", O::Translated},                   // into a term of both columns
        {D::ToColumnB, "Mid3", "Mid3", O::AlreadyInTarget},              // in both columns: kept
        {D::ToColumnB, "Same4_Abc", "Same4_Xyz", O::Translated},
        {D::ToColumnB, "Same4", "Same4", O::AlreadyInTarget},
        {D::ToColumnA, "Xyz12", "Abc12", O::Translated},
        {D::ToColumnA, "Abc12", "Abc12", O::AlreadyInTarget},
        {D::ToColumnA, "Xyz12_Def", "Abc12_Def", O::Translated},
        {D::ToColumnA, "Abc12_Uvw", "Abc12_Def", O::Translated},
        {D::ToColumnA, "Xyz12_Ghi", "Xyz12_Ghi", O::NoCounterpart},
        {D::ToColumnA, "Stu3", "Mid3", O::Translated},
        {D::ToColumnA, "Mid3", "Mid3", O::AlreadyInTarget},
    };
    for (const DirectionalCase& c : cases) {
        const NamingRule rule(columns, c.direction);
        const NameTranslation once = analyseName(c.name, rule);
        EXPECT_EQ(once.name, c.expected) << c.name;
        EXPECT_EQ(once.outcome, c.outcome) << c.name;
        // Run on its own result, a rule toward one column changes nothing.
        EXPECT_EQ(translateName(once.name, rule), once.name) << c.name;
    }
    // Without the columns the swap stands.
    EXPECT_EQ(translateName("Mid3", NamingRule(terms)), "Stu3");
}

} // namespace
