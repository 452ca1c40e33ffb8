#!/usr/bin/python3
"""Times the same dictionary workbooks, in one run, three ways, side by side:

  ours     the module's loader, through the workbook_load program of the bench
           build (and `pelmora-dict check`, when the build has it, as a user
           would run it, start-up included);
  openpyxl openpyxl in read-only mode reading columns A and B of the first
           sheet (Debian's python3-openpyxl, hence /usr/bin/python3);
  floor    inflating the first sheet's part and the shared strings with zlib
           alone, the least work that reading these files can take.

Each time is processor time (the machine may be busy with other work), the
best of --repeat runs, measured inside the process (start-up and imports left
out), except for pelmora-dict's, which is the processor time of the whole
command, start-up included. Then prints ours/openpyxl and ours/floor ratios, and the
loader's peak memory against the inflated size of the parts it reads.

usage: bench/compare.py [--build DIR] [--repeat N] [WORKBOOK...]
Without workbooks it takes the bench data the loader benchmark wrote
(build DIR's bench-data/dictionary-*.xlsx; run bin/loader_bench once first).
"""
import argparse
import glob
import os
import subprocess
import sys
import time
import zipfile
import zlib

import openpyxl


def inflate_floor(path, repeat):
    """Seconds to inflate the first worksheet and the shared strings, and their inflated bytes."""
    with zipfile.ZipFile(path) as archive:
        names = [n for n in archive.namelist()
                 if n.lower() in ("xl/worksheets/sheet1.xml", "xl/sharedstrings.xml")]
        raw = []
        inflated = 0
        for name in names:
            info = archive.getinfo(name)
            inflated += info.file_size
            with open(path, "rb") as stream:
                stream.seek(info.header_offset)
                header = stream.read(30)
                name_length = int.from_bytes(header[26:28], "little")
                extra_length = int.from_bytes(header[28:30], "little")
                stream.seek(info.header_offset + 30 + name_length + extra_length)
                raw.append((info.compress_type, stream.read(info.compress_size)))
    best = None
    for _ in range(repeat):
        start = time.process_time()
        for method, data in raw:
            if method == zipfile.ZIP_DEFLATED:
                zlib.decompress(data, -15)
        elapsed = time.process_time() - start
        best = elapsed if best is None else min(best, elapsed)
    return best, inflated


def openpyxl_time(path, repeat):
    best = None
    rows = 0
    for _ in range(repeat):
        start = time.process_time()
        book = openpyxl.load_workbook(path, read_only=True)
        sheet = book.worksheets[0]
        rows = 0
        for a, b in sheet.iter_rows(min_col=1, max_col=2, values_only=True):
            rows += 1
        book.close()
        elapsed = time.process_time() - start
        best = elapsed if best is None else min(best, elapsed)
    return best, rows


def ours(build, path, repeat):
    """(seconds, pairs, peak RSS KiB, RSS KiB before) from workbook_load."""
    line = subprocess.run([os.path.join(build, "bin", "workbook_load"), "--repeat", str(repeat), path],
                          check=True, capture_output=True, text=True).stdout.strip()
    fields = line.split("\t")
    return float(fields[3]), int(fields[2]), int(fields[4]), int(fields[5])


def pelmora_dict_time(tool, path, repeat):
    best = None
    for _ in range(repeat):
        before = os.times()
        subprocess.run([tool, "check", path], capture_output=True)
        after = os.times()
        elapsed = (after.children_user - before.children_user) + (after.children_system - before.children_system)
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="Loader against openpyxl and the inflate floor.")
    parser.add_argument("--build", default=os.path.join(here, "..", "build", "bench"))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("workbooks", nargs="*")
    args = parser.parse_args()
    workbooks = args.workbooks or sorted(glob.glob(os.path.join(args.build, "bench-data", "dictionary-*.xlsx")),
                                         key=os.path.getsize)
    if not workbooks:
        sys.exit("compare.py: no workbooks; run %s/bin/loader_bench first" % args.build)
    tool = os.path.join(args.build, "bin", "pelmora-dict")
    has_tool = os.access(tool, os.X_OK)

    header = "%-28s %8s %10s %10s %10s %9s %9s %9s %9s" % (
        "workbook", "pairs", "ours ms", "openpyxl", "floor ms", "opx/ours", "ours/flr", "peakMiB", "peak/infl")
    if has_tool:
        header += " %12s" % "dict-check"
    print(header)
    for path in workbooks:
        seconds, pairs, peak, before = ours(args.build, path, args.repeat)
        opx, _ = openpyxl_time(path, args.repeat)
        floor, inflated = inflate_floor(path, args.repeat)
        growth = (peak - before) * 1024.0
        line = "%-28s %8d %10.2f %10.2f %10.2f %8.1fx %8.1fx %9.1f %8.2fx" % (
            os.path.basename(path), pairs, seconds * 1e3, opx * 1e3, floor * 1e3, opx / seconds,
            seconds / floor, growth / 2**20, growth / inflated)
        if has_tool:
            line += " %10.2fms" % (pelmora_dict_time(tool, path, args.repeat) * 1e3)
        print(line)
    print("peakMiB: the loader's peak RSS over the process's RSS before the load;"
          " peak/infl: that against the inflated size of the sheet and shared strings")


if __name__ == "__main__":
    main()
