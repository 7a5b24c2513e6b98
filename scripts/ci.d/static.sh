#!/usr/bin/env bash
# CI stage: static checks: clang-tidy over the product's sources, cppcheck over
# every source, tests included, with the checks chosen in .clang-tidy and the
# suppressions in .cppcheck-suppressions. Any finding fails the stage.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
"$top/scripts/setup.sh" "$top/scripts/ci.d/packages-static.txt"

dir=${ORUVEL_STATIC_BUILD:-build-static}
# Only the compile database is needed, not a build.
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DORUVEL_BUILD_BENCH=ON >/dev/null
# The benchmarks are left out: their loop variable is unused by design.
sources="^$top/(plugin|directory|ui|ripper|lcd|host|tools)/.*\\.cc\$"

echo "static: clang-tidy"
run-clang-tidy -p "$dir" -j "$(nproc)" -quiet "$sources" 2>&1 |
  sed 's/\x1b\[[0-9;]*m//g' >"$dir/clang-tidy.log" || true
if grep -E '(warning|error): ' "$dir/clang-tidy.log" | grep -v 'warnings generated' >/dev/null; then
  grep -E -A3 '(warning|error): ' "$dir/clang-tidy.log" | head -n 200
  echo "static: clang-tidy found problems (full log: $dir/clang-tidy.log)" >&2
  exit 1
fi

echo "static: cppcheck"
cppcheck --project="$dir/compile_commands.json" -j "$(nproc)" -q --inline-suppr \
  --enable=warning,performance,portability --std=c++17 --language=c++ --library=googletest \
  --suppressions-list="$top/.cppcheck-suppressions" -i"$dir" --error-exitcode=1 \
  --template='{file}:{line}: {severity} ({id}): {message}' 2>"$dir/cppcheck.log" || {
  cat "$dir/cppcheck.log"
  echo "static: cppcheck found problems" >&2
  exit 1
}
echo "static: clean"
