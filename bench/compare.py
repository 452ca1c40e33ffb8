#!/usr/bin/python3
"""Times the reading of dictionary workbooks by the module's loader and by
other readers, in one run, side by side and interleaved: each reader runs in
a fresh process, round after round, so that whatever else the machine does
falls on all of them alike.

  ours      the loader, through workbook_load of the bench build, filling the
            term table and the columns of the terms as the module's start-up
            does: its first read in a fresh process, which is what the
            plug-in's start-up waits for, and its warm read (the best of the
            reads after it)
  layer     the spreadsheet layer alone (workbook_load --layer): the cells of
            columns A and B, read as the loader reads them, and no term
            table; the same job as the peers do
  floor     inflate_floor: inflating the parts that the loader reads with
            zlib alone (.xlsx), into fresh memory and into a reused buffer
  openpyxl  openpyxl in read-only mode, columns A and B of the first sheet
            (Debian's python3-openpyxl; .xlsx)
  sheetjs   SheetJS (npm `xlsx`, which scripts/bench.sh installs into the
            bench build) under node, through sheetjs_load.js
  freexl    FreeXL (Debian's libfreexl), through freexl_load (.xls)
  xlrd      xlrd (Debian's python3-xlrd; .xls)

The workbooks: the dictionary of each size (pairs of terms between the
markers) as libxlsxwriter writes it (shared strings, as Excel writes them),
as an inline-strings writer writes it, and as .xls (python3-xlwt) at 10,000
and 65,534 pairs, the most a BIFF8 sheet holds with the markers; and at
100,000 pairs one of longer terms, every one unique and half of them Chinese
("Term12345Alpha" against "术语12345甲", shared strings). They are written
into the build's bench-data folder when missing.

Times are processor time, measured inside each process after its start-up
and imports. A first read is the median over the rounds, a warm read the
best of all reads after the first. Noise is the spread of the first reads
over the rounds, (max - min) / median. The loader's peak is its peak RSS over
the RSS before the load, against the inflated size of the parts it reads;
faults are the minor page faults (pages touched for the first time) of a
first read. The spreadsheet layer's warm read is also given in nanoseconds
per inflated byte of the parts the loader reads.

usage: bench/compare.py [--build DIR] [--rounds N] [--repeat N] [--sizes N,...] [--unique-sizes N,...]
                        [--xls-sizes N,...] [--readers NAME,...]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"  # Debian's, with python3-openpyxl and python3-xlrd
XLSX_READERS = ("ours", "layer", "floor", "openpyxl", "sheetjs")
XLS_READERS = ("ours", "layer", "freexl", "xlrd", "sheetjs")
SLOW_FIRST_READ = 2.0  # seconds; a peer this slow reads once more, not --repeat times


# --- the Python peers, each run as `compare.py --peer NAME --repeat N FILE` in a fresh process

def openpyxl_read(path):
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=True)
    cells = sum((a is not None) + (b is not None)
                for a, b in book.worksheets[0].iter_rows(min_col=1, max_col=2, values_only=True))
    book.close()
    return cells


def xlrd_read(path):
    import xlrd
    book = xlrd.open_workbook(path, on_demand=True)
    sheet = book.sheet_by_index(0)
    cells = sum(sheet.cell_value(row, col) != "" for row in range(sheet.nrows)
                for col in range(min(2, sheet.ncols)))
    book.release_resources()
    return cells


def run_peer(name, repeat, path):
    read = {"openpyxl": openpyxl_read, "xlrd": xlrd_read}[name]
    __import__(name)  # before the clock starts: the first read times reading, not importing

    def timed():
        start = time.process_time()
        cells = read(path)
        return cells, time.process_time() - start

    cells, first = timed()
    runs = 1 if first > SLOW_FIRST_READ else repeat
    best = min(timed()[1] for _ in range(runs))
    print("%s\t%d\t%.6f\t%.6f" % (path, cells, first, best))


# --- the workbooks

def dictionary_workbooks(build, sizes, unique=False):
    if not sizes:
        return {}
    output = subprocess.run([os.path.join(build, "bin", "dictionary_workbooks")] + (["--unique"] if unique else []) +
                            [str(n) for n in sizes], check=True, capture_output=True, text=True).stdout.split()
    return dict(zip(sizes, output))


def derived(kind, source, out):
    if not os.path.exists(out):
        subprocess.run([PYTHON, os.path.join(HERE, "derived_workbooks.py"), kind, source, out], check=True)
    return out


def workbooks(build, sizes, unique_sizes, xls_sizes):
    """(path, writer, pairs) of every workbook compared, smallest first."""
    sources = dictionary_workbooks(build, sorted(set(sizes) | set(xls_sizes)))
    unique = dictionary_workbooks(build, unique_sizes, unique=True)
    books = []
    for pairs in sorted(set(sizes) | set(unique_sizes)):
        if pairs in sizes:
            books.append((sources[pairs], "shared", pairs))
            books.append((derived("inline", sources[pairs], sources[pairs][:-5] + "-inline.xlsx"), "inline", pairs))
        if pairs in unique:
            books.append((unique[pairs], "unique", pairs))
    for pairs in xls_sizes:
        books.append((derived("xls", sources[pairs], sources[pairs][:-5] + ".xls"), "xls", pairs))
    return books


def loader_parts(path):
    """(name, offset, compressed size, size, method) of each part the loader reads: the package's
    relationships, the workbook part and its relationships, the shared strings and the first sheet."""
    with zipfile.ZipFile(path) as archive:
        by_name = {info.filename.lower(): info for info in archive.infolist()}

        def text(name):
            return archive.read(by_name[name.lower()]).decode("utf-8")

        def targets(rels_name, source_folder):
            found = {}
            for attributes in re.findall(r"<Relationship\b([^>]*)/?>", text(rels_name)):
                fields = dict(re.findall(r'(\w+)="([^"]*)"', attributes))
                target = fields["Target"]
                target = target[1:] if target.startswith("/") else os.path.normpath(source_folder + target)
                found[fields["Id"]] = (fields["Type"].rsplit("/", 1)[-1], target)
            return found

        workbook = next(t for kind, t in targets("_rels/.rels", "").values() if kind == "officeDocument")
        folder = os.path.dirname(workbook) + "/"
        workbook_rels = folder + "_rels/" + os.path.basename(workbook) + ".rels"
        related = targets(workbook_rels, folder)
        first_sheet = re.search(r'<sheet\b[^>]*?r:id="([^"]*)"', text(workbook)).group(1)
        names = ["_rels/.rels", workbook, workbook_rels, related[first_sheet][1]]
        names += [t for kind, t in related.values() if kind == "sharedStrings"]
        parts = []
        with open(path, "rb") as stream:
            for name in names:
                info = by_name[name.lower()]
                stream.seek(info.header_offset)
                header = stream.read(30)
                offset = (info.header_offset + 30 + int.from_bytes(header[26:28], "little") +
                          int.from_bytes(header[28:30], "little"))
                parts.append((name, offset, info.compress_size, info.file_size, info.compress_type))
        return parts


# --- running the readers, each in a fresh process

def run(command):
    """The fields of the last line that `command` prints, and its maximum RSS in KiB."""
    with tempfile.TemporaryFile() as errors:
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=errors, text=True)
        output = process.stdout.read()
        process.stdout.close()
        _, status, usage = os.wait4(process.pid, 0)
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            errors.seek(0)
            sys.exit("compare.py: %s failed:\n%s" % (" ".join(command), errors.read().decode(errors="replace")))
    return output.strip().splitlines()[-1].split("\t"), usage.ru_maxrss


def measure(reader, path, args, floor_parts):
    """{first, warm, ...} of one run of `reader` on `path` in a fresh process."""
    bin_dir = os.path.join(args.build, "bin")
    if reader in ("ours", "layer"):
        fields, maxrss = run([os.path.join(bin_dir, "workbook_load")] + (["--layer"] if reader == "layer" else []) +
                             ["--repeat", str(args.repeat), path])
        if fields[1] != "ok":
            sys.exit("compare.py: %s did not read %s" % (reader, path))
        return {"first": float(fields[3]), "warm": float(fields[4]), "peak": int(fields[5]) - int(fields[6]),
                "faults": int(fields[7]), "maxrss": maxrss}
    if reader == "floor":
        fields, maxrss = run([os.path.join(bin_dir, "inflate_floor"), "--repeat", str(args.repeat), path] +
                             ["%d:%d:%d:%d" % part[1:] for part in floor_parts])
        return {"first": float(fields[0]), "warm": float(fields[2]), "inflated": int(fields[3]),
                "faults": int(fields[4]), "maxrss": maxrss}
    if reader == "freexl":
        fields, maxrss = run([os.path.join(bin_dir, "freexl_load"), "--repeat", str(args.repeat), path])
        return {"first": float(fields[3]), "warm": float(fields[4]), "faults": int(fields[7]), "maxrss": maxrss}
    if reader == "sheetjs":
        fields, maxrss = run(["node", os.path.join(HERE, "sheetjs_load.js"), "--modules", args.modules,
                              "--repeat", str(args.repeat), path])
    else:
        fields, maxrss = run([PYTHON, os.path.abspath(__file__), "--peer", reader, "--repeat", str(args.repeat),
                              path])
    return {"first": float(fields[2]), "warm": float(fields[3]), "maxrss": maxrss}


def compare(path, writer, pairs, args):
    readers = [r for r in (XLS_READERS if writer == "xls" else XLSX_READERS) if r in args.readers]
    parts = loader_parts(path) if writer != "xls" else []
    runs = {reader: [] for reader in readers}
    for _ in range(args.rounds):
        for reader in readers:
            runs[reader].append(measure(reader, path, args, parts))
    result = {"path": path, "writer": writer, "pairs": pairs, "inflated": sum(part[3] for part in parts)}
    for reader, measured in runs.items():
        firsts = [m["first"] for m in measured]
        median = statistics.median(firsts)
        result[reader] = {
            "first": median, "warm": min(m["warm"] for m in measured),
            "noise": (max(firsts) - min(firsts)) / median if median > 0 else 0.0,
            "maxrss": statistics.median(m["maxrss"] for m in measured),
        }
        for field in ("peak", "faults"):
            if field in measured[0]:
                result[reader][field] = statistics.median(m[field] for m in measured)
    return result


# --- the tables

def ms(value):
    return "%.1f" % (value * 1e3) if value is not None else "-"


def ratio(a, b):
    return "%.1fx" % (a / b) if a is not None and b else "-"


def print_tables(results, readers):
    def get(result, reader, field="first"):
        return result.get(reader, {}).get(field)

    name = lambda r: "%s %s %d" % ("xls" if r["writer"] == "xls" else "xlsx", r["writer"], r["pairs"])
    print("\nProcessor time, ms: first read in a fresh process (median over the rounds) / warm read (best)")
    header = "%-22s" % "workbook" + "".join("%20s" % r for r in readers)
    print(header)
    for result in results:
        line = "%-22s" % name(result)
        for reader in readers:
            if reader in result:
                line += "%20s" % ("%s / %s" % (ms(get(result, reader)), ms(get(result, reader, "warm"))))
            else:
                line += "%20s" % "-"
        print(line)

    print("\nRatios of first reads: ours against the inflate floor (fresh memory, reused buffer);"
          " each peer against ours (first; warm in brackets)")
    peers = [r for r in readers if r not in ("ours", "layer", "floor")]

    def against(base):
        print("%-22s%12s%12s" % ("workbook", base + "/fresh", base + "/reused") +
              "".join("%18s" % (p + "/" + base) for p in peers))
        for result in results:
            ours, ours_warm = get(result, base), get(result, base, "warm")
            line = "%-22s%12s%12s" % (name(result), ratio(ours, get(result, "floor")),
                                      ratio(ours, get(result, "floor", "warm")))
            for peer in peers:
                cell = "-" if peer not in result else "%s (%s)" % (ratio(get(result, peer), ours),
                                                                  ratio(get(result, peer, "warm"), ours_warm))
                line += "%18s" % cell
            print(line)

    against("ours")
    if "layer" in readers:
        print("\nThe same against the spreadsheet layer alone, which does the peers' job: the cells, no term table")
        against("layer")

    print("\nMemory and noise: the loader's peak over its RSS before the load, against the inflated parts;"
          " page faults of a first read;\nthen each reader's process: its peak RSS in MiB; and the noise of the first reads")
    print("%-22s%10s%10s%10s%12s%12s%12s" % ("workbook", "infl MiB", "peak MiB", "peak/infl", "faults", "floor flt",
                                              "layer ns/B") +
          "".join("%10s" % r[:9] for r in readers) + "   noise")
    for result in results:
        peak = get(result, "ours", "peak")
        inflated = result["inflated"]
        line = "%-22s%10s%10s%10s%12s%12s%12s" % (
            name(result), "%.1f" % (inflated / 2**20) if inflated else "-",
            "%.1f" % (peak / 1024) if peak is not None else "-",
            "%.2fx" % (peak * 1024 / inflated) if peak is not None and inflated else "-",
            "%d" % get(result, "ours", "faults") if "ours" in result else "-",
            "%d" % get(result, "floor", "faults") if "floor" in result else "-",
            "%.2f" % (get(result, "layer", "warm") * 1e9 / inflated) if "layer" in result and inflated else "-")
        line += "".join("%10s" % ("%.0f" % (get(result, r, "maxrss") / 1024) if r in result else "-")
                        for r in readers)
        line += "   " + " ".join("%s %.0f%%" % (r, 100 * get(result, r, "noise")) for r in readers if r in result)
        print(line)


def main():
    parser = argparse.ArgumentParser(description="The loader against the inflate floor and other readers.")
    parser.add_argument("--build", default=os.path.join(HERE, "..", "build", "bench"))
    parser.add_argument("--rounds", type=int, default=5, help="fresh processes per reader and workbook")
    parser.add_argument("--repeat", type=int, default=3, help="warm reads in each process after the first")
    parser.add_argument("--sizes", default="1000,10000,100000,1000000", help=".xlsx pairs, both writers")
    parser.add_argument("--unique-sizes", default="100000", help=".xlsx pairs of unique, half-Chinese terms")
    parser.add_argument("--xls-sizes", default="10000,65534", help=".xls pairs (at most 65,534)")
    parser.add_argument("--readers", default=",".join(sorted(set(XLSX_READERS + XLS_READERS))))
    parser.add_argument("--peer", help=argparse.SUPPRESS)
    parser.add_argument("workbook", nargs="?", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.peer:
        return run_peer(args.peer, args.repeat, args.workbook)

    args.build = os.path.abspath(args.build)
    args.modules = os.path.join(args.build, "node", "node_modules")
    args.readers = args.readers.split(",")
    if "sheetjs" in args.readers and not os.path.isdir(os.path.join(args.modules, "xlsx")):
        print("compare.py: SheetJS is not installed in %s (scripts/bench.sh installs it); left out" % args.modules)
        args.readers.remove("sheetjs")
    sizes = [int(n) for n in args.sizes.split(",") if n]
    unique_sizes = [int(n) for n in args.unique_sizes.split(",") if n]
    xls_sizes = [int(n) for n in args.xls_sizes.split(",") if n]
    results = []
    for path, writer, pairs in workbooks(args.build, sizes, unique_sizes, xls_sizes):
        print("compare.py: %s (%s, %d pairs)" % (os.path.basename(path), writer, pairs), file=sys.stderr)
        results.append(compare(path, writer, pairs, args))
    readers = [r for r in ("ours", "layer", "floor", "openpyxl", "sheetjs", "freexl", "xlrd") if r in args.readers]
    print_tables(results, readers)


if __name__ == "__main__":
    main()
