// The term table: exact keys, last set wins, lookups change nothing.
#include "term_dictionary.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <utility>
#include <vector>

namespace {

// What a table answers after a sequence of sets: each case sets its pairs
// in order, then looks terms up.
struct SetsAndLookups {
    const char* what;
    std::vector<std::pair<std::u16string, std::u16string>> sets;
    std::vector<std::pair<std::u16string, std::u16string>> lookups;   // term, expected answer ("" for none)
};

TEST(TermDictionary, AnswersWhatWasLastSetForExactlyThatTerm)
{
    const SetsAndLookups cases[] = {
        {"an empty table knows nothing", {}, {{u"Abc", u""}, {u"", u""}}},
        {"keys are exact code units",
         {{u"Extrude", u"\u62C9\u4F38"}},
         {{u"Extrude", u"\u62C9\u4F38"}, {u"extrude", u""}, {u"EXTRUDE", u""}, {u"Extrude ", u""}, {u" Extrude", u""},
          {u"Extrud", u""}, {u"", u""}, {u"\u62C9\u4F38", u""}}},
        {"the last set of a term wins", {{u"A", u"B"}, {u"A", u"C"}}, {{u"A", u"C"}}},
        {"chained pairs in both directions",
         {{u"X", u"Y"}, {u"Y", u"X"}, {u"Y", u"Z"}, {u"Z", u"Y"}},
         {{u"X", u"Y"}, {u"Y", u"Z"}, {u"Z", u"Y"}}},
        {"a term may map to itself", {{u"Same", u"Same"}}, {{u"Same", u"Same"}}},
        // Keys beyond U+7FFF and surrogates must not be taken for negative numbers.
        {"keys beyond U+7FFF and surrogates",
         {{u"\uFFFF", u"high"}, {u"\U0001F600", u"emoji"}, {u"a", u"low"}},
         {{u"\uFFFF", u"high"}, {u"\U0001F600", u"emoji"}, {u"a", u"low"}}},
        {"the empty term is a key like any other", {{u"", u"nothing"}}, {{u"", u"nothing"}, {u"x", u""}}},
    };
    for (const SetsAndLookups& c : cases) {
        TermDictionary dictionary;
        for (const auto& [term, counterpart] : c.sets)
            dictionary.set(term, counterpart);
        for (const auto& [term, expected] : c.lookups)
            EXPECT_EQ(dictionary.lookup(term), expected) << c.what;
    }
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

TEST(TermDictionary, ACounterpartReplacedByAShorterOrLongerOneIsWhole)
{
    TermDictionary dictionary;
    dictionary.set(u"A", u"medium");
    dictionary.set(u"B", u"next");
    const std::u16string replacements[] = {u"longer than before", u"s", u"", u"medium again", u"s"};
    for (const std::u16string& counterpart : replacements) {
        dictionary.set(u"A", counterpart);
        EXPECT_EQ(dictionary.lookup(u"A"), counterpart);
        EXPECT_EQ(dictionary.lookup(u"B"), u"next");
    }
    EXPECT_EQ(dictionary.size(), 2u);
}

TEST(TermDictionary, ATableMovedFromIsEmptyAndUsable)
{
    TermDictionary first;
    first.set(u"A", u"B");
    TermDictionary second(std::move(first));
    EXPECT_EQ(second.lookup(u"A"), u"B");
    EXPECT_EQ(first.size(), 0u);
    first.set(u"C", u"D");
    EXPECT_EQ(first.lookup(u"C"), u"D");
    second = std::move(first);
    EXPECT_EQ(second.lookup(u"C"), u"D");
    EXPECT_EQ(second.lookup(u"A"), u"");
    EXPECT_EQ(first.size(), 0u);
    EXPECT_EQ(first.lookup(u"C"), u"");
}

// Tens of thousands of terms, many of them prefixes of one another and many
// entered again, against an ordered map: the table grows many times over.
TEST(TermDictionary, ManyTermsAnswerAsAnOrderedMapWould)
{
    TermDictionary dictionary;
    std::map<std::u16string, std::u16string> expected;
    std::mt19937 random(2026);
    const std::u16string alphabet = u"ab\u62C9\u4F38\uFFFF_1";
    auto randomText = [&](size_t maxLength) {
        std::u16string text;
        for (size_t length = random() % (maxLength + 1); length > 0; --length)
            text += alphabet[random() % alphabet.size()];
        return text;
    };
    for (int i = 0; i < 40000; ++i) {
        const std::u16string term = randomText(6);
        const std::u16string counterpart = randomText(12);
        dictionary.set(term, counterpart);
        expected[term] = counterpart;
    }
    EXPECT_EQ(dictionary.size(), expected.size());
    for (const auto& [term, counterpart] : expected)
        ASSERT_EQ(dictionary.lookup(term), counterpart);
    for (int i = 0; i < 10000; ++i) {
        const std::u16string term = randomText(8);
        const auto found = expected.find(term);
        ASSERT_EQ(dictionary.lookup(term), found == expected.end() ? u"" : found->second);
    }
}

// "terma", "termb", ... "termz", "termax", ...: every number its own term.
std::u16string numberedTerm(int i)
{
    return u"term" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
           std::u16string(static_cast<size_t>(i / 26), u'x');
}

TEST(TermDictionary, ATableReservedForMoreTermsThanItGetsAnswersAsOneThatGrew)
{
    TermDictionary reserved;
    reserved.reserve(100000);
    TermDictionary grown;
    for (int i = 0; i < 5000; ++i) {
        const std::u16string term = numberedTerm(i);
        reserved.set(term, term + u"'");
        grown.set(term, term + u"'");
    }
    // Reserving afterwards, for fewer or more, keeps what was entered.
    reserved.reserve(10);
    reserved.reserve(300000);
    EXPECT_EQ(reserved.size(), grown.size());
    for (int i = 0; i < 5000; i += 7) {
        const std::u16string term = numberedTerm(i);
        ASSERT_EQ(reserved.lookup(term), grown.lookup(term));
        ASSERT_EQ(reserved.lookup(term), term + u"'");
    }
    EXPECT_EQ(reserved.lookup(u"term"), u"");
}

TEST(TermDictionary, MarksStayWithTheirTermWhateverItsCounterpartBecomes)
{
    TermDictionary dictionary;
    dictionary.addMarks(u"A", 1); // not entered: takes none
    EXPECT_EQ(dictionary.marks(u"A"), 0);
    dictionary.set(u"A", u"B");
    dictionary.set(u"B", u"A");
    EXPECT_EQ(dictionary.marks(u"A"), 0);
    dictionary.addMarks(u"A", 1);
    dictionary.addMarks(u"B", 2);
    dictionary.addMarks(u"B", 1);
    dictionary.set(u"A", u"a much longer counterpart than before");
    dictionary.set(u"A", u"C");
    EXPECT_EQ(dictionary.marks(u"A"), 1);
    EXPECT_EQ(dictionary.marks(u"B"), 3);
    EXPECT_EQ(dictionary.lookup(u"A"), u"C");
    EXPECT_EQ(dictionary.marks(u"C"), 0);
    dictionary.reserve(1000);
    EXPECT_EQ(dictionary.marks(u"A"), 1);
    EXPECT_EQ(dictionary.marks(u"B"), 3);
}

TEST(TermDictionary, APairEnteredAtOnceIsAsTwoSets)
{
    TermDictionary paired;
    TermDictionary set;
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"A", u"B"}, {u"Same", u"Same"}, {u"B", u"C"}, {u"A", u"a longer counterpart"}, {u"", u"empty"}};
    for (const auto& [first, second] : rows) {
        paired.setPair(first, second, 1, 2);
        set.set(first, second, 1);
        set.set(second, first, 2);
    }
    EXPECT_EQ(paired.size(), set.size());
    for (const auto& [first, second] : rows)
        for (const std::u16string& term : {first, second}) {
            EXPECT_EQ(paired.lookup(term), set.lookup(term));
            EXPECT_EQ(paired.marks(term), set.marks(term));
        }
}

