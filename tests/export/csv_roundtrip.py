#!/usr/bin/python3
"""Independent side of the delimited-export round trip, with Python's csv module.

load CSV_DIR DB        every CSV_DIR/NAME.csv into table NAME of a new SQLite file,
                       all columns TEXT, values exactly as the csv module reads them
check OUT_DIR DATA_DIR every OUT_DIR/NAME.csv read back and compared value by value with
                       DATA_DIR/json/NAME.json (or, where that file is no oracle, with
                       the csv module's own reading of DATA_DIR/csvs/NAME.csv)
Prints one line per difference; exit code 1 when there is any.
"""
import csv
import json
import os
import sqlite3
import sys


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    if not rows:
        return [], []
    return rows[0], rows[1:]


def load(csv_dir, db_path):
    con = sqlite3.connect(db_path)
    for name in sorted(os.listdir(csv_dir)):
        if not name.endswith(".csv"):
            continue
        header, records = read_csv(os.path.join(csv_dir, name))
        table = name[:-4]
        cols = ", ".join('"%s" TEXT' % h.replace('"', '""') for h in header)
        con.execute('CREATE TABLE "%s" (%s)' % (table, cols))
        marks = ", ".join("?" for _ in header)
        con.executemany('INSERT INTO "%s" VALUES (%s)' % (table, marks), records)
    con.commit()
    con.close()
    return 0


def expected_records(data_dir, table):
    with open(os.path.join(data_dir, "json", table + ".json"), encoding="utf-8") as f:
        expected = json.load(f)
    if isinstance(expected, list):
        return expected
    # location_coordinates: its JSON is a single object that does not match its CSV.
    header, records = read_csv(os.path.join(data_dir, "csvs", table + ".csv"))
    return [dict(zip(header, r)) for r in records]


def check(out_dir, data_dir):
    problems = []
    checked = 0
    for name in sorted(os.listdir(os.path.join(data_dir, "json"))):
        table = name[:-5]
        path = os.path.join(out_dir, table + ".csv")
        if not os.path.exists(path):
            problems.append("%s: not exported" % table)
            continue
        with open(path, "rb") as f:
            raw = f.read()
        if raw.startswith(b"\xef\xbb\xbf"):
            problems.append("%s: byte-order mark" % table)
        if not raw.endswith(b"\r\n"):
            problems.append("%s: last line does not end with CR LF" % table)
        header, records = read_csv(path)
        got = [dict(zip(header, r)) for r in records]
        for r in records:
            if len(r) != len(header):
                problems.append("%s: record of %d values under %d titles: %r"
                                % (table, len(r), len(header), r))
        want = expected_records(data_dir, table)
        if len(got) != len(want):
            problems.append("%s: %d records, expected %d" % (table, len(got), len(want)))
        for i, (g, w) in enumerate(zip(got, want)):
            for key in w:
                if g.get(key) != w[key]:
                    problems.append("%s record %d field %r: %r, expected %r"
                                    % (table, i + 1, key, g.get(key), w[key]))
        checked += 1
    for p in problems:
        print(p)
    print("checked %d files" % checked)
    return 1 if problems or checked == 0 else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "load":
        return load(argv[2], argv[3])
    if len(argv) == 4 and argv[1] == "check":
        return check(argv[2], argv[3])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
