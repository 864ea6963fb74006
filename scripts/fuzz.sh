#!/bin/sh
# Runs every fuzz target (or those named) of the linux-fuzz preset for the
# given number of seconds each, from its seeds in fuzz/corpus/ and what
# earlier runs kept in build/linux-fuzz/corpus/, and prints a table of the
# runs, coverage and findings. A finding is kept in
# build/linux-fuzz/findings/<target>/ and makes the script exit 1.
#   sh scripts/fuzz.sh 600                  ten minutes each
#   sh scripts/fuzz.sh 60 picture_fuzz      one target
set -eu
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
  echo "usage: sh scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
sh scripts/setup.sh
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz -j "$(nproc)" >/dev/null

build=build/linux-fuzz
targets=$*
[ -n "$targets" ] || targets=$(cd "$build/fuzz" && ls -1 *_fuzz)
found=0
printf '%-26s %12s %8s %10s %9s %9s\n' target runs "exec/s" coverage features findings
for target in $targets; do
  work=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$work" "$findings"
  log=$build/findings/$target.log
  set +e
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" "fuzz/corpus/$target" >"$log" 2>&1
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  crashes=$(find "$findings" -type f | wc -l)
  [ "$crashes" -eq 0 ] || found=1
  printf '%-26s %12s %8s %10s %9s %9s\n' "$target" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "$crashes"
done
exit $found
