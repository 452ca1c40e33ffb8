// New report files: a name that is taken gets the next number, no file is
// ever replaced, no temporary file is left, and a folder that cannot be
// written says why.
#include "report_file.h"

#include "temp_file.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;

std::u16string utf16(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return xl::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

std::set<std::string> filesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(ReportFile, TakenNamesGetTheNextNumberAndNoFileIsReplaced)
{
    const fixture::TempFile marker("kept", "PelmoraReport-20260102-030405.xlsx");
    const fs::path folder = fs::path(marker.path()).parent_path();
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 0;
    when.tm_mday = 2;
    when.tm_hour = 3;
    when.tm_min = 4;
    when.tm_sec = 5;
    const std::u16string stem = reportFileStem(when);
    EXPECT_EQ(stem, u"PelmoraReport-20260102-030405");

    const NewFile second = writeNewFile(utf16(folder), stem, u".xlsx", "second");
    ASSERT_TRUE(second.path) << second.error;
    EXPECT_EQ(*second.path, utf16(folder / "PelmoraReport-20260102-030405-2.xlsx"));
    const NewFile third = writeNewFile(utf16(folder), stem, u".xlsx", "third");
    ASSERT_TRUE(third.path) << third.error;
    EXPECT_EQ(*third.path, utf16(folder / "PelmoraReport-20260102-030405-3.xlsx"));
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"PelmoraReport-20260102-030405.xlsx",
                                                      "PelmoraReport-20260102-030405-2.xlsx",
                                                      "PelmoraReport-20260102-030405-3.xlsx"}));
    std::ifstream kept(folder / "PelmoraReport-20260102-030405.xlsx", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()), "kept");
    fs::remove(folder / "PelmoraReport-20260102-030405-2.xlsx");
    fs::remove(folder / "PelmoraReport-20260102-030405-3.xlsx");
}

TEST(ReportFile, AFolderThatCannotBeWrittenSaysWhyAndLeavesNothing)
{
    const fixture::TempFile marker("", "marker");
    const fs::path missing = fs::path(marker.path()).parent_path() / "missing";
    const NewFile written = writeNewFile(utf16(missing), u"PelmoraReport-x", u".xlsx", "bytes");
    EXPECT_FALSE(written.path);
    EXPECT_EQ(written.error, "the folder does not exist");
    EXPECT_FALSE(temporaryFolder().empty());
}

} // namespace
