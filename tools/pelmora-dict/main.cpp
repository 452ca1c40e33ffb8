// pelmora-dict: explains a dictionary workbook. It reads the workbook with
// the module's own loader and names with the module's own naming rule, so
// that what it says is what the plug-in does.
#include "model_file.h"
#include "term_dictionary.h"
#include "text.h"
#include "text_codec.h"
#include "tool_support.h"
#include "translate_name.h"
#include "workbook_loader.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <langinfo.h>
#endif

namespace {

namespace fs = std::filesystem;

enum ExitCode {
    kOk = 0,
    kWouldNotLoad = 1,
    kBadArguments = 2,
};

constexpr int kDefaultDumpRows = 200;

constexpr char kUsage[] = R"(usage: pelmora-dict check WORKBOOK [--json]
       pelmora-dict preview WORKBOOK --names FILE [--json]
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
            history name; number cells and the text they read as.
  preview   for each line of FILE (UTF-8), the name the plug-in would give it,
            the name's pattern, and why it stays unchanged when it does. Names
            are taken in the ANSI code page of the current locale, as the host
            would hold them.
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
                      "numberCells": [{"row": N, "cell": S, "value": N, "text": S}],
                      "warnings": [S]}
            preview: {"command": "preview", "workbook": S, "loads": B, "codePage": S,
                      "names": [{"line": N, "name": S, "newName": S|null, "pattern": S,
                                 "changed": B, "why": S|null}]}
            dump:    {"command": "dump", "workbook": S, "lastRow": N,
                      "rows": [{"row": N, "A": CELL, "B": CELL}]}
                     CELL: {"type": "empty"|"number"|"string"|"boolean"|"blank"|"error",
                            "text": S (string), "value": N and "text": S (number, as the loader reads it)}

Exit codes: 0 the plug-in would load the workbook (warnings allowed); 1 it would
not (the file cannot be read, or there is no start marker); 2 bad arguments.
)";

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }
std::string jsonText(const std::u16string& text) { return ostrelsim::jsonQuoted(xl::utf16ToUtf8(text)); }
std::string jsonText(const std::string& utf8Text) { return ostrelsim::jsonQuoted(utf8Text); }

// "A12" for row 11, column 0.
std::string cellName(int row, int col) { return std::string(1, static_cast<char>('A' + col)) + std::to_string(row + 1); }

std::string codePageName()
{
#if defined(_WIN32)
    return "code page " + std::to_string(GetACP());
#else
    return nl_langinfo(CODESET);
#endif
}

// --- The workbook as the spreadsheet layer reads it ----------------------------

// The book for `path`, loaded, picked by extension as the loader picks it; null
// with `error` set when it cannot be read.
xl::BookHandle openBook(const std::u16string& path, std::string& error)
{
    xl::BookHandle book = createBookFor(path);
    if (!book) {
        error = "no book could be created";
        return nullptr;
    }
    if (!book->load(path.c_str(), nullptr)) {
        error = book->errorMessage();
        return nullptr;
    }
    return book;
}

// --- check -------------------------------------------------------------------------

// Everything the loader reports, kept in order.
class Recorder : public LoadObserver {
public:
    struct Pair {
        int row;
        std::u16string first;
        std::u16string second;
        bool entered;
    };
    struct Number {
        int row;
        int col;
        double value;
        std::u16string text;
    };

    void markerCandidate(int row, const std::u16string& text) override { candidates.emplace_back(row, text); }
    void numberCell(int row, int col, double value, const std::u16string& text) override
    {
        numbers.push_back({row, col, value, text});
    }
    void pairRow(int row, const std::u16string& first, const std::u16string& second, bool entered) override
    {
        pairs.push_back({row, first, second, entered});
    }

    // What the read found, and the rows as they went by.
    WorkbookRead read;
    std::vector<std::pair<int, std::u16string>> candidates;
    std::vector<Number> numbers;
    std::vector<Pair> pairs;

    bool opened() const { return read.status != WorkbookStatus::NotOpened; }
    bool hasSheet() const { return read.status != WorkbookStatus::NoSheet; }
};

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0' || c == u'\u3000';
}

bool looksEmpty(const std::u16string& text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return isBlank(c) || (c >= u'\u200B' && c <= u'\u200D') || c == u'\uFEFF';
    });
}

