#!/usr/bin/env bash
# Builds the benchmarks (preset `bench`, a native Release build) and runs them
# all, one after the other, so that nothing else of ours competes for the
# processor: the naming rule per name in code pages 1252 and 936; loading
# dictionary workbooks of 1,000, 10,000 and 100,000 pair rows; a whole command
# run over 2,000 parts of 200 history entries and the module's share of it;
# then bench/compare.py (the loader against openpyxl and the inflate floor)
# and the time and peak memory of loading each hostile workbook.
#
# Usage: scripts/bench.sh [--quick]   (--quick: fewer repetitions)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=5
[[ "${1:-}" == --quick ]] && repeat=1
build=$PWD/build/bench

bash scripts/build.sh bench
echo "=== naming rule"
"$build/bin/translate_name_bench" --benchmark_repetitions="$repeat" --benchmark_report_aggregates_only=true
echo "=== loading dictionary workbooks"
"$build/bin/loader_bench" --benchmark_repetitions="$repeat" --benchmark_report_aggregates_only=true
echo "=== a whole command run"
"$build/bin/full_run_bench"
echo "=== side by side: the loader, openpyxl, the inflate floor"
/usr/bin/python3 bench/compare.py --build "$build" --repeat "$repeat"
echo "=== hostile workbooks: file, result, count, seconds, peak RSS KiB, RSS KiB before"
python3 bench/hostile_workbooks.py "$build/hostile" >/dev/null
for file in "$build"/hostile/*.xlsx; do
  "$build/bin/workbook_load" --layer "$file"
  "$build/bin/workbook_load" "$file"
done
