// The command-line tools, run as programs: what they answer to bad arguments,
// bad files and odd file names (never an abort), their command-line
// conventions, versions and exit codes, the encodings they write, a check of
// the shipped dictionary, a check of a workbook with every kind of fault, and
// a run of the plug-in on a model.
#include "utf8.h"
#include "dictionary_workbooks.h"
#include "module_file.h"
#include "pelmora_version.h"
#include "temp_file.h"
#include "zip_builder.h"

#include <nlohmann/json.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <iconv.h>
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

// A path as a command line names it here: UTF-8 on Windows (the command goes
// to the system in UTF-16), the file name's own bytes elsewhere.
std::string commandLineName(const fs::path& path)
{
#if defined(_WIN32)
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
#else
    return path.native();
#endif
}

// A file name from UTF-8 text (natively, from whatever bytes it holds).
fs::path fileName(const std::string& name)
{
#if defined(_WIN32)
    return fs::path(std::u8string(name.begin(), name.end()));
#else
    return fs::path(name);
#endif
}

// `bytes` in `codeset` as UTF-8; as they are for UTF-8, for no codeset, and
// when they are not in that codeset (JSON, which is UTF-8 in every locale).
std::string utf8From(const std::string& codeset, const std::string& bytes)
{
#if defined(_WIN32)
    (void)codeset;
    return bytes;
#else
    if (codeset.empty() || codeset == "UTF-8")
        return bytes;
    iconv_t converter = iconv_open("UTF-8", codeset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return bytes;
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* to = out.data();
    size_t outLeft = out.size();
    const bool converted = iconv(converter, &in, &inLeft, &to, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return converted ? out : bytes;
#endif
}

struct Outcome {
    int exitCode = -1;
    std::string out;        // standard output as the program wrote it
    std::string shown;      // the same as UTF-8 text, from the encoding of the run's locale
    std::string err;        // standard error as UTF-8 text
};

// A folder of fixture files for one test, removed at the end: the folder
// that a fixture file gets of its own.
class Folder {
public:
    Folder() : marker_("", "folder") { path_ = fs::path(marker_.path()).parent_path(); }
    fs::path file(const std::string& name, const std::string& bytes) const
    {
        fs::path file = path_ / fileName(name);
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }
    const fs::path& path() const { return path_; }

private:
    fixture::TempFile marker_;
    fs::path path_;
};

// How a program is run: natively in a locale (on Windows in the code page
// that the suite runs in), with what its standard input holds.
struct Setting {
    std::string locale = "zh_CN.GBK";
    std::string input;
    bool piped = false;   // standard input from a pipe rather than a file
};

// Runs a program built beside this one.
Outcome run(const char* program, const std::vector<std::string>& arguments, const Setting& setting = {})
{
    Folder capture;
    const fs::path out = capture.path() / "out.txt";
    const fs::path err = capture.path() / "err.txt";
    const fs::path in = capture.file("in.txt", setting.input);
    std::string command = "\"" + commandLineName(besideThisProgram(program)) + "\"";
    for (const std::string& argument : arguments)
        command += " \"" + argument + "\"";
    if (setting.piped) {
#if defined(_WIN32)
        command = "type \"" + commandLineName(in) + "\" | " + command;
#else
        command = "cat \"" + commandLineName(in) + "\" | " + command;
#endif
    } else {
        command += " < \"" + commandLineName(in) + "\"";
    }
    command += " > \"" + commandLineName(out) + "\" 2> \"" + commandLineName(err) + "\"";
    Outcome outcome;
#if defined(_WIN32)
    // cmd.exe drops the outer quotes of its command line; the wide call keeps
    // names that the ANSI code page cannot hold.
    const std::string quoted = "\"" + command + "\"";
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, quoted.data(), static_cast<int>(quoted.size()), nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, quoted.data(), static_cast<int>(quoted.size()), wide.data(), static_cast<int>(wide.size()));
    errno = 0;
    outcome.exitCode = _wsystem(wide.c_str());
    const std::string codeset;
#else
    errno = 0;
    int status = std::system(("LC_ALL=" + setting.locale + " " + command).c_str());
    outcome.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const size_t dot = setting.locale.find('.');
    const std::string codeset = dot == std::string::npos ? "" : setting.locale.substr(dot + 1);
#endif
    // The shell itself may not start (a system out of processes or memory):
    // then the failure says so rather than show an exit code the program never gave.
    const int startError = outcome.exitCode == -1 ? errno : 0;
    outcome.out = withoutCarriageReturns(readWhole(out));
    outcome.shown = utf8From(codeset, outcome.out);
    outcome.err = utf8From(codeset, withoutCarriageReturns(readWhole(err)));
    if (startError != 0)
        outcome.err += "[the command could not be started: " + std::string(std::strerror(startError)) + "]";
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

// The fixture files that the tables name: "{model}" and the like stand for
// their paths in a folder of the test's own.
class Fixtures {
public:
    Fixtures()
    {
        const std::string book = fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "切除"}, {"KQ_FILE_END"}});
        files_ = {
            {"{model}", folder_.file("model.json", kModel)},
            {"{not-json}", folder_.file("not-json.json", "{\"name\" \"A\"}")},
            {"{wrong-type}", folder_.file("wrong-type.json", "{\"name\": \"A\",\n \"history\": [1]}")},
            {"{undefined-use}", folder_.file("undefined-use.json", R"({"name": "A", "components": [{"use": "Nut"}]})")},
            {"{inside-itself}", folder_.file("inside-itself.json", R"({"name": "A", "components": [{"use": "Nut"}],
                                      "definitions": {"Nut": {"components": [{"use": "Nut"}]}}})")},
            {"{latin1-model}", folder_.file("latin1.json", "{\"name\": \"Caf\xE9\"}")},
            {"{utf16-model-cut}", folder_.file("utf16-cut.json", std::string("\xFF\xFE{\0}", 5))},
            {"{not-a-module}", folder_.file("not-a-module.so", "not a module")},
            {"{workbook}", folder_.file("book.xlsx", book)},
            {"{no-start}", folder_.file("no-start.xlsx", fixture::makeXlsx({{"kq_file_start"}, {"Cut", "切除"}}))},
            {"{names}", folder_.file("names.txt", "Cut3\n")},
            {"{missing}", folder_.path() / "missing.json"},
            {"{out}", folder_.path() / "out.json"},
            {"{out-in-no-folder}", folder_.path() / "no-folder" / "out.json"},
            {"{folder}", folder_.path()},
            {"{long-name}", folder_.path() / (std::string(300, 'x') + ".json")},
            {"{host-library}", besideThisProgram(OSTREL_API_FILE_NAME)},
            // Names as the system holds them: natively in the GBK locale's bytes, on Windows in UTF-16.
#if defined(_WIN32)
            {"{local-book}", folder_.file("词典.xlsx", book)},
            {"{local-missing}", folder_.path() / fileName("缺少.xlsx")},
            {"{local-model}", folder_.file("模型.json", kModel)},
            {"{refused-name}", folder_.path() / "a?b.xlsx"},
#else
            {"{local-book}", folder_.file("\xB4\xCA\xB5\xE4.xlsx", book)},
            {"{local-missing}", folder_.path() / "\xC8\xB1\xC9\xD9.xlsx"},
            {"{local-model}", folder_.file("\xC4\xA3\xD0\xCD.json", kModel)},
            // Neither GBK nor UTF-8.
            {"{undecodable-book}", folder_.file("\xFF\xFE.xlsx", book)},
            {"{undecodable-missing}", folder_.path() / "\xFF\xFE.json"},
#endif
            {"{emoji-book}", folder_.file("\xF0\x9F\x93\x98.xlsx", book)},
        };
    }

    std::vector<std::string> resolved(std::vector<std::string> arguments) const
    {
        for (std::string& argument : arguments)
            for (const auto& [name, path] : files_)
                if (argument == name)
                    argument = commandLineName(path);
        return arguments;
    }
    const fs::path& folder() const { return folder_.path(); }

