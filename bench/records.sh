#!/usr/bin/env bash
# Records against their targets: writeValue/readValue on the document's
# records as one std::vector, against the same elements through hand-written
# typed calls and against cereal's and Boost.Serialization's XML archives
# (loading the text included, as a user must), and a 1,000-field record read
# in reverse order against in order. Builds a Release zelt_bench in
# build-compare/, runs it in separate processes, and writes the medians into
# a section of bench/RESULTS.md that bench/compare.sh keeps.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

runs=${ZELT_BENCH_RUNS:-5}
build=build-compare

step "build (Release)"
need_packages cmake ninja-build g++ python3 libbenchmark-dev libboost-serialization-dev libcereal-dev
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target zelt_bench >/dev/null

step "run ($runs processes)"
echo "load: $(uptime)"
for run in $(seq "$runs"); do
  "$build/bench/zelt_bench" \
    --benchmark_filter='^(Document/(write|read)/(records|records_hand|cereal|boost)/(10000|100000)|Records/.*)$' \
    --benchmark_out="$build/records$run.json" --benchmark_out_format=json >/dev/null
done

python3 - "$build" "$runs" "$(uptime)" <<'PY'
import json, statistics, sys

folder, runs, load = sys.argv[1], int(sys.argv[2]), sys.argv[3]
BEGIN, END = "<!-- written by bench/records.sh: begin -->", "<!-- written by bench/records.sh: end -->"

values, text_bytes = {}, {}
for run in range(1, runs + 1):
    with open(f"{folder}/records{run}.json") as f:
        for b in json.load(f)["benchmarks"]:
            ns = b["per_rec"] * 1e9 if "per_rec" in b else b["cpu_time"]
            values.setdefault(b["name"], []).append(ns)
            if "bytes" in b:
                text_bytes[b["name"]] = b["bytes"]
median = {name: statistics.median(v) for name, v in values.items()}

def doc(op, lib, n):
    return median.get(f"Document/{op}/{lib}/{n}")

lines = [BEGIN, "", "## Records", "",
         f"Written by `bench/records.sh`: medians of {runs} processes, CPU time. The document's records as one "
         "std::vector: `writeValue`/`readValue`; *hand* the same elements (the same text, checked) through the "
         "typed writers, and the typed readers in written order with scanElement for the headers; cereal and "
         "Boost.Serialization through their XML archives on string streams, the text loaded by each read. "
         f"Load at the end: {load.split('load average:')[-1].strip()}.", "",
         "| | N | records | hand | × hand | cereal | × | boost | × |", "|---|---|---|---|---|---|---|---|---|"]
targets = []
for op in ["write", "read"]:
    for n in [10000, 100000]:
        r, h, c, b = (doc(op, lib, n) for lib in ["records", "records_hand", "cereal", "boost"])
        if None in (r, h, c, b):
            continue
        lines.append(f"| {op} ns/record | {n:,} | {r:,.0f} | {h:,.0f} | {r / h:.2f}× | {c:,.0f} | {c / r:.1f}× faster | "
                     f"{b:,.0f} | {b / r:.1f}× faster |")
        hand_target, peer_target = (1.2, 5) if op == "write" else (1.5, 2.5)
        targets.append((f"{op}, N = {n:,}: records ÷ hand", r / h, f"≤ {hand_target}", r / h <= hand_target))
        slower = min(c, b) / r
        targets.append((f"{op}, N = {n:,}: cereal and Boost ÷ records (the lesser)", slower, f"≥ {peer_target}",
                        slower >= peer_target))
sizes = {lib: text_bytes.get(f"Document/write/{lib}/100000") for lib in ["records", "cereal", "boost"]}
if None not in sizes.values():
    lines += ["", "Text per record: " + ", ".join(f"{lib} {size / 100000:,.0f} bytes" for lib, size in sizes.items()) +
              " (a record's paths stand in both tags of every element)."]
rev, ordered = median.get("Records/wide_read/reversed/1"), median.get("Records/wide_read/in_order/0")
if rev and ordered:
    lines += ["", f"1,000-field record: read in order {ordered / 1e3:,.1f} µs, in reverse order {rev / 1e3:,.1f} µs."]
    targets.append(("1,000 fields: reverse ÷ in order", rev / ordered, "≤ 2", rev / ordered <= 2))
lines += ["", "| target | measured | wanted | met |", "|---|---|---|---|"]
lines += [f"| {name} | {value:.2f} | {wanted} | {'yes' if met else '**no**'} |" for name, value, wanted, met in targets]
lines.append(END)

sys.path.insert(0, "bench")
from tool_bench import write_section
write_section("bench/RESULTS.md", "\n".join(lines) + "\n", BEGIN, END)
print("\n".join(lines))
PY
