// The term table: exact keys, last set wins, lookups change nothing.
#include "term_dictionary.h"

#include <gtest/gtest.h>

namespace {

TEST(TermDictionary, KeysAreExactCodeUnits)
{
    TermDictionary dictionary;
    dictionary.set(u"Extrude", u"\u62C9\u4F38");
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Extrude", u"\u62C9\u4F38"},
        {u"extrude", u""},
        {u"EXTRUDE", u""},
        {u"Extrude ", u""},
        {u" Extrude", u""},
        {u"Extrud", u""},
        {u"", u""},
        {u"\u62C9\u4F38", u""},
    };
    for (const auto& [term, expected] : cases)
        EXPECT_EQ(dictionary.lookup(term), expected);
}

TEST(TermDictionary, AnEmptyTableKnowsNothing)
{
    TermDictionary dictionary;
    EXPECT_EQ(dictionary.lookup(u"Abc"), u"");
    EXPECT_EQ(dictionary.lookup(u""), u"");
}

TEST(TermDictionary, TheLastSetOfATermWins)
{
    TermDictionary dictionary;
    dictionary.set(u"A", u"B");
    dictionary.set(u"A", u"C");
    EXPECT_EQ(dictionary.lookup(u"A"), u"C");
}

TEST(TermDictionary, ChainedPairsInBothDirections)
{
    TermDictionary dictionary;
    for (auto [first, second] : {std::pair{u"X", u"Y"}, std::pair{u"Y", u"Z"}}) {
        dictionary.set(first, second);
        dictionary.set(second, first);
    }
    EXPECT_EQ(dictionary.lookup(u"X"), u"Y");
    EXPECT_EQ(dictionary.lookup(u"Y"), u"Z");
    EXPECT_EQ(dictionary.lookup(u"Z"), u"Y");
}

TEST(TermDictionary, ATermMayMapToItself)
{
    TermDictionary dictionary;
    dictionary.set(u"Same", u"Same");
    EXPECT_EQ(dictionary.lookup(u"Same"), u"Same");
}

TEST(TermDictionary, ALookupChangesNoLaterAnswer)
{
    TermDictionary dictionary;
    EXPECT_EQ(dictionary.lookup(u"T"), u"");
    EXPECT_EQ(dictionary.lookup(u"T"), u"");
    EXPECT_EQ(dictionary.size(), 0u);
    dictionary.set(u"T", u"U");
    EXPECT_EQ(dictionary.lookup(u"T"), u"U");
}

TEST(TermDictionary, OrderIsByUnsignedCodeUnitsNotByLocale)
{
    // Keys beyond U+7FFF and surrogates must not be taken for negative numbers.
    TermDictionary dictionary;
    dictionary.set(u"\uFFFF", u"high");
    dictionary.set(u"\U0001F600", u"emoji");
    dictionary.set(u"a", u"low");
    EXPECT_EQ(dictionary.lookup(u"\uFFFF"), u"high");
    EXPECT_EQ(dictionary.lookup(u"\U0001F600"), u"emoji");
    EXPECT_EQ(dictionary.lookup(u"a"), u"low");
}

} // namespace
