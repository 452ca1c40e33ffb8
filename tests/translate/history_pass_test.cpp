// The translation pass against the simulated host: every entry written once,
// in order, after every name is read; odd listings and names that do not fit
// their buffer; a history that the run already left behind; names whose
// counterparts the code page cannot hold.
#include "history_pass.h"
#include "translate_name.h"

#include "code_page.h"
#include "sim_test.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>

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
    // One pass, as the first of a run.
    int pass()
    {
        RunMemory run;
        return translateActivePart(dictionary, run);
    }
    TermDictionary dictionary;
};

TEST_F(HistoryPass, EveryEntryIsWrittenOnceInListOrder)
{
    int32_t part = addPart("P", {"Sketch1", "Extrude1_Sketch", "Fillet1", "Default CSYS"});
    pass();
    // The Chinese coordinate-system name where the code page holds it.
    const std::string csys = currentCodePage() == 936 ? std::string(kDefaultCsysChinese936) : "Default CSYS";
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Profile1", "Boss1_Profile", "Fillet1", csys}));
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
        pass();
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
    EXPECT_EQ(pass(), 0);
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    EXPECT_EQ(callsTo("hostFreeMemory").size(), 1u);
}

TEST_F(HistoryPass, ANameThatCannotBeReadIsNotWritten)
{
    int32_t part = addPart("P", {"Sketch1", "Sketch2"});
    sim::failCall("hostGetEntityName", 1, -9);
    pass();
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Profile2"}));
}

TEST_F(HistoryPass, NamesOfEveryLengthAroundTheBufferAreReadWhole)
{
    for (size_t length : {126u, 127u, 128u, 200u, 255u, 256u, 1000u, 40000u}) {
        sim::reset();
        std::string name = "Sketch1_" + std::string(length - 8, 'x');
        int32_t part = addPart("P", {name, "Sketch2"});
        pass();
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
    pass();
    EXPECT_EQ(historyNames(part)[0], "Boss3_Short");
}

TEST_F(HistoryPass, ANameThatNeverEndsIsLeftAsItIs)
{
    int32_t part = addPart("P", {"Sketch1", "Extrude2"});
    sim::setNamesWithoutNul(true);
    pass();
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
    pass();
    EXPECT_EQ(historyNames(part), names);
    EXPECT_EQ(callsTo("hostSetEntityName").size(), names.size());
}

TEST_F(HistoryPass, EveryNameIsReadBeforeAnyIsWritten)
{
    addPart("P", {"Sketch1", "Extrude1_Sketch", "Fillet1"});
    pass();
    EXPECT_EQ(callTrace({"hostGetEntityName", "hostSetEntityName"}),
              (std::vector<std::string>{"hostGetEntityName", "hostGetEntityName", "hostGetEntityName",
                                        "hostSetEntityName Profile1", "hostSetEntityName Boss1_Profile",
                                        "hostSetEntityName Fillet1"}));
}

// The run remembers what each pass left; a pass that finds exactly that
// again writes nothing, and one that finds anything else translates.
TEST_F(HistoryPass, AHistoryThatTheRunLeftBehindIsLeftAlone)
{
    int32_t part = addPart("P", {"Sketch1", "Fillet1"});
    RunMemory run;
    translateActivePart(dictionary, run);
    ASSERT_EQ(historyNames(part), (std::vector<std::string>{"Profile1", "Fillet1"}));
    sim::clearCalls();
    translateActivePart(dictionary, run);
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Profile1", "Fillet1"}));

    // Another run knows nothing of the first.
    RunMemory next;
    translateActivePart(dictionary, next);
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Fillet1"}));
}

TEST_F(HistoryPass, ANameTheHostRefusedCountsAsItsOldOneInWhatTheRunRemembers)
{
    int32_t part = addPart("P", {"Sketch1", "Sketch2"});
    RunMemory run;
    sim::failCall("hostSetEntityName", 1, -13);
    translateActivePart(dictionary, run);
    ASSERT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Profile2"}));
    sim::clearCalls();
    translateActivePart(dictionary, run);
    EXPECT_TRUE(callsTo("hostSetEntityName").empty()) << "Profile2 would be swapped back";
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Profile2"}));
}

TEST(HistoryDigest, TellsHistoriesApartByEveryIdNameAndBoundary)
{
    using Names = std::vector<std::optional<std::string>>;
    struct Case {
        const char* what;
        std::vector<int32_t> ids;
        Names names;
    };
    const Case cases[] = {
        {"empty", {}, {}},
        {"one", {1}, {"Sketch1"}},
        {"another id", {2}, {"Sketch1"}},
        {"another name", {1}, {"Sketch2"}},
        {"unreadable", {1}, {std::nullopt}},
        {"empty name", {1}, {""}},
        {"two", {1, 2}, {"ab", "c"}},
        {"boundary moved", {1, 2}, {"a", "bc"}},
        {"order", {2, 1}, {"c", "ab"}},
        {"negative id", {-1}, {"Sketch1"}},
    };
    for (const Case& a : cases)
        for (const Case& b : cases)
            EXPECT_EQ(digestHistory(a.ids, a.names) == digestHistory(b.ids, b.names), &a == &b)
                << a.what << " / " << b.what;
}

struct NotWritableCase {
    int codePage;
    const char* what;
    std::u16string counterpart;
};

class NamesNotWritable : public HistoryPass, public ::testing::WithParamInterface<NotWritableCase> {};

// A counterpart that the code page cannot hold exactly leaves the whole name
// as it was read, and is counted; the other names are translated.
TEST_P(NamesNotWritable, LeaveTheNameAsItWasAndAreCounted)
{
    IN_CODE_PAGE(GetParam().codePage);
    dictionary.set(u"Hole", GetParam().counterpart);
    const std::vector<std::string> names = {"Hole1", "Sketch2", "Extrude3_Hole", "Hole4_Sketch"};
    int32_t part = addPart("P", names);
    RunMemory run;
    translateActivePart(dictionary, run);
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Hole1", "Profile2", "Extrude3_Hole", "Hole4_Sketch"}));
    EXPECT_EQ(run.namesNotWritable(), 3u);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, NamesNotWritable,
    ::testing::Values(NotWritableCase{1252, "Chinese", u"\u5B54"},
                      NotWritableCase{1252, "best fit: Windows would write A", u"\u0100bc"},
                      NotWritableCase{1252, "beyond the BMP", u"\U0001D538"},
                      NotWritableCase{936, "sharp s", u"Gr\u00F6\u00DFe"},
                      NotWritableCase{936, "beyond the BMP", u"\U00020BB7x"},
                      NotWritableCase{936, "lone surrogate", u"\xD800x"}),
    [](const auto& info) {
        std::string name = std::to_string(info.param.codePage) + "_" + info.param.what;
        for (char& c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

} // namespace
