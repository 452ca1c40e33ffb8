// Fuzz target for `pelmora-dict merge`: random dictionary sheets (markers
// anywhere, rows below the end marker, numbers, blanks, repeated and
// contradicting terms) and random filled-in sheets. Whatever they hold, the
// merged workbook loads with exactly the dictionary's pairs and the added
// ones, and every part but the sheet keeps its stored bytes.
#include "dictionary_merge.h"

#include "xlsx/zip_archive.h"
#include "zip_builder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

namespace {

using Rows = std::vector<std::vector<fixture::FixtureCell>>;

const char* const kWords[] = {"KQ_FILE_START", "KQ_FILE_END", "Sketch", "草图", "Boss", "凸台", "Hole", "孔",
                              "Extrude", "拉伸", "Cut2", " Rib", "孔位", "a_x0041_b", "<&>", "😀", ""};

fixture::FixtureCell cell(FuzzedDataProvider& input)
{
    const size_t pick = input.ConsumeIntegralInRange<size_t>(0, std::size(kWords) + 1);
    if (pick == std::size(kWords))
        return fixture::FixtureCell(input.ConsumeIntegralInRange<int>(-5, 100));
    if (pick == std::size(kWords) + 1)
        return fixture::FixtureCell(input.ConsumeRandomLengthString(12));
    return fixture::FixtureCell(kWords[pick]);
}

Rows sheet(FuzzedDataProvider& input)
{
    Rows rows;
    const size_t count = input.ConsumeIntegralInRange<size_t>(0, 24);
    for (size_t r = 0; r < count; ++r) {
        std::vector<fixture::FixtureCell> row;
        const size_t cells = input.ConsumeIntegralInRange<size_t>(0, 3);
        for (size_t c = 0; c < cells; ++c)
            row.push_back(input.ConsumeBool() ? cell(input) : fixture::FixtureCell());
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string config = fixture::makeXlsx(sheet(input));
    const std::string filled = fixture::makeXlsx(sheet(input));
    std::string error;
    const xl::BookHandle configBook = openWorkbookBytes(config, u"config.xlsx", error);
    const xl::BookHandle filledBook = openWorkbookBytes(filled, u"filled.xlsx", error);
    if (!configBook || !filledBook)
        __builtin_trap(); // the fixtures always make workbooks
    const MergePlan plan = planMerge(*configBook, *filledBook);
    if (plan.config.read.status != WorkbookStatus::Loaded || plan.added.empty())
        return 0;
    const std::string merged = mergedWorkbook(config, plan);
    if (!verifyMerged(merged, plan).empty())
        __builtin_trap();
    xl::ZipArchive before, after;
    before.open(config);
    after.open(merged);
    if (before.entries().size() != after.entries().size())
        __builtin_trap();
    for (size_t i = 0; i < before.entries().size(); ++i)
        if (before.entries()[i].name != "xl/worksheets/sheet1.xml" &&
            before.storedData(before.entries()[i]) != after.storedData(after.entries()[i]))
            __builtin_trap();
    return 0;
}
