#!/usr/bin/env bash
# Sets up the machine, builds, and runs Oruvel in the desktop host against
# the local stand-in station directory. Extra arguments go to oruvel-host.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
scripts/build.sh build
root=${ORUVEL_DEMO_ROOT:-$top/demo-root}
scripts/make-demo-root.sh "$root" "$top/build"

portfile=$(mktemp)
python3 tools/standin-directory/standin_directory.py --port 0 --address-file "$portfile" \
  >"$root/standin.log" 2>&1 &
standin=$!
cleanup() {
  kill "$standin" 2>/dev/null || true
  wait "$standin" 2>/dev/null || true
  # a ripper started from the demo
  pkill -f "$top/build/tools/lumoripper/lumoripper" 2>/dev/null || true
  rm -f "$portfile"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$portfile" ] && break; sleep 0.05; done
address=$(cat "$portfile")
echo "stand-in directory at $address"
build/tools/oruvel-host/oruvel-host --root "$root" --directory "$address" \
  --plugin build/liboruvel.so "$@"
