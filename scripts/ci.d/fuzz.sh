#!/usr/bin/env bash
# CI stage: every fuzz target built with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer, run from its seeds and its regressions for a
# bounded time (ORUVEL_FUZZ_SECONDS per target, about a minute in all).
# A finding fails the stage; its input is left in build-fuzz/findings/ and
# belongs, once mended, in tests/fuzz/regressions/<target>/.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/scripts/setup.sh" "$top/scripts/ci.d/packages-fuzz.txt"

seconds=${ORUVEL_FUZZ_SECONDS:-7}
dir=${ORUVEL_FUZZ_BUILD:-build-fuzz}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S "$top" -B "$dir" -G Ninja -DORUVEL_FUZZ=ON -DORUVEL_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null

targets=()
for src in tests/fuzz/fuzz_*.cc; do
  name=$(basename "$src" .cc)
  name=${name#fuzz_}
  [ "$name" = support ] || targets+=("$name")
done
cmake --build "$dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

findings="$dir/findings"
mkdir -p "$findings"
failed=()
for name in "${targets[@]}"; do
  work="$dir/fuzz-corpus/$name"
  mkdir -p "$work"
  inputs=("$work" "tests/fuzz/corpus/$name")
  [ -d "tests/fuzz/regressions/$name" ] && inputs+=("tests/fuzz/regressions/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$dir/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/$name-" "${inputs[@]}" \
      >"$dir/fuzz-$name.log" 2>&1; then
    tail -n 60 "$dir/fuzz-$name.log"
    failed+=("$name")
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+ *DONE' "$dir/fuzz-$name.log" | tail -n 1 || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $findings)" >&2
  exit 1
fi
echo "fuzz: no findings in ${#targets[@]} targets"