private:
    Folder folder_;
    std::vector<std::pair<std::string, fs::path>> files_;
};

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
    Fixtures fixtures;
    Outcome outcome = run(GetParam().program, fixtures.resolved(GetParam().arguments));
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find(GetParam().message), std::string::npos) << outcome.err;
    EXPECT_FALSE(fs::exists(fixtures.folder() / "out.json"));
    // An output that cannot be written is known before the command runs: nothing is shown and then lost.
    if (GetParam().exitCode == 6) {
        EXPECT_EQ(outcome.out, "");
    }
}

INSTANTIATE_TEST_SUITE_P(OstrelSim, BadRuns, ::testing::Values(
    BadRun{"no model", OSTREL_SIM_FILE_NAME, {"--quiet"}, 2, "no model file given"},
    BadRun{"unknown option", OSTREL_SIM_FILE_NAME, {"{model}", "--fast"}, 2, "unknown option --fast"},
    BadRun{"unknown short option", OSTREL_SIM_FILE_NAME, {"{model}", "-q"}, 2, "unknown option -q"},
    BadRun{"option without its value", OSTREL_SIM_FILE_NAME, {"{model}", "--run"}, 2, "--run needs a value"},
    BadRun{"option with an empty value", OSTREL_SIM_FILE_NAME, {"{model}", "--run="}, 2, "--run needs a value"},
    BadRun{"value for an option that takes none", OSTREL_SIM_FILE_NAME, {"{model}", "--quiet=yes"}, 2,
           "--quiet takes no value"},
    BadRun{"two models", OSTREL_SIM_FILE_NAME, {"{model}", "{model}", "--out", "{out}"}, 2, "one model file only"},
    BadRun{"model missing", OSTREL_SIM_FILE_NAME, {"{missing}", "--out", "{out}"}, 3,
           "missing.json: cannot be read (no such file or folder)"},
    BadRun{"model a folder", OSTREL_SIM_FILE_NAME, {"{folder}", "--out", "{out}"}, 3, "cannot be read (it is a folder)"},
    BadRun{"model's name empty", OSTREL_SIM_FILE_NAME, {"", "--out", "{out}"}, 3, "cannot be read (the name is empty)"},
    BadRun{"model's name too long", OSTREL_SIM_FILE_NAME, {"{long-name}", "--out", "{out}"}, 3, "cannot be read ("},
    BadRun{"an option after -- is a model", OSTREL_SIM_FILE_NAME, {"--out", "{out}", "--", "--quiet"}, 3,
           "--quiet: cannot be read (no such file or folder)"},
    BadRun{"model not JSON", OSTREL_SIM_FILE_NAME, {"{not-json}", "--out", "{out}"}, 1,
           "not-json.json: line 1, column 11: syntax error while parsing object separator - unexpected string literal; expected ':'"},
    BadRun{"model of the wrong shape", OSTREL_SIM_FILE_NAME, {"{wrong-type}", "--out", "{out}"}, 1,
           "wrong-type.json: $.history[0]: expected a string, found a number"},
    BadRun{"model using no definition", OSTREL_SIM_FILE_NAME, {"{undefined-use}", "--out", "{out}"}, 1,
           "undefined-use.json: $.components[0].use: no definition is named \"Nut\""},
    BadRun{"model with a definition inside itself", OSTREL_SIM_FILE_NAME, {"{inside-itself}", "--out", "{out}"}, 1,
           "inside-itself.json: $.definitions.Nut.components[0].use: the definition \"Nut\" uses itself"},
    BadRun{"model not UTF-8", OSTREL_SIM_FILE_NAME, {"{latin1-model}", "--out", "{out}"}, 1, "latin1.json: "},
    BadRun{"empty model on standard input", OSTREL_SIM_FILE_NAME, {"-", "--out", "{out}"}, 1, "-: line 1"},
    BadRun{"module not loadable", OSTREL_SIM_FILE_NAME, {"{model}", "--plugin", "{not-a-module}", "--out", "{out}"},
           4, "cannot load the module"},
    BadRun{"module without PelmoraInit", OSTREL_SIM_FILE_NAME,
           {"{model}", "--plugin", "{host-library}", "--out", "{out}"}, 4, "has no PelmoraInit"},
    BadRun{"command nobody registered", OSTREL_SIM_FILE_NAME,
           {"{model}", "--run", "PelmoraSwap", "--run", "Nope", "--out", "{out}"}, 5,
           "no plug-in registered the command \"Nope\" (registered: PelmoraSwap, PelmoraToChinese, PelmoraToEnglish, PelmoraReport)"},
    BadRun{"output in a folder that is not there", OSTREL_SIM_FILE_NAME, {"{model}", "--out", "{out-in-no-folder}"},
           6, "out.json: cannot be written (no such file or folder)"},
    BadRun{"output a folder", OSTREL_SIM_FILE_NAME, {"{model}", "--out", "{folder}"}, 6, "cannot be written (it is a folder)"},
    BadRun{"model not valid UTF-16", OSTREL_SIM_FILE_NAME, {"{utf16-model-cut}", "--out", "{out}"}, 1,
           "utf16-cut.json: line 1: the file ends in the middle of a UTF-16 character"}));

INSTANTIATE_TEST_SUITE_P(PelmoraDict, BadRuns, ::testing::Values(
    BadRun{"no command", PELMORA_DICT_FILE_NAME, {"--strict"}, 2, "no command given"},
    BadRun{"unknown command", PELMORA_DICT_FILE_NAME, {"fix", "{workbook}"}, 2, "unknown command fix"},
    BadRun{"no workbook", PELMORA_DICT_FILE_NAME, {"check"}, 2, "check needs a workbook"},
    BadRun{"two workbooks", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "{workbook}"}, 2, "takes one workbook"},
    BadRun{"option of another command", PELMORA_DICT_FILE_NAME, {"check", "{workbook}", "--rows", "3"}, 2,
           "unknown option --rows for check"},
    BadRun{"preview without names", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}"}, 2, "preview needs --names"},
    BadRun{"standard input for two files", PELMORA_DICT_FILE_NAME, {"preview", "-", "--names", "-"}, 2,
           "standard input (\"-\") can stand for one file only"},
    BadRun{"direction empty", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}", "--names", "{names}", "--to="}, 2,
           "--to needs a value"},
    BadRun{"direction unknown", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}", "--names={names}", "--to=french"},
           2, "--to needs chinese, english or swap, not 'french'"},
    BadRun{"rows not a number", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows", "12x"}, 2,
           "--rows needs a number from 1 to 1048576, not 12x"},
    BadRun{"rows zero", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows", "0"}, 2, "not 0"},
    BadRun{"rows negative", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows=-3"}, 2, "not -3"},
    BadRun{"rows past any int", PELMORA_DICT_FILE_NAME, {"dump", "{workbook}", "--rows=99999999999999999999"}, 2,
           "not 99999999999999999999"},
    BadRun{"preview with missing names", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}", "--names", "{missing}"},
           3, "missing.json: cannot be read (no such file or folder)"},
    BadRun{"workbook missing", PELMORA_DICT_FILE_NAME, {"dump", "{missing}"}, 3,
           "missing.json: cannot be read (no such file or folder)"},
    BadRun{"workbook a folder", PELMORA_DICT_FILE_NAME, {"check", "{folder}"}, 3, "cannot be read (it is a folder)"},
    BadRun{"workbook's name empty", PELMORA_DICT_FILE_NAME, {"check", ""}, 3, "cannot be read (the name is empty)"},
    BadRun{"workbook's name too long", PELMORA_DICT_FILE_NAME, {"check", "{long-name}"}, 3, "cannot be read ("},
    BadRun{"an option after -- is a workbook", PELMORA_DICT_FILE_NAME, {"dump", "--", "--rows"}, 3,
           "--rows: cannot be read (no such file or folder)"},
    BadRun{"workbook not a workbook", PELMORA_DICT_FILE_NAME, {"dump", "{model}"}, 1,
           "model.json: not a workbook that the plug-in can read"},
    BadRun{"empty workbook on standard input", PELMORA_DICT_FILE_NAME, {"check", "-"}, 1,
           "-: not a workbook that the plug-in can read"}));

