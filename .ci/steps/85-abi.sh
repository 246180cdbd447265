#!/usr/bin/env bash
# libzelt.so.1 stays compatible with 1.1.0: libabigail compares a Release
# build (with debug information, which carries the types) against the
# baseline abi/libzelt.so.1.abi, which abidw made from the v1.1.0 tag. New
# functions and types are fine; a removed or changed one fails, and can only
# come with a new SONAME and a new baseline.
#
# The baseline was made with this command, in a checkout of v1.1.0 built as
# this step builds today's library:
#   abidw --no-corpus-path --no-comp-dir-path --no-show-locs --drop-undefined-syms \
#     --type-id-style hash --drop-private-types --hd buffer --hd formatter --hd scan --hd file \
#     build-ci/abi/libzelt.so.1.1.0 >abi/libzelt.so.1.abi
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake ninja-build g++ abigail-tools

step "ABI: libzelt.so.1 against the 1.1.0 baseline (abidiff)"
build=$ci_builds/abi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS="-g" -DZELT_BUILD_TESTS=OFF \
  -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=OFF -DZELT_BUILD_TOOLS=OFF -DZELT_INSTALL=OFF >/dev/null
cmake --build "$build" -j2 --target zelt >/dev/null

# Only types declared in the public headers count; the library's own are private.
headers=()
for dir in buffer formatter scan file record; do
  headers+=(--hd2 "$dir")
done
status=0
abidiff --drop-private-types "${headers[@]}" abi/libzelt.so.1.abi "$build/libzelt.so" >"$build/abidiff.txt" || status=$?
sed -n '1,4p' "$build/abidiff.txt"
# abidiff's exit status is a bit field: 1 an error, 2 a usage error, 4 a
# change, 8 an incompatible change. Additions set 4 alone.
if (( status & (1 | 2 | 8) )); then
  cat "$build/abidiff.txt"
  echo "FAIL: libzelt.so.1 is not compatible with 1.1.0 (abidiff status $status)"
  exit 1
fi
echo "compatible with 1.1.0 (abidiff status $status)"
