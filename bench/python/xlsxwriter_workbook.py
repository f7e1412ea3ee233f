#!/usr/bin/python3
"""Writes the workbook of the operational tab with Python's XlsxWriter from
the rows that export_report_bench wrote as CSV, as our export does: the same
sheet, widths, formats, headings and value types, in constant-memory mode.
Prints the best of five times in milliseconds."""
import datetime
import sys
import time

import xlsxwriter

EPOCH = datetime.datetime(1899, 12, 30)


def serial(date, clock):
    d = datetime.datetime.strptime(date + " " + clock, "%d.%m.%Y %H:%M:%S")
    delta = d - EPOCH
    return delta.days + delta.seconds / 86400


def write(rows, path):
    wb = xlsxwriter.Workbook(path, {"constant_memory": True})
    ws = wb.add_worksheet("ВЕЛАРИ-5")
    date = wb.add_format({"num_format": "dd/mm/yyyy h:mm:ss"})
    title = wb.add_format({"bold": True, "font_size": 14, "font_color": "#0000FF"})
    heading = wb.add_format({"bold": True})
    ws.set_column(0, 0, 20)
    ws.set_column(1, 1, 20, date)
    ws.set_column(2, 5, 20)
    ws.set_row(0, 15, title)
    ws.set_row(1, 15, heading)
    for c, h in enumerate(["N", "Дата", "Идентификатор модуля", "Номер датчика", "T, °C"]):
        ws.write_string(1, c, h, heading)
    r = 2
    for no, d, t, module, sensor, temp in rows:
        ws.write_string(r, 0, no)
        ws.write_number(r, 1, serial(d, t), date)
        ws.write_string(r, 2, module)
        ws.write_string(r, 3, sensor)
        ws.write_number(r, 4, float(temp.replace(",", ".")))
        r += 1
    wb.close()


rows = [line.rstrip("\n").split(";") for line in open(sys.argv[1], encoding="utf-8")]
best = None
for _ in range(5):
    start = time.perf_counter()
    write(rows, sys.argv[2])
    ms = (time.perf_counter() - start) * 1000
    best = ms if best is None else min(best, ms)
print(f"{best:.1f}")