// A run on a file whose name is odd here: the program opens it or says why
// not, in the console's encoding, and never aborts.
struct NameRun {
    const char* label;
    const char* program;
    std::vector<std::string> arguments;
    const char* locale;     // natively; on Windows the suite's code page
    int exitCode;
    std::string shown;      // a part of standard output, in UTF-8
    std::string said;       // a part of standard error, in UTF-8
};

void PrintTo(const NameRun& run, std::ostream* out) { *out << run.label; }

class NameRuns : public ::testing::TestWithParam<NameRun> {};

TEST_P(NameRuns, OpenTheFileOrSayWhyNot)
{
    Fixtures fixtures;
    Outcome outcome = run(GetParam().program, fixtures.resolved(GetParam().arguments), {GetParam().locale, ""});
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.shown << outcome.err;
    EXPECT_NE(outcome.shown.find(GetParam().shown), std::string::npos) << outcome.shown;
    EXPECT_NE(outcome.err.find(GetParam().said), std::string::npos) << outcome.err;
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, NameRuns, ::testing::Values(
    NameRun{"a workbook named in the system's encoding", PELMORA_DICT_FILE_NAME, {"check", "{local-book}"},
            "zh_CN.GBK", 0, "\xE8\xAF\x8D\xE5\x85\xB8.xlsx\nStart marker: row 1", ""},
    NameRun{"a missing workbook named so", PELMORA_DICT_FILE_NAME, {"dump", "{local-missing}"}, "zh_CN.GBK", 3, "",
            "\xE7\xBC\xBA\xE5\xB0\x91.xlsx: cannot be read (no such file or folder)"},
    NameRun{"names named so", PELMORA_DICT_FILE_NAME, {"preview", "{workbook}", "--names", "{local-missing}"},
            "zh_CN.GBK", 3, "", "\xE7\xBC\xBA\xE5\xB0\x91.xlsx: cannot be read"},
    NameRun{"a model named so", OSTREL_SIM_FILE_NAME, {"{local-model}", "--quiet"}, "zh_CN.GBK", 0,
            "objects visited: 3", ""},
    NameRun{"a model named so, missing", OSTREL_SIM_FILE_NAME, {"{local-missing}"}, "zh_CN.GBK", 3, "",
            "\xE7\xBC\xBA\xE5\xB0\x91.xlsx: cannot be read (no such file or folder)"},
    NameRun{"a workbook named beyond every ANSI code page", PELMORA_DICT_FILE_NAME, {"check", "{emoji-book}"},
            "C.UTF-8", 0, "Workbook: ", ""},
    NameRun{"a module named beyond every ANSI code page", OSTREL_SIM_FILE_NAME,
            {"{model}", "--plugin", "{emoji-book}"}, "C.UTF-8", 4, "", "cannot load the module"}));

#if defined(_WIN32)
INSTANTIATE_TEST_SUITE_P(Windows, NameRuns, ::testing::Values(
    NameRun{"a name with a character Windows refuses", PELMORA_DICT_FILE_NAME, {"check", "{refused-name}"}, "", 3,
            "", "a?b.xlsx: cannot be read ("},
    NameRun{"a model name with a character Windows refuses", OSTREL_SIM_FILE_NAME, {"{refused-name}"}, "", 3, "",
            "a?b.xlsx: cannot be read ("}));
#else
INSTANTIATE_TEST_SUITE_P(Native, NameRuns, ::testing::Values(
    // The name that aborted the checker: GBK bytes, which are no UTF-8.
    NameRun{"a GBK name in a UTF-8 locale", PELMORA_DICT_FILE_NAME, {"check", "{local-book}"}, "C.UTF-8", 0,
            "\xEF\xBF\xBD" ".xlsx\nStart marker: row 1", ""},
    NameRun{"a GBK name in a UTF-8 locale, as JSON", PELMORA_DICT_FILE_NAME, {"check", "{local-book}", "--json"},
            "C.UTF-8", 0, "\xEF\xBF\xBD" ".xlsx\",", ""},
    NameRun{"a GBK model name in a UTF-8 locale", OSTREL_SIM_FILE_NAME, {"{local-model}", "--quiet"}, "C.UTF-8", 0,
            "objects visited: 3", ""},
    NameRun{"a name in no encoding, in the C locale", PELMORA_DICT_FILE_NAME, {"dump", "{undecodable-book}"}, "C", 0,
            "?.xlsx, first sheet", ""},
    NameRun{"a name in no encoding, in the GBK locale, as JSON", PELMORA_DICT_FILE_NAME,
            {"check", "{undecodable-book}", "--json"}, "zh_CN.GBK", 0, "\"loads\": true", ""},
    NameRun{"a model name in no encoding, missing", OSTREL_SIM_FILE_NAME, {"{undecodable-missing}"}, "zh_CN.GBK", 3,
            "", "cannot be read (no such file or folder)"}));
#endif

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
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(besideThisProgram("PelmoraConfig.xlsx")), "--json"});
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
        Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(file), "--json"});
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
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(book), "--json"});
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
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(book), "--json"});
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

    Outcome text = run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(book)});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.shown.find("The plug-in would not load this workbook."), std::string::npos) << text.shown;
}

