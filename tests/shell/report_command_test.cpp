// PelmoraReport through the simulated host: the walk of the renaming
// commands with nothing set and nothing replayed, each shared part reported
// once, the report written as a new file where the dictionary is or else in
// the temporary folder, and one message either way.
#include "report_command.h"

#include "code_page.h"
#include "sim_test.h"
#include "text.h"
#include "temp_file.h"
#include "utf8.h"
#include "workbook_loader.h"
#include "xlbook.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace sim = ostrelsim;
namespace fs = std::filesystem;

std::u16string utf16Path(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return xl::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

class Report : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        for (const auto& [english, chinese] : {std::pair{u"Sketch", u"草图"}, std::pair{u"Extrude", u"拉伸"}}) {
            dictionary.set(english, chinese, kColumnA);
            dictionary.set(chinese, english, kColumnB);
        }
    }

    // The folder of a fixture file, where the dictionary workbook is said to be.
    fs::path folder() const { return fs::path(marker.path()).parent_path(); }
    std::u16string dictionaryPath() const { return utf16Path(folder() / "PelmoraConfig.xlsx"); }

    std::vector<fs::path> reports(const fs::path& where) const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(where))
            if (entry.path().filename().string().starts_with("PelmoraReport-") ||
                entry.path().filename().string().starts_with("~PelmoraReport-"))
                found.push_back(entry.path());
        return found;
    }

    TermDictionary dictionary;
    TermColumns columns{dictionary};
    fixture::TempFile marker{"", "marker"};
};

using Rows = std::vector<std::vector<std::string>>;

// A sheet's cells as text, numbers in their shortest form, through its last row.
Rows sheetRows(xl::Book& book, int index, int columnCount)
{
    Rows rows;
    xl::Sheet* sheet = book.getSheet(index);
    if (sheet == nullptr)
        return rows;
    for (int r = 0; r < sheet->lastRow(); ++r) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int c = 0; c < columnCount; ++c) {
            if (sheet->cellType(r, c) == xl::CELLTYPE_NUMBER)
                row.push_back(std::to_string(static_cast<long long>(sheet->readNum(r, c))));
            else
                row.push_back(sheet->readStr(r, c) ? xl::utf16ToUtf8(sheet->readStr(r, c)) : "");
        }
    }
    return rows;
}

// A name as the host holds it in this run's code page.
std::string host(const char* utf8)
{
    return wideToNarrow(xl::utf8ToUtf16(utf8));
}

