// pelmora-dict merge of 10,000 filled-in pairs (a report's "Missing terms"
// sheet, as PelmoraReport writes it) into a dictionary workbook of 100,000
// pairs written as Excel writes it: both workbooks read, each pair decided,
// the sheet edited, the package written again and the result read back to
// check it; the files' reading and writing left out. The process's peak
// resident memory is a counter.
#include "bench_data.h"
#include "dictionary_merge.h"
#include "process_stats.h"
#include "utf8.h"
#include "xlsx/xlsx_writer.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>

namespace {

constexpr int kDictionaryPairs = 100000;
constexpr int kAdded = 10000;

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string filledReport()
{
    xl::XlsxWriter writer;
    writer.addSheet("Missing terms", {{.width = 24}, {.width = 24}, {.width = 10}});
    writer.addRow({"English (A)", "Chinese (B)", "Names"});
    writer.addRow({"KQ_FILE_START"});
    for (int i = 0; i < kAdded; ++i)
        writer.addRow({xl::utf16ToUtf8(englishTerm(kDictionaryPairs + i)),
                       xl::utf16ToUtf8(counterpartTerm(kDictionaryPairs + i, Setting::Chinese)), 1});
    writer.addRow({"KQ_FILE_END"});
    return writer.finish();
}

void Merge(benchmark::State& state)
{
    const std::string config = readFile(dictionaryWorkbook(kDictionaryPairs));
    const std::string filled = filledReport();
    const long before = statusKib("VmRSS");
    size_t added = 0;
    for (auto _ : state) {
        std::string error;
        const xl::BookHandle configBook = openWorkbookBytes(config, u"config.xlsx", error);
        const xl::BookHandle filledBook = openWorkbookBytes(filled, u"filled.xlsx", error);
        const MergePlan plan = planMerge(*configBook, *filledBook);
        const std::string merged = mergedWorkbook(config, plan);
        if (!verifyMerged(merged, plan).empty())
            state.SkipWithError("the merged workbook does not hold what was meant");
        added = plan.added.size();
        benchmark::DoNotOptimize(merged.data());
    }
    state.counters["added"] = static_cast<double>(added);
    state.counters["peak_RSS_MiB"] = static_cast<double>(statusKib("VmHWM")) / 1024;
    state.counters["RSS_before_MiB"] = static_cast<double>(before) / 1024;
}

BENCHMARK(Merge)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

BENCHMARK_MAIN();
