#!/usr/bin/env bash
# Every test under clang++'s address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "tests (clang++, address and undefined-behaviour sanitizers)"
need_packages cmake ninja-build clang libgtest-dev python3 libxml2-utils
build=$(configure_preset asan asan)
cmake --build "$build" -j2
# allocator_may_return_null: requests no allocator can serve must throw, as they do unsanitized.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 ctest --test-dir "$build" --output-on-failure