TEST_F(Report, ChangesNothingListsTheMissingTermsAndEachPartOnce)
{
    IN_CODE_PAGE(936);
    const int32_t root = addPart("Gearbox", {"Sketch1", "Boss3", "Front Plane", "Knurl4_Sketch"});
    const int32_t bolt = addPart("Bolt", {"Extrude1_Sketch", "Knurl2_Thread", "Knurl5", host("螺纹1_草图")});
    for (int i = 0; i < 3; ++i)
        sim::addComponent(root, bolt);
    sim::addComponent(root, addPart("Nut", {"Boss2", "Chamfer1_Boss", host("草图3")}));
    sim::setUserActionStatus(5);
    const EntityPath before = sim::activePath();

    EXPECT_EQ(runReportCommand(columns, dictionaryPath()), 0);

    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
    EXPECT_TRUE(sim::sentCommands().empty());
    EXPECT_TRUE(callsTo("hostSetUserActionStatus").empty());
    EXPECT_TRUE(callsTo("hostGetUserActionStatus").empty());
    EXPECT_EQ(sim::activePath().count, before.count);
    EXPECT_EQ(sim::outstandingArrays(), 0u);
    EXPECT_EQ(callsTo("hostListHistory").size(), 5u) << "the walk lists every occurrence";

    const std::vector<fs::path> written = reports(folder());
    ASSERT_EQ(written.size(), 1u) << "one report, no temporary file left";
    const std::string name = written[0].filename().string();
    EXPECT_TRUE(name.size() == std::string("PelmoraReport-20261211-142558.xlsx").size() && name.ends_with(".xlsx"))
        << name;
    const std::vector<sim::Message> messages = sim::messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].level, 4);
    EXPECT_NE(messages[0].text.find("PelmoraSwap would change 3 names, PelmoraToChinese 2, PelmoraToEnglish 1 "
                                    "(of 11 in 3 parts); the dictionary lacks 5 terms. Written to "),
              std::string::npos)
        << messages[0].text;
    EXPECT_NE(messages[0].text.find(name), std::string::npos) << messages[0].text;

    xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->load(utf16Path(written[0]).c_str()))
        << book->errorMessage();
    EXPECT_EQ(sheetRows(*book, 0, 5), (Rows{
                                          {"English (A)", "Chinese (B)", "Names", "Parts", "Example names"},
                                          {"KQ_FILE_START", "", "", "", ""},
                                          {"Boss", "", "3", "2", "Boss3; Boss2; Chamfer1_Boss"},
                                          {"Knurl", "", "3", "2", "Knurl4_Sketch; Knurl2_Thread; Knurl5"},
                                          {"Chamfer", "", "1", "1", "Chamfer1_Boss"},
                                          {"Thread", "", "1", "1", "Knurl2_Thread"},
                                          {"", "螺纹", "1", "1", "螺纹1_草图"},
                                          {"KQ_FILE_END", "", "", "", ""},
                                      }));
    // The dictionary reads the first sheet as one: the terms are its pairs' halves.
    TermDictionary reread;
    EXPECT_EQ(readDictionaryBook(reread, *book, kStartMarker, kEndMarker).status, WorkbookStatus::Loaded);

    const Rows names = sheetRows(*book, 1, 9);
    ASSERT_EQ(names.size(), 12u) << "a header and one row for each entry of each part, the bolt once";
    EXPECT_EQ(names[1], (std::vector<std::string>{"part 1 (the active object)", names[1][1], "Sketch1", "草图1", "",
                                                  "草图1", "", "Sketch1",
                                                  "already-in-target: it is in that language already"}));
    EXPECT_EQ(names[3][4], "no-digit: it holds no digit, so there is no number to split it at");
    EXPECT_EQ(names[6][4], "no-counterpart: \"Knurl\" has no counterpart and \"Thread\" has no counterpart");
    EXPECT_EQ(book->getSheet(2), nullptr);
    fs::remove(written[0]);
}

TEST_F(Report, InAWesternSettingNamesWhoseCounterpartsCannotBeWrittenSaySo)
{
    IN_CODE_PAGE(1252);
    const int32_t root = addPart("Gearbox", {"Sketch1", "Knurl2"});
    sim::addComponent(root, addPart("Bolt", {"Extrude1_Sketch", host("Café1")}));
    runReportCommand(columns, dictionaryPath());
    ASSERT_EQ(sim::messages().size(), 1u);
    EXPECT_NE(sim::messages()[0].text.find("PelmoraSwap would change 0 names, PelmoraToChinese 0, PelmoraToEnglish 0 "
                                           "(of 4 in 2 parts); the dictionary lacks 2 terms."),
              std::string::npos)
        << sim::messages()[0].text;
    const std::vector<fs::path> written = reports(folder());
    ASSERT_EQ(written.size(), 1u);
    xl::BookHandle book(xl::xlCreateXMLBookW());
    ASSERT_TRUE(book->load(utf16Path(written[0]).c_str())) << book->errorMessage();
    const Rows names = sheetRows(*book, 1, 9);
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[1][3], "Sketch1");
    EXPECT_EQ(names[1][4], "counterpart-not-writable: the counterpart \"草图\" cannot be written in code page 1252, "
                           "so the plug-in leaves the name as it is");
    EXPECT_EQ(names[4][2], "Café1") << "read from the host's code page";
    EXPECT_EQ(sheetRows(*book, 0, 2)[3], (std::vector<std::string>{"Knurl", ""}));
    fs::remove(written[0]);
}

