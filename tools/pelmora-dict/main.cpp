// pelmora-dict: explains a dictionary workbook. It reads the workbook with
// the module's own loader and names with the module's own naming rule, so
// that what it says is what the plug-in does. This file takes the arguments
// and runs a command; the analyses and the reports are units of their own.
#include "reports.h"
#include "text.h"
#include "tool_support.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

enum ExitCode {
    kOk = 0,
    kWouldNotLoad = 1,
    kBadArguments = 2,
};

constexpr int kDefaultDumpRows = 200;

constexpr char kUsage[] = R"(usage: pelmora-dict check WORKBOOK [--json]
       pelmora-dict preview WORKBOOK --names FILE [--to chinese|english|swap] [--json]
       pelmora-dict dump WORKBOOK [--rows N] [--json]

Explains a Pelmora dictionary workbook (.xlsx, or .xls by its extension) the
way the plug-in reads it: on the first sheet, the pairs between a row whose
column A is KQ_FILE_START (looked for in rows 1 to 101) and a row whose column
A is KQ_FILE_END, term in column A, counterpart in column B. Rows are numbered
as in the spreadsheet, from 1. Output is UTF-8.

  check     where the markers are, or why none was found (a marker in another
            case, with blanks, or past row 101); pairs entered; rows skipped
            because a cell is empty; terms entered twice with different
            counterparts and which one wins; chains (a term's counterpart has a
            third term as its own counterpart); terms that can never match a
            history name; terms in both columns, which PelmoraToChinese and
            PelmoraToEnglish keep as they are; columns that look the wrong way
            round (Chinese in column A); number cells and the text they read as.
  preview   for each line of FILE (UTF-8), the name the plug-in would give it,
            the name's pattern, and why it stays unchanged when it does. Names
            are taken in the ANSI code page of the current locale, as the host
            would hold them. --to chinese shows what PelmoraToChinese does
            (column A terms to their column B counterparts), --to english what
            PelmoraToEnglish does (B to A); the default, swap, what
            PelmoraSwap does.
  dump      columns A and B of the first N rows (default 200) with each cell's
            type and its text or number as the spreadsheet layer reads them.
  --json    one JSON document on stdout instead of text:
            check:   {"command": "check", "workbook": S, "loads": B,
                      "openError": S|null, "startMarker": {"row": N, "cell": S}|null,
                      "endMarker": {"row": N, "cell": S}|null, "pairsEntered": N,
                      "blankRows": N, "skippedRows": [{"row": N, "emptyCell": S}],
                      "markerNearMisses": [{"marker": S, "row": N, "cell": S, "text": S, "why": S}],
                      "conflicts": [{"term": S, "counterparts": [{"row": N, "counterpart": S}], "wins": S}],
                      "chains": [{"term": S, "counterpart": S, "then": S}],
                      "unmatchable": [{"row": N, "cell": S, "term": S, "why": S}],
                      "inBothColumns": [{"term": S, "cellA": S, "cellB": S}],
                      "columnsReversed": B,
                      "numberCells": [{"row": N, "cell": S, "value": N, "text": S}],
                      "warnings": [S]}
            preview: {"command": "preview", "workbook": S, "loads": B, "codePage": S,
                      "direction": "swap"|"chinese"|"english",
                      "names": [{"line": N, "name": S, "newName": S|null, "pattern": S,
                                 "changed": B, "why": S|null}]}
            dump:    {"command": "dump", "workbook": S, "lastRow": N,
                      "rows": [{"row": N, "A": CELL, "B": CELL}]}
                     CELL: {"type": "empty"|"number"|"string"|"boolean"|"blank"|"error",
                            "text": S (string), "value": N and "text": S (number, as the loader reads it)}

Exit codes: 0 the plug-in would load the workbook (warnings allowed); 1 it would
not (the file cannot be read, or there is no start marker); 2 bad arguments.
)";

