#!/usr/bin/env bash
# Instructions, counted by valgrind's callgrind, that the plug-in spends on a
# genre of 10,000 stations, beside what `grep -c name=` spends on the same
# page: the receiver's processor is slow, so instructions are its time.
#
#   bench/instructions.sh [BUILD_DIR]      (default: build)
#
# Two pages: the stand-in directory's Benchmark genre (10,000 generated
# stations of one long name pattern) and a lifelike one (bench/lifelike_genre.py:
# names of two to six words, short genres and titles, as real directory
# pages have). For each, the desktop host runs the real plug-in from a
# script against the stand-in directory: it chooses the genre, then presses
# "down" in the station list. Counted are the reading of the page and the
# filling of the list box (ReadLumoNET and fillStationList; wget is another
# process and not counted), and one key press near the top of the list (the
# host's whole handling of the key, the plug-in's highlight handler
# included), averaged over ORUVEL_BENCH_PRESSES.
# It prints figures only; it judges nothing. ORUVEL_BENCH_KEEP=1 keeps the
# work folder (the profiles, for callgrind_annotate --inclusive=yes).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
presses=${ORUVEL_BENCH_PRESSES:-10}
host=$build/tools/oruvel-host/oruvel-host
for need in "$host" "$build/liboruvel.so"; do
  [ -e "$need" ] || { echo "instructions: $need is missing; build first (scripts/build.sh build)" >&2; exit 1; }
done
command -v valgrind >/dev/null || { echo "instructions: valgrind is missing (scripts/ci.d/packages-bench.txt)" >&2; exit 1; }
export LC_ALL=C  # grep's cost depends on the locale; the receiver's is plain

name=instructions
# shellcheck source=bench/stand_in.sh
. "$top/bench/stand_in.sh"

# Measures one genre: $1 its name, $2 what the page is.
measure() {
  local genre=$1 what=$2 out=$work/$1
  mkdir -p "$out"
  choose_genre "$genre" "$out/script"
  {
    for _ in $(seq "$presses"); do echo 'key down'; done
    printf 'dump\nquit\n'
  } >>"$out/script"

  # Collected only inside the read, the fill and the list box's key handling;
  # a dump before the download and one after the genre handler split the
  # three apart: part 1 the genre combo's keys, part 2 read and fill, part 3
  # the presses. (A function that triggers a dump cannot also toggle the
  # collection, hence the neighbours.)
  PATH="$guard:$PATH" valgrind -q --tool=callgrind --callgrind-out-file="$out/cg.%p" \
    --collect-atstart=no --toggle-collect='eOruvel::ReadLumoNET()' \
    --toggle-collect='eOruvel::fillStationList()' --toggle-collect='eListBoxBase::keyDown(eKey)' \
    --dump-before='eOruvel::DownloadShoutcastFile()' \
    --dump-after='eOruvel::selectedComboBox(eListBoxEntryText*)' \
    "$host" --root "$root" --script "$out/script" --directory "$address" --log "$out/host.log" \
    >"$out/transcript" 2>"$out/valgrind.log" ||
    { cat "$out/valgrind.log" "$out/transcript" >&2; echo "instructions: the host run failed" >&2; exit 1; }

  local stations
  stations=$(sed -n 's/.*building list finsihed \[\([0-9]*\)\].*/\1/p' "$out/transcript" | tail -n 1)
  [ "${stations:-0}" -gt 0 ] || { echo "instructions: the plug-in listed no stations" >&2; exit 1; }

  local fill keys grep_ir
  fill=$(part "$out" 2)
  keys=$(part "$out" 3)
  wget -q -O "$out/page" "http://$address/sbin/newxml.phtml?genre=$genre"
  valgrind -q --tool=callgrind --callgrind-out-file="$out/grep.out" grep -c name= "$out/page" \
    >"$out/grep.count"
  grep_ir=$(awk '/^totals:/ { print $2 }' "$out/grep.out")

  awk -v n="$stations" -v bytes="$(wc -c <"$out/page")" -v fill="$fill" -v grep_ir="$grep_ir" \
    -v matched="$(cat "$out/grep.count")" -v keys="$keys" -v presses="$presses" -v what="$what" 'BEGIN {
    printf "page: %d stations, %d bytes (%s); grep counts %d\n", n, bytes, what, matched
    printf "plug-in read and fill: %12d instructions, %8.1f per station\n", fill, fill / n
    printf "grep -c name=:         %12d instructions, %8.1f per station\n", grep_ir, grep_ir / n
    printf "ratio: %.2f times grep per station\n", fill / grep_ir
    printf "key press (down, near the top of the list): %d instructions (mean of %d)\n", keys / presses, presses
  }'
}

# The total of part $2 of the host's profile in folder $1.
part() {
  local total
  total=$(awk -v n="$2" '/^part:/ { p = $2 } /^totals:/ && p == n { print $2 }' "$1"/cg.*)
  [ -n "$total" ] || { echo "instructions: callgrind wrote no part $2" >&2; exit 1; }
  echo "$total"
}

measure Benchmark "the stand-in directory's Benchmark genre"
echo
measure Lifelike "lifelike lines, bench/lifelike_genre.py"
