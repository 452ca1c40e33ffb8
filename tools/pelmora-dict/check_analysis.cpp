// The check of a dictionary workbook: the loader's own reading, then what a
// person who keeps the workbook would want to know about it.
#include "check_analysis.h"

#include "common/cell_reference.h"
#include "text.h"
#include "utf8.h"

#include <algorithm>
#include <map>

namespace {

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }

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

constexpr char kUnwritable[] = "unwritable";

// Why `text` is nearly `marker` but not quite; no code when it is not close.
Reason nearMiss(const std::u16string& text, const std::u16string& marker)
{
    if (text == marker)
        return {};
    bool blanks = trimmed(text) != text;
    std::u16string core = trimmed(text);
    if (core == marker)
        return {"blanks-around", "has blanks around it"};
    if (folded(core) == folded(marker))
        return blanks ? Reason{"other-case-and-blanks", "is in another case and has blanks around it"}
                      : Reason{"other-case", "is in another case"};
    return {};
}

} // namespace

std::vector<Reason> unmatchableReasons(const std::u16string& term)
{
    std::vector<Reason> reasons;
    if (looksEmpty(term)) {
        reasons.push_back({"looks-empty", "looks empty: it holds only blanks or invisible characters"});
        return reasons;
    }
    const std::optional<std::string> narrow = wideToNarrowExact(term);
    if (!narrow)
        reasons.push_back({kUnwritable, "cannot be written in " + systemCodePageName()});
    else if (std::any_of(narrow->begin(), narrow->end(), [](char c) { return c >= '0' && c <= '9'; }))
        reasons.push_back({"holds-digit", "holds a digit, so it can never be the leading term (that ends at the "
                                          "name's first digit); only the term after the '_'"});
    if (isBlank(term.front()) || isBlank(term.back()))
        reasons.push_back({"blank-at-edge", "begins or ends with a blank, so it matches only names that carry that blank"});
    return reasons;
}

