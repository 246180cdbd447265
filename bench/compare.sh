#!/usr/bin/env bash
# Measures zelt against the hand-written limit and the peer libraries, then
# writes bench/RESULTS.md and docs/bench.png. Installs what is missing
# (Debian packages, as root), builds a Release binary in build-compare/ and
# runs every benchmark in three separate processes; figures are their medians.
# Takes about ten minutes; run it on an otherwise quiet machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

runs=${ZELT_BENCH_RUNS:-3}
build=build-compare

step "packages"
need_packages cmake ninja-build g++ python3 libbenchmark-dev \
  libtinyxml2-dev libpugixml-dev libboost-serialization-dev libcereal-dev libfmt-dev
command -v gnuplot >/dev/null || need_packages gnuplot-nox

step "build (Release)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=ON
cmake --build "$build" -j2 --target zelt_bench

step "run ($runs processes)"
# The figures are CPU time, yet a busy machine still shares caches and memory bandwidth.
echo "load: $(uptime)"
for run in $(seq "$runs"); do
  echo "run $run of $runs"
  "$build/bench/zelt_bench" --benchmark_out="$build/run$run.json" --benchmark_out_format=json
done

step "report"
python3 bench/report.py bench/RESULTS.md "$build/chart.dat" "$build"/run*.json
mkdir -p docs
gnuplot -e "data='$build/chart.dat'; output='docs/bench.png'" bench/chart.gp
echo "wrote bench/RESULTS.md and docs/bench.png"
