#!/usr/bin/env bash
# valgrind memcheck over the test binaries, the demo and the zelt program: no
# error and no leak of any kind. The allocation-failure sweep's totals are
# printed from its run.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "valgrind memcheck: test binaries, demo and the zelt program"
need_packages cmake ninja-build g++ libgtest-dev valgrind

build=build-valgrind
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELT_BUILD_BENCHMARKS=OFF -DZELT_INSTALL=OFF \
  >/dev/null
cmake --build "$build" -j2 --target zelt_tests zelt_alloc_tests zelt_tool_tests zelt_demo zelt_tool >/dev/null

# The test binaries replace operator new themselves (to record or to fail
# allocations): nouserintercepts keeps valgrind from replacing it again,
# while memcheck still sees every block through malloc and free.
memcheck=(valgrind -q --error-exitcode=1 --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all
  --soname-synonyms=somalloc=nouserintercepts)
# Runs a command (after the name it is reported by) under memcheck.
check_memory() {
  local name=$1
  shift
  local log="$build/${name// /-}.valgrind.log"
  if ! "${memcheck[@]}" "$@" >"$log" 2>&1; then
    cat "$log"
    echo "valgrind: $name: FAILED"
    exit 1
  fi
  summary=$(grep -E '^\[  PASSED  \]|^allocation-failure sweep' "$log" || echo "ran")
  echo "valgrind: $name: no error, no leak; ${summary//$'\n'/; }"
}
for binary in tests/zelt_tests tests/zelt_alloc_tests tests/zelt_tool_tests examples/zelt_demo; do
  check_memory "$binary" "$build/$binary"
done
# Each command of the zelt program, on the text the demo saves.
"$build/examples/zelt_demo" "$build/demo.zelt" >/dev/null
for command in check list xml json; do
  check_memory "zelt $command" "$build/tools/zelt" "$command" "$build/demo.zelt"
done
