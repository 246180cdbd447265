#!/usr/bin/env bash
# Static analysis of the library (buffer/, formatter/, scan/, file/, record/, text/) and of
# the zelt program (tools/): clang-tidy with the committed .clang-tidy and the
# compile commands of a clang++ configure, then cppcheck with the committed
# .cppcheck-suppressions. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "static analysis: clang-tidy and cppcheck over the library and tools/"
need_packages cmake ninja-build clang clang-tidy cppcheck

build=$(configure_preset tidy tidy)
shopt -s nullglob
sources=(buffer/*.cpp formatter/*.cpp scan/*.cpp file/*.cpp record/*.cpp tools/*.cpp)
folders=(buffer formatter scan file text tools)
[ -d record ] && folders+=(record)

if ! clang-tidy -p "$build" --quiet "${sources[@]}" >"$build/clang-tidy.log" 2>&1; then
  grep -v ' warnings generated\.$' "$build/clang-tidy.log"
  echo "clang-tidy: FINDINGS"
  exit 1
fi
echo "clang-tidy $(clang-tidy --version | sed -n 's/.*LLVM version //p'): ${#sources[@]} sources and their headers, no finding"

cppcheck --enable=warning,performance,portability --std=c++17 --language=c++ --error-exitcode=1 \
  --suppressions-list=.cppcheck-suppressions "${folders[@]/#/-I}" --quiet "${folders[@]}"
echo "$(cppcheck --version): ${folders[*]}, no finding"
