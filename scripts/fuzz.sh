#!/usr/bin/env bash
# Builds the fuzz targets (preset `fuzz`, clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one in turn for SECONDS
# (default 60) on a work corpus seeded from the project's own workbooks
# (fuzz/seed_workbooks.py), fuzz/seeds and, where it is present, the workbook
# corpus of files from other programs; fuzz/seed_structures.py turns them into
# the input forms of the structure-aware targets. Fails on any crash, leak,
# timeout or excess memory; prints each target's executions and coverage.
#
# Usage: scripts/fuzz.sh [SECONDS]
# PELMORA_FUZZ_BUILD_DIR puts the build elsewhere (default build/fuzz);
# PELMORA_FUZZ_TARGETS runs only the targets named (space-separated);
# PELMORA_FUZZ_JOBS limits the build's parallel jobs (default: every core);
# PELMORA_CORPUS is the workbook corpus (default ../shared/corpus beside the
# repository, where the project's CI keeps it).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${PELMORA_FUZZ_BUILD_DIR:-$PWD/build/fuzz}
corpus=${PELMORA_CORPUS:-$PWD/../shared/corpus}
read -r -a targets <<<"${PELMORA_FUZZ_TARGETS:-xlsx_book_fuzz xls_book_fuzz xlsx_package_fuzz xlsx_scanner_fuzz xls_records_fuzz loader_fuzz translate_name_fuzz model_file_fuzz assembly_fuzz merge_fuzz}"

bash scripts/setup.sh
echo "=== build: fuzz"
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "${PELMORA_FUZZ_JOBS:-$(nproc)}" --target "${targets[@]}"

# Workbooks that hold the loader's markers, for the mutations to start from:
# .xlsx in build/seeds/workbooks, .xls in build/seeds/books (Debian's python,
# which has the python3-xlwt that scripts/setup.sh installs).
/usr/bin/python3 fuzz/seed_workbooks.py "$build/seeds/workbooks" "$build/seeds/books"
if [ -d "$corpus" ]; then
  corpus_xlsx=$corpus/xlsx corpus_xls=$corpus/xls
else
  echo "fuzz: no workbook corpus at $corpus (set PELMORA_CORPUS to it); seeding from the project's own workbooks"
  corpus_xlsx="" corpus_xls=""
fi
# The files of the folders given, that exist.
files_in() {
  local dir
  for dir in "$@"; do
    [ -n "$dir" ] && [ -d "$dir" ] && find "$dir" -maxdepth 1 -type f | sort
  done
  return 0
}
# The same workbooks as package descriptions and workbook streams.
mapfile -t xlsx_files < <(files_in "$corpus_xlsx" "$build/seeds/workbooks")
mapfile -t xls_files < <(files_in "$corpus_xls" "$build/seeds/books")
python3 fuzz/seed_structures.py packages "$build/seeds/packages" "${xlsx_files[@]}"
python3 fuzz/seed_structures.py records "$build/seeds/records" "${xls_files[@]}"

seed_dirs() {
  case "$1" in
    xlsx_book_fuzz) echo "$corpus_xlsx $build/seeds/workbooks" ;;
    xls_book_fuzz) echo "$corpus_xls $build/seeds/books" ;;
    xlsx_package_fuzz | xlsx_scanner_fuzz) echo "$build/seeds/packages" ;;
    xls_records_fuzz) echo "$build/seeds/records" ;;
    loader_fuzz) echo "$corpus_xlsx $corpus_xls $build/seeds/workbooks $build/seeds/books" ;;
    translate_name_fuzz) echo "$PWD/fuzz/seeds/names" ;;
    model_file_fuzz) echo "$PWD/examples" ;;
  esac
}
dictionary_of() {
  case "$1" in
    xlsx_book_fuzz | xlsx_package_fuzz | xlsx_scanner_fuzz | loader_fuzz) echo "-dict=$PWD/fuzz/xlsx.dict" ;;
    xls_book_fuzz | xls_records_fuzz) echo "-dict=$PWD/fuzz/xls.dict" ;;
  esac
}

failed=()
summary=()
for target in "${targets[@]}"; do
  work=$build/corpus/$target
  artifacts=$build/artifacts/$target
  log=$build/logs/$target.log
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  for dir in $(seed_dirs "$target"); do
    if [ -d "$dir" ]; then cp -n "$dir"/* "$work"/; fi
  done
  echo "=== fuzz: $target for ${seconds}s"
  status=0
  # shellcheck disable=SC2046
  "$build/bin/$target" $(dictionary_of "$target") -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # libFuzzer's last word on coverage: edges ("cov") and features ("ft").
  coverage=$(sed -n 's/^#[0-9]*[[:space:]]*DONE[[:space:]]*\(cov: [0-9]* ft: [0-9]*\).*/\1/p' "$log" | tail -1)
  if ((status != 0)); then
    grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error|artifact_prefix|Test unit written)" "$log" | head -20 || true
    echo "(full output: $log)"
    failed+=("$target")
    summary+=("$target: FAILED (exit $status) after ${executions:-?} executions; inputs in $artifacts")
  else
    summary+=("$target: ${executions:-?} executions in ${seconds}s, ${coverage:-cov: ? ft: ?}, no findings")
  fi
done

echo "=== fuzz summary"
printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