void printJson(const nlohmann::ordered_json& document)
{
    // File names that are not UTF-8 must not cost the whole document.
    std::printf("%s\n", document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
}

int check(const fs::path& workbook, bool json)
{
    const CheckReport report = checkWorkbook(workbook.u16string());
    const std::string name = tools::displayPath(workbook);
    if (json)
        printJson(checkJson(report, name));
    else
        printCheckText(report, name);
    return report.loads() ? kOk : kWouldNotLoad;
}

// The rule that `preview --to` names.
struct PreviewDirection {
    const char* name;
    Direction direction;
};
constexpr PreviewDirection kPreviewDirections[] = {
    {"swap", Direction::Swap},
    {"chinese", Direction::ToColumnB},
    {"english", Direction::ToColumnA},
};

int preview(const fs::path& workbook, const fs::path& namesFile, const PreviewDirection& direction, bool json)
{
    std::string names;
    std::string error;
    if (!tools::readFile(namesFile, names, error)) {
        std::fprintf(stderr, "pelmora-dict: %s: %s\n", tools::displayPath(namesFile).c_str(), error.c_str());
        return kBadArguments;
    }
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    LoadRecord load;
    load.read = readDictionaryWorkbook(dictionary, workbook.u16string(), kStartMarker, kEndMarker, &load, &columns);
    const PreviewContext context{tools::displayPath(workbook), load, systemCodePageName(), direction.name};
    const std::vector<NamePreview> previews =
        previewNames(names, NamingRule(dictionary, columns, direction.direction));
    if (json)
        printJson(previewJson(context, previews));
    else
        printPreviewText(context, previews);
    return load.read.hasRegion() ? kOk : kWouldNotLoad;
}

int dump(const fs::path& workbook, int rows, bool json)
{
    std::string error;
    const std::optional<SheetDump> dump = dumpSheet(workbook.u16string(), rows, error);
    const std::string name = tools::displayPath(workbook);
    if (!dump) {
        std::fprintf(stderr, "pelmora-dict: %s: %s\n", name.c_str(), error.c_str());
        return kWouldNotLoad;
    }
    if (json)
        printJson(dumpJson(*dump, name));
    else
        printDumpText(*dump, name);
    return kOk;
}

// --- Arguments -----------------------------------------------------------------------

int badArguments(const std::string& message)
{
    std::fprintf(stderr, "pelmora-dict: %s\nTry 'pelmora-dict --help'.\n", message.c_str());
    return kBadArguments;
}

int run(const std::vector<std::string>& arguments)
{
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    if (arguments.empty())
        return badArguments("no command given (check, preview or dump)");
    const std::string& command = arguments[0];
    if (command != "check" && command != "preview" && command != "dump")
        return badArguments("unknown command " + command + " (check, preview or dump)");

    std::vector<std::string> positional;
    bool json = false;
    std::string namesFile;
    const PreviewDirection* direction = &kPreviewDirections[0];
    int rows = kDefaultDumpRows;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--json") {
            json = true;
        } else if (argument == "--names" && command == "preview") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                return badArguments("--names needs a file");
            namesFile = arguments[++i];
        } else if (argument == "--to" && command == "preview") {
            const std::string value = i + 1 < arguments.size() ? arguments[++i] : "";
            const auto named = std::find_if(std::begin(kPreviewDirections), std::end(kPreviewDirections),
                                            [&](const PreviewDirection& known) { return value == known.name; });
            if (named == std::end(kPreviewDirections))
                return badArguments("--to needs chinese, english or swap, not '" + value + "'");
            direction = named;
        } else if (argument == "--rows" && command == "dump") {
            if (i + 1 >= arguments.size())
                return badArguments("--rows needs a number");
            const std::string& value = arguments[++i];
            char* end = nullptr;
            long parsed = std::strtol(value.c_str(), &end, 10);
            // A sheet holds at most 1048576 rows.
            if (value.empty() || *end != '\0' || parsed < 1 || parsed > 1048576)
                return badArguments("--rows needs a number from 1 to 1048576, not " + value);
            rows = static_cast<int>(parsed);
        } else if (argument.size() > 1 && argument[0] == '-') {
            return badArguments("unknown option " + argument + " for " + command);
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 1)
        return badArguments(positional.empty() ? command + " needs a workbook"
                                               : command + " takes one workbook, not " +
                                                     std::to_string(positional.size()));
    fs::path workbook = tools::pathFromArgument(positional[0]);
    if (command == "check")
        return check(workbook, json);
    if (command == "preview") {
        if (namesFile.empty())
            return badArguments("preview needs --names FILE");
        return preview(workbook, tools::pathFromArgument(namesFile), *direction, json);
    }
    return dump(workbook, rows, json);
}

} // namespace

int main(int argc, char** argv)
{
    // Names are taken in the code page of the user's locale, as the host would hold them.
    std::setlocale(LC_ALL, "");
    tools::useUtf8Output();
    return run(tools::arguments(argc, argv));
}
