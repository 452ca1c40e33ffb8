// The plug-in's side of loading the dictionary: the process-wide table is
// filled, the result is 1 or 0, a workbook that cannot be opened is reported
// at level 5 (in code page 936 with the message's exact bytes, elsewhere in
// ASCII), with the reason when the file is there, and one that gives no pair
// at level 4.
#include "shared_dictionary.h"

#include "code_page.h"
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

const std::string kOpenFailedEnglish =
    "Opening Excel failed! Could not open PelmoraConfig.xlsx in the folder of the dll.";
const std::string kReason = "not a workbook that the plug-in can read: ";
const std::string kNoStartMarker =
    "PelmoraConfig.xlsx: no KQ_FILE_START in column A of the first sheet: no names will change.";
const std::string kNoPair = "PelmoraConfig.xlsx: no pair of terms after KQ_FILE_START in columns A and B of the "
                            "first sheet: no names will change.";

struct LoadCase {
    const char* label;
    std::string bytes;      // the file; none at all when empty
    const char* fileName;
    int result;
    enum { Silent, OpenFailed, OpenFailedWithReason, NoStartMarker, NoPair } shown;
};

void PrintTo(const LoadCase& loadCase, std::ostream* out) { *out << loadCase.label; }

class LoadDictionary : public SimTest, public testing::WithParamInterface<LoadCase> {};

// Natively in code page 936 and 1252 each; under Wine in the run's own.
TEST_P(LoadDictionary, SaysWhatBecameOfTheWorkbookInWordsTheHostCanShow)
{
    const LoadCase& loadCase = GetParam();
    for (int codePage : {936, 1252}) {
        CodePageScope scope(codePage);
        if (!scope.active())
            continue;
        sim::reset();
        std::u16string path = u"/no/such/folder/PelmoraConfig.xlsx";
        std::optional<fixture::TempFile> file;
        if (!loadCase.bytes.empty()) {
            file.emplace(loadCase.bytes, loadCase.fileName);
            path = file->path();
        }
        EXPECT_EQ(loadDictionary(path, kStartMarker, kEndMarker), loadCase.result);
        const std::vector<sim::Message> messages = sim::messages();
        const std::string openFailed = codePage == 936 ? kOpenFailedGbk : kOpenFailedEnglish;
        switch (loadCase.shown) {
        case LoadCase::Silent: EXPECT_TRUE(messages.empty()); break;
        case LoadCase::OpenFailed:
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].level, 5);
            EXPECT_EQ(messages[0].text, openFailed);
            break;
        case LoadCase::OpenFailedWithReason:
            ASSERT_EQ(messages.size(), 2u);
            EXPECT_EQ(messages[0].level, 5);
            EXPECT_EQ(messages[0].text, openFailed);
            EXPECT_EQ(messages[1].level, 5);
            EXPECT_EQ(messages[1].text.substr(0, kReason.size()), kReason);
            EXPECT_GT(messages[1].text.size(), kReason.size());
            break;
        case LoadCase::NoStartMarker:
        case LoadCase::NoPair:
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].level, 4);
            EXPECT_EQ(messages[0].text, loadCase.shown == LoadCase::NoPair ? kNoPair : kNoStartMarker);
            break;
        }
        if (codePage == 1252) {
            for (const sim::Message& message : messages)
                for (char c : message.text)
                    EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << message.text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Workbooks, LoadDictionary, testing::Values(
    LoadCase{"loaded", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}), "d.xlsx", 1,
             LoadCase::Silent},
    LoadCase{"no end marker", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"C", "D"}}), "d.xlsx", 0,
             LoadCase::Silent},
    LoadCase{"no start marker", fixture::makeXlsx({{"kq_file_start"}, {"A", "B"}, {"KQ_FILE_END"}}), "d.xlsx", 0,
             LoadCase::NoStartMarker},
    LoadCase{"a start marker in column B", fixture::makeXlsx({{"", "KQ_FILE_START"}, {"A", "B"}}), "d.xlsx", 0,
             LoadCase::NoStartMarker},
    LoadCase{"no pair", fixture::makeXlsx({{"KQ_FILE_START"}, {"A"}, {"KQ_FILE_END"}}), "d.xlsx", 1,
             LoadCase::NoPair},
    LoadCase{"no pair and no end marker", fixture::makeXlsx({{"KQ_FILE_START"}}), "d.xlsx", 0, LoadCase::NoPair},
    LoadCase{"missing", "", "", 0, LoadCase::OpenFailed},
    LoadCase{"not a workbook", "this is not a zip", "PelmoraConfig.xlsx", 0, LoadCase::OpenFailedWithReason},
    LoadCase{"an XML workbook named .xls", fixture::makeXlsx({{"KQ_FILE_START"}, {"A", "B"}, {"KQ_FILE_END"}}),
             "d.XLS", 0, LoadCase::OpenFailedWithReason}));

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
