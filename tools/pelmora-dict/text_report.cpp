// pelmora-dict's reports as text for people, in UTF-8; the console writer
// turns it into what the terminal shows.
#include "reports.h"

#include "common/cell_reference.h"
#include "utf8.h"
#include "console.h"

#include <charconv>

namespace {

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }
std::string cellName(int row, int col) { return xl::formatCellReference(row, col); }
std::string count(size_t number) { return std::to_string(number); }

} // namespace

std::string shortestNumber(double value)
{
    char digits[64];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, end.ptr);
}

std::string checkText(const CheckReport& report, const std::string& workbook)
{
    const LoadRecord& load = report.load;
    std::string text = "Workbook: " + workbook + "\n";
    if (load.hasSheet()) {
        if (load.read.startRow >= 0)
            text += "Start marker: row " + count(load.read.startRow + 1) + " (" + cellName(load.read.startRow, 0) + ")\n";
        else
            text += "Start marker: none in A1:A" + count(kLastStartMarkerRow + 1) + "\n";
        if (load.read.endRow >= 0)
            text += "End marker: row " + count(load.read.endRow + 1) + " (" + cellName(load.read.endRow, 0) + ")\n";
        else if (load.read.startRow >= 0)
            text += "End marker: none\n";
        text += "Pairs entered: " + count(load.read.pairsEntered) + "\n";
        text += "Rows skipped: " + count(report.skipped.size()) + " with an empty cell, " + count(report.blankRows) +
                " blank\n";
        text += "Terms entered twice with different counterparts: " + count(report.conflicts.size()) + "\n";
        text += "Chains: " + count(report.chains.size()) + "\n";
        text += "Terms that can never match: " + count(report.unmatchable.size()) + "\n";
        text += "Terms in both columns: " + count(report.inBothColumns.size()) + "\n";
        text += "Number cells: " + count(load.numbers.size()) + "\n";
        for (const LoadRecord::Number& number : load.numbers)
            text += "  " + cellName(number.row, number.col) + " holds the number " + shortestNumber(number.value) +
                    ", read as \"" + utf8(number.text) + "\"\n";
    }
    if (!report.warnings.empty()) {
        text += "Warnings:\n";
        for (const Warning& warning : report.warnings)
            text += "  " + warning.text + "\n";
    }
    const size_t warnings = report.warnings.size();
    if (report.loads())
        text += "The plug-in loads this workbook: " + count(load.read.pairsEntered) + " pairs, " + count(warnings) +
                (warnings == 1 ? " warning.\n" : " warnings.\n");
    else
        text += "The plug-in would not load this workbook.\n";
    return text;
}

std::string previewTextHead(const PreviewContext& context)
{
    const char* state = context.load.read.hasRegion() ? "loaded" : "no start marker: no terms";
    std::string text = "Workbook: " + context.workbook + " (" + state + ")\n";
    text += "Names taken in " + context.codePage + ", " +
            (context.direction == "swap"      ? "as PelmoraSwap renames them\n"
             : context.direction == "chinese" ? "as PelmoraToChinese renames them\n"
                                              : "as PelmoraToEnglish renames them\n");
    return text;
}

std::string previewTextName(const NamePreview& name)
{
    if (name.changed)
        return name.name + " -> " + *name.newName + "  [" + name.pattern + "]\n";
    return name.name + " unchanged" + (name.pattern.empty() ? "" : "  [" + name.pattern + "]") + ": " + name.why +
           (name.code == "invalid-text" ? " (line " + std::to_string(name.line) + ")" : "") + "\n";
}

std::string dumpText(const SheetDump& dump, const std::string& workbook)
{
    std::string text = "Workbook: " + workbook + ", first sheet, last used row " + count(dump.lastRow) + "\n";
    int row = 0;
    for (const auto& cells : dump.rows) {
        std::string described[2];
        for (size_t col = 0; col < 2; ++col) {
            const DumpedCell& cell = cells[col];
            described[col] = cellTypeName(cell.type);
            if (cell.value)
                described[col] += " " + shortestNumber(*cell.value) + " (read as \"" + utf8(*cell.text) + "\")";
            else if (cell.text)
                described[col] += " \"" + utf8(*cell.text) + "\"";
        }
        const std::string number = count(++row);
        text += std::string(number.size() < 5 ? 5 - number.size() : 0, ' ') + number + "  A: " +
                tools::padded(described[0], 40) + "  B: " + described[1] + "\n";
    }
    return text;
}

std::string mergeText(const MergeContext& context, const MergePlan& plan)
{
    std::string text = context.config + ": " + count(plan.added.size()) + " pairs added from " + context.filled + ", " +
                       count(plan.skipped.size()) + " skipped, " + count(plan.refused.size()) + " refused\n";
    if (context.written)
        text += "Written to " + context.out + "\n";
    else
        text += "Nothing to add; nothing written.\n";
    const auto pairText = [](const MergePair& pair) {
        return "row " + std::to_string(pair.row + 1) + ": \"" + utf8(pair.first) + "\" = \"" + utf8(pair.second) + "\"";
    };
    if (!plan.added.empty()) {
        const int first = plan.insertBefore() + 1;
        text += "Added, as rows " + std::to_string(first) + " to " + std::to_string(first + plan.added.size() - 1) +
                " (the end marker and the rows below it moved down):\n";
        for (const MergePair& pair : plan.added)
            text += "  " + pairText(pair) + "\n";
    }
    for (const auto& [title, outcomes] : {std::pair{"Skipped:", &plan.skipped}, std::pair{"Refused:", &plan.refused}}) {
        if (outcomes->empty())
            continue;
        text += std::string(title) + "\n";
        for (const MergeOutcome& outcome : *outcomes)
            text += "  " + pairText(outcome.pair) + " " + outcome.why + " [" + outcome.code + "]\n";
    }
    return text;
}
