// The analysis behind `pelmora-dict merge`: what each filled-in pair comes
// to against a dictionary, and the merged workbook, which loads with the old
// pairs and the added ones and gives check nothing new to warn about.
#include "dictionary_merge.h"

#include "utf8.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::vector<fixture::FixtureCell>>;

xl::BookHandle book(const std::string& bytes)
{
    std::string error;
    xl::BookHandle opened = openWorkbookBytes(bytes, u"book.xlsx", error);
    EXPECT_TRUE(opened) << error;
    return opened;
}

const Rows kConfig = {{"Pelmora terms"}, {"KQ_FILE_START"}, {"Sketch", "草图"}, {"Extrude", "拉伸"},
                      {"KQ_FILE_END"}, {"notes", "stay below"}};

struct Expected {
    const char* first;
    const char* outcome;  // "added" or the code
};

TEST(DictionaryMerge, EachFilledPairIsAddedSkippedOrRefusedWithItsReason)
{
    const Rows filled = {{"English", "Chinese", "Names"},
                         {"KQ_FILE_START"},
                         {"Boss", "凸台", 3},
                         {"Sketch", "草图", 2},
                         {"Extrude", "挤出"},
                         {"Rib"},
                         {"Hole", "孔"},
                         {"Boss", "凸台"},
                         {"Bore", "孔"},
                         {"孔位", "Hole pattern"},
                         {"Loft", "Loft"},
                         {"Cut2", "切除2"},
                         {"草图", "Sketch"},
                         {"KQ_FILE_END"}};
    const xl::BookHandle config = book(fixture::makeXlsx(kConfig));
    const xl::BookHandle filledBook = book(fixture::makeXlsx(filled));
    const MergePlan plan = planMerge(*config, *filledBook);

    std::vector<std::pair<std::string, std::string>> outcomes;
    for (const MergePair& pair : plan.added)
        outcomes.emplace_back(xl::utf16ToUtf8(pair.first), "added");
    for (const auto* list : {&plan.skipped, &plan.refused})
        for (const MergeOutcome& outcome : *list)
            outcomes.emplace_back(xl::utf16ToUtf8(outcome.pair.first), outcome.code);
    std::sort(outcomes.begin(), outcomes.end());
    std::vector<std::pair<std::string, std::string>> expected = {
        {"Boss", "added"},          {"Boss", "repeated"},        {"Bore", "conflict"},
        {"Cut2", "unmatchable-term"}, {"Extrude", "conflict"},   {"Hole", "added"},
        {"Loft", "same-term"},      {"Sketch", "already-there"}, {"孔位", "columns-reversed"},
        {"草图", "already-there"}};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(outcomes, expected);
    EXPECT_EQ(plan.insertBefore(), 4);
    for (const MergeOutcome& refused : plan.refused)
        if (refused.code == "conflict" && refused.pair.first == u"Bore") {
            EXPECT_NE(refused.why.find("this merge (from row 7)"), std::string::npos) << refused.why;
        }
}

TEST(DictionaryMerge, TheMergedWorkbookLoadsWithTheOldAndNewPairsAndNoNewWarning)
{
    const std::string configBytes = fixture::makeXlsx(kConfig);
    const xl::BookHandle config = book(configBytes);
    const xl::BookHandle filled =
        book(fixture::makeXlsx({{"KQ_FILE_START"}, {"Boss", "凸台"}, {"Hole", "孔"}, {"KQ_FILE_END"}}));
    const MergePlan plan = planMerge(*config, *filled);
    ASSERT_EQ(plan.added.size(), 2u);
    const std::string merged = mergedWorkbook(configBytes, plan);
    EXPECT_EQ(verifyMerged(merged, plan), "");

    const xl::BookHandle result = book(merged);
    const CheckReport before = checkWorkbook(*config);
    const CheckReport after = checkWorkbook(*result);
    EXPECT_EQ(after.load.read.pairsEntered, 4);
    EXPECT_EQ(after.warnings.size(), before.warnings.size());
    xl::Sheet* sheet = result->getSheet(0);
    EXPECT_EQ(xl::utf16ToUtf8(sheet->readStr(6, 0)), "KQ_FILE_END");
    EXPECT_EQ(xl::utf16ToUtf8(sheet->readStr(7, 1)), "stay below");

    // A plan that the workbook does not bear out is caught before anything is written.
    MergePlan wrong = plan;
    wrong.added.pop_back();
    EXPECT_NE(verifyMerged(merged, wrong), "");
}

} // namespace
