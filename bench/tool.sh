#!/usr/bin/env bash
# Times the zelt program on a text of 1,000,000 four-element records against
# `wc -l` on the same file, and writes the figures into bench/RESULTS.md as
# their own section (bench/compare.sh keeps it). Builds a Release program in
# build-tool-bench/. Takes about a minute; the text needs about 100 MB there.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

build=build-tool-bench
step "build (Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF \
  -DZELT_BUILD_BENCHMARKS=OFF -DZELT_INSTALL=OFF >/dev/null
cmake --build "$build" -j2 --target zelt_tool

step "run"
python3 bench/tool_bench.py "$build/tools/zelt" "$build/records.zelt" bench/RESULTS.md
