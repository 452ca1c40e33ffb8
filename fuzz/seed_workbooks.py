#!/usr/bin/env python3
"""Writes small dictionary workbooks as seeds for the fuzz targets: the
start and end markers, pair rows of shared strings, inline strings, numbers
and formula results, once stored and once deflated, so that mutations start
from a workbook that the loader reads through to its end marker. With a
second folder, the same dictionary as .xls files (Debian's python3-xlwt),
so that the .xls targets have seeds of the project's own where the workbook
corpus is absent.

Usage: seed_workbooks.py XLSX_DIRECTORY [XLS_DIRECTORY]
"""
import sys
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "scripts"))
from workbook_package import FIXED_PARTS  # noqa: E402

SHARED_STRINGS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="6" uniqueCount="6">
<si><t>KQ_FILE_START</t></si><si><t>Extrude</t></si><si><t>\u62c9\u4f38</t></si>
<si><r><t>Ske</t></r><r><rPr><b/></rPr><t>tch</t></r></si><si><t xml:space="preserve">\u8349\u56fe_x000D_</t></si>
<si><t>KQ_FILE_END</t></si>
</sst>"""

SHEET = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<dimension ref="A1:B6"/>
<sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c></row>
<row r="2"><c r="A2" t="s"><v>1</v></c><c r="B2" t="s"><v>2</v></c></row>
<row r="3"><c r="A3" t="s"><v>3</v></c><c r="B3" t="s"><v>4</v></c></row>
<row r="4"><c r="A4"><v>12.5</v></c><c r="B4" t="inlineStr"><is><t>Hole&amp;Slot</t></is></c></row>
<row r="5"><c r="A5" t="str"><f>"Fil"&amp;"let"</f><v>Fillet</v></c><c r="B5" t="b"><v>1</v></c></row>
<row r="6"><c r="A6" t="s"><v>5</v></c></row>
</sheetData>
</worksheet>"""

PARTS = {
    **FIXED_PARTS,
    "xl/sharedStrings.xml": SHARED_STRINGS,
    "xl/worksheets/sheet1.xml": SHEET,
}


# The rows of the .xls seeds: text, numbers and a formula's result.
XLS_ROWS = [("KQ_FILE_START", None), ("Extrude", "\u62c9\u4f38"), ("Sketch", "\u8349\u56fe"),
            (12.5, "Hole&Slot"), ("Fillet", True), ("KQ_FILE_END", None)]


def write_xls(directory: Path) -> None:
    import xlwt
    directory.mkdir(parents=True, exist_ok=True)
    for name, rows in (("dictionary.xls", XLS_ROWS), ("dictionary_formula.xls", XLS_ROWS[:3])):
        book = xlwt.Workbook(encoding="utf-8")
        sheet = book.add_sheet("Terms")
        for row, cells in enumerate(rows):
            for column, value in enumerate(cells):
                if value is not None:
                    sheet.write(row, column, value)
        if name == "dictionary_formula.xls":
            sheet.write(3, 0, xlwt.Formula('"Cham"&"fer"'))
            sheet.write(3, 1, xlwt.Formula("1+2"))
            sheet.write(4, 0, "KQ_FILE_END")
        book.add_sheet("Second")
        book.save(str(directory / name))


def main() -> None:
    if len(sys.argv) > 2:
        write_xls(Path(sys.argv[2]))
    directory = Path(sys.argv[1])
    directory.mkdir(parents=True, exist_ok=True)
    for name, method in (("dictionary_stored.xlsx", zipfile.ZIP_STORED),
                         ("dictionary_deflated.xlsx", zipfile.ZIP_DEFLATED)):
        with zipfile.ZipFile(directory / name, "w", method) as archive:
            for part, text in PARTS.items():
                archive.writestr(zipfile.ZipInfo(part, (2024, 1, 1, 0, 0, 0)), text.encode("utf-8"),
                                 compress_type=method)


if __name__ == "__main__":
    main()
