// The translation pass against the simulated host: every entry written once,
// in order; odd listings and names that do not fit their buffer.
#include "history_pass.h"
#include "translate_name.h"

#include "code_page.h"
#include "sim_test.h"

#include <gtest/gtest.h>

namespace {

namespace sim = ostrelsim;

class HistoryPass : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        dictionary.set(u"Extrude", u"Boss");
        dictionary.set(u"Boss", u"Extrude");
        dictionary.set(u"Sketch", u"Profile");
        dictionary.set(u"Profile", u"Sketch");
    }
    TermDictionary dictionary;
};

TEST_F(HistoryPass, EveryEntryIsWrittenOnceInListOrder)
{
    int32_t part = addPart("P", {"Sketch1", "Extrude1_Sketch", "Fillet1", "Default CSYS"});
    translateActivePart(dictionary);
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Profile1", "Boss1_Profile", "Fillet1", std::string(kDefaultCsysChinese)}));
    std::vector<std::string> written;
    for (const sim::Call& call : callsTo("hostSetEntityName"))
        written.push_back(call.subject);
    EXPECT_EQ(written, historyNames(part));
    EXPECT_EQ(callTrace({"hostListHistory", "hostFreeMemory"}),
              (std::vector<std::string>{"hostListHistory /P", "hostFreeMemory"}));
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

TEST_F(HistoryPass, OddListingsReadAsEmptyAndAreStillReleased)
{
    struct Case {
        sim::Listing listing;
        std::vector<std::string> history;
    };
    const Case cases[] = {
        {sim::Listing::True, {}},
        {sim::Listing::NegativeCount, {"Sketch1"}},
        {sim::Listing::NullArray, {"Sketch1"}},
    };
    for (const Case& c : cases) {
        sim::reset();
        int32_t part = addPart("P", c.history);
        sim::setListing("hostListHistory", c.listing);
        translateActivePart(dictionary);
        EXPECT_TRUE(callsTo("hostGetEntityName").empty());
        EXPECT_TRUE(callsTo("hostSetEntityName").empty());
        EXPECT_EQ(callsTo("hostFreeMemory").size(), 1u);
        EXPECT_EQ(sim::outstandingArrays(), 0u);
        EXPECT_EQ(historyNames(part), c.history);
    }
}

TEST_F(HistoryPass, AFailedListingIsAnEmptyList)
{
    addPart("P", {"Sketch1"});
    sim::failCall("hostListHistory", 0, -9);
    EXPECT_EQ(translateActivePart(dictionary), 0);
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    EXPECT_EQ(callsTo("hostFreeMemory").size(), 1u);
}

TEST_F(HistoryPass, ANameThatCannotBeReadIsNotWritten)
{
    int32_t part = addPart("P", {"Sketch1", "Sketch2"});
    sim::failCall("hostGetEntityName", 1, -9);
    translateActivePart(dictionary);
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Profile2"}));
}

TEST_F(HistoryPass, NamesOfEveryLengthAroundTheBufferAreReadWhole)
{
    for (size_t length : {126u, 127u, 128u, 200u, 255u, 256u, 1000u, 40000u}) {
        sim::reset();
        std::string name = "Sketch1_" + std::string(length - 8, 'x');
        int32_t part = addPart("P", {name, "Sketch2"});
        translateActivePart(dictionary);
        EXPECT_EQ(historyNames(part), (std::vector<std::string>{name, "Profile2"})) << length;
        ASSERT_EQ(readEntityName(sim::history(part)[0]), name) << length;
    }
}

TEST_F(HistoryPass, ALongNameIsTranslatedWhole)
{
    std::string rest(300, 'y');
    int32_t part = addPart("P", {"Extrude3_" + rest});
    dictionary.set(u"Extrude", u"Boss");
    dictionary.set(std::u16string(300, u'y'), u"Short");
    translateActivePart(dictionary);
    EXPECT_EQ(historyNames(part)[0], "Boss3_Short");
}

TEST_F(HistoryPass, ANameThatNeverEndsIsLeftAsItIs)
{
    int32_t part = addPart("P", {"Sketch1", "Extrude2"});
    sim::setNamesWithoutNul(true);
    translateActivePart(dictionary);
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Extrude2"}));
    // The reads stop at 64 KiB.
    for (const sim::Call& call : callsTo("hostGetEntityName"))
        EXPECT_LE(call.values[1], 64 * 1024);
}

TEST_F(HistoryPass, UnchangedNamesAreWrittenBackByteForByte)
{
    IN_CODE_PAGE(936);
    const std::vector<std::string> names = {"Hole\xFF" "1", "\x81", "Fillet1_\xB4", ""};
    int32_t part = addPart("P", names);
    translateActivePart(dictionary);
    EXPECT_EQ(historyNames(part), names);
    EXPECT_EQ(callsTo("hostSetEntityName").size(), names.size());
}

} // namespace
