// The command-line tools, run as programs: what they answer to bad arguments
// and bad files, a check of the shipped dictionary, a check of a workbook with
// every kind of fault, and a run of the plug-in on a model.
#include "dictionary_workbooks.h"
#include "module_file.h"
#include "temp_file.h"
#include "zip_builder.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;
using fixture::FixtureCell;

fs::path besideThisProgram(const char* fileName) { return fs::path(ownModulePath()).parent_path() / fileName; }

std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Windows ends the lines of text output with CR LF.
std::string withoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A folder of fixture files for one test, removed at the end: the folder
// that a fixture file gets of its own.
class Folder {
public:
    Folder() : marker_("", "folder") { path_ = fs::path(marker_.path()).parent_path(); }
    fs::path file(const std::string& name, const std::string& bytes) const
    {
        fs::path file = path_ / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    const fs::path& path() const { return path_; }

private:
    fixture::TempFile marker_;
    fs::path path_;
};

// Runs a program built beside this one in the Chinese setting (natively the
// GBK locale; on Windows the code page the process runs in).
Outcome run(const char* program, const std::vector<std::string>& arguments)
{
    Folder capture;
    fs::path out = capture.path() / "out.txt";
    fs::path err = capture.path() / "err.txt";
    std::string command = "\"" + besideThisProgram(program).string() + "\"";
    for (const std::string& argument : arguments)
        command += " \"" + argument + "\"";
    command += " > \"" + out.string() + "\" 2> \"" + err.string() + "\"";
    Outcome outcome;
#if defined(_WIN32)
    // cmd.exe drops the outer quotes of its command line.
    outcome.exitCode = std::system(("\"" + command + "\"").c_str());
#else
    int status = std::system(("LC_ALL=zh_CN.GBK " + command).c_str());
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    outcome.out = withoutCarriageReturns(readWhole(out));
    outcome.err = withoutCarriageReturns(readWhole(err));
    return outcome;
}

bool inChineseSetting()
{
#if defined(_WIN32)
    return GetACP() == 936;
#else
    return true;
#endif
}

const std::string kModel = R"({"name": "Gearbox", "history": ["Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"],
 "components": [{"name": "Shaft", "history": ["Revolve2"],
                 "components": [{"name": "Key", "history": ["Cut3", "Thing"]}]}]})";

struct BadRun {
    const char* label;
    const char* program;
    std::vector<std::string> arguments;   // "{model}" and the like name the fixture files
    int exitCode;
    std::string message;   // a part of what the program says on stderr
};

void PrintTo(const BadRun& run, std::ostream* out) { *out << run.label; }

class BadRuns : public ::testing::TestWithParam<BadRun> {};

TEST_P(BadRuns, EndWithTheirCodeAndSayWhyAndWriteNothing)
{
    Folder folder;
    const std::pair<std::string, fs::path> files[] = {
        {"{model}", folder.file("model.json", kModel)},
        {"{not-json}", folder.file("not-json.json", "{\"name\" \"A\"}")},
        {"{wrong-type}", folder.file("wrong-type.json", "{\"name\": \"A\",\n \"history\": [1]}")},
        {"{not-a-module}", folder.file("not-a-module.so", "not a module")},
        {"{workbook}", folder.file("book.xlsx", fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "切除"}}))},
        {"{no-start}", folder.file("no-start.xlsx", fixture::makeXlsx({{"kq_file_start"}, {"Cut", "切除"}}))},
        {"{missing}", folder.path() / "missing.json"},
        {"{out}", folder.path() / "out.json"},
        {"{host-library}", besideThisProgram(OSTREL_API_FILE_NAME)},
    };
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments)
        for (const auto& [name, path] : files)
            if (argument == name)
                argument = path.string();

    Outcome outcome = run(GetParam().program, arguments);
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find(GetParam().message), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(folder.path() / "out.json"));
}

