#!/usr/bin/env bash
# loadFile of a large file against the plainest read(2) loop into one
# allocation: wall-clock time and peak resident memory of one load each, by
# /usr/bin/time, medians of RUNS runs, the file in the page cache.
#
#   bench/load_large.sh BUILD_DIR [SIZE_MIB=2048] [RUNS=3] [RESULTS.md]
#
# With RESULTS.md, the figures also go there as this script's section.
#
# The file (SIZE MiB of element text) goes to $TMPDIR (or /tmp) and is removed
# at the end; it needs that much free space there and twice that in memory.
set -euo pipefail
build=${1:?usage: load_large.sh BUILD_DIR [SIZE_MIB] [RUNS]}
size_mib=${2:-2048}
runs=${3:-3}
results_md=${4:-}
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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
if [ -n "$results_md" ]; then
  {
    printf '## Loading a large file\n\n'
    printf '`loadFile` of a %s MiB file in the page cache into a new buffer, against the plainest\n' "$size_mib"
    printf '`open`/`fstat`/`malloc`/`read` loop into one allocation; medians of %s runs of one load\n' "$runs"
    printf 'each (`/usr/bin/time`, bench/load_large.sh).\n\n'
    printf '| | seconds | peak resident KiB |\n|---|---|---|\n'
    printf '| read loop | %s | %s |\n' "${seconds[read]}" "${kib[read]}"
    printf '| loadFile | %s | %s |\n' "${seconds[zelt]}" "${kib[zelt]}"
    printf '| × | %s | %s |\n' "$(ratio "${seconds[zelt]}" "${seconds[read]}")" "$(ratio "${kib[zelt]}" "${kib[read]}")"
  } | python3 "$(dirname "$0")/write_section.py" "$results_md" bench/load_large.sh
fi
