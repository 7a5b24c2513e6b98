#!/usr/bin/env bash
# Instructions, counted by valgrind's callgrind, that the plug-in spends on a
# genre of 10,000 stations, beside what `grep -c name=` spends on the same
# page: the receiver's processor is slow, so instructions are its time.
#
#   bench/instructions.sh [BUILD_DIR]      (default: build)
#
# The desktop host runs the real plug-in from a script against the stand-in
# directory's Benchmark genre (10,000 generated stations): it chooses the
# genre, then presses "down" in the station list. Counted are the reading
# of the page and the filling of the list box (ReadLumoNET and
# fillStationList; wget is another process and not counted), and one key
# press near the top of the list (the host's whole handling of the key, the
# plug-in's highlight handler included), averaged over ORUVEL_BENCH_PRESSES.
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

work=$(mktemp -d /tmp/oruvel-instructions-XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  if [ -n "${ORUVEL_BENCH_KEEP:-}" ]; then echo "instructions: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

python3 "$top/tools/directory/oruvel-directory" --port 0 --address-file "$work/address" \
  >"$work/directory.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  [ -s "$work/address" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/address" ] || { cat "$work/directory.log" >&2; echo "instructions: the stand-in directory did not start" >&2; exit 1; }
address=$(cat "$work/address")

root=$("$top/scripts/make-demo-root.sh" "$work/root" "$build" "$address")
printf '<genrelist>\n<genre name="Benchmark"></genre>\n</genrelist>\n' \
  >"$root/var/tuxbox/config/oruvel/genre.xml"
# No ripper is ever found here, so the run neither asks about nor stops
# anyone's recordings.
mkdir -p "$work/guard"
for tool in pidof killall; do printf '#!/bin/sh\nexit 0\n' >"$work/guard/$tool"; done
chmod +x "$work/guard/"*

# The genre combo: open, past the two local entries to Benchmark, choose.
{
  printf 'key ok\nkey down\nkey down\nkey ok\n'
  for _ in $(seq "$presses"); do echo 'key down'; done
  printf 'dump\nquit\n'
} >"$work/script"

# Collected only inside the read, the fill and the list box's key handling;
# a dump before the download and one after the genre handler split the
# three apart: part 1 the genre combo's keys, part 2 read and fill, part 3
# the presses. (A function that triggers a dump cannot also toggle the
# collection, hence the neighbours.)
PATH="$work/guard:$PATH" valgrind -q --tool=callgrind --callgrind-out-file="$work/cg.%p" \
  --collect-atstart=no --toggle-collect='eOruvel::ReadLumoNET()' \
  --toggle-collect='eOruvel::fillStationList()' --toggle-collect='eListBoxBase::keyDown(eKey)' \
  --dump-before='eOruvel::DownloadShoutcastFile()' \
  --dump-after='eOruvel::selectedComboBox(eListBoxEntryText*)' \
  "$host" --root "$root" --script "$work/script" --directory "$address" --log "$work/host.log" \
  >"$work/transcript" 2>"$work/valgrind.log" ||
  { cat "$work/valgrind.log" "$work/transcript" >&2; echo "instructions: the host run failed" >&2; exit 1; }

stations=$(sed -n 's/.*building list finsihed \[\([0-9]*\)\].*/\1/p' "$work/transcript" | tail -n 1)
[ "${stations:-0}" -gt 0 ] || { echo "instructions: the plug-in listed no stations" >&2; exit 1; }

# The total of part N of the host's profile.
part() {
  local total
  total=$(awk -v n="$1" '/^part:/ { p = $2 } /^totals:/ && p == n { print $2 }' "$work"/cg.*)
  [ -n "$total" ] || { echo "instructions: callgrind wrote no part $1" >&2; exit 1; }
  echo "$total"
}
fill=$(part 2)
keys=$(part 3)

wget -q -O "$work/page" "http://$address/sbin/newxml.phtml?genre=Benchmark"
valgrind -q --tool=callgrind --callgrind-out-file="$work/grep.out" grep -c name= "$work/page" \
  >"$work/grep.count"
grep_ir=$(awk '/^totals:/ { print $2 }' "$work/grep.out")

awk -v n="$stations" -v bytes="$(wc -c <"$work/page")" -v fill="$fill" -v grep_ir="$grep_ir" \
  -v matched="$(cat "$work/grep.count")" -v keys="$keys" -v presses="$presses" 'BEGIN {
  printf "page: %d stations, %d bytes (the stand-in directory'"'"'s Benchmark genre); grep counts %d\n", n, bytes, matched
  printf "plug-in read and fill: %12d instructions, %8.1f per station\n", fill, fill / n
  printf "grep -c name=:         %12d instructions, %8.1f per station\n", grep_ir, grep_ir / n
  printf "ratio: %.2f times grep per station\n", fill / grep_ir
  printf "key press (down, near the top of the list): %d instructions (mean of %d)\n", keys / presses, presses
}'
