#!/usr/bin/env bash
# valgrind memcheck over the test binaries, the examples and the zelt program:
# no error and no leak of any kind. The allocation-failure sweep's totals are
# printed from its run.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "valgrind memcheck: test binaries, examples and the zelt program"
need_packages cmake ninja-build g++ libgtest-dev valgrind

build=$(configure_preset valgrind valgrind)
cmake --build "$build" -j2 --target zelt_tests zelt_alloc_tests zelt_file_fault_tests zelt_tool_tests zelt_demo \
  zelt_files zelt_tool >/dev/null

# The test binaries replace operator new themselves (to record or to fail
# allocations): nouserintercepts keeps valgrind from replacing it again,
# while memcheck still sees every block through malloc and free.
memcheck=(valgrind -q --error-exitcode=1 --leak-check=full --show-leak-kinds=all --errors-for-leak-kinds=all
  --soname-synonyms=somalloc=nouserintercepts)
# Runs a command from the build folder, given as one line of words, under memcheck.
check_memory() {
  local binary arguments
  read -r binary arguments <<<"$1"
  local log="$build/$(basename "$binary")${arguments:+-$(basename "${arguments%% *}")}.valgrind.log"
  # shellcheck disable=SC2086 # the arguments are split on purpose
  if ! "${memcheck[@]}" "$build/$binary" $arguments >"$log" 2>&1; then
    cat "$log"
    echo "valgrind: $1: FAILED"
    exit 1
  fi
  summary=$(grep -E '^\[  PASSED  \]|^allocation-failure sweep' "$log" || echo "ran")
  echo "valgrind: $1: no error, no leak; ${summary//$'\n'/; }"
}
# The files example streams fewer records than its million: memcheck runs it
# some 30 times slower. The zelt program reads the text the demo saves.
for run in tests/zelt_tests tests/zelt_alloc_tests tests/zelt_file_fault_tests tests/zelt_tool_tests \
    "examples/zelt_demo $build/demo.zelt" "examples/zelt_files 20000 $build/files-example.txt" \
    "tools/zelt check $build/demo.zelt" "tools/zelt list $build/demo.zelt" \
    "tools/zelt xml $build/demo.zelt" "tools/zelt json $build/demo.zelt"; do
  check_memory "$run"
done
