#!/usr/bin/env bash
# Large writes with and without transparent-huge-page advice, on a quiet
# machine and right after a process that allocates, touches and frees a few
# GB. Usage: bench/huge_pages.sh BENCH_WITH_ADVICE BENCH_WITHOUT_ADVICE [RUNS]
# (two zelt_bench binaries). Prints, per variant and condition, the median
# and the spread of ns per record of Document/write at N = 1,000,000 for
# zelt and for the limit, each from RUNS fresh processes; with RESULTS.md,
# also as this script's section there.
set -euo pipefail
with=$1 without=$2 runs=${3:-5} results=${4:-}
churn=$(mktemp -d)/churn
trap 'rm -rf "$(dirname "$churn")"' EXIT
cat > "$churn.cpp" <<'CPP'
#include <cstdlib>
#include <cstring>
int main() {
    for (int round = 0; round < 2; ++round) {
        const size_t size = size_t{3} << 30;
        char* p = static_cast<char*>(std::malloc(size));
        if (p == nullptr) return 1;
        std::memset(p, round + 1, size);
        std::free(p);
    }
}
CPP
g++ -O2 "$churn.cpp" -o "$churn"

# ns per record of one benchmark in one fresh process.
one() {
  "$1" --benchmark_filter="^Document/write/$2/1000000\$" --benchmark_format=json 2>/dev/null |
    python3 -c 'import json,sys; b=json.load(sys.stdin)["benchmarks"][0]; print(round(b["per_rec"]*1e9, 1))'
}

table() {
printf '| advice | machine | library | median ns/record | min | max |\n|---|---|---|---|---|---|\n'
for variant in with without; do
  binary=$([ $variant = with ] && echo "$with" || echo "$without")
  for machine in quiet churned; do
    for library in zelt limit; do
      figures=()
      for _ in $(seq "$runs"); do
        [ $machine = churned ] && "$churn"
        figures+=("$(one "$binary" $library)")
      done
      printf '%s\n' "${figures[@]}" | sort -n | awk -v v=$variant -v m=$machine -v l=$library \
        '{a[NR]=$1} END {printf "| %s | %s | %s | %s | %s | %s |\n", v, m, l, a[int((NR+1)/2)], a[1], a[NR]}'
    done
  done
done
}

table | tee "$churn.md"
if [ -n "$results" ]; then
  {
    printf '## Huge pages\n\n'
    printf 'Document/write at N = 1,000,000 with and without transparent-huge-page advice on the\n'
    printf 'areas, %s fresh processes each, on a quiet machine and right after a process that touched\n' "$runs"
    printf 'and freed 3 GB twice (bench/huge_pages.sh). The advice is kept only while it wins in both.\n\n'
    cat "$churn.md"
  } | python3 "$(dirname "$0")/write_section.py" "$results" bench/huge_pages.sh
fi
