// readDictionaryWorkbook on dictionary workbooks of 1,000, 10,000 and 100,000
// pair rows, written as Excel writes them (shared strings).
#include "bench_data.h"
#include "common/utf8.h"
#include "workbook_loader.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

void loadWorkbook(benchmark::State& state)
{
    const int pairs = static_cast<int>(state.range(0));
    const std::string path = dictionaryWorkbook(pairs);
    const std::u16string widePath = xl::utf8ToUtf16(path);
    for (auto _ : state) {
        TermDictionary dictionary;
        if (!readDictionaryWorkbook(dictionary, widePath, kStartMarker, kEndMarker).loaded() ||
            dictionary.size() != static_cast<size_t>(2 * pairs)) {
            std::fprintf(stderr, "loader_bench: %s did not load its %d pairs\n", path.c_str(), pairs);
            std::abort();
        }
        benchmark::DoNotOptimize(dictionary);
    }
    state.SetItemsProcessed(state.iterations() * pairs);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

BENCHMARK(loadWorkbook)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
