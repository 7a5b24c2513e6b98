# Sourced by the bench scripts: a work folder, the stand-in directory on a
# free loopback port serving its usual catalogue (the Benchmark genre) and
# the lifelike genre "Lifelike" (bench/lifelike_genre.py), a demo root for
# it, and `choose_genre GENRE SCRIPT` to write a host script that chooses
# that genre. Needs $top, $build and $name (the script's name) set, and
# sets $work, $address, $root and $guard (a PATH folder in which no ripper
# is ever found, so a run neither asks about nor stops anyone's recordings).
work=$(mktemp -d "/tmp/oruvel-$name-XXXXXX")
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  if [ -n "${ORUVEL_BENCH_KEEP:-}" ]; then echo "$name: kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

cat "$top/tools/directory/catalogue.txt" >"$work/catalogue.txt"
python3 "$top/bench/lifelike_genre.py" Lifelike >>"$work/catalogue.txt"
python3 "$top/tools/directory/oruvel-directory" --catalogue "$work/catalogue.txt" --port 0 \
  --address-file "$work/address" >"$work/directory.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  [ -s "$work/address" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/address" ] || { cat "$work/directory.log" >&2; echo "$name: the stand-in directory did not start" >&2; exit 1; }
address=$(cat "$work/address")

root=$("$top/scripts/make-demo-root.sh" "$work/root" "$build" "$address" 2>/dev/null)
guard=$work/guard
mkdir -p "$guard"
for tool in pidof killall; do printf '#!/bin/sh\nexit 0\n' >"$guard/$tool"; done
chmod +x "$guard/"*

# Makes GENRE the genre file's only genre and writes a host script to
# SCRIPT that opens the genre combo, goes past the two local entries to it
# and chooses it; the caller appends what follows.
choose_genre() {
  printf '<genrelist>\n<genre name="%s"></genre>\n</genrelist>\n' "$1" \
    >"$root/var/tuxbox/config/oruvel/genre.xml"
  printf 'key ok\nkey down\nkey down\nkey ok\n' >"$2"
}
