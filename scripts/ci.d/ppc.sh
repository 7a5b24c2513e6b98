#!/usr/bin/env bash
# CI stage: the widget-free core built for the receiver's processor (32-bit
# big-endian PowerPC) with Debian's cross compiler, and its unit tests (and
# the replay of the fuzz seeds) run under qemu-user; then, for the record,
# the heap a list of the stand-in directory's Benchmark genre (10,000
# stations) takes there.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/scripts/setup.sh" "$top/scripts/ci.d/packages-ppc.txt"

dir=${ORUVEL_PPC_BUILD:-build-ppc}
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/powerpc-linux-gnu.cmake" \
  -DORUVEL_CORE_ONLY=ON -DORUVEL_BUILD_BENCH=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
# The binaries really are for the receiver.
file -L "$dir/tests/core/core_tests" | grep -q 'ELF 32-bit MSB.*PowerPC' || {
  echo "ppc: core_tests is not a 32-bit big-endian PowerPC program" >&2
  exit 1
}
ctest --test-dir "$dir" -j "$(nproc)" --output-on-failure

python3 - "$top/tools/directory" >"$dir/benchmark-page" <<'PAGE'
import sys
sys.path.insert(0, sys.argv[1])
import catalogue
stations = catalogue.Catalogue.load(sys.argv[1] + "/catalogue.txt").stations_of("Benchmark")
sys.stdout.buffer.write(catalogue.station_page(stations))
PAGE
echo "ppc: the heap of the Benchmark genre's Station list"
qemu-ppc -L /usr/powerpc-linux-gnu "$dir/bench/station_heap" "$dir/benchmark-page"
