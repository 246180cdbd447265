#!/usr/bin/env bash
# The benchmarks must keep building, peer comparisons included, with both
# compilers and no warnings. Nothing timed runs: the benchmark list is only
# printed, to show that every document benchmark was compiled in.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "benchmarks build (g++ and clang++, every peer library)"
need_packages cmake ninja-build g++ clang libbenchmark-dev \
  libtinyxml2-dev libpugixml-dev libboost-serialization-dev libcereal-dev libfmt-dev

for preset in bench bench-clang; do
  dir=$(configure_preset "$preset" "$preset")
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$dir/CMakeCache.txt")
  cmake --build "$dir" -j2 --target zelt_bench zelt_file_bench
  list=$("$dir/bench/zelt_bench" --benchmark_list_tests)
  # A peer whose package went missing would otherwise be skipped without a sound.
  for library in zelt limit snprintf fmt tinyxml2 pugixml boost cereal; do
    grep -qx "Document/write/$library/1000000" <<<"$list" || { echo "missing: $library"; exit 1; }
  done
  files=$("$dir/bench/zelt_file_bench" --benchmark_list_tests)
  grep -q '^Load/zelt/209715200/' <<<"$files" || { echo "missing: the 200 MB load"; exit 1; }
  echo "$preset ($compiler): $(wc -l <<<"$list") benchmarks built, and $(wc -l <<<"$files") for files"
done
