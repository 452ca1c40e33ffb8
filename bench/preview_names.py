#!/usr/bin/env python3
"""Times `pelmora-dict preview` on a long names file and reports its peak
memory (the process's maximum resident set) and its wall time, as text and
as JSON, each run in a process of its own with its output thrown away.

The names are a mix that a large assembly's export would hold: English and
Chinese names of the shipped dictionary's terms with numbers, with and
without a second term, and names that fit no form. The list is taken as one
part's names, so it is timed twice: once with one coordinate system, where
no new name meets another (the usual part, previewed as it is read), and
once with a coordinate system in every tenth line, whose new names meet, so
that the whole list is kept and settled.

usage: preview_names.py PELMORA_DICT WORKBOOK [--names N] [--runs R]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

NAMES = ["Extrude{}_Sketch", "Sketch{}", "Fillet{}", "\u62c9\u4f38{}_\u8349\u56fe", "\u5012\u89d2{}",
         "Revolve{}_Sketch", "Mounting Boss", "Cut{}", "Default CSYS", "Knurl{}"]


def write_names(path, count, meeting):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        for i in range(count):
            form = NAMES[i % len(NAMES)]
            if form == "Default CSYS" and not meeting and i >= len(NAMES):
                form = "Shell{}"
            out.write(form.format(i // len(NAMES) + 1) + "\n")


def measure(command):
    """Wall seconds and peak resident KiB of one run of `command`."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command, stdout=sink, stderr=subprocess.PIPE,
                                   env={**os.environ, "LC_ALL": "zh_CN.UTF-8"})
        _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("%s failed: %s" % (" ".join(command), process.stderr.read().decode(errors="replace")))
    return elapsed, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("workbook")
    parser.add_argument("--names", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        for label, meeting in (("distinct", False), ("meeting", True)):
            names = os.path.join(folder, label + ".txt")
            write_names(names, args.names, meeting)
            size = os.path.getsize(names)
            print("preview of %d names, %s (%.1f MiB): best of %d runs" % (args.names, label, size / 2**20, args.runs))
            print("%-6s %10s %14s" % ("output", "time s", "peak memory"))
            for output, extra in (("text", []), ("json", ["--json"])):
                runs = [measure([args.program, "preview", args.workbook, "--names", names] + extra)
                        for _ in range(args.runs)]
                print("%-6s %10.2f %10.1f MiB" % (output, min(r[0] for r in runs), min(r[1] for r in runs) / 1024))

if __name__ == "__main__":
    main()
