#!/usr/bin/env bash
# The thread tests under clang++'s thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "threads (clang++, thread sanitizer): formatters and buffers on 8 threads at once"
need_packages cmake ninja-build clang libgtest-dev
build=$(configure_preset tsan tsan)
cmake --build "$build" -j2 --target zelt_thread_tests
TSAN_OPTIONS=halt_on_error=1 "$build/tests/zelt_thread_tests"
