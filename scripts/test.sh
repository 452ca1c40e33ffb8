#!/usr/bin/env bash
# Sets the machine up, builds every target and runs every test: native, native
# under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build
# under Wine in ANSI code pages 936 and 1252, and each fuzz target briefly.
# The benchmarks are built, so that they keep building, but not run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh native native-asan windows bench

corpus=${PELMORA_CORPUS:-$(dirname "$PWD")/shared/corpus}
[ -d "$corpus" ] || echo "no workbook corpus at $corpus: xlsx_corpus_test and xls_corpus_test are skipped" \
  "(set PELMORA_CORPUS to it; see README.md)"
echo "=== tests: native"
ctest --preset native -j "$(nproc)"
echo "=== tests: native under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset native-asan -j "$(nproc)"

# One Wine prefix for both runs, made before the first test starts, and one
# Wine server kept running for every test program of both runs and stopped
# after them: a server that shuts down as its last program ends could still
# be going when the next program starts, which then fails to reach it.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
# Wine's own services start with the first program the server runs and live
# as long as it: started here, they hold no test's output open, which ctest
# would wait for.
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit </dev/null >/dev/null 2>&1
for codepage in 936 1252; do
  echo "=== tests: Windows build under Wine, ANSI code page $codepage"
  # What Windows itself reports to the suite, from the test that checks it.
  ctest --preset "windows-$codepage" -R '^text_test$' -V | grep -a "ANSI code page of this run" || true
  ctest --preset "windows-$codepage"
done
wineserver -k
trap - EXIT
bash scripts/fuzz.sh 30
