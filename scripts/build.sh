#!/usr/bin/env bash
# Sets the machine up and builds the presets named (default: the native and
# the Windows build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
presets=("$@")
((${#presets[@]})) || presets=(native windows)
for preset in "${presets[@]}"; do
  echo "=== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
done
