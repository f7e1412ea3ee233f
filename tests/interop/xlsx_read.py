#!/usr/bin/python3
"""Prints what python3-openpyxl reads from a workbook, one fact a line:
the sheet names, each column range's width and number format, the fonts of
rows 1 and 2, then every cell as coordinate, openpyxl's value type and value
(dates as ISO text, numbers with repr)."""
import sys

import openpyxl

wb = openpyxl.load_workbook(sys.argv[1])
print("sheets " + "|".join(wb.sheetnames))
ws = wb.worksheets[0]
for key in sorted(ws.column_dimensions):
    d = ws.column_dimensions[key]
    print(f"columns {d.min}-{d.max} width {d.width} format {d.number_format}")
for r in (1, 2):
    f = ws.row_dimensions[r].font
    color = f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None
    print(f"row {r} bold {bool(f.b)} size {f.sz} color {color}")
for row in ws.iter_rows():
    for c in row:
        if c.value is None:
            continue
        value = c.value.isoformat(sep=" ") if c.is_date else repr(c.value)
        fmt = f" format {c.number_format}" if c.is_date else ""
        bold = " bold" if c.font is not None and c.font.b else ""
        print(f"{c.coordinate} {c.data_type} {value}{fmt}{bold}")
