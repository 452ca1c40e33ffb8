// pelmora-dict's reports as text, in UTF-8.
#include "reports.h"

#include "common/cell_reference.h"
#include "common/utf8.h"

#include <cstdio>

namespace {

std::string utf8(const std::u16string& text) { return xl::utf16ToUtf8(text); }
std::string cellName(int row, int col) { return xl::formatCellReference(row, col); }

} // namespace

void printCheckText(const CheckReport& report, const std::string& workbook)
{
    const LoadRecord& load = report.load;
    std::printf("Workbook: %s\n", workbook.c_str());
    if (load.opened() && load.hasSheet()) {
        if (load.read.startRow >= 0)
            std::printf("Start marker: row %d (%s)\n", load.read.startRow + 1, cellName(load.read.startRow, 0).c_str());
        else
            std::printf("Start marker: none in A1:A%d\n", kLastStartMarkerRow + 1);
        if (load.read.endRow >= 0)
            std::printf("End marker: row %d (%s)\n", load.read.endRow + 1, cellName(load.read.endRow, 0).c_str());
        else if (load.read.startRow >= 0)
            std::printf("End marker: none\n");
        std::printf("Pairs entered: %d\n", load.read.pairsEntered);
        std::printf("Rows skipped: %zu with an empty cell, %d blank\n", report.skipped.size(), report.blankRows);
        std::printf("Terms entered twice with different counterparts: %zu\n", report.conflicts.size());
        std::printf("Chains: %zu\n", report.chains.size());
        std::printf("Terms that can never match: %zu\n", report.unmatchable.size());
        std::printf("Terms in both columns: %zu\n", report.inBothColumns.size());
        std::printf("Number cells: %zu\n", load.numbers.size());
        for (const LoadRecord::Number& number : load.numbers)
            std::printf("  %s holds the number %.17g, read as \"%s\"\n", cellName(number.row, number.col).c_str(),
                        number.value, utf8(number.text).c_str());
    }
    if (!report.warnings.empty()) {
        std::printf("Warnings:\n");
        for (const std::string& warning : report.warnings)
            std::printf("  %s\n", warning.c_str());
    }
    if (report.loads())
        std::printf("The plug-in loads this workbook: %d pairs, %zu warning%s.\n", load.read.pairsEntered,
                    report.warnings.size(), report.warnings.size() == 1 ? "" : "s");
    else
        std::printf("The plug-in would not load this workbook.\n");
}

void printPreviewText(const PreviewContext& context, const std::vector<NamePreview>& previews)
{
    const char* state = context.load.read.hasRegion() ? "loaded"
                         : context.load.opened()      ? "no start marker: no terms"
                                                      : "cannot be read: no terms";
    std::printf("Workbook: %s (%s)\n", context.workbook.c_str(), state);
    std::printf("Names taken in %s, %s\n", context.codePage.c_str(),
                context.direction == "swap" ? "as PelmoraSwap renames them"
                : context.direction == "chinese" ? "as PelmoraToChinese renames them"
                                                 : "as PelmoraToEnglish renames them");
    for (const NamePreview& name : previews) {
        if (name.changed)
            std::printf("%s -> %s  [%s]\n", name.name.c_str(), name.newName->c_str(), name.pattern.c_str());
        else
            std::printf("%s unchanged%s%s%s: %s\n", name.name.c_str(), name.pattern.empty() ? "" : "  [",
                        name.pattern.c_str(), name.pattern.empty() ? "" : "]", name.why.c_str());
    }
}

void printDumpText(const SheetDump& dump, const std::string& workbook)
{
    std::printf("Workbook: %s, first sheet, last used row %d\n", workbook.c_str(), dump.lastRow);
    int row = 0;
    for (const auto& cells : dump.rows) {
        std::string described[2];
        for (size_t col = 0; col < 2; ++col) {
            const DumpedCell& cell = cells[col];
            described[col] = cellTypeName(cell.type);
            if (cell.value) {
                char value[64];
                std::snprintf(value, sizeof value, "%.17g", *cell.value);
                described[col] += std::string(" ") + value + " (read as \"" + utf8(*cell.text) + "\")";
            } else if (cell.text) {
                described[col] += " \"" + utf8(*cell.text) + "\"";
            }
        }
        std::printf("%5d  A: %-40s  B: %s\n", ++row, described[0].c_str(), described[1].c_str());
    }
}
