// The zip a user gets: it unpacks into one folder named after it, which holds
// the module, the workbook, the guides in English and Chinese (as Notepad
// reads them best) and the checker, and the module runs from there as the
// host would load it.
#include "code_page.h"
#include "plugin_module.h"
#include "program_folder.h"
#include "sim_test.h"
#include "text.h"
#include "utf8.h"
#include "xlsx/zip_archive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

namespace sim = ostrelsim;
namespace fs = std::filesystem;

class Package : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        folder_ = fs::temp_directory_path() / "pelmora package test";
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(fs::temp_directory_path() / "pelmora package test", ignored);
        SimTest::TearDown();
    }
    // The names of the zip's files within its one folder, after writing each into folder_.
    std::set<std::string> unpack()
    {
        std::ifstream file(PELMORA_PACKAGE_FILE, std::ios::binary);
        EXPECT_TRUE(file) << PELMORA_PACKAGE_FILE;
        std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        xl::ZipArchive zip;
        std::string error;
        EXPECT_TRUE(zip.open(bytes, error)) << error;
        std::set<std::string> names;
        for (const xl::ZipArchive::Entry& entry : zip.entries()) {
            if (entry.name.ends_with('/'))
                continue;
            std::string data;
            EXPECT_TRUE(zip.read(entry, data, error)) << error;
            fs::path target = folder_ / fs::path(entry.name);
            fs::create_directories(target.parent_path());
            std::ofstream(target, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
            fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
            const std::string top = PELMORA_PACKAGE_FOLDER "/";
            EXPECT_TRUE(entry.name.starts_with(top)) << entry.name;
            names.insert(entry.name.substr(entry.name.starts_with(top) ? top.size() : 0));
        }
        folder_ /= PELMORA_PACKAGE_FOLDER;
        return names;
    }
    fs::path folder_;
};

TEST_F(Package, HoldsThePlugInItsWorkbookTheGuidesAndTheChecker)
{
    EXPECT_EQ(unpack(), (std::set<std::string>{PELMORA_MODULE_FILE_NAME, "PelmoraConfig.xlsx", "USER-GUIDE.txt",
                                               "USER-GUIDE.zh-CN.txt", "check/" PELMORA_DICT_FILE_NAME}));
}

TEST_F(Package, TheGuidesCoverTheSameGroundAndOpenInNotepadAsUtf8WithTheirLines)
{
    unpack();
    auto read = [&](const char* name) {
        std::ifstream file(folder_ / name, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    };
    const std::string english = read("USER-GUIDE.txt");
    const std::string chinese = read("USER-GUIDE.zh-CN.txt");
    // The byte-order mark tells Notepad that the file is UTF-8; older Notepad
    // shows lines ended by LF alone as one line.
    for (const std::string* guide : {&english, &chinese}) {
        EXPECT_EQ(guide->substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(guide->find("\xEF\xBB\xBF", 3), std::string::npos);
        EXPECT_TRUE(xl::isValidUtf8(*guide));
        for (size_t at = guide->find('\n'); at != std::string::npos; at = guide->find('\n', at + 1))
            ASSERT_EQ((*guide)[at - 1], '\r') << "a line end without CR at byte " << at;
    }
    EXPECT_NE(chinese.find("\xE7\x94\xA8\xE6\x88\xB7\xE6\x8C\x87\xE5\x8D\x97"), std::string::npos) << "用户指南";
    for (const char* mentioned : {"PelmoraSwap", "PelmoraToChinese", "PelmoraToEnglish", "KQ_FILE_START", "KQ_FILE_END",
                                  "pelmora-dict check", "pelmora-dict preview", "pelmora-dict dump", "--strict", "--json",
                                  "PelmoraReport", "pelmora-dict merge", "--in-place",
                                  "Beta", "UTF-8", "936", "1252"}) {
        EXPECT_NE(english.find(mentioned), std::string::npos) << "USER-GUIDE.txt: " << mentioned;
        EXPECT_NE(chinese.find(mentioned), std::string::npos) << "USER-GUIDE.zh-CN.txt: " << mentioned;
    }
}

#if defined(_WIN32)
TEST_F(Package, IsSmallBecauseItsBinariesAreStripped)
{
    // With their debug information the binaries zip to more than 7 MB;
    // stripped, with the report's workbook writer and the checker's merge,
    // to about 1.6 MB.
    EXPECT_LT(fs::file_size(PELMORA_PACKAGE_FILE), 2048u * 1024u);
}
#endif

TEST_F(Package, TheUnpackedPlugInLoadsItsWorkbookAndSwapsNames)
{
    unpack();
    int32_t root = addPart("Housing", {"Sketch1", "Default CSYS", "Lid"});
    {
        ostrelsim::PluginModule module(folder_ / PELMORA_MODULE_FILE_NAME);
        ASSERT_TRUE(module.loaded());
        EXPECT_EQ(module.entry("PelmoraInit")(), 0);
        EXPECT_TRUE(sim::messages().empty());
        ASSERT_TRUE(sim::runCommand("PelmoraSwap"));
        EXPECT_EQ(historyNames(root),
                  (std::vector<std::string>{wideToNarrowExact(u"\u8349\u56FE1").value_or("Sketch1"),
                                            wideToNarrowExact(u"\u9ED8\u8BA4CSYS").value_or("Default CSYS"), "Lid"}));
        EXPECT_EQ(module.entry("PelmoraExit")(), 0);
    }
    EXPECT_FALSE(sim::isRegistered("PelmoraSwap"));
}

TEST_F(Package, TheUnpackedCheckerAcceptsTheShippedWorkbook)
{
    unpack();
    fs::path checker = folder_ / "check" / PELMORA_DICT_FILE_NAME;
    fs::path workbook = folder_ / "PelmoraConfig.xlsx";
    fs::path output = folder_ / "check.txt";
    std::string command = "\"\"" + checker.string() + "\" check \"" + workbook.string() + "\" > \"" +
                          output.string() + "\"\"";
#if !defined(_WIN32)
    command = command.substr(1, command.size() - 2);
#endif
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream report(output);
    std::string text{std::istreambuf_iterator<char>(report), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("The plug-in loads this workbook"), std::string::npos) << text;
}

} // namespace