std::u16string trimmed(const std::u16string& text)
{
    size_t start = 0;
    size_t end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}

std::u16string folded(std::u16string text)
{
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}

// Why `text` is nearly `marker` but not quite, or empty when it is not close.
std::string nearMiss(const std::u16string& text, const std::u16string& marker)
{
    if (text == marker)
        return {};
    bool blanks = trimmed(text) != text;
    std::u16string core = trimmed(text);
    if (core == marker)
        return "has blanks around it";
    if (folded(core) == folded(marker))
        return blanks ? "is in another case and has blanks around it" : "is in another case";
    return {};
}

struct NearMiss {
    std::u16string marker;
    int row;
    std::u16string text;
    std::string why;
};

struct Conflict {
    std::u16string term;
    std::vector<std::pair<int, std::u16string>> counterparts;   // row, counterpart, in the order entered
    std::u16string wins;
};

struct Chain {
    std::u16string term, counterpart, then;
};

struct Unmatchable {
    int row;
    int col;
    std::u16string term;
    std::string why;
};

struct CheckReport {
    std::string workbook;
    Recorder load;
    std::vector<NearMiss> nearMisses;
    int pairsEntered = 0;
    int blankRows = 0;
    std::vector<std::pair<int, int>> skipped;   // row, the empty cell's column
    std::vector<Conflict> conflicts;
    std::vector<Chain> chains;
    std::vector<Unmatchable> unmatchable;
    std::vector<std::string> warnings;
    bool loads() const { return load.read.hasRegion(); }
};

constexpr char kUnwritable[] = "cannot be written in the ANSI code page of this locale";

// Why a history name can never hold `term` where the naming rule looks for
// it; empty when it can.
std::vector<std::string> unmatchableReasons(const std::u16string& term)
{
    std::vector<std::string> reasons;
    if (looksEmpty(term)) {
        reasons.push_back("looks empty: it holds only blanks or invisible characters");
        return reasons;
    }
    std::string narrow = wideToNarrow(term);
    if (narrowToWide(narrow) != term)
        reasons.push_back(kUnwritable);
    else if (std::any_of(narrow.begin(), narrow.end(), [](char c) { return c >= '0' && c <= '9'; }))
        reasons.push_back("holds a digit, so it can never be the leading term (that ends at the name's first "
                          "digit); only the term after the '_'");
    if (isBlank(term.front()) || isBlank(term.back()))
        reasons.push_back("begins or ends with a blank, so it matches only names that carry that blank");
    return reasons;
}

