#!/usr/bin/env bash
# Line and branch coverage of the library (buffer/, formatter/, scan/, file/, record/ and text/) by the test
# suite: the coverage preset's g++ build (in build-coverage, or ZELT_COVERAGE_BUILD),
# ctest, then gcovr.
# Branches that only exist for exception unwinding, and branches the compiler
# proved unreachable, are left out. Fails when coverage falls below
# ZELT_MIN_LINE_COVERAGE / ZELT_MIN_BRANCH_COVERAGE percent (100 and 95).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ZELT_COVERAGE_BUILD:-build-coverage}
# The floor is what the tests reach today, so that it only ever rises: a few
# system-error paths of the atomic writer (a failed readlinkat, a descriptor
# path that is not open) and of record reading and writing are not reached yet.
min_lines=${ZELT_MIN_LINE_COVERAGE:-99}
min_branches=${ZELT_MIN_BRANCH_COVERAGE:-91}

rm -rf "$build"
cmake --preset coverage -B "$build" >/dev/null
cmake --build "$build" -j2 >/dev/null
ctest --test-dir "$build" --output-on-failure -j2 | tail -n 3

gcovr=(gcovr --root . --object-directory "$build" --filter 'buffer/' --filter 'formatter/' --filter 'scan/' --filter 'file/' --filter 'record/' --filter 'text/'
  --exclude-throw-branches --exclude-unreachable-branches)
# Per file, the lines and then the branches not covered ("Missing").
"${gcovr[@]}" --txt
"${gcovr[@]}" --txt --branches
# The summary goes to stdout; the report itself to a file in the build folder.
# Never --txt /dev/null: gcovr replaces its output file, and as root that
# turns /dev/null into a plain file for the whole machine.
"${gcovr[@]}" --print-summary --txt "$build/coverage-summary.txt" \
  --fail-under-line "$min_lines" --fail-under-branch "$min_branches"