namespace {

// Terms entered in both columns, and whether the columns look swapped.
void analyseColumns(CheckReport& report)
{
    std::map<std::u16string, int> firstRowA;
    std::map<std::u16string, int> firstRowB;
    bool hanInA = false;
    bool hanInB = false;
    for (const LoadRecord::Pair& pair : report.load.pairs) {
        if (!pair.entered)
            continue;
        firstRowA.emplace(pair.first, pair.row);
        firstRowB.emplace(pair.second, pair.row);
        hanInA = hanInA || holdsHan(pair.first);
        hanInB = hanInB || holdsHan(pair.second);
    }
    for (const auto& [term, rowA] : firstRowA)
        if (auto inB = firstRowB.find(term); inB != firstRowB.end())
            report.inBothColumns.push_back({term, rowA, inB->second});
    std::sort(report.inBothColumns.begin(), report.inBothColumns.end(),
              [](const InBothColumns& a, const InBothColumns& b) { return std::min(a.rowA, a.rowB) < std::min(b.rowA, b.rowB); });
    report.columnsReversed = hanInA && !hanInB;

    for (const InBothColumns& term : report.inBothColumns)
        report.warnings.push_back({"in-both-columns", "\"" + utf8(term.term) + "\" stands in column A (" +
                                  xl::formatCellReference(term.rowA, 0) + ") and in column B (" +
                                  xl::formatCellReference(term.rowB, 1) +
                                  "): PelmoraToChinese and PelmoraToEnglish keep it as it is"});
    if (report.columnsReversed)
        report.warnings.push_back({"columns-reversed",
                                   "column A holds Chinese characters and column B none: PelmoraToChinese turns "
                                   "column A terms into column B ones, so with these columns it would run backwards"});
}

// Where the start marker stands when column A of the first sheet does not
// hold it: in another column, or on another sheet (a typo in neither, a
// marker one cell off, the wrong sheet first). The first place found, in a
// region as large as any dictionary's head, or nothing.
std::string startMarkerElsewhere(xl::Book& book, const std::u16string& start)
{
    constexpr int kRows = 1000;
    constexpr int kColumns = 26;
    for (int index = 0; index < 16; ++index) {
        xl::Sheet* sheet = book.getSheet(index);
        if (sheet == nullptr)
            break;
        for (int row = 0; row <= std::min(sheet->lastRow(), kRows); ++row) {
            for (int col = index == 0 ? 1 : 0; col < kColumns; ++col) {
                const char16_t* cell = sheet->readStr(row, col, nullptr);
                if (cell == nullptr || start != cell)
                    continue;
                const std::string where = xl::formatCellReference(row, col);
                return index == 0 ? where + " of the first sheet, but the plug-in looks in column A only"
                                  : where + " of sheet " + std::to_string(index + 1) +
                                        ", but the plug-in reads the first sheet only";
            }
        }
    }
    return {};
}

void analyse(CheckReport& report, xl::Book& book)
{
    const LoadRecord& load = report.load;
    const TermDictionary& dictionary = report.dictionary;
    if (!load.hasSheet()) {
        report.warnings.push_back({"no-sheet", "the workbook has no sheet"});
        return;
    }
    const std::u16string start = kStartMarker;
    const std::u16string end = kEndMarker;
    if (load.read.startRow < 0) {
        for (const auto& [row, text] : load.candidates)
            if (Reason reason = nearMiss(text, start); reason.code)
                report.nearMisses.push_back({start, row, text, reason.code, reason.why});
        // The loader looks no further; the rest of the column says whether the marker is just too low.
        xl::Sheet* sheet = book.getSheet(0);
        for (int row = kLastStartMarkerRow + 1; row < sheet->lastRow(); ++row) {
            const char16_t* cell = sheet->readStr(row, 0, nullptr);
            std::u16string text = cell ? cell : u"";
            Reason reason = text == start ? Reason{"past-last-row", "is past row " +
                                                                        std::to_string(kLastStartMarkerRow + 1) +
                                                                        ", the last row the plug-in looks in"}
                                          : nearMiss(text, start);
            if (reason.code)
                report.nearMisses.push_back({start, row, text, reason.code, reason.why});
        }
        report.warnings.push_back({"no-start-marker", "no start marker " + utf8(start) + " in A1:A" +
                                                          std::to_string(kLastStartMarkerRow + 1) +
                                                          ", so the plug-in enters no pair"});
        if (const std::string elsewhere = startMarkerElsewhere(book, start); !elsewhere.empty())
            report.warnings.push_back({"marker-elsewhere", utf8(start) + " stands in " + elsewhere});
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
    for (const LoadRecord::Pair& pair : load.pairs) {
        if (pair.entered) {
            enter(pair.first, pair.second, pair.row, 0);
            enter(pair.second, pair.first, pair.row, 1);
        } else if (pair.first.empty() && pair.second.empty()) {
            ++report.blankRows;
        } else {
            report.skipped.push_back({pair.row, pair.first.empty() ? 0 : 1});
        }
        if (load.read.endRow < 0)
            if (Reason reason = nearMiss(pair.first, end); reason.code)
                report.nearMisses.push_back({end, pair.row, pair.first, reason.code, reason.why});
    }
    if (load.read.startRow >= 0 && load.read.endRow < 0)
        report.warnings.push_back({"no-end-marker", "no end marker " + utf8(end) +
                                                        ": the pairs run to the sheet's last used row, and the load "
                                                        "reports failure"});

    for (const std::u16string& term : order) {
        const auto& set = settings[term];
        bool differ = std::any_of(set.begin(), set.end(), [&](const auto& entry) { return entry.second != set[0].second; });
        if (differ)
            report.conflicts.push_back({term, set, dictionary.lookup(term)});
        std::u16string counterpart = dictionary.lookup(term);
        std::u16string then = dictionary.lookup(counterpart);
        if (!then.empty() && then != term)
            report.chains.push_back({term, counterpart, then});
        for (Reason& reason : unmatchableReasons(term))
            report.unmatchable.push_back({firstSeen[term].first, firstSeen[term].second, term, reason.code,
                                          std::move(reason.why)});
    }

    for (const NearMiss& miss : report.nearMisses)
        report.warnings.push_back({"marker-near-miss", xl::formatCellReference(miss.row, 0) + " \"" + utf8(miss.text) +
                                                           "\" looks like the marker " + utf8(miss.marker) + " but " +
                                                           miss.why});
    for (const SkippedRow& skipped : report.skipped)
        report.warnings.push_back({"row-skipped", "row " + std::to_string(skipped.row + 1) + " is skipped: " +
                                                      xl::formatCellReference(skipped.row, skipped.emptyCol) +
                                                      " is empty"});
    for (const Conflict& conflict : report.conflicts) {
        std::string text = "\"" + utf8(conflict.term) + "\" is entered with different counterparts:";
        for (const auto& [row, counterpart] : conflict.counterparts)
            text += " \"" + utf8(counterpart) + "\" (row " + std::to_string(row + 1) + ")";
        report.warnings.push_back({"conflict", text + "; \"" + utf8(conflict.wins) + "\" wins, the last one entered"});
    }
    for (const Chain& chain : report.chains)
        report.warnings.push_back({"chain", "chain: \"" + utf8(chain.term) + "\" turns into \"" +
                                                utf8(chain.counterpart) + "\", which turns into \"" +
                                                utf8(chain.then) + "\", so a name swapped twice does not come back"});
    analyseColumns(report);
    // Terms of another script in the wrong locale would bury every other warning.
    std::vector<std::string> unwritable;
    for (const Unmatchable& term : report.unmatchable) {
        std::string where = xl::formatCellReference(term.row, term.col) + " \"" + utf8(term.term) + "\"";
        if (term.code == kUnwritable)
            unwritable.push_back(where);
        else
            report.warnings.push_back({"unmatchable-term", where + " " + term.why});
    }
    if (!unwritable.empty()) {
        std::string text = unwritable.size() == 1 ? "1 term cannot" : std::to_string(unwritable.size()) + " terms cannot";
        text += " be written in " + systemCodePageName() +
                ": no name holds them here, and names that would take them as counterparts stay as they are:";
        for (size_t i = 0; i < unwritable.size() && i < 5; ++i)
            text += " " + unwritable[i];
        report.warnings.push_back({"unwritable-terms", text + (unwritable.size() > 5 ? " ..." : "")});
    }
}

} // namespace

CheckReport checkWorkbook(xl::Book& book)
{
    CheckReport report;
    report.load.read = readDictionaryBook(report.dictionary, book, kStartMarker, kEndMarker, &report.load);
    analyse(report, book);
    return report;
}
