// The built module, loaded as the host loads it: from a folder whose name the
// ANSI code page may not hold, with or without the workbook beside it. Start-up,
// a run of PelmoraSwap on a small assembly, and shut-down, through the
// module's exported entry points only.
#include "code_page.h"
#include "plugin_module.h"
#include "program_folder.h"
#include "sim_test.h"
#include "text.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace sim = ostrelsim;
namespace fs = std::filesystem;

// "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。" in GBK.
const std::string kOpenFailedGbk =
    "\xB4\xF2\xBF\xAA" "Excel" "\xCA\xA7\xB0\xDC" "!\xD5\xD2\xB2\xBB\xB5\xBD" "dll"
    "\xCD\xAC\xBC\xB6\xC4\xBF\xC2\xBC\xCF\xC2\xB5\xC4" "PelmoraConfig.xlsx\xA1\xA3";

// The module copied into `folder`, with the workbook beside it or not.
fs::path copyModule(const fs::path& folder, bool withWorkbook)
{
    fs::create_directories(folder);
    for (const char* file : {PELMORA_MODULE_FILE_NAME, "PelmoraConfig.xlsx"})
        if (withWorkbook || file != std::string("PelmoraConfig.xlsx"))
            fs::copy_file(testProgramFolder() / file, folder / file, fs::copy_options::overwrite_existing);
    return folder / PELMORA_MODULE_FILE_NAME;
}

// Removes a folder however long its path (Windows needs the \\?\ form past
// 260 characters).
void removeTree(const fs::path& folder)
{
    std::error_code ignored;
#if defined(_WIN32)
    fs::remove_all(fs::path(L"\\\\?\\" + fs::absolute(folder).wstring()), ignored);
#else
    fs::remove_all(folder, ignored);
#endif
}

class ModuleLoad : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = fs::temp_directory_path() / fs::path(u"pelmora \u63D2\u4EF6 \u00E9t\u00E9") / test;
        removeTree(folder_);
    }
    void TearDown() override
    {
        removeTree(folder_);
        SimTest::TearDown();
    }
    fs::path folder_;
};

TEST_F(ModuleLoad, StartsRunsTheCommandAndStops)
{
    IN_CODE_PAGE(936);
    auto gbk = [](const char16_t* text) { return wideToNarrow(text); };
    int32_t gearbox = addPart("Gearbox", {"Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"});
    int32_t shaft = addPart("Shaft", {gbk(u"\u65CB\u8F6C2"), "Fillet4"});
    int32_t key = addPart("Key", {gbk(u"\u62C9\u4F385_\u8349\u56FE"), "\xC4\xAC\xC8\xCF" "CSYS"});
    sim::addComponent(gearbox, shaft);
    sim::addComponent(shaft, key);

    {
        ostrelsim::PluginModule module(copyModule(folder_ / "with workbook", true));
        ASSERT_TRUE(module.loaded());
        ASSERT_NE(module.entry("PelmoraInit"), nullptr);
        EXPECT_EQ(module.entry("PelmoraInit")(), 0);
        EXPECT_TRUE(sim::messages().empty()) << sim::messages()[0].text;
        ASSERT_TRUE(sim::isRegistered("PelmoraSwap"));

        int32_t result = -1;
        ASSERT_TRUE(sim::runCommand("PelmoraSwap", &result));
        EXPECT_EQ(result, 0);
        EXPECT_EQ(historyNames(gearbox), (std::vector<std::string>{gbk(u"\u8349\u56FE1"),
                                                                   gbk(u"\u62C9\u4F381_\u8349\u56FE"),
                                                                   "\xC4\xAC\xC8\xCF" "CSYS", "Bracket7"}));
        EXPECT_EQ(historyNames(shaft), (std::vector<std::string>{"Revolve2", gbk(u"\u5706\u89D24")}));
        EXPECT_EQ(historyNames(key), (std::vector<std::string>{"Extrude5_Sketch", "Default CSYS"}));
        EXPECT_EQ(sim::sentCommands(), std::vector<std::string>{"$CdPlayAutoHist"});

        EXPECT_EQ(module.entry("PelmoraExit")(), 0);
        EXPECT_FALSE(sim::isRegistered("PelmoraSwap"));
        // The dictionary outlives shut-down: the handler still swaps back.
        EXPECT_EQ(module.entry("do_it")(), 0);
        EXPECT_EQ(historyNames(shaft), (std::vector<std::string>{gbk(u"\u65CB\u8F6C2"), "Fillet4"}));
    }
    EXPECT_EQ(sim::outstandingArrays(), 0u);
}