// A pair's two texts are stored once for both of its terms: whatever is set
// again later, as pairs or one way, no term or counterpart is written over.
TEST(TermDictionary, PairsAndSetsMixedAnswerAsAnOrderedMapWould)
{
    TermDictionary dictionary;
    std::map<std::u16string, std::pair<std::u16string, uint8_t>> expected;
    std::mt19937 random(20261211);
    const std::u16string alphabet = u"ab\u62C9\u4F38_";
    auto randomText = [&](size_t maxLength) {
        std::u16string text;
        for (size_t length = random() % (maxLength + 1); length > 0; --length)
            text += alphabet[random() % alphabet.size()];
        return text;
    };
    auto setExpected = [&](const std::u16string& term, const std::u16string& counterpart, uint8_t marks) {
        auto& [value, termMarks] = expected[term];
        value = counterpart;
        termMarks |= marks;
    };
    for (int i = 0; i < 30000; ++i) {
        const std::u16string first = randomText(5);
        const std::u16string second = random() % 10 == 0 ? first : randomText(7);
        if (random() % 4 == 0) {
            dictionary.set(first, second, 1);
            setExpected(first, second, 1);
        } else {
            dictionary.setPair(first, second, 1, 2);
            setExpected(first, second, 1);
            setExpected(second, first, 2);
        }
    }
    EXPECT_EQ(dictionary.size(), expected.size());
    for (const auto& [term, value] : expected) {
        ASSERT_EQ(dictionary.lookup(term), value.first);
        ASSERT_EQ(dictionary.marks(term), value.second);
    }
}

} // namespace
