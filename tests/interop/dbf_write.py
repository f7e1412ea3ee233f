#!/usr/bin/python3
"""Writes an archive table with python3-dbf: the columns and widths given on
standard input's first line ("NAME WIDTH;NAME WIDTH;..."), then one row per
line ("NAME=value|NAME=value"). A row line starting with '*' is deleted after
it is written."""
import sys

import dbf

lines = sys.stdin.read().splitlines()
spec = "; ".join("%s C(%s)" % tuple(part.split()) for part in lines[0].split(";"))
table = dbf.Table(sys.argv[1], spec, dbf_type="db3", codepage="cp1251")
table.open(dbf.READ_WRITE)
for line in lines[1:]:
    deleted = line.startswith("*")
    if deleted:
        line = line[1:]
    values = dict(item.split("=", 1) for item in line.split("|") if item)
    table.append({k.lower(): v for k, v in values.items()})
    if deleted:
        dbf.delete(table[-1])
table.close()
