"""Prints what openpyxl reads from a workbook, as JSON, for the writer's tests:
each sheet's name, cells (row by row), frozen pane, filter and column widths."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheets = []
for sheet in book.worksheets:
    widths = {key: dim.width for key, dim in sheet.column_dimensions.items() if dim.customWidth}
    sheets.append({
        "name": sheet.title,
        "rows": [[cell for cell in row] for row in sheet.iter_rows(values_only=True)],
        "freeze": sheet.freeze_panes,
        "filter": sheet.auto_filter.ref,
        "widths": widths,
        "boldHeader": bool(sheet.max_row and sheet.cell(1, 1).font.b),
    })
json.dump(sheets, sys.stdout, ensure_ascii=False)