TEST(PelmoraDict, PreviewGivesTheNewNameOrWhyThereIsNone)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    Folder folder;
    fs::path names = folder.file("names.txt", "Extrude12_Sketch\r\n\xE6\x8B\x89\xE4\xBC\xB8" "3\n\nBracket\nFoo3\n");
    Outcome outcome = run(PELMORA_DICT_FILE_NAME,
                          {"preview", commandLineName(besideThisProgram("PelmoraConfig.xlsx")), "--names", commandLineName(names),
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

// `utf8` (ASCII and U+FFFD here) as UTF-16 with a byte-order mark.
std::string utf16(const std::string& utf8, bool little)
{
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : utf8) {
        const char units[2] = {little ? c : '\0', little ? '\0' : c};
        bytes.append(units, 2);
    }
    return bytes;
}

TEST(PelmoraDict, PreviewReadsNamesFilesAsEditorsSaveThem)
{
    struct Case {
        const char* what;
        std::string bytes;
        int exitCode;
        std::vector<std::string> names;  // "line name > newName" or "line name / code"
    };
    const std::vector<std::string> both = {"1 Cut3 > Trim3", "2 Trim4 > Cut4"};
    const std::string lone = std::string("\xFF\xFE", 2) + std::string("C\0u\0t\0" "3\0\n\0", 10) +
                             std::string("\x00\xD8" "4\0\n\0", 6);
    const Case cases[] = {
        {"UTF-8", "Cut3\nTrim4\n", 0, both},
        {"UTF-8 with a byte-order mark and CRLF", "\xEF\xBB\xBF" "Cut3\r\nTrim4\r\n", 0, both},
        {"UTF-16 LE", utf16("Cut3\r\nTrim4\r\n", true), 0, both},
        {"UTF-16 BE", utf16("Cut3\nTrim4", false), 0, both},
        {"empty lines, CRLF, no last line end", "\r\n\nCut3\r\n\r\nTrim4", 0, {"3 Cut3 > Trim3", "5 Trim4 > Cut4"}},
        {"a byte-order mark alone", "\xEF\xBB\xBF", 0, {}},
        {"invalid UTF-8", "Cut3\nTr\xFFim4\n\xC3\n", 1,
         {"1 Cut3 > Trim3", "2 Tr\xEF\xBF\xBDim4 / invalid-text", "3 \xEF\xBF\xBD / invalid-text"}},
        {"UTF-16 without its mark", std::string("C\0u\0t\0" "3\0\n\0", 10), 1,
         {"1 C\xEF\xBF\xBDu\xEF\xBF\xBDt\xEF\xBF\xBD" "3\xEF\xBF\xBD / invalid-text", "2 \xEF\xBF\xBD / invalid-text"}},
        {"an unpaired surrogate", lone, 1, {"1 Cut3 > Trim3", "2 \xEF\xBF\xBD" "4 / invalid-text"}},
        {"UTF-16 cut in a character", utf16("Cut3\n", true) + "T", 1, {"1 Cut3 > Trim3", "2 \xEF\xBF\xBD / invalid-text"}},
    };
    Folder folder;
    const std::string workbook = commandLineName(
        folder.file("book.xlsx", fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}})));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string names = commandLineName(folder.file("names.txt", c.bytes));
        Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"preview", workbook, "--names", names, "--json"});
        EXPECT_EQ(outcome.exitCode, c.exitCode) << outcome.err;
        Json report = parsed(outcome.out);
        ASSERT_TRUE(report.is_object()) << outcome.out;
        std::vector<std::string> seen;
        for (const auto& name : report.at("names")) {
            std::string line = std::to_string(name.at("line").get<int>()) + " " + name.at("name").get<std::string>();
            line += name.at("changed").get<bool>() ? " > " + name.at("newName").get<std::string>()
                                                   : " / " + name.at("code").get<std::string>();
            seen.push_back(line);
        }
        EXPECT_EQ(seen, c.names);
        // As text, an invalid line is said with its number, and no byte of it is copied as it was.
        Outcome text = run(PELMORA_DICT_FILE_NAME, {"preview", workbook, "--names", names}, {"en_US.UTF-8", ""});
        EXPECT_EQ(text.exitCode, c.exitCode) << text.err;
        EXPECT_TRUE(xl::isValidUtf8(text.out)) << text.out;
        if (c.exitCode == 1) {
            EXPECT_NE(text.err.find("not valid text, the first is line "), std::string::npos) << text.err;
        }
    }
}

// --- Conventions ------------------------------------------------------------------------

// The program's name without ".exe".
std::string programName(const char* program)
{
    const std::string name = program;
    return name.substr(0, name.find('.'));
}

// The usage's line for an exit code, from "  3  " to the next code.
std::string exitCodeLine(const std::string& usage, int code)
{
    const size_t start = usage.find("\n  " + std::to_string(code) + "  ");
    return start == std::string::npos ? "" : usage.substr(start + 1, usage.find("\n  ", start + 1) - start - 1);
}

TEST(BothPrograms, SayTheirVersionAndTheirUsageWithTheSameExitCodes)
{
    for (const char* program : {PELMORA_DICT_FILE_NAME, OSTREL_SIM_FILE_NAME}) {
        const std::string name = programName(program);
        Outcome version = run(program, {"--version"});
        EXPECT_EQ(version.exitCode, 0) << version.err;
        EXPECT_EQ(version.shown, name + " " + kPelmoraVersion + "\n");
        for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"--help"}, {"-h"}}) {
            Outcome usage = run(program, arguments);
            EXPECT_EQ(usage.exitCode, 0) << usage.err;
            EXPECT_EQ(usage.shown.rfind("usage: " + name, 0), 0u) << usage.shown;
            EXPECT_NE(exitCodeLine(usage.shown, 2).find("bad arguments"), std::string::npos) << usage.shown;
            EXPECT_NE(exitCodeLine(usage.shown, 3).find("cannot be read"), std::string::npos) << usage.shown;
            EXPECT_NE(exitCodeLine(usage.shown, 8).find("out of memory"), std::string::npos) << usage.shown;
        }
    }
}

