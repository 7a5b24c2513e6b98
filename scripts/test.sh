#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the plain build, then
# the same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
jobs=$(nproc)

echo "== build and test"
scripts/build.sh build
ctest --test-dir build -j "$jobs" --output-on-failure

echo "== build and test under the sanitizers"
scripts/build.sh build-asan -DORUVEL_SANITIZE=ON -DORUVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j "$jobs" --output-on-failure

for extra in scripts/ci.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $(basename "$extra" .sh)"
  bash "$extra"
done
echo "all test stages passed"
