#!/usr/bin/python3
"""Records what xlrd, an established .xls reader, sees in each corpus .xls file.

For the first sheet of every file in the corpus's xls/ folder it writes
tests/workbook/xls/expected/<file>.json: the sheet's name, its row count, and
the cells of columns A and B (type and value) in rows 0 to 150 and in the
last row, or the error xlrd raised. The .xls corpus test compares the binary
book against these.

Uses Debian's python3-xlrd 1.2 (run with the system Python, which has it):
    scripts/record-xls-expected.py [CORPUS_DIR]
CORPUS_DIR defaults to ../shared/corpus beside the repository.
"""
import json
import os
import pathlib
import sys

import xlrd

FIRST_ROWS = 151
COLUMNS = (0, 1)

CELL_TYPES = {
    xlrd.XL_CELL_TEXT: "string",
    xlrd.XL_CELL_NUMBER: "number",
    xlrd.XL_CELL_DATE: "number",  # a number with a date format; the books give the serial
    xlrd.XL_CELL_BOOLEAN: "boolean",
    xlrd.XL_CELL_ERROR: "error",
    xlrd.XL_CELL_BLANK: "blank",
}


def cell_entry(sheet, row, col):
    cell = sheet.cell(row, col)
    kind = CELL_TYPES.get(cell.ctype)
    if kind is None:
        return None  # XL_CELL_EMPTY
    entry = {"row": row, "col": col, "type": kind}
    if kind == "string":
        entry["value"] = cell.value
    elif kind == "number":
        entry["value"] = float(cell.value)
    elif kind == "boolean":
        entry["value"] = bool(cell.value)
    elif kind == "error":
        entry["value"] = xlrd.error_text_from_code.get(cell.value, "#%d" % cell.value)
    return entry


def record(path):
    try:
        # formatting_info keeps cells that hold only a format (BLANK, MULBLANK).
        with open(os.devnull, "w") as quiet:
            book = xlrd.open_workbook(str(path), formatting_info=True, on_demand=True, logfile=quiet)
            sheet = book.sheet_by_index(0)
    except Exception as error:  # any failure of the reference is what we record
        return {"error": "%s: %s" % (type(error).__name__, error)}
    cells = []
    # The last row too, for sheets that reach far beyond the first rows.
    rows = sorted(set(range(min(FIRST_ROWS, sheet.nrows))) | {sheet.nrows - 1} - {-1})
    for row in rows:
        for col in COLUMNS:
            if col < sheet.row_len(row):
                entry = cell_entry(sheet, row, col)
                if entry is not None:
                    cells.append(entry)
    return {
        "biff_version": book.biff_version,
        "first_sheet": sheet.name,
        "nrows": sheet.nrows,
        "cells": cells,
    }


def write(result, target):
    # One cell per line keeps the files readable and their diffs small.
    lines = ["{"]
    header = [(key, value) for key, value in result.items() if key != "cells"]
    items = ['  %s: %s' % (json.dumps(key), json.dumps(value, ensure_ascii=False)) for key, value in header]
    if "cells" in result:
        cell_lines = ["    " + json.dumps(cell, ensure_ascii=False) for cell in result["cells"]]
        items.append('  "cells": [' + ("\n" + ",\n".join(cell_lines) + "\n  ]" if cell_lines else "]"))
    lines.append(",\n".join(items))
    lines.append("}")
    target.write_text("\n".join(lines) + "\n", encoding="utf-8")


def main():
    repo = pathlib.Path(__file__).resolve().parent.parent
    corpus = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else repo.parent / "shared" / "corpus"
    out_dir = repo / "tests" / "workbook" / "xls" / "expected"
    out_dir.mkdir(parents=True, exist_ok=True)
    files = sorted((corpus / "xls").glob("*.xls"))
    if not files:
        sys.exit("no .xls files in %s" % (corpus / "xls"))
    for path in files:
        result = record(path)
        write(result, out_dir / (path.name + ".json"))
        print("%-60s %s" % (path.name, result.get("error", "%d cells" % len(result.get("cells", [])))))


if __name__ == "__main__":
    main()
