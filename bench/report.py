#!/usr/bin/env python3
"""Turns the JSON of several zelt_bench runs into bench/RESULTS.md and the
gnuplot data for docs/bench.png. Every figure is the median over the runs.

usage: report.py RESULTS.md CHART.dat RUN.json...
"""
import json
import statistics
import sys

LIBRARIES = ["zelt", "limit", "growing", "snprintf", "fmt", "tinyxml2", "pugixml", "boost", "cereal"]
ABOUT = {
    "zelt": "zelt's writers and readers on one ZELTBuffer (the label read with scanElement)",
    "limit": "the tight hand-written limit: output sized once from an upper bound, std::to_chars and "
    "memcpy of constant tag texts; a reader that knows the tags, compares each with memcmp where it "
    "must stand, parses digits in place and expects the closing text right after the value",
    "growing": "hand-written code that grows its output by doubling, as zelt must; a reader that "
    "finds each closing text with memmem",
    "snprintf": "one snprintf per record appended to a std::string (write only)",
    "fmt": "{fmt} format_to into a memory_buffer (write only)",
    "tinyxml2": "XMLPrinter; XMLDocument::Parse and a walk over the elements",
    "pugixml": "tree built, then save to a string; load_buffer and a walk",
    "boost": "Boost.Serialization xml_oarchive / xml_iarchive, std::vector of records",
    "cereal": "cereal XMLOutputArchive / XMLInputArchive, std::vector of records",
}
SIZES = [10_000, 100_000, 1_000_000]
TYPES = ["Bool", "Char", "UChar", "Int8", "UInt8", "Int16", "UInt16", "Int32", "UInt32", "Int64", "UInt64", "String"]


def load(paths):
    """name -> list of result dicts, one per run; and the first run's context."""
    runs, context = {}, None
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        context = context or data["context"]
        for b in data["benchmarks"]:
            if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred"):
                runs.setdefault(b["name"], []).append(b)
    return runs, context


def median(runs, name, key, scale=1.0):
    values = [b[key] for b in runs.get(name, []) if key in b]
    return statistics.median(values) * scale if values else None


def fmt(value, digits=0):
    return "–" if value is None else f"{value:,.{digits}f}"


def kept_sections(path):
    """The sections other scripts wrote into the old file, from their line
    "<!-- written by SCRIPT: begin -->" to "<!-- written by SCRIPT: end -->",
    kept as they are, each after a blank line."""
    try:
        with open(path) as f:
            old = f.read().splitlines()
    except FileNotFoundError:
        return ""
    kept, inside = [], False
    for line in old:
        marker = line.startswith("<!-- written by ")
        if marker and line.endswith(": begin -->"):
            inside = True
            kept.append("")
        if inside:
            kept.append(line)
        if marker and line.endswith(": end -->"):
            inside = False
    return "\n".join(kept) + "\n" if kept else ""