void analyse(CheckReport& report, const TermDictionary& dictionary, xl::Book* book)
{
    const Recorder& load = report.load;
    if (!load.opened()) {
        report.warnings.push_back("the workbook cannot be read: " + load.read.openError);
        return;
    }
    if (!load.hasSheet()) {
        report.warnings.push_back("the workbook has no sheet");
        return;
    }
    const std::u16string start = kStartMarker;
    const std::u16string end = kEndMarker;
    if (load.read.startRow < 0) {
        for (const auto& [row, text] : load.candidates)
            if (std::string why = nearMiss(text, start); !why.empty())
                report.nearMisses.push_back({start, row, text, why});
        // The loader looks no further; the rest of the column says whether the marker is just too low.
        xl::Sheet* sheet = book ? book->getSheet(0) : nullptr;
        for (int row = kLastStartMarkerRow + 1; sheet && row < sheet->lastRow(); ++row) {
            const char16_t* cell = sheet->readStr(row, 0, nullptr);
            std::u16string text = cell ? cell : u"";
            std::string why = text == start ? "is past row " + std::to_string(kLastStartMarkerRow + 1) +
                                                  ", the last row the plug-in looks in"
                                            : nearMiss(text, start);
            if (!why.empty())
                report.nearMisses.push_back({start, row, text, why});
        }
        report.warnings.push_back("no start marker " + utf8(start) + " in A1:A" +
                                  std::to_string(kLastStartMarkerRow + 1) + ", so the plug-in enters no pair");
    }

    // Who sets what, in order: each pair enters both directions.
    std::vector<std::u16string> order;
    std::map<std::u16string, std::vector<std::pair<int, std::u16string>>> settings;
    std::map<std::u16string, std::pair<int, int>> firstSeen;   // row, column
    auto enter = [&](const std::u16string& term, const std::u16string& counterpart, int row, int col) {
        if (!settings.count(term)) {
            order.push_back(term);
            firstSeen[term] = {row, col};
        }
        settings[term].emplace_back(row, counterpart);
    };
    for (const Recorder::Pair& pair : load.pairs) {
        if (pair.entered) {
            ++report.pairsEntered;
            enter(pair.first, pair.second, pair.row, 0);
            enter(pair.second, pair.first, pair.row, 1);
        } else if (pair.first.empty() && pair.second.empty()) {
            ++report.blankRows;
        } else {
            report.skipped.emplace_back(pair.row, pair.first.empty() ? 0 : 1);
        }
        if (load.read.endRow < 0)
            if (std::string why = nearMiss(pair.first, end); !why.empty())
                report.nearMisses.push_back({end, pair.row, pair.first, why});
    }
    if (load.read.startRow >= 0 && load.read.endRow < 0)
        report.warnings.push_back("no end marker " + utf8(end) +
                                  ": the pairs run to the sheet's last used row, and the load reports failure");

    for (const std::u16string& term : order) {
        const auto& set = settings[term];
        bool differ = std::any_of(set.begin(), set.end(), [&](const auto& entry) { return entry.second != set[0].second; });
        if (differ)
            report.conflicts.push_back({term, set, dictionary.lookup(term)});
        std::u16string counterpart = dictionary.lookup(term);
        std::u16string then = dictionary.lookup(counterpart);
        if (!then.empty() && then != term)
            report.chains.push_back({term, counterpart, then});
        for (std::string& why : unmatchableReasons(term))
            report.unmatchable.push_back({firstSeen[term].first, firstSeen[term].second, term, why});
    }

    for (const NearMiss& miss : report.nearMisses)
        report.warnings.push_back(cellName(miss.row, 0) + " \"" + utf8(miss.text) + "\" looks like the marker " +
                                  utf8(miss.marker) + " but " + miss.why);
    for (const auto& [row, col] : report.skipped)
        report.warnings.push_back("row " + std::to_string(row + 1) + " is skipped: " + cellName(row, col) +
                                  " is empty");
    for (const Conflict& conflict : report.conflicts) {
        std::string text = "\"" + utf8(conflict.term) + "\" is entered with different counterparts:";
        for (const auto& [row, counterpart] : conflict.counterparts)
            text += " \"" + utf8(counterpart) + "\" (row " + std::to_string(row + 1) + ")";
        report.warnings.push_back(text + "; \"" + utf8(conflict.wins) + "\" wins, the last one entered");
    }
    for (const Chain& chain : report.chains)
        report.warnings.push_back("chain: \"" + utf8(chain.term) + "\" turns into \"" + utf8(chain.counterpart) +
                                  "\", which turns into \"" + utf8(chain.then) +
                                  "\", so a name swapped twice does not come back");
    // Terms of another script in the wrong locale would bury every other warning.
    std::vector<std::u16string> unwritable;
    for (const Unmatchable& term : report.unmatchable) {
        if (term.why == kUnwritable)
            unwritable.push_back(term.term);
        else
            report.warnings.push_back(cellName(term.row, term.col) + " \"" + utf8(term.term) + "\" " + term.why);
    }
    if (!unwritable.empty()) {
        std::string text = std::to_string(unwritable.size()) + " terms " + kUnwritable + ":";
        for (size_t i = 0; i < unwritable.size() && i < 5; ++i)
            text += " \"" + utf8(unwritable[i]) + "\"";
        report.warnings.push_back(text + (unwritable.size() > 5 ? " ..." : ""));
    }
}

