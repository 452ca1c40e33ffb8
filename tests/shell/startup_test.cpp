// Start-up and shut-down: where the workbook is looked for, and that the
// command is registered whatever became of it.
#include "startup.h"

#include "module_file.h"
#include "native_path.h"
#include "sim_test.h"

#include <gtest/gtest.h>

namespace {

namespace sim = ostrelsim;

using fixture::nativePath;

TEST(WorkbookPath, TheWorkbookLiesInTheModulesDirectory)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\a\\b\\Pelmora.dll", u"C:\\a\\b\\PelmoraConfig.xlsx"},
        {u"C:\\Pelmora.dll", u"C:\\PelmoraConfig.xlsx"},
        {u"Pelmora.dll", u"Pelmora.dll\\PelmoraConfig.xlsx"},
        {u"", u"\\PelmoraConfig.xlsx"},
        // Taken from the wide path: nothing the code page cannot hold is lost.
        {u"D:\\\u63D2\u4EF6\\\u00E9t\u00E9\\Pelmora.dll", u"D:\\\u63D2\u4EF6\\\u00E9t\u00E9\\PelmoraConfig.xlsx"},
    };
    for (const auto& [module, workbook] : cases)
        EXPECT_EQ(workbookPathBeside(nativePath(module)), nativePath(workbook));
}

TEST(WorkbookPath, ALongModulePathKeepsItsWholeDirectory)
{
    std::u16string directory = nativePath(u"C:\\" + std::u16string(300, u'd') + u"\\" + std::u16string(100, u'e'));
    EXPECT_EQ(workbookPathBeside(directory + kPathSeparator + u"Pelmora.dll"),
              directory + kPathSeparator + u"PelmoraConfig.xlsx");
}

class Startup : public SimTest {};

int32_t (*const kHandler)() = [] { return int32_t{0}; };

TEST_F(Startup, TheCommandsAreRegisteredAndUnregisteredAtTheEnd)
{
    EXPECT_EQ(startModule({kHandler, kHandler, kHandler, kHandler}), 0);
    EXPECT_EQ(sim::registeredCommands(),
              (std::vector<std::string>{"PelmoraSwap", "PelmoraToChinese", "PelmoraToEnglish", "PelmoraReport"}));
    EXPECT_EQ(callTrace({"hostRegisterCommand"}),
              (std::vector<std::string>{"hostRegisterCommand PelmoraSwap", "hostRegisterCommand PelmoraToChinese",
                                        "hostRegisterCommand PelmoraToEnglish", "hostRegisterCommand PelmoraReport"}));
    EXPECT_EQ(stopModule(), 0);
    EXPECT_TRUE(sim::registeredCommands().empty());
    EXPECT_EQ(callTrace({"hostUnregisterCommand"}),
              (std::vector<std::string>{"hostUnregisterCommand PelmoraSwap", "hostUnregisterCommand PelmoraToChinese",
                                        "hostUnregisterCommand PelmoraToEnglish",
                                        "hostUnregisterCommand PelmoraReport"}));
}

// A refusal stops nothing: each command is still offered to the host, and
// taken back, after the host refused the one before it.
TEST_F(Startup, HostRefusalsChangeNothingForTheCaller)
{
    sim::failCall("hostRegisterCommand", 0, -1);
    sim::failCall("hostUnregisterCommand", 0, -1);
    sim::failCall("hostDisplayMessage", 0, -1);
    EXPECT_EQ(startModule({kHandler, kHandler, kHandler, kHandler}), 0);
    EXPECT_EQ(stopModule(), 0);
    EXPECT_EQ(callTrace({"hostRegisterCommand", "hostUnregisterCommand"}),
              (std::vector<std::string>{"hostRegisterCommand PelmoraSwap", "hostRegisterCommand PelmoraToChinese",
                                        "hostRegisterCommand PelmoraToEnglish", "hostRegisterCommand PelmoraReport",
                                        "hostUnregisterCommand PelmoraSwap", "hostUnregisterCommand PelmoraToChinese",
                                        "hostUnregisterCommand PelmoraToEnglish",
                                        "hostUnregisterCommand PelmoraReport"}));
    for (const auto& call : callsTo("hostRegisterCommand"))
        EXPECT_EQ(call.status, -1) << "the host refused " << call.subject;
}

} // namespace
