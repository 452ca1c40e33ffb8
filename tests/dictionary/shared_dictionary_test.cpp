// The plug-in's side of loading the dictionary: the process-wide table is
// filled, the result is 1 or 0, and only a workbook that cannot be opened is
// reported, once, at level 5, with the message's exact bytes.
#include "shared_dictionary.h"

#include "sim_test.h"
#include "temp_file.h"
#include "workbook_loader.h"
#include "zip_builder.h"

#include <gtest/gtest.h>

namespace {

namespace sim = ostrelsim;
using Rows = std::vector<std::vector<fixture::FixtureCell>>;

// "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。" in GBK.
const std::string kOpenFailedGbk =
    "\xB4\xF2\xBF\xAA" "Excel" "\xCA\xA7\xB0\xDC" "!\xD5\xD2\xB2\xBB\xB5\xBD" "dll"
    "\xCD\xAC\xBC\xB6\xC4\xBF\xC2\xBC\xCF\xC2\xB5\xC4" "PelmoraConfig.xlsx\xA1\xA3";

struct LoadCase {
    const char* label;
    std::string bytes;      // the file; none at all when empty
    const char* fileName;
    int result;
    bool reported;
};

void PrintTo(const LoadCase& loadCase, std::ostream* out) { *out << loadCase.label; }

class LoadDictionary : public SimTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadDictionary, ReportsOnlyAWorkbookThatCannotBeOpened)
{
    const LoadCase& loadCase = GetParam();
    std::u16string path = u"/no/such/folder/PelmoraConfig.xlsx";
    std::optional<fixture::TempFile> file;
    if (!loadCase.bytes.empty()) {
        file.emplace(loadCase.bytes, loadCase.fileName);
        path = file->path();
    }
    EXPECT_EQ(loadDictionary(path, kStartMarker, kEndMarker), loadCase.result);
    if (loadCase.reported) {
        ASSERT_EQ(sim::messages().size(), 1u);
        EXPECT_EQ(sim::messages()[0].level, 5);
        EXPECT_EQ(sim::messages()[0].text, kOpenFailedGbk);
    } else {
        EXPECT_TRUE(sim::messages().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Workbooks, LoadDictionary, testing::Values(
    LoadCase{"loaded", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}), "d.xlsx", 1, false},
    LoadCase{"no end marker", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"C", "D"}}), "d.xlsx", 0, false},
    LoadCase{"no start marker", fixture::makeXlsx({{"kq_file_start"}, {"A", "B"}, {"KQ_FILE_END"}}), "d.xlsx", 0,
             false},
    LoadCase{"missing", "", "", 0, true},
    LoadCase{"not a workbook", "this is not a zip", "PelmoraConfig.xlsx", 0, true},
    LoadCase{"an XML workbook named .xls", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}),
             "d.XLS", 0, true}));

TEST(SharedDictionary, KeepsWhatEachLoadEntered)
{
    fixture::TempFile first(fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "X"}, {"KQ_FILE_END"}}), "a.xlsx");
    fixture::TempFile second(fixture::makeXlsx({{"KQ_FILE_START"}, {"Hole", "Y"}, {"KQ_FILE_END"}}), "b.xlsx");
    EXPECT_EQ(loadDictionary(first.path(), kStartMarker, kEndMarker), 1);
    EXPECT_EQ(loadDictionary(second.path(), kStartMarker, kEndMarker), 1);
    EXPECT_EQ(sharedTermDictionary().lookup(u"Cut"), u"X");
    EXPECT_EQ(sharedTermDictionary().lookup(u"Y"), u"Hole");
}

} // namespace