void printCheckText(const CheckReport& report)
{
    const Recorder& load = report.load;
    std::printf("Workbook: %s\n", report.workbook.c_str());
    if (load.opened() && load.hasSheet()) {
        if (load.read.startRow >= 0)
            std::printf("Start marker: row %d (%s)\n", load.read.startRow + 1, cellName(load.read.startRow, 0).c_str());
        else
            std::printf("Start marker: none in A1:A%d\n", kLastStartMarkerRow + 1);
        if (load.read.endRow >= 0)
            std::printf("End marker: row %d (%s)\n", load.read.endRow + 1, cellName(load.read.endRow, 0).c_str());
        else if (load.read.startRow >= 0)
            std::printf("End marker: none\n");
        std::printf("Pairs entered: %d\n", report.pairsEntered);
        std::printf("Rows skipped: %zu with an empty cell, %d blank\n", report.skipped.size(), report.blankRows);
        std::printf("Terms entered twice with different counterparts: %zu\n", report.conflicts.size());
        std::printf("Chains: %zu\n", report.chains.size());
        std::printf("Terms that can never match: %zu\n", report.unmatchable.size());
        std::printf("Number cells: %zu\n", load.numbers.size());
        for (const Recorder::Number& number : load.numbers)
            std::printf("  %s holds the number %.17g, read as \"%s\"\n", cellName(number.row, number.col).c_str(),
                        number.value, utf8(number.text).c_str());
    }
    if (!report.warnings.empty()) {
        std::printf("Warnings:\n");
        for (const std::string& warning : report.warnings)
            std::printf("  %s\n", warning.c_str());
    }
    if (report.loads())
        std::printf("The plug-in loads this workbook: %d pairs, %zu warning%s.\n", report.pairsEntered,
                    report.warnings.size(), report.warnings.size() == 1 ? "" : "s");
    else
        std::printf("The plug-in would not load this workbook.\n");
}

std::string cellJson(int row, int col) { return "{\"row\": " + std::to_string(row + 1) + ", \"cell\": \"" + cellName(row, col) + "\"}"; }

template <typename T, typename Format>
std::string jsonArray(const std::vector<T>& items, Format format)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? ", " : "") + format(items[i]);
    return out + "]";
}