TEST(BothPrograms, ReadStandardInputForADashAndTakeOptionsInEitherForm)
{
    const std::string book = fixture::makeXlsx({{"KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}});
    Folder folder;
    const std::string workbook = commandLineName(folder.file("book.xlsx", book));
    const std::string names = commandLineName(folder.file("names.txt", "Trim4\n"));

    Outcome fromInput = run(PELMORA_DICT_FILE_NAME, {"preview", workbook, "--names", "-", "--json"}, {"zh_CN.GBK", "Cut3\n"});
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.err;
    Json preview = Json::parse(fromInput.out, nullptr, false);
    ASSERT_TRUE(preview.is_object()) << fromInput.out;
    EXPECT_EQ(preview.at("names").at(0).at("newName"), "Trim3");

    // From a pipe, which cannot be read twice: the names are kept aside as they are read.
    for (const auto& [to, newNames] : {std::pair<std::string, std::vector<std::string>>{"--to=swap", {"Trim3", "Cut3"}},
                                       {"--to=english", {"Cut3", "Trim3"}}}) {
        Outcome piped = run(PELMORA_DICT_FILE_NAME, {"preview", workbook, "--names", "-", to, "--json"},
                            {"zh_CN.GBK", "Cut3\nTrim3\n", true});
        EXPECT_EQ(piped.exitCode, 0) << piped.err;
        preview = Json::parse(piped.out, nullptr, false);
        ASSERT_TRUE(preview.is_object()) << piped.out;
        std::vector<std::string> given;
        for (const Json& name : preview.at("names"))
            given.push_back(name.at("newName"));
        EXPECT_EQ(given, newNames) << to;
        if (to == "--to=english") {
            EXPECT_EQ(preview.at("names").at(1).at("code"), "name-taken") << piped.out;
        }
    }

    Outcome inline_ = run(PELMORA_DICT_FILE_NAME, {"preview", "--names=" + names, "--to=english", "--json", "--", workbook});
    EXPECT_EQ(inline_.exitCode, 0) << inline_.err;
    preview = Json::parse(inline_.out, nullptr, false);
    ASSERT_TRUE(preview.is_object()) << inline_.out;
    EXPECT_EQ(preview.at("direction"), "english");
    EXPECT_EQ(preview.at("names").at(0).at("newName"), "Cut4");

    Outcome workbookFromInput = run(PELMORA_DICT_FILE_NAME, {"check", "-"}, {"zh_CN.GBK", book});
    EXPECT_EQ(workbookFromInput.exitCode, 0) << workbookFromInput.err;
    EXPECT_NE(workbookFromInput.shown.find("Workbook: -\n"), std::string::npos) << workbookFromInput.shown;

    Outcome model = run(OSTREL_SIM_FILE_NAME, {"--quiet", "-"}, {"zh_CN.GBK", kModel});
    EXPECT_EQ(model.exitCode, 0) << model.err;
    EXPECT_NE(model.shown.find("objects visited: 3, entries: 7"), std::string::npos) << model.shown;
}

// A failure with --json, from the arguments or the files.
struct JsonFailure {
    const char* label;
    std::vector<std::string> arguments;
    int exitCode;
    const char* command;   // null when the command was not known yet
    const char* code;
};

void PrintTo(const JsonFailure& failure, std::ostream* out) { *out << failure.label; }

class JsonFailures : public ::testing::TestWithParam<JsonFailure> {};

TEST_P(JsonFailures, AreOneDocumentWithTheErrorInIt)
{
    Fixtures fixtures;
    Outcome outcome = run(PELMORA_DICT_FILE_NAME, fixtures.resolved(GetParam().arguments));
    EXPECT_EQ(outcome.exitCode, GetParam().exitCode) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.err, "");
    Json document = Json::parse(outcome.out, nullptr, false);
    ASSERT_TRUE(document.is_object()) << outcome.out;
    EXPECT_EQ(document.at("command"), GetParam().command ? Json(GetParam().command) : Json(nullptr));
    EXPECT_EQ(document.at("version"), kPelmoraVersion);
    EXPECT_EQ(document.at("schema"), 2);
    EXPECT_EQ(document.at("error").at("code"), GetParam().code);
    EXPECT_FALSE(document.at("error").at("message").get<std::string>().empty());
}

INSTANTIATE_TEST_SUITE_P(PelmoraDict, JsonFailures, ::testing::Values(
    JsonFailure{"no command", {"--json"}, 2, nullptr, "bad-arguments"},
    JsonFailure{"unknown option", {"check", "{workbook}", "--json", "--fast"}, 2, nullptr, "bad-arguments"},
    JsonFailure{"no workbook", {"check", "--json"}, 2, "check", "bad-arguments"},
    JsonFailure{"workbook missing", {"dump", "{missing}", "--json"}, 3, "dump", "cannot-read"},
    JsonFailure{"names missing", {"preview", "{workbook}", "--names", "{missing}", "--json"}, 3, "preview",
                "cannot-read"},
    JsonFailure{"not a workbook", {"check", "{model}", "--json"}, 1, "check", "not-a-workbook"}));

TEST(PelmoraDict, CheckStrictEndsWithItsOwnCodeOnWarningsAndJsonListsThePairsAndCodes)
{
    Folder folder;
    const std::string clean = commandLineName(folder.file("clean.xlsx", fixture::makeXlsx({
        {"KQ_FILE_START"}, {"Cut", "Trim"}, {"KQ_FILE_END"}})));
    const std::string faulty = commandLineName(folder.file("faulty.xlsx", fixture::makeXlsx({
        {"KQ_FILE_START"}, {"Cut", "Trim"}, {"Hole"}, {"Drill", "Bore"}, {"KQ_FILE_END "}})));

    EXPECT_EQ(run(PELMORA_DICT_FILE_NAME, {"check", clean, "--strict"}).exitCode, 0);
    EXPECT_EQ(run(PELMORA_DICT_FILE_NAME, {"check", faulty}).exitCode, 0);
    Outcome strict = run(PELMORA_DICT_FILE_NAME, {"check", faulty, "--strict", "--json"});
    EXPECT_EQ(strict.exitCode, 7) << strict.err;

    Json report = Json::parse(strict.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << strict.out;
    EXPECT_EQ(report.at("error"), nullptr);
    EXPECT_EQ(report.at("pairsEntered"), 2);
    EXPECT_EQ(report.at("pairs"), Json::parse(R"([{"row": 2, "A": "Cut", "B": "Trim"},
                                                  {"row": 4, "A": "Drill", "B": "Bore"}])"));
    ASSERT_EQ(report.at("markerNearMisses").size(), 1u);
    EXPECT_EQ(report.at("markerNearMisses")[0].at("code"), "blanks-around");
    std::vector<std::string> codes;
    for (const Json& warning : report.at("warnings")) {
        codes.push_back(warning.at("code").get<std::string>());
        EXPECT_FALSE(warning.at("text").get<std::string>().empty());
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"no-end-marker", "marker-near-miss", "row-skipped", "row-skipped"}));
}

TEST(PelmoraDict, MergeAddsWhatTheDictionaryLacksBeforeItsEndMarkerAndNeverHarmsIt)
{
    Folder folder;
    const std::string original = fixture::makeXlsx({{"Terms"}, {"KQ_FILE_START"}, {"Sketch", "草图"}, {"KQ_FILE_END"},
                                                    {"notes below", "kept"}});
    const fs::path config = folder.file("词典.xlsx", original);
    const std::string filled = commandLineName(folder.file("filled.xlsx", fixture::makeXlsx({
        {"English", "Chinese"}, {"KQ_FILE_START"}, {"Boss", "凸台"}, {"Sketch", "草图"}, {"Sketch", "略图"},
        {"Rib"}, {"KQ_FILE_END"}})));
    const fs::path merged = folder.path() / "merged.xlsx";

    Outcome outcome = run(PELMORA_DICT_FILE_NAME, {"merge", commandLineName(config), filled, "--out",
                                                   commandLineName(merged), "--json"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    Json report = Json::parse(outcome.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << outcome.out;
    EXPECT_EQ(report.at("added"), Json::parse(R"([{"row": 3, "A": "Boss", "B": "凸台"}])"));
    EXPECT_EQ(report.at("skipped")[0].at("code"), "already-there");
    EXPECT_EQ(report.at("refused")[0].at("code"), "conflict");
    EXPECT_EQ(report.at("written"), true);
    EXPECT_EQ(readWhole(config), original);
    Outcome dumped = run(PELMORA_DICT_FILE_NAME, {"dump", commandLineName(merged), "--json"});
    Json rows = Json::parse(dumped.out, nullptr, false).at("rows");
    ASSERT_EQ(rows.size(), 6u) << dumped.out;
    EXPECT_EQ(rows[3].at("A").at("text"), "Boss");
    EXPECT_EQ(rows[4].at("A").at("text"), "KQ_FILE_END");
    EXPECT_EQ(rows[5].at("B").at("text"), "kept");
    // No new warning; in a Western setting every Chinese term warns that the
    // code page cannot hold it, the old ones as the new.
    if (inChineseSetting()) {
        EXPECT_EQ(run(PELMORA_DICT_FILE_NAME, {"check", commandLineName(merged), "--strict"}).exitCode, 0);
    }

    // --strict fails on the refused pair; text names it for people.
    Outcome strict = run(PELMORA_DICT_FILE_NAME, {"merge", commandLineName(config), filled, "--out",
                                                  commandLineName(folder.path() / "strict.xlsx"), "--strict"});
    EXPECT_EQ(strict.exitCode, 7);
    EXPECT_NE(strict.shown.find("\"Sketch\" has the counterpart \"草图\""), std::string::npos) << strict.shown;

    // In place: the old workbook stays as .bak.
    Outcome inPlace = run(PELMORA_DICT_FILE_NAME, {"merge", commandLineName(config), filled, "--in-place"});
    EXPECT_EQ(inPlace.exitCode, 0) << inPlace.err;
    fs::path backup = config;
    backup += ".bak";
    EXPECT_EQ(readWhole(backup), original);
    EXPECT_EQ(readWhole(config), readWhole(merged));
}

struct MergeRefusal {
    const char* label;
    std::string config;            // the bytes of CONFIG
    const char* configName;
    std::vector<std::string> more; // more arguments; "{config}" names CONFIG
    int exitCode;
    const char* says;
};

TEST(PelmoraDict, MergeRefusalsSayWhyAndWriteNothing)
{
    const std::string region = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>KQ_FILE_START</t></is></c></row>"
                               "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>KQ_FILE_END</t></is></c></row>";
    const std::string sheet = fixture::worksheetXml(region);
    const std::string merged = sheet.substr(0, sheet.find("</worksheet>")) +
                               "<mergeCells><mergeCell ref=\"A2:B2\"/></mergeCells></worksheet>";
    const std::string good = fixture::makeXlsx({{"KQ_FILE_START"}, {"KQ_FILE_END"}});
    const std::vector<MergeRefusal> refusals = {
        {"an .xls dictionary", good, "config.xls", {"--out", "{new}"}, 1, "save it as an .xlsx workbook"},
        {"merged cells", fixture::makeXlsxFromSheetXml(merged), "config.xlsx", {"--out", "{new}"}, 1,
         "merged cells ('A2:B2')"},
        {"no end marker", fixture::makeXlsx({{"KQ_FILE_START"}}), "config.xlsx", {"--out", "{new}"}, 1,
         "no KQ_FILE_END row"},
        {"--out names CONFIG", good, "config.xlsx", {"--out", "{config}"}, 2, "--out names CONFIG itself"},
        {"neither --out nor --in-place", good, "config.xlsx", {}, 2, "either --out NEW or --in-place"},
        {"both", good, "config.xlsx", {"--out", "{new}", "--in-place"}, 2, "either --out NEW or --in-place"},
    };
    for (const MergeRefusal& refusal : refusals) {
        Folder folder;
        const fs::path config = folder.file(refusal.configName, refusal.config);
        const std::string filled = commandLineName(folder.file("filled.xlsx", fixture::makeXlsx({
            {"KQ_FILE_START"}, {"Boss", "凸台"}, {"KQ_FILE_END"}})));
        std::vector<std::string> arguments = {"merge", commandLineName(config), filled};
        for (const std::string& argument : refusal.more)
            arguments.push_back(argument == "{config}" ? commandLineName(config)
                                : argument == "{new}"  ? commandLineName(folder.path() / "new.xlsx")
                                                       : argument);
        Outcome outcome = run(PELMORA_DICT_FILE_NAME, arguments);
        EXPECT_EQ(outcome.exitCode, refusal.exitCode) << refusal.label << ": " << outcome.err;
        EXPECT_NE(outcome.err.find(refusal.says), std::string::npos) << refusal.label << ": " << outcome.err;
        EXPECT_EQ(readWhole(config), refusal.config) << refusal.label;
        size_t files = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path()))
            ++files;
        EXPECT_EQ(files, 3u) << refusal.label << ": something was written beside the workbooks";
    }
}

// The columns that a line of UTF-8 takes, for the ASCII and Chinese of these tests.
size_t columns(const std::string& utf8)
{
    size_t width = 0;
    for (unsigned char c : utf8)
        width += c < 0x80 ? 1 : (c >= 0xE0 && c <= 0xEF) ? 2 : 0;
    return width;
}

TEST(PelmoraDict, DumpStopsAtTheLastUsedRowPadsByWidthAndShowsNumbersInTheirShortestForm)
{
    Folder folder;
    const std::string book = commandLineName(folder.file("book.xlsx", fixture::makeXlsx({
        {"KQ_FILE_START"}, {"Rib", 0.1}, {"\xE5\x88\x87\xE9\x99\xA4", "Cut"}, {"KQ_FILE_END"}})));

    Outcome json = run(PELMORA_DICT_FILE_NAME, {"dump", book, "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    Json dump = Json::parse(json.out, nullptr, false);
    ASSERT_TRUE(dump.is_object()) << json.out;
    EXPECT_EQ(dump.at("lastRow"), 4);
    ASSERT_EQ(dump.at("rows").size(), 4u);
    EXPECT_EQ(dump.at("rows")[1].at("B"), Json::parse(R"({"type": "number", "value": 0.1, "text": "0.1"})"));
    EXPECT_NE(json.out.find("\"value\": 0.1,"), std::string::npos) << json.out;

    Outcome more = run(PELMORA_DICT_FILE_NAME, {"dump", "--rows=6", book, "--json"});
    EXPECT_EQ(Json::parse(more.out, nullptr, false).at("rows").size(), 6u) << more.out;

    Outcome text = run(PELMORA_DICT_FILE_NAME, {"dump", book});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.shown.find("B: number 0.1 (read as \"0.1\")\n"), std::string::npos) << text.shown;
    std::vector<size_t> columnB;
    std::istringstream lines(text.shown);
    for (std::string line; std::getline(lines, line);)
        if (size_t at = line.find("  B: "); at != std::string::npos)
            columnB.push_back(columns(line.substr(0, at)));
    EXPECT_EQ(columnB, std::vector<size_t>(4, columnB.empty() ? 0 : columnB[0])) << text.shown;

    Outcome check = run(PELMORA_DICT_FILE_NAME, {"check", book});
    EXPECT_NE(check.shown.find("B2 holds the number 0.1, read as \"0.1\"\n"), std::string::npos) << check.shown;
}

TEST(PelmoraDict, TextIsInTheEncodingOfWhereItGoesAndJsonInUtf8)
{
    Folder folder;
    const std::string book = commandLineName(folder.file("book.xlsx", fixture::makeXlsx({
        {"KQ_FILE_START"}, {"Cut", "\xE5\x88\x87\xE9\x99\xA4"}, {"KQ_FILE_END"}})));
    const std::string utf8 = "\xE5\x88\x87\xE9\x99\xA4";
    struct Case {
        const char* locale;
        std::vector<std::string> arguments;
        std::string bytes;   // what standard output holds for 切除
    };
    const Case cases[] = {
#if defined(_WIN32)
        // Redirected to a file: UTF-8 whatever the code page.
        {"", {"dump", book}, utf8},
#else
        {"zh_CN.GBK", {"dump", book}, "\xC7\xD0\xB3\xFD"},
        {"zh_CN.UTF-8", {"dump", book}, utf8},
        {"C", {"dump", book}, "\"??\""},
#endif
        {"zh_CN.GBK", {"dump", book, "--json"}, utf8},
    };
    for (const Case& c : cases) {
        Outcome outcome = run(PELMORA_DICT_FILE_NAME, c.arguments, {c.locale, ""});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_NE(outcome.out.find(c.bytes), std::string::npos) << c.locale << ": " << outcome.out;
    }
}

// ostrel-sim's swap of the model in `in`, written to `out`.
Outcome swapped(const fs::path& in, const fs::path& out, bool quiet = false)
{
    std::vector<std::string> arguments = {commandLineName(in), "--out", commandLineName(out)};
    if (quiet)
        arguments.push_back("--quiet");
    return run(OSTREL_SIM_FILE_NAME, arguments);
}

// A model saved in a folder of its own and swapped into out.json there.
struct SwappedModel {
    explicit SwappedModel(const std::string& json)
        : model(folder.file("model.json", json)), out(folder.path() / "out.json"), outcome(swapped(model, out))
    {
    }
    Folder folder;
    fs::path model;
    fs::path out;
    Outcome outcome;
};

TEST(OstrelSim, ReadsModelsAsEditorsSaveThemAndReplacesItsOutputWhole)
{
    std::string utf16le = "\xFF\xFE";
    for (const char c : kModel) {
        utf16le += c == '\n' ? '\r' : c;
        utf16le += '\0';
        if (c == '\n') {
            utf16le += "\n";
            utf16le += '\0';
        }
    }
    Folder folder;
    const fs::path out = folder.file("out.json", "the file that was there");
    for (const std::string& bytes : {kModel, "\xEF\xBB\xBF" + kModel, utf16le}) {
        const fs::path model = folder.file("model.json", bytes);
        Outcome outcome = run(OSTREL_SIM_FILE_NAME, {commandLineName(model), "--quiet", "--out", commandLineName(out)});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_NE(outcome.shown.find("objects visited: 3, entries: 7"), std::string::npos) << outcome.shown;
        EXPECT_TRUE(parsed(readWhole(out)).is_object()) << readWhole(out);
        // Written through a temporary name that is gone once the file is in place.
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3);
    }
}

TEST(OstrelSim, RunsThePluginOverEveryLevelAndWritesTheResult)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    const SwappedModel swap(kModel);
    const Outcome& outcome = swap.outcome;
    const fs::path& model = swap.model;
    const fs::path& out = swap.out;
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_NE(outcome.shown.find("/Gearbox/Shaft/Key\n  Cut3" + std::string(11, ' ') + " -> \xE5\x88\x87\xE9\x99\xA4" "3\n"),
              std::string::npos)
        << outcome.shown;
    EXPECT_NE(outcome.shown.find("objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n"),
              std::string::npos)
        << outcome.shown;

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
    Outcome nearby = run(OSTREL_SIM_FILE_NAME, {commandLineName(model), "--plugin", PELMORA_MODULE_FILE_NAME, "--quiet"});
    EXPECT_EQ(nearby.exitCode, 0) << nearby.err;
    EXPECT_EQ(nearby.shown, "objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n");

    // Run on its own output, the plug-in swaps every name back.
    fs::path back = swap.folder.path() / "back.json";
    Outcome again = swapped(out, back, true);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.shown, "objects visited: 3, entries: 7, changed: 5, unchanged: 2, messages: 0\n");
    Json restored = parsed(readWhole(back));
    ASSERT_TRUE(restored.is_object());
    EXPECT_EQ(names(restored),
              (std::vector<std::string>{"Sketch1", "Extrude1_Sketch", "Default CSYS", "Bracket7"}));
}