// Points the system's temporary folder at `folder` for the life of the object.
class TemporaryFolderAt {
public:
    explicit TemporaryFolderAt(const fs::path& folder)
    {
#if defined(_WIN32)
        for (const char* name : {"TMP", "TEMP"})
            _putenv_s(name, folder.string().c_str());
#else
        const char* before = std::getenv("TMPDIR");
        saved_ = before ? std::optional<std::string>(before) : std::nullopt;
        setenv("TMPDIR", folder.c_str(), 1);
#endif
    }
    ~TemporaryFolderAt()
    {
#if defined(_WIN32)
        for (const char* name : {"TMP", "TEMP"})
            _putenv_s(name, original_.string().c_str());
#else
        if (saved_)
            setenv("TMPDIR", saved_->c_str(), 1);
        else
            unsetenv("TMPDIR");
#endif
    }

private:
    fs::path original_ = fs::temp_directory_path();
    std::optional<std::string> saved_;
};

TEST_F(Report, GoesToTheTemporaryFolderWhenTheDictionarysCannotBeWrittenAndSaysWhyWhenNeitherCan)
{
    addPart("Gearbox", {"Sketch1"});
    const std::u16string nowhere = utf16Path(folder() / "no such folder" / "PelmoraConfig.xlsx");
    {
        const fixture::TempFile elsewhere("", "marker");
        const TemporaryFolderAt temporary(fs::path(elsewhere.path()).parent_path());
        runReportCommand(columns, nowhere);
        const std::vector<fs::path> written = reports(fs::path(elsewhere.path()).parent_path());
        ASSERT_EQ(written.size(), 1u);
        ASSERT_EQ(sim::messages().size(), 1u);
        EXPECT_EQ(sim::messages()[0].level, 4);
        EXPECT_NE(sim::messages()[0].text.find(written[0].filename().string()), std::string::npos);
        fs::remove(written[0]);
    }
    sim::reset();
    addPart("Gearbox", {"Sketch1"});
    {
        const TemporaryFolderAt temporary(folder() / "no such temporary folder");
        runReportCommand(columns, nowhere);
    }
    ASSERT_EQ(sim::messages().size(), 1u);
    EXPECT_EQ(sim::messages()[0].level, 5);
    EXPECT_NE(sim::messages()[0].text.find("the report could not be written: beside the dictionary workbook, the "
                                           "folder does not exist; in the temporary folder, the folder does not exist"),
              std::string::npos)
        << sim::messages()[0].text;
    EXPECT_TRUE(callsTo("hostSetEntityName").empty());
}

TEST_F(Report, ARunSurvivesAnyHostCallFailing)
{
    auto build = [] {
        const int32_t r = addPart("R", {"Sketch1", "Boss1_Sketch"});
        const int32_t a = addPart("A", {"Sketch1"});
        sim::addComponent(r, a);
        sim::addComponent(r, a);
    };
    build();
    runReportCommand(columns, dictionaryPath());
    std::map<std::string, int> callsPerOp;
    for (const sim::Call& call : sim::calls())
        ++callsPerOp[std::string(call.op)];
    for (const auto& [op, count] : callsPerOp) {
        for (int nth = 0; nth <= count; ++nth) {
            SCOPED_TRACE(op + " failing on call " + (nth == 0 ? std::string("every") : std::to_string(nth)));
            sim::reset();
            build();
            sim::failCall(op, nth, -13);
            EXPECT_EQ(runReportCommand(columns, dictionaryPath()), 0);
            EXPECT_EQ(sim::outstandingArrays(), 0u);
            EXPECT_TRUE(callsTo("hostSetEntityName").empty());
        }
    }
    for (const fs::path& report : reports(folder()))
        fs::remove(report);
}

} // namespace