INSTANTIATE_TEST_SUITE_P(OstrelSim, BadRuns, ::testing::Values(
    BadRun{"no model", OSTREL_SIM_FILE_NAME, {}, 2, "no model file given"},
    BadRun{"unknown option", OSTREL_SIM_FILE_NAME, {"{model}", "--fast"}, 2, "unknown option --fast"},
    BadRun{"option without its value", OSTREL_SIM_FILE_NAME, {"{model}", "--run"}, 2, "--run needs a value"},
    BadRun{"two models", OSTREL_SIM_FILE_NAME, {"{model}", "{model}", "--out", "{out}"}, 2, "one model file only"},
    BadRun{"model missing", OSTREL_SIM_FILE_NAME, {"{missing}", "--out", "{out}"}, 3, "missing.json: cannot be opened"},
    BadRun{"model not JSON", OSTREL_SIM_FILE_NAME, {"{not-json}", "--out", "{out}"}, 3,
           "not-json.json: line 1, column 9: expected ':', found '\"'"},
    BadRun{"model of the wrong shape", OSTREL_SIM_FILE_NAME, {"{wrong-type}", "--out", "{out}"}, 3,
           "wrong-type.json: $.history[0] (line 2, column 14): expected a string, found a number"},
    BadRun{"module not loadable", OSTREL_SIM_FILE_NAME, {"{model}", "--plugin", "{not-a-module}", "--out", "{out}"},
           4, "cannot load the module"},
    BadRun{"module without PelmoraInit", OSTREL_SIM_FILE_NAME,
           {"{model}", "--plugin", "{host-library}", "--out", "{out}"}, 4, "has no PelmoraInit"},
    BadRun{"command nobody registered", OSTREL_SIM_FILE_NAME,
           {"{model}", "--run", "PelmoraSwap", "--run", "Nope", "--out", "{out}"}, 5,
           "no plug-in registered the command \"Nope\" (registered: PelmoraSwap, PelmoraToChinese, PelmoraToEnglish)"}));

INSTANTIATE_TEST_SUITE_P(PelmoraDict, BadRuns, ::testing::Values(
    BadRun{"no command", PELMORA_DICT_FILE_NAME, {}, 2, "no command given"},
    BadRun{"unknown command", PELMORA_DICT_FILE_NAME, {"fix", "{workbook}"}, 2, "unknown command fix"},
    BadRun{"no workbook", PELMORA_DICT_FILE_NAME, {"check"}, 2, "check needs a workbook"},
    BadRun{"two workbooks", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "{workbook}"}, 2, "takes one workbook"},
    BadRun{"option of another command", PELMORA_DICT_FILE_NAME, {"check", "{workbook}", "--rows", "3"}, 2,
           "unknown option --rows for check"},
    BadRun{"preview without names", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}"}, 2, "preview needs --names"},
    BadRun{"preview with missing names", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}", "--names", "{missing}"},
           2, "missing.json: cannot be opened"},
    BadRun{"rows not a number", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows", "12x"}, 2,
           "--rows needs a number from 1 to 1048576, not 12x"},
    BadRun{"rows zero", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows", "0"}, 2, "not 0"},
    BadRun{"workbook missing", PELMORA_DICT_FILE_NAME, {"dump", "{missing}"}, 1, "missing.json"},
    BadRun{"workbook not a workbook", PELMORA_DICT_FILE_NAME, {"dump", "{model}"}, 1, "model.json"}));

using Json = nlohmann::json;

// The JSON document in `text`; a discarded value, which every lookup fails
// on, when the text is not JSON.
Json parsed(const std::string& text)
{
    Json value = Json::parse(text, nullptr, false);
    EXPECT_FALSE(value.is_discarded()) << text;
    return value;
}