// A pin used twice, a bolt three times (inside a sub-assembly) and a washer
// four times: a run that renamed a part once per occurrence would leave the
// pin and the washer as they were.
const std::string kSharedModel = R"({"name": "Gearbox", "history": ["Sketch1"],
 "components": [{"use": "Pin"}, {"name": "Cover", "components": [{"use": "Bolt"}, {"use": "Bolt"}, {"use": "Bolt"}]},
                {"use": "Pin"}, {"use": "Washer"}, {"use": "Washer"}, {"use": "Washer"}, {"use": "Washer"}],
 "definitions": {"Pin": {"history": ["Extrude1_Sketch", "Chamfer1"]},
                 "Bolt": {"history": ["Revolve1_Sketch", "Knurl1"]},
                 "Washer": {"history": ["Cut2"]}}})";

TEST(OstrelSim, RenamesEachDefinitionOnceHoweverManyComponentsUseItAndKeepsItShared)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the Chinese names need code page 936";
    const SwappedModel swap(kSharedModel);
    EXPECT_EQ(swap.outcome.exitCode, 0) << swap.outcome.err;
    EXPECT_EQ(swap.outcome.shown, "Changed history entries (old name -> new name):\n"
                             "/Gearbox\n"
                             "  Sketch1         -> \xE8\x8D\x89\xE5\x9B\xBE" "1\n"
                             "/Gearbox/Pin (definition \"Pin\", used 2 times)\n"
                             "  Extrude1_Sketch -> \xE6\x8B\x89\xE4\xBC\xB8" "1_\xE8\x8D\x89\xE5\x9B\xBE\n"
                             "  Chamfer1        -> \xE5\x80\x92\xE8\xA7\x92" "1\n"
                             "/Gearbox/Cover/Bolt (definition \"Bolt\", used 3 times)\n"
                             "  Revolve1_Sketch -> \xE6\x97\x8B\xE8\xBD\xAC" "1_\xE8\x8D\x89\xE5\x9B\xBE\n"
                             "/Gearbox/Washer (definition \"Washer\", used 4 times)\n"
                             "  Cut2            -> \xE5\x88\x87\xE9\x99\xA4" "2\n"
                             "objects visited: 5, entries: 6, changed: 5, unchanged: 1, messages: 0, "
                             "shared definitions: 3 (used 9 times)\n");

    Json written = parsed(readWhole(swap.out));
    ASSERT_TRUE(written.is_object());
    EXPECT_EQ(written.at("components").at(0), Json::parse(R"({"use": "Pin"})"));
    EXPECT_EQ(written.at("components").at(1).at("components").size(), 3u);
    EXPECT_EQ(written.at("definitions"), Json::parse(R"({
        "Pin": {"history": ["拉伸1_草图", "倒角1"]},
        "Bolt": {"history": ["旋转1_草图", "Knurl1"]},
        "Washer": {"history": ["切除2"]}})"));

    // Swapped back, and swapped again, the model is what the first run wrote, sharing and all.
    fs::path back = swap.folder.path() / "back.json";
    fs::path again = swap.folder.path() / "again.json";
    EXPECT_EQ(swapped(swap.out, back, true).exitCode, 0);
    EXPECT_EQ(parsed(readWhole(back)).at("definitions").at("Pin").at("history").at(0), "Extrude1_Sketch");
    EXPECT_EQ(swapped(back, again, true).shown, "objects visited: 5, entries: 6, changed: 5, unchanged: 1, "
                                                "messages: 0, shared definitions: 3 (used 9 times)\n");
    EXPECT_EQ(readWhole(again), readWhole(swap.out));
}

