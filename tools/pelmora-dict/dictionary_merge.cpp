// Merging filled-in pairs into a dictionary workbook: a decision per pair,
// made against the dictionary as it grows, so that two rows of the filled-in
// workbook cannot contradict each other either; then the rows inserted by
// the spreadsheet layer's sheet edit.
#include "dictionary_merge.h"

#include "utf8.h"
#include "xlsx/sheet_edit.h"

#include <algorithm>

namespace {

std::string quoted(const std::u16string& text)
{
    return "\"" + xl::utf16ToUtf8(text) + "\"";
}

std::string rowName(int row)
{
    return "row " + std::to_string(row + 1);
}

} // namespace

MergePlan planMerge(xl::Book& config, xl::Book& filled)
{
    MergePlan plan;
    TermDictionary dictionary;
    plan.config.read = readDictionaryBook(dictionary, config, kStartMarker, kEndMarker, &plan.config);
    TermDictionary filledDictionary;
    plan.filled.read = readDictionaryBook(filledDictionary, filled, kStartMarker, kEndMarker, &plan.filled);

    // Where each term stands in the dictionary, and the row a pair added by
    // this merge came from, for the messages.
    TermDictionary addedFrom;
    for (const LoadRecord::Pair& row : plan.filled.pairs) {
        if (!row.entered)
            continue;
        const MergePair pair{row.row, row.first, row.second};
        const auto outcome = [&](std::string code, std::string why) { return MergeOutcome{pair, std::move(code), std::move(why)}; };
        const std::u16string firstHas = dictionary.lookup(pair.first);
        const std::u16string secondHas = dictionary.lookup(pair.second);
        if (firstHas == pair.second && secondHas == pair.first) {
            const bool fromThisMerge = !addedFrom.lookup(pair.first).empty();
            plan.skipped.push_back(fromThisMerge ? outcome("repeated", "is the same pair as an earlier row")
                                                 : outcome("already-there", "is in the dictionary already"));
            continue;
        }
        const auto byWhom = [&](const std::u16string& term) {
            const std::u16string from = addedFrom.lookup(term);
            return from.empty() ? std::string("the dictionary") : "this merge (from " + xl::utf16ToUtf8(from) + ")";
        };
        if (!firstHas.empty() || !secondHas.empty()) {
            const std::u16string& term = !firstHas.empty() ? pair.first : pair.second;
            const std::u16string& has = !firstHas.empty() ? firstHas : secondHas;
            plan.refused.push_back(outcome("conflict", quoted(term) + " has the counterpart " + quoted(has) + " in " +
                                                           byWhom(term) + "; the pair is not added"));
            continue;
        }
        if (pair.first == pair.second) {
            plan.refused.push_back(outcome("same-term", "holds the same term in both columns"));
            continue;
        }
        if (holdsHan(pair.first) && !holdsHan(pair.second)) {
            plan.refused.push_back(outcome("columns-reversed", "has Chinese in column A and none in column B: "
                                                               "the dictionary keeps English in A, Chinese in B"));
            continue;
        }
        std::string unmatchable;
        for (const std::u16string* term : {&pair.first, &pair.second})
            for (const Reason& reason : unmatchableReasons(*term))
                if (std::string_view(reason.code) != "unwritable" && unmatchable.empty())
                    unmatchable = quoted(*term) + " " + reason.why;
        if (!unmatchable.empty()) {
            plan.refused.push_back(outcome("unmatchable-term", unmatchable));
            continue;
        }
        dictionary.set(pair.first, pair.second);
        dictionary.set(pair.second, pair.first);
        const std::u16string from = xl::utf8ToUtf16(rowName(pair.row));
        addedFrom.set(pair.first, from);
        addedFrom.set(pair.second, from);
        plan.added.push_back(pair);
    }
    return plan;
}

std::string mergedWorkbook(std::string_view configBytes, const MergePlan& plan)
{
    std::vector<xl::TextRow> rows;
    rows.reserve(plan.added.size());
    for (const MergePair& pair : plan.added)
        rows.push_back({xl::utf16ToUtf8(pair.first), xl::utf16ToUtf8(pair.second)});
    return xl::insertRowsIntoFirstSheet(configBytes, plan.insertBefore(), rows);
}

std::string verifyMerged(std::string_view merged, const MergePlan& plan)
{
    std::string error;
    const xl::BookHandle book = openWorkbookBytes(merged, u"merged.xlsx", error);
    if (!book)
        return "the merged workbook does not load: " + error;
    LoadRecord record;
    TermDictionary dictionary;
    record.read = readDictionaryBook(dictionary, *book, kStartMarker, kEndMarker, &record);
    std::vector<std::pair<std::u16string, std::u16string>> expected, found;
    for (const LoadRecord::Pair& pair : plan.config.pairs)
        if (pair.entered)
            expected.emplace_back(pair.first, pair.second);
    for (const MergePair& pair : plan.added)
        expected.emplace_back(pair.first, pair.second);
    for (const LoadRecord::Pair& pair : record.pairs)
        if (pair.entered)
            found.emplace_back(pair.first, pair.second);
    if (!record.read.loaded())
        return "the merged workbook has lost its markers";
    if (found != expected)
        return "the merged workbook holds " + std::to_string(found.size()) + " pairs where " +
               std::to_string(expected.size()) + " were meant";
    return {};
}