// The commands toward one language, through the host's registration only:
// a model in both languages comes out in one, and again the same.
TEST_F(ModuleLoad, TheCommandsTowardOneLanguageBringAMixedModelIntoIt)
{
    IN_CODE_PAGE(936);
    auto gbk = [](const char16_t* text) { return wideToNarrow(text); };
    const std::vector<std::string> mixed = {"Sketch1", gbk(u"\u62C9\u4F381_Sketch"), "Default CSYS", "Bracket7"};
    const std::vector<std::string> chinese = {gbk(u"\u8349\u56FE1"), gbk(u"\u62C9\u4F381_\u8349\u56FE"),
                                              "\xC4\xAC\xC8\xCF" "CSYS", "Bracket7"};
    const std::vector<std::string> english = {"Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"};
    ostrelsim::PluginModule module(copyModule(folder_ / "with workbook", true));
    ASSERT_TRUE(module.loaded());
    EXPECT_EQ(module.entry("PelmoraInit")(), 0);
    EXPECT_EQ(module.entry("toChinese"), nullptr) << "the handlers are not exported";
    for (const auto& [command, expected] :
         {std::pair{"PelmoraToChinese", &chinese}, std::pair{"PelmoraToEnglish", &english}}) {
        int32_t part = addPart(command, mixed);
        sim::setRoot(part);
        for (int run = 1; run <= 2; ++run) {
            int32_t result = -1;
            ASSERT_TRUE(sim::runCommand(command, &result)) << command;
            EXPECT_EQ(result, 0);
            EXPECT_EQ(historyNames(part), *expected) << command << " run " << run;
        }
    }
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
    EXPECT_TRUE(sim::registeredCommands().empty());
}

// PelmoraReport, through the host's registration only, in either setting:
// no name set, the report written beside the module's dictionary.
TEST_F(ModuleLoad, PelmoraReportIsRegisteredLastAndWritesItsReportBesideTheDictionary)
{
    const int32_t part = addPart("Bracket", {"Sketch1", "Knurl2_Sketch", "Default CSYS"});
    sim::setRoot(part);
    const std::filesystem::path folder = folder_ / "report";
    ostrelsim::PluginModule module(copyModule(folder, true));
    ASSERT_TRUE(module.loaded());
    EXPECT_EQ(module.entry("PelmoraInit")(), 0);
    EXPECT_EQ(sim::registeredCommands().back(), "PelmoraReport");
    int32_t result = -1;
    ASSERT_TRUE(sim::runCommand("PelmoraReport", &result));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Knurl2_Sketch", "Default CSYS"}));
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    size_t reports = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        reports += entry.path().filename().string().starts_with("PelmoraReport-") ? 1 : 0;
    EXPECT_EQ(reports, 1u);
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
    EXPECT_TRUE(sim::registeredCommands().empty());
}

TEST_F(ModuleLoad, InTheWesternSettingNamesWithChineseCounterpartsStayAsTheyAre)
{
    IN_CODE_PAGE(1252);
    int32_t part = addPart("Bracket", {"Sketch1", "Hole2_Sketch", "Default CSYS", "Rib"});
    // What earlier versions wrote for "Default CSYS" in every code page: it heals.
    int32_t damaged = addPart("Cover", {"\xC4\xAC\xC8\xCF" "CSYS", "Rib"});
    sim::addComponent(part, damaged);
    ostrelsim::PluginModule module(copyModule(folder_ / "western", true));
    ASSERT_TRUE(module.loaded());
    EXPECT_EQ(module.entry("PelmoraInit")(), 0);
    EXPECT_TRUE(sim::messages().empty());
    ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{"Sketch1", "Hole2_Sketch", "Default CSYS", "Rib"}));
    EXPECT_EQ(historyNames(damaged), (std::vector<std::string>{"Default CSYS", "Rib"}));
    ASSERT_EQ(sim::messages().size(), 1u);
    EXPECT_EQ(sim::messages()[0].level, 4);
    EXPECT_EQ(sim::messages()[0].text,
              "Pelmora: 3 names left unchanged: their counterparts cannot be written in code page 1252.");
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
}

TEST_F(ModuleLoad, FindsItsWorkbookAtTheEndOfAPathLongerThan255Characters)
{
    fs::path deep = folder_;
    while (deep.u16string().size() < 300)
        deep /= std::string(40, 'd');
    ostrelsim::PluginModule module(copyModule(deep, true));
    ASSERT_TRUE(module.loaded()) << deep.string().size();
    EXPECT_EQ(module.entry("PelmoraInit")(), 0);
    EXPECT_TRUE(sim::messages().empty()) << "the workbook was not found";
    int32_t part = addPart("P", {"Rib"});
    ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
    EXPECT_EQ(historyNames(part), std::vector<std::string>{"Rib"});
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
}

TEST_F(ModuleLoad, WithoutAWorkbookStartUpSaysSoOnceAndStillRegisters)
{
    ostrelsim::PluginModule module(copyModule(folder_ / "without workbook", false));
    ASSERT_TRUE(module.loaded());
    EXPECT_EQ(module.entry("PelmoraInit")(), 0);
    auto shown = sim::messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].level, 5);
    const bool chinese = currentCodePage() == 936;
    EXPECT_EQ(shown[0].text, chinese ? kOpenFailedGbk
                                     : "Opening Excel failed! Could not open PelmoraConfig.xlsx in the folder of the dll.");
    EXPECT_TRUE(sim::isRegistered("PelmoraSwap"));

    // An empty dictionary still swaps the coordinate system's names, where
    // the code page holds the Chinese one.
    int32_t part = addPart("P", {"Default CSYS", "Sketch1"});
    ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
    EXPECT_EQ(historyNames(part), (std::vector<std::string>{chinese ? "\xC4\xAC\xC8\xCF" "CSYS" : "Default CSYS", "Sketch1"}));
    EXPECT_EQ(module.entry("PelmoraExit")(), 0);
}

} // namespace