TEST(PelmoraDict, TheShippedDictionaryLoadsWithoutConflictsOrChains)
{
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", besideThisProgram("PelmoraConfig.xlsx").string(), "--json"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    Json report = parsed(outcome.out);
    ASSERT_TRUE(report.is_object());
    EXPECT_TRUE(report.at("loads").get<bool>());
    EXPECT_GT(report.at("pairsEntered"), 100);
    EXPECT_TRUE(report.at("conflicts").empty());
    EXPECT_TRUE(report.at("chains").empty());
    EXPECT_TRUE(report.at("skippedRows").empty());
    EXPECT_NE(report.at("endMarker"), nullptr);
}

TEST(PelmoraDict, AnXlsDictionaryChecksAsTheSameDictionarySavedAsXlsx)
{
    Folder folder;
    Json reports[2];
    const std::pair<const char*, std::string> workbooks[] = {{"dictionary.xls", dictionaryAsXls()},
                                                             {"dictionary.xlsx", dictionaryAsXlsx()}};
    for (int i = 0; i < 2; ++i) {
        fs::path file = folder.file(workbooks[i].first, workbooks[i].second);
        Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", file.string(), "--json"});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        reports[i] = parsed(outcome.out);
        ASSERT_TRUE(reports[i].is_object());
    }
    EXPECT_EQ(reports[0].at("pairsEntered"), 5);
    for (Json& report : reports)
        report.erase("workbook");
    EXPECT_EQ(reports[0], reports[1]);
}

TEST(PelmoraDict, CheckNamesEveryFaultOfAWorkbook)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "outside code page 936 every Chinese term is one that cannot match";
    Folder folder;
    fs::path book = folder.file("faults.xlsx", fixture::makeXlsx({
        {"KQ_FILE_START"},
        {"Cut", "切除"},
        {"Hole"},                        // skipped: B3 is empty
        {"Cut", "剪切"},                  // Cut again, with another counterpart
        {"Pocket", "Groove"},
        {"Groove", "槽"},                 // Pocket -> Groove -> 槽
        {"Hole2", "孔2"},                 // a digit: never a leading term
        {" Boss", "凸台"},                // a leading blank
        {"Rib", 12.5},                    // a number cell
        {"kq_file_end"},                  // not the end marker
        {"KQ_FILE_END"},
    }));
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", book.string(), "--json"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    Json report = parsed(outcome.out);
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report.at("startMarker").at("cell"), "A1");
    EXPECT_EQ(report.at("endMarker").at("cell"), "A11");
    EXPECT_EQ(report.at("pairsEntered"), 7);

    const auto& skipped = report.at("skippedRows");
    ASSERT_EQ(skipped.size(), 2u);   // the row without a counterpart, and the near-miss end marker
    EXPECT_EQ(skipped[0].at("emptyCell").get<std::string>(), "B3");

    const auto& conflicts = report.at("conflicts");
    ASSERT_FALSE(conflicts.empty());
    EXPECT_EQ(conflicts[0].at("term").get<std::string>(), "Cut");
    EXPECT_EQ(conflicts[0].at("wins").get<std::string>(), "剪切");
    EXPECT_EQ(conflicts[0].at("counterparts").size(), 2u);

    bool chainFound = false;
    for (const auto& chain : report.at("chains"))
        chainFound |= chain.at("term").get<std::string>() == "Pocket" && chain.at("then").get<std::string>() == "槽";
    EXPECT_TRUE(chainFound) << outcome.out;

    std::vector<std::string> unmatchable;
    for (const auto& term : report.at("unmatchable"))
        unmatchable.push_back(term.at("cell").get<std::string>() + " " + term.at("term").get<std::string>());
    EXPECT_EQ(unmatchable, (std::vector<std::string>{"A7 Hole2", "B7 孔2", "A8  Boss", "B9 12.5"}));

    const auto& numbers = report.at("numberCells");
    ASSERT_EQ(numbers.size(), 1u);
    EXPECT_EQ(numbers[0].at("cell").get<std::string>(), "B9");
    EXPECT_EQ(numbers[0].at("text").get<std::string>(), "12.5");

    const auto& nearMisses = report.at("markerNearMisses");
    EXPECT_TRUE(nearMisses.empty()) << "the end marker was found, so a near miss of it does no harm";
}

