#!/usr/bin/env python3
"""Time and peak resident memory of the zelt program reading texts by path and
through a pipe (`cat TEXT | zelt COMMAND -`), measured with /usr/bin/time, and
written into RESULTS.md as their own section, replacing the one an earlier run
wrote. The texts (about 700 MB) are made in FOLDER once and kept.

usage: stream_bench.py ZELT FOLDER RESULTS.md [CASE...]
"""
import os
import platform
import statistics
import subprocess
import sys

from tool_bench import write_section

RUNS = 3
MB = 1_000_000
MIB = 1 << 20
BEGIN = "<!-- written by bench/stream_bench.py: begin -->"
END = "<!-- written by bench/stream_bench.py: end -->"
SMALL = b"<value>1234567</value>\n"


def one_element(size, closing=b"</v>\n"):
    """An element whose value makes it @p size bytes long, lines of 100 bytes."""
    line = b"abcdefghij" * 9 + b"abcdefghi\n"
    body = size - 3 - len(closing)
    return b"<v>" + line * (body // len(line)) + b"x" * (body % len(line)) + closing


def small_ones(size):
    return SMALL * (size // len(SMALL))


# name: (what, the pieces of the text, in order)
TEXTS = {
    "long100": ("one element of 100 MB", lambda: [one_element(100 * MB)]),
    "long128": ("one element of 128 MiB", lambda: [one_element(128 * MIB)]),
    "small1M": ("1,000,000 small elements (23 MB)", lambda: [SMALL * 1_000_000]),
    "small250": ("250 MB of small elements", lambda: [small_ones(250 * MB)]),
    "long16small250": ("an element of 16 MiB, then 250 MB of small ones",
                       lambda: [one_element(16 * MIB), small_ones(250 * MB)]),
    "unclosed40": ("40 MB whose first element never closes (CRLF line ends)",
                   lambda: [one_element(40 * MB, b"</v>\r\n")]),
}

# (case, command, text, ways): the figures the README and the targets quote.
CASES = [
    ("check-long", "check", "long100", ("path", "pipe")),
    ("check-long", "list", "long100", ("path", "pipe")),
    ("check-small", "check", "small1M", ("path", "pipe")),
    ("check-small250", "check", "small250", ("path", "pipe")),
    ("check-long-small", "check", "long16small250", ("path", "pipe")),
    ("list-long-small", "list", "small250", ("path", "pipe")),
    ("list-long-small", "list", "long16small250", ("path", "pipe")),
    ("memory", "check", "long128", ("path", "pipe")),
    ("memory", "list", "long128", ("path", "pipe")),
    ("memory", "json", "long128", ("path", "pipe")),
    ("memory", "xml", "long128", ("path", "pipe")),
    ("unclosed", "check", "unclosed40", ("path", "pipe")),
    ("unclosed", "list", "unclosed40", ("path",)),
]


def make(folder, name):
    path = os.path.join(folder, name + ".zelt")
    if not os.path.exists(path):
        with open(path + ".part", "wb") as f:
            for piece in TEXTS[name][1]():
                f.write(piece)
        os.replace(path + ".part", path)
    with open(path, "rb") as f:  # in the page cache for every way alike
        while f.read(1 << 24):
            pass
    return path


def measured(zelt, command, path, way):
    """Wall and CPU (user + system) seconds and peak resident KiB of the
    program (not of cat, whose share of a shared machine shows in the wall time)."""
    timing = ["/usr/bin/time", "-f", "%e %U %S %M", "-o", "/dev/stderr"]
    with open(os.devnull, "wb") as sink:
        if way == "path":
            run = subprocess.run(timing + [zelt, command, path], stdout=sink, stderr=subprocess.PIPE)
        else:
            with open(path, "rb") as text:
                cat = subprocess.Popen(["cat"], stdin=text, stdout=subprocess.PIPE)
                run = subprocess.run(timing + [zelt, command, "-"], stdin=cat.stdout, stdout=sink,
                                     stderr=subprocess.PIPE)
                cat.stdout.close()
                cat.wait()
    report = run.stderr.decode().strip().splitlines()
    try:
        wall, user, system, kib = report[-1].split()
        return float(wall), float(user) + float(system), int(kib)
    except (IndexError, ValueError):
        sys.exit(f"zelt {command} {path} ({way}) gave no figures: {report}")


def main():
    zelt, folder, results = sys.argv[1:4]
    chosen = set(sys.argv[4:])
    os.makedirs(folder, exist_ok=True)
    rows = []
    for case, command, name, ways in CASES:
        if chosen and case not in chosen:
            continue
        path = make(folder, name)
        for way in ways:
            runs = [measured(zelt, command, path, way) for _ in range(RUNS)]
            wall = statistics.median(w for w, _, _ in runs)
            cpu = statistics.median(c for _, c, _ in runs)
            mib = max(k for _, _, k in runs) / 1024
            rows.append((command, TEXTS[name][0], os.path.getsize(path), way, wall, cpu, mib))
            print(f"{command} {name} {way}: {wall:.2f} s, CPU {cpu:.2f} s, {mib:.0f} MiB", flush=True)

    load = os.getloadavg()
    lines = [BEGIN, "## Reading by path and through a pipe", "",
             "Written by `bench/tool.sh`. `zelt COMMAND TEXT` against `cat TEXT | zelt COMMAND -`, output "
             f"to {os.devnull}, texts in the page cache: the median wall and CPU time of {RUNS} runs and the highest "
             "peak resident memory of the program, from /usr/bin/time. Through a pipe, the wall time also waits "
             "on `cat`, which shares the cores; the CPU time is the program's own. Machine: "
             f"{os.cpu_count()} cores, shared with other work (load average at the start {load[0]:.2f}); "
             f"{platform.release()}.", "",
             "| command | text | bytes | way | wall s | CPU s | peak MiB |", "|---|---|---|---|---|---|---|"]
    lines += [f"| `{c}` | {what} | {size:,} | {way} | {wall:.2f} | {cpu:.2f} | {mib:,.0f} |"
              for c, what, size, way, wall, cpu, mib in rows]
    lines.append(END)
    section = "\n".join(lines) + "\n"
    print(section)
    if not chosen:  # a partial run leaves the results as they were
        write_section(results, section, BEGIN, END)


if __name__ == "__main__":
    main()
