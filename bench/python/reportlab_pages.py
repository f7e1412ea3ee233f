#!/usr/bin/python3
"""Draws the pages of the operational report with ReportLab from the rows
that export_report_bench wrote as CSV: A4, the same bands, framed cells,
centred and wrapped texts in Liberation Sans, "Стр. N из M" on every page.
Prints the best of three times in milliseconds."""
import sys
import time

from reportlab.lib.utils import simpleSplit
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.pdfgen import canvas

FONTS = "/usr/share/fonts/truetype/liberation2/"
pdfmetrics.registerFont(TTFont("Sans", FONTS + "LiberationSans-Regular.ttf"))
pdfmetrics.registerFont(TTFont("Sans-Bold", FONTS + "LiberationSans-Bold.ttf"))

PT = 72 / 91.6256  # points per report unit
PAGE_W, PAGE_H = 210 / 25.4 * 72, 297 / 25.4 * 72
COLUMNS = [(25, 61), (86, 88), (174, 72), (246, 148), (394, 148), (542, 72)]
HEADINGS = ["N", "Дата", "Время", "Тип модуля", "№ модуля", "T, град.C"]
TOP, TITLE_H, HEAD_H, ROW_H, FOOT_H, BOTTOM = 72, 64, 60, 40, 20, 25


def one_decimal(text):
    try:
        return f"{float(text.replace(',', '.')):.1f}".replace(".", ",")
    except ValueError:
        return text


def band(c, top, height, texts, font, size):
    y = PAGE_H - (top + height) * PT
    for (x, w), text in zip(COLUMNS, texts):
        c.rect(x * PT, y, w * PT, height * PT)
        lines = simpleSplit(text, font, size, (w - 4) * PT)
        c.setFont(font, size)
        first = y + height * PT / 2 + (len(lines) - 1) * size * 1.15 / 2 - size * 0.35
        for i, line in enumerate(lines):
            c.drawCentredString((x + w / 2) * PT, first - i * size * 1.15, line)


def draw(rows, path):
    first = int((PAGE_H / PT - BOTTOM - FOOT_H - TOP - TITLE_H - HEAD_H) // ROW_H)
    later = int((PAGE_H / PT - BOTTOM - FOOT_H - TOP - HEAD_H) // ROW_H)
    pages = [rows[:first]] + [rows[i:i + later] for i in range(first, len(rows), later)]
    c = canvas.Canvas(path, pagesize=(PAGE_W, PAGE_H))
    c.setLineWidth(PT)
    for n, page in enumerate(pages, 1):
        top = TOP
        if n == 1:
            c.setFont("Sans-Bold", 14)
            c.drawString(27 * PT, PAGE_H - (TOP + 1) * PT - 14, "ВЕЛАРИ-5")
            top += TITLE_H
        band(c, top, HEAD_H, HEADINGS, "Sans-Bold", 12)
        top += HEAD_H
        for no, d, t, module, sensor, temp in page:
            band(c, top, ROW_H, [no, d, t, module, sensor, one_decimal(temp)], "Sans", 10)
            top += ROW_H
        c.setFont("Sans", 10)
        c.drawRightString(731 * PT, (BOTTOM + FOOT_H / 2) * PT - 3.5, f"Стр. {n} из {len(pages)}")
        c.showPage()
    c.save()
    return len(pages)


rows = [line.rstrip("\n").split(";") for line in open(sys.argv[1], encoding="utf-8")]
best = None
for _ in range(3):
    start = time.perf_counter()
    count = draw(rows, sys.argv[2])
    ms = (time.perf_counter() - start) * 1000
    best = ms if best is None else min(best, ms)
print(f"{best:.1f} ({count} pages)")
