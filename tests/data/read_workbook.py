# Prints an XLSX workbook as JSON for the tests: per sheet its title, frozen pane, column
# widths and rows, each cell null, a text, or a number as [shortest round-trip text, format].
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheets = []
for ws in book.worksheets:
    rows = []
    for row in ws.iter_rows():
        cells = []
        for c in row:
            if isinstance(c.value, (int, float)) and not isinstance(c.value, bool):
                cells.append([repr(float(c.value)), c.number_format])
            else:
                cells.append(c.value)
        rows.append(cells)
    widths = {k: v.width for k, v in ws.column_dimensions.items()}
    sheets.append({"title": ws.title, "freeze": ws.freeze_panes, "widths": widths, "rows": rows})
json.dump(sheets, sys.stdout)
