#!/usr/bin/env python3
"""Puts the markdown on standard input into RESULTS.md as the section a
script writes, replacing the one an earlier run of it wrote.

usage: write_section.py RESULTS.md SCRIPT < section.md
"""
import sys

from tool_bench import write_section

if __name__ == "__main__":
    results, script = sys.argv[1], sys.argv[2]
    begin = f"<!-- written by {script}: begin -->"
    end = f"<!-- written by {script}: end -->"
    write_section(results, f"{begin}\n{sys.stdin.read().strip()}\n{end}\n", begin, end)
