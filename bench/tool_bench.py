#!/usr/bin/env python3
"""Times `zelt check`, `list`, `json` and `xml` against `wc -l` on one text of
1,000,000 four-element records and writes the medians of three runs into
RESULTS.md, replacing the section an earlier run wrote.

usage: tool_bench.py ZELT TEXT RESULTS.md
"""
import os
import platform
import resource
import stat
import statistics
import subprocess
import sys
import time

RECORDS = 1_000_000
RUNS = 3
BEGIN = "<!-- written by bench/tool.sh: begin -->"
END = "<!-- written by bench/tool.sh: end -->"
# (what, command, text, target: the most times wc -l it may take). The
# one-element text of the same size shows what an element as long as the
# whole text costs: the window grows to hold it.
COMMANDS = [("wc -l", ["wc", "-l"], "records", None), ("zelt check", ["ZELT", "check"], "records", 3),
            ("zelt list", ["ZELT", "list"], "records", 10), ("zelt json", ["ZELT", "json"], "records", 10),
            ("zelt xml", ["ZELT", "xml"], "records", None), ("zelt check, one element", ["ZELT", "check"], "one", None)]


def write_text(path):
    """Records as the library's writers make them: an int32, a uint64, a string
    of 8 to 40 letters and a 4 to 12 letter string with the attribute Name="nm"."""
    letters = b"abcdefghijklmnopqrstuvwxyz"
    state = 12345
    with open(path, "wb") as f:
        chunk = []
        for i in range(RECORDS):
            state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
            word = bytes(letters[(state >> (5 * k)) % 26] for k in range(12)) * 4
            chunk.append(b"<id>%d</id>\n<count>%d</count>\n<name>%s</name>\n<label Name=\"nm\">%s</label>\n"
                         % (i - RECORDS // 2, state >> 4, word[:8 + (state >> 30) % 33], word[3:7 + (state >> 50) % 9]))
            if len(chunk) == 10000:
                f.write(b"".join(chunk))
                chunk = []
        f.write(b"".join(chunk))


def write_one_element(path, size):
    """One element whose value makes the text @p size bytes long."""
    with open(path, "wb") as f:
        f.write(b"<v>" + b"abcdefghij" * ((size - 9) // 10) + b"x" * ((size - 9) % 10) + b"</v>\n")


def discarding_sink():
    """A device that throws writes away: /dev/null, or /dev/zero where /dev/null
    is no device (a tool run as root once replaced it by a plain file on a
    shared machine, and writing to a file costs what discarding does not)."""
    return os.devnull if stat.S_ISCHR(os.stat(os.devnull).st_mode) else "/dev/zero"


def timed(command, text):
    """Wall and CPU (user + system) seconds of one run, its output thrown away."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    with open(discarding_sink(), "wb") as sink:
        subprocess.run(command + [text], stdout=sink, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    zelt, text, results = sys.argv[1:]
    write_text(text)
    size = os.path.getsize(text)
    texts = {"records": text, "one": text + ".one"}
    write_one_element(texts["one"], size)
    for path in texts.values():
        with open(path, "rb") as f:  # in the page cache for every command alike
            while f.read(1 << 24):
                pass
    load = os.getloadavg()
    figures = {}
    for run in range(RUNS):  # interleaved, so that a busy spell touches every command alike
        for what, command, name, _ in COMMANDS:
            figures.setdefault(what, []).append(timed([zelt if w == "ZELT" else w for w in command], texts[name]))
    median = {what: (statistics.median(w for w, _ in runs), statistics.median(c for _, c in runs))
              for what, runs in figures.items()}
    base_wall, base_cpu = median["wc -l"]

    lines = [BEGIN, "## The zelt program", "",
             f"Written by `bench/tool.sh`. A text of {RECORDS:,} records of four elements (an int32, a uint64, "
             "a string of 8 to 40 letters, a 4 to 12 letter string with the attribute Name=\"nm\"), "
             f"{size:,} bytes, {4 * RECORDS:,} lines, in the page cache; output to {discarding_sink()}. Medians of "
             f"{RUNS} runs of each command, interleaved. Machine: {os.cpu_count()} cores, shared with other "
             f"work (load average at the start {load[0]:.2f}, {load[1]:.2f}, {load[2]:.2f}); "
             f"{platform.release()}.", "",
             "| command | wall ms | × wc -l | CPU ms | × wc -l | target | met |", "|---|---|---|---|---|---|---|"]
    for what, _, _, target in COMMANDS:
        wall, cpu = median[what]
        ratio_wall, ratio_cpu = wall / base_wall, cpu / base_cpu if base_cpu else float("inf")
        met = "–" if target is None else ("yes" if max(ratio_wall, ratio_cpu) <= target else "**no**")
        lines.append(f"| `{what}` | {wall * 1e3:,.0f} | {ratio_wall:.2f}× | {cpu * 1e3:,.0f} | {ratio_cpu:.2f}× | "
                     f"{'–' if target is None else f'{target}× wc -l'} | {met} |")
    one = median["zelt check, one element"][1]
    scan = (median["zelt check"][1] - base_cpu) / (4 * RECORDS) * 1e9
    own = {what: (median[what][1] - median["zelt check"][1]) / (4 * RECORDS) * 1e9
           for what in ("zelt list", "zelt json", "zelt xml")}
    lines += ["", "A target is met when both the wall and the CPU time stay within it. The program reads the text "
              "a window of 64 KiB at a time, as `wc -l` reads it 16 KiB at a time, so reading costs both about "
              "the same. Where the rest of the CPU time goes: `scanElement` and counting lines about "
              f"{scan:.1f} ns per element (`zelt check` beyond `wc -l`), and writing the output about "
              + ", ".join(f"{ns:.0f} ns per element for `{what[5:]}`" for what, ns in own.items())
              + f" (the rest of each). `zelt check` of one element as long as the whole text takes {one * 1e3:,.0f} "
              "ms of CPU: the window doubles until it holds the element, and the element is searched again at "
              "each doubling.", END]
    section = "\n".join(lines) + "\n"
    print(section)
    write_section(results, section, BEGIN, END)


def write_section(results, section, begin, end):
    """Puts @p section, which starts with @p begin and ends with @p end, in
    place of the one an earlier run wrote into @p results, or at its end."""
    old = open(results).read() if os.path.exists(results) else ""
    if begin in old:
        before, rest = old.split(begin, 1)
        new = before + section + rest.split(end, 1)[1].lstrip("\n")
    else:
        new = old.rstrip("\n") + "\n\n" + section
    with open(results, "w") as f:
        f.write(new)


if __name__ == "__main__":
    main()
