#!/usr/bin/env bash
# Shows the plug-in at work: sets the machine up, builds the native preset and
# runs ostrel-sim on the English gearbox example with the shipped dictionary,
# in the Chinese setting (the GBK locale, as a Chinese Windows host's ANSI code
# page 936) whatever locale this shell is in. The programs write in their
# locale's encoding, GBK, which iconv turns into this terminal's.
# PELMORA_BUILD_DIR picks another build folder than the preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir="${PELMORA_BUILD_DIR:-build/native}"
cmake --preset native -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j 2
echo "=== pelmora-dict check on the shipped dictionary, Chinese setting"
LC_ALL=zh_CN.GBK "$build_dir/bin/pelmora-dict" check "$build_dir/bin/PelmoraConfig.xlsx" | iconv -f GBK
echo "=== ostrel-sim examples/gearbox.en.json, Chinese setting"
LC_ALL=zh_CN.GBK "$build_dir/bin/ostrel-sim" examples/gearbox.en.json --out "$build_dir/gearbox.zh.json" | iconv -f GBK
echo "=== the result, written to $build_dir/gearbox.zh.json, is the same as examples/gearbox.zh.json:"
if cmp -s "$build_dir/gearbox.zh.json" examples/gearbox.zh.json; then echo "yes"; else echo "no"; exit 1; fi
