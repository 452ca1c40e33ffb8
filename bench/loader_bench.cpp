// readDictionaryWorkbook on dictionary workbooks of 1,000, 10,000 and 100,000
// pair rows, written as Excel writes them (shared strings), filling the term
// table and the columns of the terms as the module's start-up does:
//   firstRead  each read in a process of its own, started afresh for it, as
//              the module's start-up meets it: this program starts itself
//              again with --read-once FILE, which reads once and reports the
//              processor time and the page faults of that read alone;
//   warmRead   reads one after the other in this process, whose heap the
//              reads before (and writing the workbooks) have grown: what a
//              read costs that finds its memory already touched.
#include "bench_data.h"
#include "utf8.h"
#include "workbook_loader.h"

#include "process_stats.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

void fail(const std::string& path, int pairs)
{
    std::fprintf(stderr, "loader_bench: %s did not load its %d pairs\n", path.c_str(), pairs);
    std::abort();
}

void load(const std::u16string& path, TermDictionary& dictionary, TermColumns& columns)
{
    if (!readDictionaryWorkbook(dictionary, path, kStartMarker, kEndMarker, nullptr, &columns).loaded())
        dictionary = TermDictionary();
}

// The child's side of firstRead: prints "<seconds> <page faults>".
int readOnce(const char* path)
{
    const std::u16string widePath = xl::utf8ToUtf16(path);
    TermDictionary dictionary;
    TermColumns columns(dictionary);
    const long faults = minorFaults();
    const double start = processorSeconds();
    load(widePath, dictionary, columns);
    const double seconds = processorSeconds() - start;
    std::printf("%.9f %ld %zu\n", seconds, minorFaults() - faults, dictionary.size());
    return 0;
}

void firstRead(benchmark::State& state)
{
    const int pairs = static_cast<int>(state.range(0));
    const std::string path = dictionaryWorkbook(pairs);
    const std::string command =
        "'" + std::filesystem::read_symlink("/proc/self/exe").string() + "' --read-once '" + path + "'";
    long faults = 0;
    for (auto _ : state) {
        std::FILE* child = popen(command.c_str(), "r");
        double seconds = 0;
        long childFaults = 0;
        size_t terms = 0;
        const bool read = child && std::fscanf(child, "%lf %ld %zu", &seconds, &childFaults, &terms) == 3;
        if (child)
            pclose(child);
        if (!read || terms != static_cast<size_t>(2 * pairs))
            fail(path, pairs);
        state.SetIterationTime(seconds);
        faults += childFaults;
    }
    state.SetItemsProcessed(state.iterations() * pairs);
    state.counters["page_faults"] = benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}

void warmRead(benchmark::State& state)
{
    const int pairs = static_cast<int>(state.range(0));
    const std::string path = dictionaryWorkbook(pairs);
    const std::u16string widePath = xl::utf8ToUtf16(path);
    for (auto _ : state) {
        TermDictionary dictionary;
        TermColumns columns(dictionary);
        load(widePath, dictionary, columns);
        if (dictionary.size() != static_cast<size_t>(2 * pairs))
            fail(path, pairs);
        benchmark::DoNotOptimize(dictionary);
        benchmark::DoNotOptimize(columns);
    }
    state.SetItemsProcessed(state.iterations() * pairs);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}

BENCHMARK(firstRead)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(warmRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--read-once") == 0)
        return readOnce(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
