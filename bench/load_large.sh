#!/usr/bin/env bash
# loadFile of a large file against the plainest read(2) loop into one
# allocation: wall-clock time and peak resident memory of one load each, by
# /usr/bin/time, medians of RUNS runs, the file in the page cache.
#
#   bench/load_large.sh BUILD_DIR [SIZE_MIB=2048] [RUNS=3]
#
# The file (SIZE MiB of element text) goes to $TMPDIR (or /tmp) and is removed
# at the end; it needs that much free space there and twice that in memory.
set -euo pipefail
build=${1:?usage: load_large.sh BUILD_DIR [SIZE_MIB] [RUNS]}
size_mib=${2:-2048}
runs=${3:-3}
bench="$build/bench/zelt_file_bench"
file="${TMPDIR:-/tmp}/zelt-load-large-$$"
trap 'rm -f "$file"' EXIT

head -c "$((size_mib << 20))" < <(yes '<value>1234567</value>') >"$file"
cat "$file" >/dev/null # into the page cache

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A seconds kib
for way in read zelt; do
  results=$(for _ in $(seq "$runs"); do /usr/bin/time -f '%e %M' "$bench" --load-once "$way" "$file" 2>&1; done)
  seconds[$way]=$(cut -d' ' -f1 <<<"$results" | median)
  kib[$way]=$(cut -d' ' -f2 <<<"$results" | median)
  printf '%-5s %6s s  %8s KiB peak resident\n' "$way" "${seconds[$way]}" "${kib[$way]}"
done
awk -v t="${seconds[zelt]}" -v tr="${seconds[read]}" -v m="${kib[zelt]}" -v mr="${kib[read]}" \
  'BEGIN { printf "zelt / read: %.2fx time, %.2fx peak memory\n", t / tr, m / mr }'