TEST(PelmoraDict, WithoutAStartMarkerCheckSaysWhereItNearlyIs)
{
    Folder folder;
    std::vector<std::vector<FixtureCell>> rows = {{" KQ_FILE_START "}, {"Kq_File_Start"}};
    rows.resize(150);
    rows.push_back({"KQ_FILE_START"});
    rows.push_back({"Cut", "切除"});
    fs::path book = folder.file("no-start.xlsx", fixture::makeXlsx(rows));
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", book.string(), "--json"});
    EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
    Json report = parsed(outcome.out);
    ASSERT_TRUE(report.is_object());
    EXPECT_FALSE(report.at("loads").get<bool>());
    EXPECT_EQ(report.at("startMarker"), nullptr);
    std::vector<std::string> misses;
    for (const auto& miss : report.at("markerNearMisses"))
        misses.push_back(miss.at("cell").get<std::string>() + ": " + miss.at("why").get<std::string>());
    EXPECT_EQ(misses, (std::vector<std::string>{"A1: has blanks around it", "A2: is in another case",
                                                "A151: is past row 101, the last row the plug-in looks in"}));

    Outcome text = run(PELMORA_DICT_FILE_NAME, {"check", book.string()});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.out.find("The plug-in would not load this workbook."), std::string::npos) << text.out;
}

TEST(PelmoraDict, PreviewGivesTheNewNameOrWhyThereIsNone)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    Folder folder;
    fs::path names = folder.file("names.txt", "Extrude12_Sketch\r\n\xE6\x8B\x89\xE4\xBC\xB8" "3\n\nBracket\nFoo3\n");
    Outcome outcome = run(PELMORA_DICT_FILE_NAME,
                          {"preview", besideThisProgram("PelmoraConfig.xlsx").string(), "--names", names.string(),
                           "--json"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    Json report = parsed(outcome.out);
    ASSERT_TRUE(report.is_object());
    std::vector<std::string> lines;
    for (const auto& name : report.at("names"))
        lines.push_back(std::to_string(name.at("line").get<int>()) + " " + name.at("name").get<std::string>() +
                        " > " + name.at("newName").get<std::string>() +
                        (name.at("why").is_null() ? "" : " / " + name.at("why").get<std::string>()));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "1 Extrude12_Sketch > \xE6\x8B\x89\xE4\xBC\xB8" "12_\xE8\x8D\x89\xE5\x9B\xBE",
                         "2 \xE6\x8B\x89\xE4\xBC\xB8" "3 > Extrude3",
                         "4 Bracket > Bracket / it holds no digit, so there is no number to split it at",
                         "5 Foo3 > Foo3 / \"Foo\" has no counterpart",
                     }));
}

