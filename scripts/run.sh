#!/usr/bin/env bash
# Sets up the machine, builds, and runs Oruvel in the desktop host against
# the local stand-in station directory. Extra arguments go to oruvel-host.
#   ORUVEL_DEMO_ROOT  the demo root (default: demo-root in the checkout)
#   ORUVEL_DIRECTORY  a real station directory (host:port) instead of the stand-in
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
if [ ! -t 0 ] || [ ! -t 1 ]; then
  echo "run.sh: run me in a terminal: Oruvel is drawn there" >&2
  exit 2
fi
scripts/setup.sh
echo "run.sh: building (the first time takes a few minutes)"
scripts/build.sh build
root=${ORUVEL_DEMO_ROOT:-$top/demo-root}
mkdir -p "$root"

standin=
address=${ORUVEL_DIRECTORY:-}
portfile=$(mktemp)
cleanup() {
  # A ripper the demo started and left recording: the PID in its own file,
  # and only when that process really is our lumoripper on our RIPDIR.
  pid=$(awk '{print $1; exit}' "$root/tmp/lumopid" 2>/dev/null | tr -dc 0-9 || true)
  if [ -n "$pid" ] && [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$top/build/tools/lumoripper/lumoripper" ] &&
     tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$root/music"; then
    echo "run.sh: stopping the ripper (PID $pid)"
    kill "$pid" 2>/dev/null || true
  fi
  if [ -n "$standin" ]; then
    kill "$standin" 2>/dev/null || true
    wait "$standin" 2>/dev/null || true
  fi
  rm -f "$portfile"
}
trap cleanup EXIT

if [ -z "$address" ]; then
  # Rendered audio when sox and lame can make it, silent frames otherwise.
  tools/directory/make_audio.sh >/dev/null 2>&1 || true
  python3 tools/directory/oruvel-directory --port 0 --address-file "$portfile" \
    >"$root/standin.log" 2>&1 &
  standin=$!
  for _ in $(seq 200); do [ -s "$portfile" ] && break; sleep 0.05; done
  if [ ! -s "$portfile" ]; then
    echo "run.sh: the stand-in directory did not start; see $root/standin.log" >&2
    exit 1
  fi
  address=$(cat "$portfile")
  echo "run.sh: stand-in directory at $address"
fi
scripts/make-demo-root.sh "$root" "$top/build" "$address" >/dev/null
set +e
build/tools/oruvel-host/oruvel-host --root "$root" --directory "$address" \
  --plugin build/liboruvel.so "$@"
status=$?
set -e
exit $status