TEST(OstrelSim, ShowsTheHostsMessagesAsTheyArrive)
{
    if (!inChineseSetting())
        GTEST_SKIP() << "the message is in code page 936";
    Folder folder;
    fs::path module = folder.path() / PELMORA_MODULE_FILE_NAME;
    fs::copy_file(besideThisProgram(PELMORA_MODULE_FILE_NAME), module);
    fs::path model = folder.file("model.json", kModel);
    Outcome outcome = run(OSTREL_SIM_FILE_NAME, {commandLineName(model), "--plugin", commandLineName(module)});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    // "打开Excel失败!找不到dll同级目录下的PelmoraConfig.xlsx。", shown in the console's encoding.
    EXPECT_EQ(outcome.shown.substr(0, outcome.shown.find('\n')),
              "[message, level 5] \xE6\x89\x93\xE5\xBC\x80" "Excel\xE5\xA4\xB1\xE8\xB4\xA5!"
              "\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0" "dll\xE5\x90\x8C\xE7\xBA\xA7\xE7\x9B\xAE\xE5\xBD\x95"
              "\xE4\xB8\x8B\xE7\x9A\x84" "PelmoraConfig.xlsx\xE3\x80\x82");
    // Without a dictionary only the coordinate system's name changes.
    EXPECT_NE(outcome.shown.find("changed: 1, unchanged: 6, messages: 1\n"), std::string::npos) << outcome.shown;
}