TEST(OstrelSim, RunsThePluginOverEveryLevelAndWritesTheResult)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    Folder folder;
    fs::path model = folder.file("model.json", kModel);
    fs::path out = folder.path() / "out.json";
    Outcome outcome = run(OSTREL_SIM_FILE_NAME, {model.string(), "--out", out.string()});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("/Gearbox/Shaft/Key\n  Cut3" + std::string(11, ' ') + " -> \xE5\x88\x87\xE9\x99\xA4" "3\n"),
              std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n"),
              std::string::npos)
        << outcome.out;

    Json written = parsed(readWhole(out));
    ASSERT_TRUE(written.is_object());
    auto names = [](const Json& object) {
        std::vector<std::string> history;
        for (const Json& entry : object.at("history"))
            history.push_back(entry.get<std::string>());
        return history;
    };
    EXPECT_EQ(names(written), (std::vector<std::string>{"\xE8\x8D\x89\xE5\x9B\xBE" "1",
                                                         "\xE6\x8B\x89\xE4\xBC\xB8" "1_\xE8\x8D\x89\xE5\x9B\xBE",
                                                         "\xE9\xBB\x98\xE8\xAE\xA4" "CSYS", "Bracket7"}));
    const Json& shaft = written.at("components").at(0);
    EXPECT_EQ(names(shaft), std::vector<std::string>{"\xE6\x97\x8B\xE8\xBD\xAC" "2"});
    EXPECT_EQ(names(shaft.at("components").at(0)),
              (std::vector<std::string>{"\xE5\x88\x87\xE9\x99\xA4" "3", "Thing"}));
    ASSERT_EQ(written.at("sent").size(), 1u);
    EXPECT_EQ(written.at("sent")[0], "$CdPlayAutoHist");

    // A module named without a folder is the one in the current folder, not one on the library path.
    Outcome nearby = run(OSTREL_SIM_FILE_NAME, {model.string(), "--plugin", PELMORA_MODULE_FILE_NAME, "--quiet"});
    EXPECT_EQ(nearby.exitCode, 0) << nearby.err;
    EXPECT_EQ(nearby.out, "objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n");

    // Run on its own output, the plug-in swaps every name back.
    fs::path back = folder.path() / "back.json";
    Outcome again = run(OSTREL_SIM_FILE_NAME, {out.string(), "--out", back.string(), "--quiet"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n");
    Json restored = parsed(readWhole(back));
    ASSERT_TRUE(restored.is_object());
    EXPECT_EQ(names(restored),
              (std::vector<std::string>{"Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"}));
}

TEST(OstrelSim, ShowsTheHostsMessagesAsTheyArrive)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the message is in code page 936";
    Folder folder;
    fs::path module = folder.path() / PELMORA_MODULE_FILE_NAME;
    fs::copy_file(besideThisProgram(PELMORA_MODULE_FILE_NAME), module);
    fs::path model = folder.file("model.json", kModel);
    Outcome outcome = run(OSTREL_SIM_FILE_NAME, {model.string(), "--plugin", module.string()});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    // "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。", shown in UTF-8.
    EXPECT_EQ(outcome.out.substr(0, outcome.out.find('\n')),
              "[message, level 5] \xE6\x89\x93\xE5\xBC\x80" "Excel\xE5\xA4\xB1\xE8\xB4\xA5!"
              "\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0" "dll\xE5\x90\x8C\xE7\xBA\xA7\xE7\x9B\xAE\xE5\xBD\x95"
              "\xE4\xB8\x8B\xE7\x9A\x84" "PelmoraConfig.xlsx\xE3\x80\x82");
    // Without a dictionary only the coordinate system's name changes.
    EXPECT_NE(outcome.out.find("changed: 1, unchanged: 6, messages: 1\n"), std::string::npos) << outcome.out;
}

// The examples of the repository are exactly what the commands make of
// them, and a command toward one language changes nothing on its own result.
TEST(Examples, AreWhatTheCommandsMakeOfThem)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    struct Case {
        const char* model;
        const char* command;
        const char* result;
    };
    const Case cases[] = {
        {"gearbox.en.json", "PelmoraSwap", "gearbox.zh.json"},
        {"gearbox.zh.json", "PelmoraSwap", "gearbox.en.json"},
        {"mixed.json", "PelmoraToChinese", "mixed.zh.json"},
        {"mixed.json", "PelmoraToEnglish", "mixed.en.json"},
        {"mixed.zh.json", "PelmoraToChinese", "mixed.zh.json"},
        {"mixed.en.json", "PelmoraToEnglish", "mixed.en.json"},
    };
    const fs::path examples = fs::path(PELMORA_SOURCE_DIR) / "examples";
    Folder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " on " + c.model);
        const fs::path out = folder.path() / "out.json";
        Outcome outcome =
            run(OSTREL_SIM_FILE_NAME, {(examples / c.model).string(), "--run", c.command, "--out", out.string(), "--quiet"});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(readWhole(out), readWhole(examples / c.result));
    }
}

} // namespace
