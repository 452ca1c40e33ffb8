// Time per history name of the naming rule, over a realistic mix of 10,000
// names against a dictionary of 2,000 pairs, in code pages 1252 and 936: name
// by name through translateName, and as a pass over a history applies it, one
// NameTranslator for all the names; the swap, and the rule toward Chinese
// (column B) on the same names, of which half are Chinese already.
#include "bench_data.h"
#include "translate_name.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kNames = 10000;
constexpr int kPairs = 2000;

template <typename Translate>
void measure(benchmark::State& state, Setting setting, Direction direction, Translate&& translate)
{
    switchLocale(setting);
    TermDictionary dictionary = makeDictionary(kPairs, setting);
    TermColumns columns(dictionary);
    for (int i = 0; i < kPairs; ++i)
        columns.enterRow(englishTerm(i), counterpartTerm(i, setting));
    const NamingRule rule(columns, direction);
    std::vector<std::string> names = makeNames(kNames, kPairs, setting);
    size_t changed = 0;
    for (const std::string& name : names)
        changed += translateName(name, rule) != name;
    for (auto _ : state)
        translate(rule, names);
    state.SetItemsProcessed(state.iterations() * kNames);
    state.counters["ns_per_name"] = benchmark::Counter(
        static_cast<double>(kNames) * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["changed_share"] = static_cast<double>(changed) / kNames;
}

void translateNames(benchmark::State& state, Setting setting, Direction direction)
{
    measure(state, setting, direction, [](const NamingRule& rule, const std::vector<std::string>& names) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(translateName(name, rule));
    });
}

void translateHistory(benchmark::State& state, Setting setting, Direction direction)
{
    measure(state, setting, direction, [](const NamingRule& rule, const std::vector<std::string>& names) {
        NameTranslator translator(rule);
        for (const std::string& name : names)
            benchmark::DoNotOptimize(translator.translate(name));
    });
}

BENCHMARK_CAPTURE(translateNames, cp1252, Setting::Western, Direction::Swap)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateNames, cp936, Setting::Chinese, Direction::Swap)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp1252, Setting::Western, Direction::Swap)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp936, Setting::Chinese, Direction::Swap)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp1252_to_column_b, Setting::Western, Direction::ToColumnB)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(translateHistory, cp936_to_chinese, Setting::Chinese, Direction::ToColumnB)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