// PelmoraReport through the real module and its registration: nothing
// renamed, the report beside the dictionary in a folder whose name the code
// page may not hold, and a message that names it without a '?'.
TEST(OstrelSim, RunsPelmoraReportAndSaysWhereTheReportIs)
{
    Folder outer;
    const fs::path folder = outer.path() / fileName("报告 reports");
    fs::create_directory(folder);
    const fs::path module = folder / PELMORA_MODULE_FILE_NAME;
    fs::copy_file(besideThisProgram(PELMORA_MODULE_FILE_NAME), module);
    fs::copy_file(besideThisProgram("PelmoraConfig.xlsx"), folder / "PelmoraConfig.xlsx");
    const fs::path model = outer.file("model.json", kModel);
    Outcome outcome = run(OSTREL_SIM_FILE_NAME, {commandLineName(model), "--plugin", commandLineName(module), "--run",
                                                 "PelmoraReport"});
    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_NE(outcome.shown.find("No history entry changed."), std::string::npos) << outcome.shown;
    std::vector<fs::path> reports;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".xlsx" && entry.path().filename() != "PelmoraConfig.xlsx")
            reports.push_back(entry.path());
    ASSERT_EQ(reports.size(), 1u) << outcome.shown;
    const std::string name = reports[0].filename().string();
    EXPECT_TRUE(name.starts_with("PelmoraReport-")) << name;
    const size_t message = outcome.shown.find("[message, level 4] Pelmora report: PelmoraSwap would change ");
    ASSERT_NE(message, std::string::npos) << outcome.shown;
    const std::string line = outcome.shown.substr(message, outcome.shown.find('\n', message) - message);
    EXPECT_EQ(line.find('?'), std::string::npos) << line;
    // The path whole, or where the code page cannot hold it, its short form.
    const size_t shown = line.find("Written to ");
    ASSERT_NE(shown, std::string::npos) << line;
    std::error_code error;
    EXPECT_TRUE(fs::equivalent(fileName(line.substr(shown + 11)), reports[0], error)) << line;
    if (inChineseSetting()) {
        EXPECT_NE(line.find("报告 reports"), std::string::npos) << line;
    }
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
        {"both-forms.json", "PelmoraSwap", "both-forms.swap.json"},
        {"both-forms.json", "PelmoraToChinese", "both-forms.zh.json"},
        {"both-forms.json", "PelmoraToEnglish", "both-forms.en.json"},
    };
    const fs::path examples = fs::path(PELMORA_SOURCE_DIR) / "examples";
    Folder folder;
    // In a host that accepts any name, and in one that refuses a name another
    // entry of the part holds, which the written model records.
    const std::string distinctField = "  \"distinctNames\": true,\n";
    for (const Case& c : cases) {
        for (bool distinct : {false, true}) {
            SCOPED_TRACE(std::string(c.command) + " on " + c.model + (distinct ? ", distinct names" : ""));
            const fs::path out = folder.path() / "out.json";
            std::vector<std::string> arguments = {(examples / c.model).string(), "--run", c.command, "--out",
                                                  out.string(), "--quiet"};
            if (distinct)
                arguments.push_back("--distinct-names");
            Outcome outcome = run(OSTREL_SIM_FILE_NAME, arguments);
            EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
            std::string written = readWhole(out);
            if (distinct) {
                const size_t field = written.find(distinctField);
                ASSERT_NE(field, std::string::npos) << written;
                written.erase(field, distinctField.size());
            }
            EXPECT_EQ(written, readWhole(examples / c.result));
        }
    }
}

// Every history name of a model file, sorted: parts may be written shared or
// inline, so the names are compared as one list.
std::vector<std::string> sortedHistoryNames(const Json& model)
{
    std::vector<std::string> names;
    std::function<void(const Json&)> collect = [&](const Json& value) {
        if (value.is_object()) {
            for (const auto& [key, member] : value.items()) {
                if (key == "history")
                    for (const Json& name : member)
                        names.push_back(name.get<std::string>());
                else if (key != "messages" && key != "sent")
                    collect(member);
            }
        } else if (value.is_array()) {
            for (const Json& item : value)
                collect(item);
        }
    };
    collect(model);
    std::sort(names.begin(), names.end());
    return names;
}

// The English gearbox with the shipped dictionary in a Western host: the
// Chinese counterparts, "默认CSYS" among them, cannot be written in code page
// 1252, so no name changes, and one message, in ASCII, says how many names
// were left. The same gearbox as earlier versions left it in such a host,
// with "默认CSYS"'s code page 936 bytes in place of every "Default CSYS"
// (which the host shows as "Ä¬ÈÏCSYS"), heals: those names turn back.
TEST(Examples, InAWesternHostNoNameIsCorruptedAndOneMessageSaysSo)
{
#if defined(_WIN32)
    if (GetACP() != 1252)
        GTEST_SKIP() << "runs in code page 1252";
#endif
    const fs::path examples = fs::path(PELMORA_SOURCE_DIR) / "examples";
    Folder folder;
    const std::string english = readWhole(examples / "gearbox.en.json");
    std::string damaged = english;
    for (size_t at = 0; (at = damaged.find("\"Default CSYS\"", at)) != std::string::npos;)
        damaged.replace(at, 14, "\"\xC3\x84\xC2\xAC\xC3\x88\xC3\x8F" "CSYS\"");
    ASSERT_NE(damaged, english);
    std::ofstream(folder.path() / "damaged.json", std::ios::binary) << damaged;
    const std::vector<std::string> expected = sortedHistoryNames(Json::parse(english));
    EXPECT_GT(expected.size(), 200u);

    for (const fs::path& model : {examples / "gearbox.en.json", folder.path() / "damaged.json"}) {
        SCOPED_TRACE(model.filename().string());
        const fs::path out = folder.path() / "out.json";
        const Outcome outcome = run(OSTREL_SIM_FILE_NAME, {model.string(), "--out", out.string()},
                                    Setting{"en_US.CP1252", ""});
        ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
        const std::string message = "[message, level 4] Pelmora: ";
        const size_t first = outcome.shown.find(message);
        ASSERT_NE(first, std::string::npos) << outcome.shown;
        EXPECT_EQ(outcome.shown.find(message, first + 1), std::string::npos) << "one message only";
        const std::string shownMessage = outcome.shown.substr(first, outcome.shown.find('\n', first) - first);
        EXPECT_TRUE(shownMessage.ends_with(" names left unchanged: their counterparts cannot be written in code page 1252."))
            << shownMessage;
        const Json written = Json::parse(readWhole(out));
        for (const Json& shown : written["messages"])
            for (char c : shown["text"].get<std::string>())
                EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << shown["text"];
        EXPECT_EQ(sortedHistoryNames(written), expected);
    }
}

} // namespace
