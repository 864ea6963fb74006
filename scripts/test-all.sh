#!/bin/sh
# Sets up, builds and runs every test of every preset: linux, linux-asan,
# release (-O3, the benchmarks' build), windows-i686 (under Wine) and
# linux-fuzz (short bounded fuzzing sessions).
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh

jobs=$(nproc)
for preset in linux linux-asan release windows-i686 linux-fuzz; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