std::string numberJson(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void printCheckJson(const CheckReport& report)
{
    const Recorder& load = report.load;
    std::string out = "{\"command\": \"check\", \"workbook\": " + jsonText(report.workbook) +
                      ", \"loads\": " + (report.loads() ? "true" : "false") +
                      ", \"openError\": " + (load.opened() ? "null" : jsonText(load.read.openError)) +
                      ", \"startMarker\": " + (load.read.startRow >= 0 ? cellJson(load.read.startRow, 0) : "null") +
                      ", \"endMarker\": " + (load.read.endRow >= 0 ? cellJson(load.read.endRow, 0) : "null") +
                      ", \"pairsEntered\": " + std::to_string(report.pairsEntered) +
                      ", \"blankRows\": " + std::to_string(report.blankRows);
    out += ", \"skippedRows\": " + jsonArray(report.skipped, [](const std::pair<int, int>& skipped) {
        return "{\"row\": " + std::to_string(skipped.first + 1) + ", \"emptyCell\": \"" +
               cellName(skipped.first, skipped.second) + "\"}";
    });
    out += ", \"markerNearMisses\": " + jsonArray(report.nearMisses, [](const NearMiss& miss) {
        return "{\"marker\": " + jsonText(miss.marker) + ", \"row\": " + std::to_string(miss.row + 1) +
               ", \"cell\": \"" + cellName(miss.row, 0) + "\", \"text\": " + jsonText(miss.text) +
               ", \"why\": " + jsonText(miss.why) + "}";
    });
    out += ", \"conflicts\": " + jsonArray(report.conflicts, [](const Conflict& conflict) {
        return "{\"term\": " + jsonText(conflict.term) + ", \"counterparts\": " +
               jsonArray(conflict.counterparts,
                         [](const std::pair<int, std::u16string>& entry) {
                             return "{\"row\": " + std::to_string(entry.first + 1) +
                                    ", \"counterpart\": " + jsonText(entry.second) + "}";
                         }) +
               ", \"wins\": " + jsonText(conflict.wins) + "}";
    });
    out += ", \"chains\": " + jsonArray(report.chains, [](const Chain& chain) {
        return "{\"term\": " + jsonText(chain.term) + ", \"counterpart\": " + jsonText(chain.counterpart) +
               ", \"then\": " + jsonText(chain.then) + "}";
    });
    out += ", \"unmatchable\": " + jsonArray(report.unmatchable, [](const Unmatchable& term) {
        return "{\"row\": " + std::to_string(term.row + 1) + ", \"cell\": \"" + cellName(term.row, term.col) +
               "\", \"term\": " + jsonText(term.term) + ", \"why\": " + jsonText(term.why) + "}";
    });
    out += ", \"numberCells\": " + jsonArray(load.numbers, [](const Recorder::Number& number) {
        return "{\"row\": " + std::to_string(number.row + 1) + ", \"cell\": \"" + cellName(number.row, number.col) +
               "\", \"value\": " + numberJson(number.value) + ", \"text\": " + jsonText(number.text) + "}";
    });
    out += ", \"warnings\": " + jsonArray(report.warnings, [](const std::string& warning) { return jsonText(warning); });
    std::printf("%s}\n", out.c_str());
}

int check(const fs::path& workbook, bool json)
{
    CheckReport report;
    report.workbook = tools::displayPath(workbook);
    TermDictionary dictionary;
    std::u16string path = workbook.u16string();
    report.load.read = readDictionaryWorkbook(dictionary, path, kStartMarker, kEndMarker, &report.load);
    std::string ignored;
    // Read again only to look past the rows the loader searches.
    xl::BookHandle book = report.load.opened() && report.load.read.startRow < 0 ? openBook(path, ignored) : nullptr;
    analyse(report, dictionary, book.get());
    if (json)
        printCheckJson(report);
    else
        printCheckText(report);
    return report.loads() ? kOk : kWouldNotLoad;
}

// --- preview -----------------------------------------------------------------------

const char* patternName(NamePattern pattern)
{
    switch (pattern) {
    case NamePattern::CoordinateSystem: return "coordinate system";
    case NamePattern::OneTerm: return "term and number";
    case NamePattern::TwoTerm: return "term, number, '_', term";
    }
    return "";
}

std::string whyUnchanged(const NameTranslation& analysis)
{
    switch (analysis.outcome) {
    case NameOutcome::Translated: return {};
    case NameOutcome::NoDigit: return "it holds no digit, so there is no number to split it at";
    case NameOutcome::NoUnderscoreAfterDigit:
        return "it has a '_' before its first digit but none after it";
    case NameOutcome::EmptySegment:
        return analysis.prefix.empty() ? "it starts with its number, so there is no leading term"
                                       : "nothing follows the '_', so there is no second term";
    case NameOutcome::NoCounterpart: {
        std::string why;
        if (!analysis.prefixKnown)
            why = "\"" + ostrelsim::ansiToUtf8(std::string(analysis.prefix)) + "\" has no counterpart";
        if (analysis.pattern == NamePattern::TwoTerm && !analysis.restKnown)
            why += (why.empty() ? "\"" : " and \"") + ostrelsim::ansiToUtf8(std::string(analysis.rest)) +
                   "\" has no counterpart";
        return why;
    }
    }
    return {};
}

int preview(const fs::path& workbook, const fs::path& namesFile, bool json)
{
    std::string names;
    std::string error;
    if (!tools::readFile(namesFile, names, error)) {
        std::fprintf(stderr, "pelmora-dict: %s: %s\n", tools::displayPath(namesFile).c_str(), error.c_str());
        return kBadArguments;
    }
    TermDictionary dictionary;
    Recorder load;
    load.read = readDictionaryWorkbook(dictionary, workbook.u16string(), kStartMarker, kEndMarker, &load);
    bool loads = load.read.hasRegion();
    if (!json) {
        std::printf("Workbook: %s (%s)\n", tools::displayPath(workbook).c_str(),
                    loads ? "loaded" : load.opened() ? "no start marker: no terms" : "cannot be read: no terms");
        std::printf("Names taken in %s\n", codePageName().c_str());
    }
    std::string entries;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < names.size()) {
        size_t end = names.find('\n', start);
        std::string line = names.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? names.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::optional<std::string> host = ostrelsim::utf8ToAnsi(line);
        std::string newName;
        std::string pattern;
        std::string why;
        if (!host) {
            why = "the name cannot be written in " + codePageName();
        } else {
            NameTranslation analysis = analyseName(*host, dictionary);
            newName = ostrelsim::ansiToUtf8(analysis.name);
            pattern = patternName(analysis.pattern);
            why = whyUnchanged(analysis);
        }
        bool changed = host && newName != line;
        if (json) {
            entries += std::string(entries.empty() ? "" : ", ") + "{\"line\": " + std::to_string(lineNumber) +
                       ", \"name\": " + jsonText(line) + ", \"newName\": " + (host ? jsonText(newName) : "null") +
                       ", \"pattern\": " + jsonText(pattern) + ", \"changed\": " + (changed ? "true" : "false") +
                       ", \"why\": " + (why.empty() ? "null" : jsonText(why)) + "}";
        } else if (changed) {
            std::printf("%s -> %s  [%s]\n", line.c_str(), newName.c_str(), pattern.c_str());
        } else {
            std::printf("%s unchanged%s%s%s: %s\n", line.c_str(), pattern.empty() ? "" : "  [",
                        pattern.c_str(), pattern.empty() ? "" : "]", why.c_str());
        }
    }
    if (json)
        std::printf("{\"command\": \"preview\", \"workbook\": %s, \"loads\": %s, \"codePage\": %s, \"names\": [%s]}\n",
                    jsonText(tools::displayPath(workbook)).c_str(), loads ? "true" : "false",
                    jsonText(codePageName()).c_str(), entries.c_str());
    return loads ? kOk : kWouldNotLoad;
}

