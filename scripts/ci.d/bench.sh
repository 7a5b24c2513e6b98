#!/usr/bin/env bash
# CI stage: the instructions the plug-in spends on a genre of 10,000
# stations (reading the page and filling the list, one key press in it)
# beside grep's over the same page, counted by callgrind
# (bench/instructions.sh), on the Benchmark page and a lifelike one; and the
# heap such a genre takes (bench/heap.sh). The figures are printed for the
# record; no threshold fails the stage, only a run that cannot measure.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/scripts/setup.sh" "$top/scripts/ci.d/packages-bench.txt"

dir=${ORUVEL_BENCH_BUILD:-build}
cmake -S "$top" -B "$dir" -G Ninja >/dev/null
cmake --build "$dir" -j "$(nproc)" --target oruvel oruvel-host station_heap
echo "bench: instructions (callgrind)"
bench/instructions.sh "$dir"
echo "bench: heap (massif, and the Station list's own)"
bench/heap.sh "$dir"