def main():
    out_md, out_dat, *paths = sys.argv[1:]
    runs, context = load(paths)
    doc = lambda op, lib, n, key, scale=1.0: median(runs, f"Document/{op}/{lib}/{n}", key, scale)
    ns = lambda op, lib, n: doc(op, lib, n, "per_rec", 1e9)
    present = [lib for lib in LIBRARIES if any(f"Document/write/{lib}/{n}" in runs for n in SIZES)]

    lines = ["# zelt benchmark results", ""]
    lines += [
        "Written by `bench/compare.sh` (but for the sections other scripts write, which it keeps); "
        "do not edit by hand. Each figure is the median of "
        f"{len(paths)} separate runs of `zelt_bench` (CPU time per record, so that other work on the "
        "machine disturbs it little).",
        "",
        f"Machine: {context['num_cpus']} cores at {context['mhz_per_cpu']} MHz, "
        f"load average at the start {', '.join(f'{x:.2f}' for x in context['load_avg'])}; "
        f"run on {context['date'][:10]}.",
        "",
        "The document: N records of seven fields (int32, uint64, negative int64, bool, uint8, a string "
        "of 8 to 40 letters, a 4 to 12 letter string carrying the attribute Name=\"nm\"), about 180 "
        "bytes per record in zelt's form. *Write* makes the whole text from the records; *read* parses "
        "it and checks the first six fields of every record. Each iteration makes and releases "
        "everything it uses, the text included.",
        "",
        "| library | how |",
        "|---|---|",
    ]
    lines += [f"| {lib} | {ABOUT[lib]} |" for lib in present]
    missing = [lib for lib in LIBRARIES if lib not in present]
    if missing:
        lines += ["", f"Not installed when this ran, so not measured: {', '.join(missing)}."]

    for op in ["write", "read"]:
        lines += ["", f"## {op.capitalize()}: ns per record (× the hand-written limit)", ""]
        lines += ["| library | " + " | ".join(f"N = {n:,}" for n in SIZES) + " |", "|---" * (len(SIZES) + 1) + "|"]
        for lib in present:
            if doc(op, lib, SIZES[0], "per_rec") is None and doc(op, lib, SIZES[-1], "per_rec") is None:
                continue
            cells = []
            for n in SIZES:
                t, limit = ns(op, lib, n), ns(op, "limit", n)
                ratio = f" ({t / limit:.2f}×)" if t is not None and limit and lib != "limit" else ""
                cells.append(fmt(t) + ratio)
            lines.append(f"| {lib} | " + " | ".join(cells) + " |")

    n = SIZES[-1]
    lines += [
        "",
        f"## Size and memory at N = {n:,}",
        "",
        "Peak heap: the most bytes the heap held at once during one iteration beyond what was held "
        "before (the records and, for reading, the input text), counted by the bench binary's own "
        "operator new/delete (pugixml's allocation hooks included) at the blocks' usable sizes.",
        "",
        "| library | output bytes | bytes per record | peak heap, write (× output) | peak heap, read (× input) | allocations per write |",
        "|---|---|---|---|---|---|",
    ]
    for lib in present:
        size = doc("write", lib, n, "bytes")
        wpeak, rpeak = doc("write", lib, n, "peak_bytes"), doc("read", lib, n, "peak_bytes")
        cell = lambda peak: "–" if peak is None else f"{peak / 1e6:,.1f} MB ({peak / size:.2f}×)"
        lines.append(
            f"| {lib} | {fmt(size)} | {fmt(size / n if size else None, 1)} | {cell(wpeak)} | {cell(rpeak)} "
            f"| {fmt(doc('write', lib, n, 'allocs'))} |"
        )

    lines += ["", "## Loading a text", "",
              "setBufferString of the document's text into a new ZELTBuffer, against a memcpy of the "
              "same bytes into fresh memory (both ask for huge pages when large); ns per byte.", "",
              "| N | bytes | zelt | memcpy | × |", "|---|---|---|---|---|"]
    loading = lambda what, size: median(runs, f"Load{what}/{size}", "per_byte", 1e9)
    for size in SIZES:
        z, m = loading("Zelt", size), loading("Memcpy", size)
        if z and m:
            lines.append(f"| {size:,} | {fmt(doc('write', 'zelt', size, 'bytes'))} | {z:.3f} | {m:.3f} | {z / m:.2f}× |")

    lines += ["", "## scanElement against the typed string reader", "",
              "Every element of the document read in order (the label as a plain element for the string "
              "reader, with its Name attribute for scanElement); ns per element.", "",
              "| N | typed string reader | scanElement | × |", "|---|---|---|---|"]
    for size in [SIZES[0], SIZES[-1]]:
        r = median(runs, f"ReadElements<StringReader>/{size}", "per_elem", 1e9)
        sc = median(runs, f"ReadElements<AttributeScanner>/{size}", "per_elem", 1e9)
        if r and sc:
            lines.append(f"| {size:,} | {r:.1f} | {sc:.1f} | {sc / r:.2f}× |")

    lines += ["", "## Targets", "", "| target | figure | met |", "|---|---|---|"]
    target = lambda what, figure, ok: lines.append(f"| {what} | {figure} | {'yes' if ok else '**no**'} |")
    for size in [SIZES[0], n]:
        for op in ["write", "read"]:
            z, lim = ns(op, "zelt", size), ns(op, "limit", size)
            bound = 2.0 if op == "write" else 1.5
            if z and lim:
                target(f"zelt {op}s N = {size:,} within {bound:.1f}× of the limit", f"{z:.0f} / {lim:.0f} ns = {z / lim:.2f}×", z / lim <= bound)
        z, f = ns("write", "zelt", size), ns("write", "fmt", size)
        if z and f:
            target(f"zelt writes N = {size:,} faster than {{fmt}}", f"{z:.0f} / {f:.0f} ns = {z / f:.2f}×", z < f)
        zl, ml = loading("Zelt", size), loading("Memcpy", size)
        if zl and ml:
            target(f"loading the text of N = {size:,} within 1.5× of a memcpy into fresh memory", f"{zl:.3f} / {ml:.3f} ns per byte = {zl / ml:.2f}×", zl / ml <= 1.5)
    for op in ["write", "read"]:
        big, small = ns(op, "zelt", n), ns(op, "zelt", SIZES[0])
        lbig, lsmall = ns(op, "limit", n), ns(op, "limit", SIZES[0])
        if big and small and lbig and lsmall:
            target(f"zelt {op} per record at {n:,} within 1.3× of {SIZES[0]:,} (the limit's own: {lbig / lsmall:.2f}×)",
                   f"{big:.0f} / {small:.0f} ns = {big / small:.2f}×", big / small <= 1.3)
    for size in [SIZES[0], n]:
        r = median(runs, f"ReadElements<StringReader>/{size}", "per_elem", 1e9)
        sc = median(runs, f"ReadElements<AttributeScanner>/{size}", "per_elem", 1e9)
        if r and sc:
            target(f"scanElement per element at N = {size:,} within 1.5× of the typed string reader", f"{sc:.1f} / {r:.1f} ns = {sc / r:.2f}×", sc / r <= 1.5)
    allocs = median(runs, "AppendAllocations", "allocs")
    if allocs is not None:
        target("100,000 appends of ten bytes: fewer than 100 allocations", f"{allocs:.0f}", allocs < 100)
    identical = all(median(runs, f"Document/write/zelt/{s}", "same_as_limit") == 1 for s in SIZES)
    target("zelt's text byte-identical to the limit's (checked before every zelt write run)", "identical at every N" if identical else "differs (runs failed)", identical)

    lines += [
        "",
        "## Notes on method",
        "",
        "- The limit is the least work that makes and reads this document: it knows the tags and "
        "sizes its output once from an upper bound, so it never grows or copies. zelt must grow its "
        "buffer by the capacity rules without knowing the final size, hand every element to the "
        "buffer through its interface, and find each closing text without knowing the tags "
        "beforehand. growing is hand-written code that grows its output by doubling as zelt must.",
        "- Large areas (zelt's buffer and the limit's output alike) ask for transparent huge pages; "
        "on this machine they are given on request only, and they turn most of a large write's page "
        "faults into a few. The advice is kept because it wins on a quiet machine and after memory "
        "was churned alike (see Huge pages below).",
        "- Where zelt's time goes (perf, N = 10,000). Writing: the scalar writers with their "
        "std::to_chars and the composition in place 48 %, the string writer 15 %, copying into a "
        "larger area as the buffer grows 11 %, strlen of tags and values 7 %, splitting compound "
        "names 5 %, memchr for the values' closing text 4 %. Reading: the number readers 62 % (the "
        "digits and the byte-wise comparison of the caller's tag about a tenth each, the rest spread "
        "over the steps), the string reader 12 %, scanElement 8 %, std::string assignment 3 %. At "
        "N = 1,000,000 the growing area's page faults and copies add most of the difference: "
        "growing, which doubles as zelt must, is slower than zelt there.",
        "- zelt and growing grow their areas by doubling with a copy: while copying, the old and "
        "the new area are held together, up to three times the content at that moment. The peak "
        "relative to the output therefore depends on where N puts the final size between two powers "
        "of two.",
        "- Peak heap, not resident memory: this machine's kernel does not report resident set sizes "
        "that follow the pages a process touches, so ru_maxrss could not be used.",
    ]

    lines += ["", "## One element at a time (zelt)", "",
              "A batch of 1,024 values, spread over every digit count (strings: 8 to 40 letters), written "
              "to a buffer that keeps its capacity, or read back and checked.", "",
              "| type | write ns | read ns |", "|---|---|---|"]
    for t in TYPES:
        w, r = median(runs, f"Write<{t}>", "per_elem", 1e9), median(runs, f"Read<{t}>", "per_elem", 1e9)
        if w is not None or r is not None:
            lines.append(f"| {t} | {fmt(w, 1)} | {fmt(r, 1)} |")

    kept = kept_sections(out_md)  # read before opening for writing truncates the file
    with open(out_md, "w") as f:
        f.write("\n".join(lines) + "\n" + kept)
    with open(out_dat, "w") as f:
        f.write("# library write_ns read_ns at N = %d\n" % n)
        for lib in present:
            w, r = ns("write", lib, n), ns("read", lib, n)
            f.write(f"{lib} {'-' if w is None else f'{w:.1f}'} {'-' if r is None else f'{r:.1f}'}\n")


if __name__ == "__main__":
    main()
