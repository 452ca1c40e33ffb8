#!/usr/bin/env bash
# Sets the machine up, builds every target and runs every test: native, native
# under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build
# under Wine in ANSI code pages 936 and 1252, and each fuzz target briefly.
# The benchmarks are built, so that they keep building, but not run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh native native-asan windows bench

echo "=== tests: native"
ctest --preset native -j "$(nproc)"
echo "=== tests: native under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --preset native-asan -j "$(nproc)"

# One Wine prefix for both runs, made before the first test starts.
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot --init >/dev/null 2>&1 || true
for codepage in 936 1252; do
  echo "=== tests: Windows build under Wine, ANSI code page $codepage"
  # What Windows itself reports to the suite, from the test that checks it.
  ctest --preset "windows-$codepage" -R '^platform_test$' -V | grep -a "ANSI code page of this run" || true
  ctest --preset "windows-$codepage"
done
bash scripts/fuzz.sh 30
