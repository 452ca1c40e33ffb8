#!/usr/bin/env bash
# Builds the benchmarks (preset `bench`, a native Release build) and runs them
# all, one after the other, so that nothing else of ours competes for the
# processor: the naming rule per name in code pages 1252 and 936; loading
# dictionary workbooks of 1,000, 10,000 and 100,000 pair rows, first read and
# warm; a whole command run over 2,000 parts of 200 history entries and the
# module's share of it; then bench/compare.py (the loader against the C inflate
# floor, openpyxl, SheetJS, FreeXL and xlrd, from 1,000 to 1,000,000 pairs) and
# the time and peak memory of loading each hostile workbook, and of
# `pelmora-dict preview` on 1,000,000 names.
#
# SheetJS comes from the npm registry, into the bench build's node folder.
#
# Usage: scripts/bench.sh [--quick]   (--quick: fewer repetitions and rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
repeat=5
rounds=5
[[ "${1:-}" == --quick ]] && repeat=1 && rounds=2
build=$PWD/build/bench

bash scripts/build.sh bench
if ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq nodejs npm >/dev/null
fi
sheetjs=0.18.5
if [[ "$(node -p "require('$build/node/node_modules/xlsx/package.json').version" 2>/dev/null)" != "$sheetjs" ]]; then
  npm install --prefix "$build/node" --no-audit --no-fund --silent "xlsx@$sheetjs"
fi

echo "=== naming rule"
"$build/bin/translate_name_bench" --benchmark_repetitions="$repeat" --benchmark_report_aggregates_only=true
echo "=== loading dictionary workbooks"
"$build/bin/loader_bench" --benchmark_repetitions="$repeat" --benchmark_report_aggregates_only=true
echo "=== a whole command run, and PelmoraReport over the same assembly"
"$build/bin/full_run_bench"
echo "=== pelmora-dict merge of 10,000 pairs into 100,000"
"$build/bin/merge_bench"
echo "=== side by side: the loader, the inflate floor, openpyxl, SheetJS, FreeXL, xlrd"
/usr/bin/python3 bench/compare.py --build "$build" --rounds "$rounds" --repeat 3
echo "=== hostile workbooks: file, result, count, first s, warm s, peak RSS KiB, RSS KiB before, page faults"
python3 bench/hostile_workbooks.py "$build/hostile" >/dev/null
for file in "$build"/hostile/*.xlsx; do
  "$build/bin/workbook_load" --layer "$file"
  "$build/bin/workbook_load" "$file"
done
echo "=== pelmora-dict preview of a long names file"
python3 bench/preview_names.py "$build/bin/pelmora-dict" "$build/bin/PelmoraConfig.xlsx" --runs "$rounds"
