#!/usr/bin/env bash
# Times the zelt program and measures its peak memory reading long elements,
# many small ones and an element that never closes, by path and through a
# pipe, and writes the figures into bench/RESULTS.md as their own section.
# Builds a Release program in build-tool-bench/; the texts (about 700 MB) are
# kept in $TMPDIR/zelt-stream (or /tmp). Takes a few minutes.
#
#   bench/stream.sh [CASE...]   (cases: see CASES in bench/stream_bench.py;
#                                 a partial run only prints its figures)
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

build=build-tool-bench
step "build (Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF \
  -DZELT_BUILD_BENCHMARKS=OFF -DZELT_INSTALL=OFF >/dev/null
cmake --build "$build" -j2 --target zelt_tool

step "run"
python3 bench/stream_bench.py "$build/tools/zelt" "${TMPDIR:-/tmp}/zelt-stream" bench/RESULTS.md "$@"
