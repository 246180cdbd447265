#!/usr/bin/env bash
# zelt as it was at an earlier revision, measured against today's tight limit:
# builds that revision's zelt_bench (its own zelt and harness) and today's,
# runs the zelt document benchmarks of the first and the limit's of the second
# in three separate processes each, and writes the medians into a section of
# bench/RESULTS.md that bench/compare.sh keeps.
#
# usage: bench/before.sh REVISION
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

revision=${1:?usage: bench/before.sh REVISION}
runs=3
old=build-before
worktree=$(mktemp -d)
trap 'git worktree remove --force "$worktree" >/dev/null 2>&1 || true' EXIT

step "build $revision and today's benchmarks (Release)"
git worktree add --detach "$worktree" "$revision" >/dev/null
cmake -S "$worktree" -B "$old" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$old" -j2 --target zelt_bench >/dev/null
cmake -S . -B build-compare -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build-compare -j2 --target zelt_bench >/dev/null

step "run ($runs processes each)"
echo "load: $(uptime)"
for run in $(seq "$runs"); do
  "$old/bench/zelt_bench" --benchmark_filter='^Document/(write|read)/zelt/(10000|1000000)$' \
    --benchmark_out="$old/zelt$run.json" --benchmark_out_format=json >/dev/null
  build-compare/bench/zelt_bench --benchmark_filter='^Document/(write|read)/limit/(10000|1000000)$' \
    --benchmark_out="$old/limit$run.json" --benchmark_out_format=json >/dev/null
done

python3 - "$revision" "$(git rev-parse --short "$revision")" "$old" "$runs" <<'EOF'
import json, statistics, sys

revision, short, folder, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
BEGIN, END = "<!-- written by bench/before.sh: begin -->", "<!-- written by bench/before.sh: end -->"

def per_record(kind):
    values = {}
    for run in range(1, runs + 1):
        with open(f"{folder}/{kind}{run}.json") as f:
            for b in json.load(f)["benchmarks"]:
                values.setdefault(b["name"], []).append(b["per_rec"] * 1e9)
    return {name: statistics.median(v) for name, v in values.items()}

zelt, limit = per_record("zelt"), per_record("limit")
lines = [BEGIN, "", f"## zelt at {short} against today's limit", "",
         f"Written by `bench/before.sh {revision}`: that revision's zelt and harness, today's tight "
         f"limit, medians of {runs} processes each, ns per record.", "",
         "| | N | zelt then | limit | × |", "|---|---|---|---|---|"]
for op in ["write", "read"]:
    for n in [10000, 1000000]:
        z, l = zelt.get(f"Document/{op}/zelt/{n}"), limit.get(f"Document/{op}/limit/{n}")
        if z and l:
            lines.append(f"| {op} | {n:,} | {z:,.0f} | {l:,.0f} | {z / l:.2f}× |")
lines.append(END)

sys.path.insert(0, "bench")
from tool_bench import write_section
write_section("bench/RESULTS.md", "\n".join(lines) + "\n", BEGIN, END)
print("\n".join(lines))
EOF
