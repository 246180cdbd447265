#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer targets (clang++, address and undefined-
# behaviour sanitizers) in their own build folder and runs each for a bounded
# time from its committed seed corpus. Any finding fails the step; the input
# that caused it is left in build-ci/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

seconds=${ZELT_FUZZ_SECONDS:-60}
step "fuzzing: reader, round trip, buffer, file buffer, escapes and record targets, ${seconds} s each"
need_packages cmake ninja-build clang libclang-rt-14-dev

build=$(configure_preset fuzz fuzz)
cmake --build "$build" -j2 --target zelt_fuzz_reader zelt_fuzz_round_trip zelt_fuzz_buffer zelt_fuzz_file_buffer \
  zelt_fuzz_escapes zelt_fuzz_record

for target in reader round_trip buffer file_buffer escapes record; do
  # New inputs go to a scratch folder, so the committed corpus stays as it is.
  scratch=$(mktemp -d)
  log="$build/$target.log"
  if ! ZELT_FUZZ_STATS=1 "$build/fuzz/zelt_fuzz_$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -dict=fuzz/element.dict -artifact_prefix="$build/$target-" "$scratch" "fuzz/corpus/$target" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target: FINDING, input saved as $build/$target-*"
    exit 1
  fi
  rm -rf "$scratch"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  long_tags=$(sed -n 's/^tags over 32 KiB: //p' "$log")
  echo "fuzz: $target: $runs executions in $seconds s, no finding${long_tags:+; tags over 32 KiB: $long_tags}"
done
