#!/usr/bin/env python3
"""Writes hostile workbooks, to measure with the bench build's workbook_load
how long loading each takes and how much memory it holds at its peak
(`workbook_load --layer FILE` for the spreadsheet layer, without --layer for
the dictionary loader):

  zip-bomb.xlsx          a first sheet whose zip entry declares (truly) 3 GiB:
                         3 GiB of spaces inside <sheetData>, deflated to ~3 MB
  zip-bomb-lying.xlsx    the same entry with sizes that claim 1 KiB
  zip-bomb-255m.xlsx     a first sheet that truly inflates to 255 MiB of
                         spaces (~250 KB), just under what a part may declare
  shared-string-fanout.xlsx
                         ~110 KB: one shared string of 1 MiB, referenced by
                         12,000 cells (columns A and B of 6,000 rows below the
                         start marker, above the end marker), 12 GiB of text
                         if each were expanded

usage: hostile_workbooks.py DIRECTORY
"""
import random
import struct
import sys
import zipfile
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "scripts"))
from workbook_package import FIXED_PARTS  # noqa: E402

SHEET_HEAD = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
              '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>')
SHEET_TAIL = '</sheetData></worksheet>'
SST_HEAD = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">')

BOMB_BYTES = 3 << 30
UNDER_LIMIT_BYTES = 255 << 20


def package(archive, sheet=None, shared=None):
    for name, text in FIXED_PARTS.items():
        archive.writestr(name, text)
    if shared is not None:
        archive.writestr("xl/sharedStrings.xml", shared)
    if sheet is not None:
        archive.writestr("xl/worksheets/sheet1.xml", sheet)


def write_bomb(path, size):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        package(archive, shared=SST_HEAD + "<si><t>KQ_FILE_START</t></si></sst>")
        with archive.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as part:
            part.write(SHEET_HEAD.encode())
            block = b" " * (1 << 24)
            for _ in range(size // len(block)):
                part.write(block)
            part.write(SHEET_TAIL.encode())


def lie_about_sizes(source, target):
    """Copies `source` with the bomb entry's sizes made to claim 1 KiB in both headers (zip64 fields too)."""
    data = bytearray(Path(source).read_bytes())
    name = b"xl/worksheets/sheet1.xml"
    for signature, size_offset, name_length_offset, extra_length_offset, header_length in (
            (b"PK\x03\x04", 22, 26, 28, 30), (b"PK\x01\x02", 24, 28, 30, 46)):
        at = data.find(signature)
        while at >= 0:
            name_length = struct.unpack_from("<H", data, at + name_length_offset)[0]
            if data[at + header_length:at + header_length + name_length] == name:
                if struct.unpack_from("<I", data, at + size_offset)[0] == 0xFFFFFFFF:
                    extra = at + header_length + name_length
                    # The zip64 extra field: id 1, then the uncompressed size first.
                    struct.pack_into("<Q", data, extra + 4, 1024)
                else:
                    struct.pack_into("<I", data, at + size_offset, 1024)
            at = data.find(signature, at + 4)
    Path(target).write_bytes(bytes(data))


def write_fanout(path):
    generator = random.Random(12000)
    letters = "bcdefghijklmnopqrstuvwxyz"
    text = "".join("a" if generator.random() < 0.967 else generator.choice(letters) for _ in range(1 << 20))
    shared = (SST_HEAD + "<si><t>KQ_FILE_START</t></si><si><t>" + text + "</t></si>"
              "<si><t>KQ_FILE_END</t></si></sst>")
    rows = ['<row r="1"><c r="A1" t="s"><v>0</v></c></row>']
    for row in range(2, 6002):
        rows.append('<row r="%d"><c r="A%d" t="s"><v>1</v></c><c r="B%d" t="s"><v>1</v></c></row>' % (row, row, row))
    rows.append('<row r="6002"><c r="A6002" t="s"><v>2</v></c></row>')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        package(archive, sheet=SHEET_HEAD + "".join(rows) + SHEET_TAIL, shared=shared)


def main():
    directory = Path(sys.argv[1])
    directory.mkdir(parents=True, exist_ok=True)
    bomb = directory / "zip-bomb.xlsx"
    if not bomb.exists():
        write_bomb(bomb, BOMB_BYTES)
    write_bomb(directory / "zip-bomb-255m.xlsx", UNDER_LIMIT_BYTES)
    lie_about_sizes(bomb, directory / "zip-bomb-lying.xlsx")
    write_fanout(directory / "shared-string-fanout.xlsx")
    for path in sorted(directory.glob("*.xlsx")):
        print("%s: %d bytes" % (path.name, path.stat().st_size))


if __name__ == "__main__":
    main()
