#!/usr/bin/python3
"""The rows of a dictionary workbook that libxlsxwriter wrote (shared strings,
as Excel writes them), written again by other writers, for bench/compare.py:

  inline  an .xlsx whose cells hold their text inline (t="inlineStr"), with
          no shared strings part, as streaming writers write them; written
          here with zipfile, deflated at zlib's default level
  xls     a legacy .xls (BIFF8), written by Debian's python3-xlwt, which puts
          the texts in a shared string table as Excel does; at most 65,536 rows

usage: derived_workbooks.py inline|xls SOURCE.xlsx OUT
OUT is written through a temporary file beside it, so that it is whole or absent.
"""
import os
import re
import sys
import zipfile
from xml.sax.saxutils import escape, unescape

ENTITIES = {"&quot;": '"', "&apos;": "'"}


def source_rows(path):
    """The rows of the first sheet as {row number: {column letters: text}}, from libxlsxwriter's layout."""
    with zipfile.ZipFile(path) as archive:
        strings_xml = archive.read("xl/sharedStrings.xml").decode("utf-8")
        sheet_xml = archive.read("xl/worksheets/sheet1.xml").decode("utf-8")
    strings = ["".join(unescape(t, ENTITIES) for t in re.findall(r"<t[^>]*>(.*?)</t>", item, re.S))
               for item in re.findall(r"<si>(.*?)</si>", strings_xml, re.S)]
    rows = {}
    for column, row, attributes, value in re.findall(r'<c r="([A-Z]+)(\d+)"([^>]*)><v>([^<]*)</v></c>', sheet_xml):
        if 't="s"' not in attributes:
            sys.exit("derived_workbooks.py: %s holds a cell that is not a shared string" % path)
        rows.setdefault(int(row), {})[column] = strings[int(value)]
    return rows


CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">\
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>\
<Default Extension="xml" ContentType="application/xml"/>\
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>\
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>\
</Types>"""
PACKAGE_RELATIONSHIPS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">\
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" \
Target="xl/workbook.xml"/></Relationships>"""
WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" \
xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">\
<sheets><sheet name="Dictionary" sheetId="1" r:id="rId1"/></sheets></workbook>"""
WORKBOOK_RELATIONSHIPS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">\
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" \
Target="worksheets/sheet1.xml"/></Relationships>"""


def write_inline(rows, out):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr("[Content_Types].xml", CONTENT_TYPES)
        archive.writestr("_rels/.rels", PACKAGE_RELATIONSHIPS)
        archive.writestr("xl/workbook.xml", WORKBOOK)
        archive.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELATIONSHIPS)
        # Whole, not streamed: a streamed entry gets a data descriptor and
        # zip64 sizes, which not every reader takes.
        sheet = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
                 '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>']
        for number in sorted(rows):
            cells = "".join('<c r="%s%d" t="inlineStr"><is><t>%s</t></is></c>' % (column, number, escape(text))
                            for column, text in sorted(rows[number].items()))
            sheet.append('<row r="%d">%s</row>' % (number, cells))
        sheet.append("</sheetData></worksheet>")
        archive.writestr("xl/worksheets/sheet1.xml", "".join(sheet).encode("utf-8"))


def column_index(letters):
    index = 0
    for letter in letters:
        index = index * 26 + ord(letter) - ord("A") + 1
    return index - 1


def write_xls(rows, out):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Dictionary")
    for number, cells in rows.items():
        for column, text in cells.items():
            sheet.write(number - 1, column_index(column), text)
    book.save(out)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("inline", "xls"):
        sys.exit("usage: derived_workbooks.py inline|xls SOURCE.xlsx OUT")
    kind, source, out = sys.argv[1:]
    rows = source_rows(source)
    partial = out + ".partial"
    (write_inline if kind == "inline" else write_xls)(rows, partial)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
