#!/usr/bin/env bash
# The heap a genre of 10,000 stations takes, the receiver having little
# memory:
#  - in the desktop host, the peak heap (valgrind's massif, allocator
#    overhead included) of a run that chooses the stand-in directory's
#    Benchmark genre, less that of a run choosing a genre with no station:
#    the Station list, the list box's entries and the reading together;
#  - the Station list alone (bench/station_heap on the Benchmark page),
#    built natively and, given a cross build of the core, on the receiver's
#    32-bit PowerPC under qemu-user.
#
#   bench/heap.sh [BUILD_DIR [PPC_BUILD_DIR]]      (default: build)
#
# It prints figures only; it judges nothing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
ppc=${2:+$(cd "$2" && pwd)}
host=$build/tools/oruvel-host/oruvel-host
for need in "$host" "$build/liboruvel.so" "$build/bench/station_heap" ${ppc:+"$ppc/bench/station_heap"}; do
  [ -e "$need" ] || { echo "heap: $need is missing; build first" >&2; exit 1; }
done
command -v valgrind >/dev/null || { echo "heap: valgrind is missing (scripts/ci.d/packages-bench.txt)" >&2; exit 1; }

name=heap
# shellcheck source=bench/stand_in.sh
. "$top/bench/stand_in.sh"

# The peak heap of a host run choosing genre $1, in bytes.
peak() {
  local out=$work/massif-$1
  choose_genre "$1" "$out.script"
  echo quit >>"$out.script"  # no dump: its text of every entry would be the peak
  PATH="$guard:$PATH" valgrind -q --tool=massif --peak-inaccuracy=0 --massif-out-file="$out.out" \
    "$host" --root "$root" --script "$out.script" --directory "$address" --log "$out.log" \
    >"$out.transcript" 2>"$out.valgrind" ||
    { cat "$out.valgrind" "$out.transcript" >&2; echo "heap: the host run failed" >&2; exit 1; }
  awk -F= '/^mem_heap_B=/ { b = $2 } /^mem_heap_extra_B=/ { t = b + $2; if (t > m) m = t } END { print m }' "$out.out"
}

full=$(peak Benchmark)
none=$(peak Nothing)
wget -q -O "$work/page" "http://$address/sbin/newxml.phtml?genre=Benchmark"
stations=$(grep -c 'name=' "$work/page")
awk -v full="$full" -v none="$none" -v n="$stations" 'BEGIN {
  printf "desktop host, peak heap: %d bytes with %d stations, %d with none: %.1f bytes a station\n",
    full, n, none, (full - none) / n
}'

echo "Station list, $(uname -m):"
"$build/bench/station_heap" "$work/page" | sed 's/^/  /'
if [ -n "$ppc" ]; then
  echo "Station list, PowerPC (qemu-user):"
  qemu-ppc -L /usr/powerpc-linux-gnu "$ppc/bench/station_heap" "$work/page" | sed 's/^/  /'
fi
