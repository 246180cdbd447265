#!/usr/bin/env bash
# Times the zelt program on a text of 1,000,000 four-element records against
# `wc -l` on the same file, then its time and peak memory reading long
# elements, many small ones and an element that never closes, by path and
# through a pipe, and writes the figures into bench/RESULTS.md as their own
# sections (bench/compare.sh keeps them). Builds a Release program in
# build-tool-bench/. Takes a few minutes; the texts need about 100 MB there
# and 700 MB in $TMPDIR/zelt-stream (or /tmp), kept for the next run.
#
#   bench/tool.sh [CASE...]   only these cases of bench/stream_bench.py,
#                             printed, not written (see CASES there)
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

build=build-tool-bench
step "build (Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF \
  -DZELT_BUILD_BENCHMARKS=OFF -DZELT_INSTALL=OFF >/dev/null
cmake --build "$build" -j2 --target zelt_tool

step "run"
if [ $# -eq 0 ]; then
  python3 bench/tool_bench.py "$build/tools/zelt" "$build/records.zelt" bench/RESULTS.md
fi
python3 bench/stream_bench.py "$build/tools/zelt" "${TMPDIR:-/tmp}/zelt-stream" bench/RESULTS.md "$@"
