#!/usr/bin/python3
"""Reference for the xlsx export benchmark: the same rows written by python3-xlsxwriter in
constant-memory mode, read with Python's sqlite3. Prints the seconds taken.
   xlsxwriter_reference.py database.sqlite out.xlsx [sql]"""
import sqlite3
import sys
import time

import xlsxwriter


def main():
    db, out = sys.argv[1], sys.argv[2]
    sql = sys.argv[3] if len(sys.argv) > 3 else "SELECT * FROM bench"
    t0 = time.monotonic()
    con = sqlite3.connect(db)
    cur = con.execute(sql)
    book = xlsxwriter.Workbook(out, {"constant_memory": True})
    sheet = book.add_worksheet("bench")
    bold = book.add_format({"bold": True})
    sheet.write_row(0, 0, [d[0] for d in cur.description], bold)
    sheet.freeze_panes(1, 0)
    r = 1
    for row in cur:
        sheet.write_row(r, 0, row)
        r += 1
    book.close()
    con.close()
    print("%.3f" % (time.monotonic() - t0))


if __name__ == "__main__":
    main()
