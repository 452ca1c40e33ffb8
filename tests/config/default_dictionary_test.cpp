// The shipped dictionary: the workbook that the build puts beside the module
// holds exactly the pairs of config/terms.txt, and the loader enters them in
// both directions.
#include "workbook_loader.h"

#include "code_page.h"
#include "module_file.h"
#include "startup.h"
#include "text.h"
#include "translate_name.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>

namespace {

struct Pair {
    std::u16string english;
    std::u16string chinese;
};

std::vector<Pair> termsFile()
{
    std::ifstream file(PELMORA_SOURCE_DIR "/config/terms.txt", std::ios::binary);
    EXPECT_TRUE(file) << "config/terms.txt";
    std::vector<Pair> pairs;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        EXPECT_NE(tab, std::string::npos) << line;
        pairs.push_back({xl::utf8ToUtf16(line.substr(0, tab)), xl::utf8ToUtf16(line.substr(tab + 1))});
    }
    return pairs;
}

TEST(DefaultDictionary, TheWorkbookHoldsExactlyThePairsOfTheTermsFile)
{
    std::vector<Pair> pairs = termsFile();
    ASSERT_GE(pairs.size(), 60u);
    TermDictionary dictionary;
    const WorkbookRead read =
        readDictionaryWorkbook(dictionary, workbookPathBeside(ownModulePath()), kStartMarker, kEndMarker);
    EXPECT_EQ(read.status, WorkbookStatus::Loaded) << read.openError;
    EXPECT_EQ(read.pairsEntered, static_cast<int>(pairs.size()));
    EXPECT_EQ(dictionary.size(), 2 * pairs.size());
    for (const Pair& pair : pairs) {
        EXPECT_EQ(dictionary.lookup(pair.english), pair.chinese) << xl::utf16ToUtf8(pair.english);
        EXPECT_EQ(dictionary.lookup(pair.chinese), pair.english) << xl::utf16ToUtf8(pair.chinese);
    }
}

TEST(DefaultDictionary, EveryTermIsOneTokenThatANameCanStartWith)
{
    std::set<std::u16string> seen;
    for (const Pair& pair : termsFile()) {
        for (const std::u16string& term : {pair.english, pair.chinese}) {
            EXPECT_TRUE(seen.insert(term).second) << "twice: " << xl::utf16ToUtf8(term);
            EXPECT_EQ(term.find_first_of(u"0123456789_\t"), std::u16string::npos) << xl::utf16ToUtf8(term);
            // A blank only between words, as in "Miter Flange".
            EXPECT_FALSE(term.starts_with(u' ') || term.ends_with(u' ') || term.find(u"  ") != std::u16string::npos)
                << xl::utf16ToUtf8(term);
        }
    }
}

// Hyphens, blanks between words and brackets included, every term swaps in
// both forms of name that the plug-in knows, and back.
TEST(DefaultDictionary, EveryTermSwapsInANameWithANumber)
{
    IN_CODE_PAGE(936);
    TermDictionary dictionary;
    readDictionaryWorkbook(dictionary, workbookPathBeside(ownModulePath()), kStartMarker, kEndMarker);
    NameTranslator translator{NamingRule(dictionary)};
    const std::string sketch = *wideToNarrowExact(u"\u8349\u56FE");
    for (const Pair& pair : termsFile()) {
        const std::optional<std::string> english = wideToNarrowExact(pair.english);
        const std::optional<std::string> chinese = wideToNarrowExact(pair.chinese);
        ASSERT_TRUE(english && chinese) << xl::utf16ToUtf8(pair.chinese);
        EXPECT_EQ(translator.translate(*english + "12"), *chinese + "12") << *english;
        EXPECT_EQ(translator.translate(*chinese + "3"), *english + "3") << *english;
        EXPECT_EQ(translator.translate(*english + "4_Sketch"), *chinese + "4_" + sketch) << *english;
    }
}

} // namespace
