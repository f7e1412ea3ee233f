#!/usr/bin/python3
"""Prints the live rows of a dBase table with python3-dbf, one line per row:
the values of every column, blanks stripped at the right, joined by '|',
as UTF-8 (the table's bytes read as Windows-1251)."""
import sys

import dbf

table = dbf.Table(sys.argv[1], codepage="cp1251")
table.open(dbf.READ_ONLY)
print("|".join(name.upper() for name in table.field_names))
for record in table:
    if dbf.is_deleted(record):
        continue
    print("|".join(str(record[name]).rstrip(" ") for name in table.field_names))
table.close()