// --- dump --------------------------------------------------------------------------

const char* cellTypeName(int type)
{
    switch (type) {
    case xl::CELLTYPE_EMPTY: return "empty";
    case xl::CELLTYPE_NUMBER: return "number";
    case xl::CELLTYPE_STRING: return "string";
    case xl::CELLTYPE_BOOLEAN: return "boolean";
    case xl::CELLTYPE_BLANK: return "blank";
    case xl::CELLTYPE_ERROR: return "error";
    }
    return "unknown";
}

int dump(const fs::path& workbook, int rows, bool json)
{
    std::string error;
    xl::BookHandle book = openBook(workbook.u16string(), error);
    xl::Sheet* sheet = book ? book->getSheet(0) : nullptr;
    if (!sheet) {
        std::fprintf(stderr, "pelmora-dict: %s: %s\n", tools::displayPath(workbook).c_str(),
                     book ? "the workbook has no sheet" : error.c_str());
        return kWouldNotLoad;
    }
    std::string out;
    if (!json)
        std::printf("Workbook: %s, first sheet, last used row %d\n", tools::displayPath(workbook).c_str(),
                    sheet->lastRow());
    for (int row = 0; row < rows; ++row) {
        std::string cells[2];
        for (int col = 0; col < 2; ++col) {
            int type = sheet->cellType(row, col);
            std::string description = cellTypeName(type);
            std::string jsonCell = "{\"type\": \"" + description + "\"";
            if (type == xl::CELLTYPE_NUMBER) {
                std::u16string text;
                readCellText(sheet, row, col, text);
                std::string value = numberJson(sheet->readNum(row, col, nullptr));
                description += " " + value + " (read as \"" + utf8(text) + "\")";
                jsonCell += ", \"value\": " + value + ", \"text\": " + jsonText(text);
            } else if (const char16_t* text = sheet->readStr(row, col, nullptr)) {
                description += " \"" + utf8(text) + "\"";
                jsonCell += ", \"text\": " + jsonText(std::u16string(text));
            }
            cells[col] = json ? jsonCell + "}" : description;
        }
        if (json)
            out += std::string(row ? ", " : "") + "{\"row\": " + std::to_string(row + 1) + ", \"A\": " + cells[0] +
                   ", \"B\": " + cells[1] + "}";
        else
            std::printf("%5d  A: %-40s  B: %s\n", row + 1, cells[0].c_str(), cells[1].c_str());
    }
    if (json)
        std::printf("{\"command\": \"dump\", \"workbook\": %s, \"lastRow\": %d, \"rows\": [%s]}\n",
                    jsonText(tools::displayPath(workbook)).c_str(), sheet->lastRow(), out.c_str());
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
    int rows = kDefaultDumpRows;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--json") {
            json = true;
        } else if (argument == "--names" && command == "preview") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                return badArguments("--names needs a file");
            namesFile = arguments[++i];
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
        return preview(workbook, tools::pathFromArgument(namesFile), json);
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
