#!/usr/bin/python3
"""Reads back a spreadsheet file with an independent reader and prints it as JSON.

Usage: read_spreadsheet.py FORMAT FILE   (FORMAT: xlsx, xls, xml, html, csv)

Output: {"sheet": name, "rows": [[cell, ...], ...], "freeze": "A2" or null,
         "selection": "A2" or null, "widths": [characters, ...]}
A cell is null when the file holds none there, otherwise
{"t": "n"|"s"|"b"|"d"|"blank", "v": value, "fmt": number format, "bold": bool}
with dates as serial day numbers (days since 30 December 1899). Cells are read as Excel
reads them: html values from x:num and formats from the cells' classes.
"""
import csv
import datetime
import io
import json
import re
import sys


def letters(col):
    s = ""
    col += 1
    while col:
        col, r = divmod(col - 1, 26)
        s = chr(65 + r) + s
    return s


def read_xlsx(path):
    import openpyxl
    from openpyxl.utils.datetime import to_excel
    from openpyxl.utils.escape import unescape
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    rows = []
    for row in ws.iter_rows():
        out = []
        for c in row:
            v = c.value
            if v is None:
                # A blank cell with a format is still a cell.
                out.append({"t": "blank", "v": None, "fmt": c.number_format,
                            "bold": bool(c.font and c.font.b)} if c.has_style else None)
                continue
            if isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                t, v = "d", float(to_excel(v))
            elif isinstance(v, bool):
                t = "b"
            elif isinstance(v, (int, float)):
                t, v = "n", float(v)
            else:
                # openpyxl undoes the _xHHHH_ escapes of shared strings only, not of the
                # inline strings a constant-memory writer uses
                t, v = "s", unescape(v)
            out.append({"t": t, "v": v, "fmt": c.number_format, "bold": bool(c.font and c.font.b)})
        rows.append(out)
    sel = ws.sheet_view.selection[0].activeCell if ws.sheet_view.selection else None
    widths = []
    for i in range(ws.max_column):
        d = ws.column_dimensions.get(letters(i))
        widths.append(d.width if d is not None and d.width else None)
    return {"sheet": ws.title, "rows": rows, "freeze": ws.freeze_panes,
            "selection": sel, "widths": widths}


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sh = book.sheet_by_index(0)
    rows = []
    for r in range(sh.nrows):
        out = []
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                out.append(None)
                continue
            xf = book.xf_list[cell.xf_index]
            fmt = book.format_map[xf.format_key].format_str
            bold = book.font_list[xf.font_index].weight >= 700
            t = {xlrd.XL_CELL_TEXT: "s", xlrd.XL_CELL_NUMBER: "n", xlrd.XL_CELL_DATE: "d",
                 xlrd.XL_CELL_BOOLEAN: "b", xlrd.XL_CELL_BLANK: "blank"}.get(cell.ctype, "?")
            v = cell.value
            if t == "b":
                v = bool(v)
            elif t == "blank":
                v = None
            out.append({"t": t, "v": v, "fmt": fmt, "bold": bold})
        rows.append(out)
    freeze = None
    if sh.panes_are_frozen and sh.horz_split_pos:
        freeze = letters(sh.vert_split_pos) + str(sh.horz_split_pos + 1)
    widths = [sh.colinfo_map[c].width / 256.0 if c in sh.colinfo_map else None
              for c in range(sh.ncols)]
    return {"sheet": sh.name, "rows": rows, "freeze": freeze, "selection": None,
            "widths": widths, "nrows": sh.nrows, "ncols": sh.ncols}


SS = "urn:schemas-microsoft-com:office:spreadsheet"
XL = "urn:schemas-microsoft-com:office:excel"


def serial(text):
    # The 1900 date system: 31 December 1899 is day 0, 1 March 1900 day 61.
    dt = datetime.datetime.strptime(text, "%Y-%m-%dT%H:%M:%S.%f")
    frac = (dt - dt.replace(hour=0, minute=0, second=0, microsecond=0)).total_seconds() / 86400
    d = dt.date()
    if d == datetime.date(1899, 12, 31):
        return frac
    if d < datetime.date(1900, 3, 1):
        return (d - datetime.date(1899, 12, 31)).days + frac
    return (d - datetime.date(1899, 12, 30)).days + frac


BOOLEAN_FORMAT = '"TRUE";"TRUE";"FALSE"'


def is_date_format(fmt):
    from openpyxl.styles.numbers import is_date_format as openpyxl_is_date
    return fmt not in ("General", "@") and openpyxl_is_date(fmt)


def read_xml(path):
    import xml.etree.ElementTree as ET
    root = ET.parse(path).getroot()
    q = lambda n: "{%s}%s" % (SS, n)
    styles = {}
    for st in root.find(q("Styles")):
        nf = st.find(q("NumberFormat"))
        font = st.find(q("Font"))
        styles[st.get(q("ID"))] = {
            "fmt": nf.get(q("Format")) if nf is not None else "General",
            "bold": font is not None and font.get(q("Bold")) == "1"}
    ws = root.find(q("Worksheet"))
    table = ws.find(q("Table"))
    widths = [float(c.get(q("Width"))) for c in table.findall(q("Column"))]
    rows = []
    for row in table.findall(q("Row")):
        out = []
        for cell in row.findall(q("Cell")):
            idx = cell.get(q("Index"))
            if idx is not None:
                while len(out) < int(idx) - 1:
                    out.append(None)
            st = styles.get(cell.get(q("StyleID")), {"fmt": "General", "bold": False})
            data = cell.find(q("Data"))
            if data is None:
                out.append({"t": "blank", "v": None, "fmt": st["fmt"], "bold": st["bold"]})
                continue
            typ, text = data.get(q("Type")), data.text or ""
            fmt = st["fmt"]
            if typ == "Number" and fmt == BOOLEAN_FORMAT:
                # a number shown as TRUE or FALSE: a Boolean to every spreadsheet program
                t, v = "b", float(text) != 0
            elif typ == "Number" and is_date_format(fmt):
                t, v = "d", float(text)
            elif typ == "Number":
                t, v = "n", float(text)
            elif typ == "DateTime":
                t, v = "d", serial(text)
            elif typ == "Boolean":
                t, v = "b", text == "1"
            else:
                t, v = "s", text
            out.append({"t": t, "v": v, "fmt": fmt, "bold": st["bold"]})
        rows.append(out)
    opts = ws.find("{%s}WorksheetOptions" % XL)
    freeze = sel = None
    if opts is not None and opts.find("{%s}FreezePanes" % XL) is not None:
        freeze = "A" + str(int(opts.find("{%s}SplitHorizontal" % XL).text) + 1)
        for pane in opts.iter("{%s}Pane" % XL):
            if pane.find("{%s}Number" % XL).text == opts.find("{%s}ActivePane" % XL).text:
                r = pane.find("{%s}ActiveRow" % XL)
                c = pane.find("{%s}ActiveCol" % XL)
                sel = letters(int(c.text) if c is not None else 0) + str(int(r.text) + 1)
    # points to characters: seven pixels a character, five of padding
    widths = [(w / 0.75 - 5) / 7 for w in widths]
    return {"sheet": ws.get(q("Name")), "rows": rows, "freeze": freeze, "selection": sel,
            "widths": widths}


def read_html(path):
    from html.parser import HTMLParser

    class P(HTMLParser):
        def __init__(self):
            super().__init__(convert_charrefs=True)
            self.rows, self.cell, self.title, self.bold, self.style = [], None, None, 0, ""
            self.class_formats = {}
            self.in_title = self.in_style = False

        def handle_starttag(self, tag, attrs):
            a = dict(attrs)
            if tag == "tr":
                self.rows.append([])
            elif tag in ("td", "th"):
                sdnum = a.get("sdnum")
                classes = a.get("class", "").split()
                fmt = next((self.class_formats[c] for c in classes if c in self.class_formats),
                           sdnum.split(";", 2)[2] if sdnum else "General")
                num = a.get("x:num", a.get("sdval"))
                self.cell = {"t": "s", "v": "", "fmt": fmt, "bold": tag == "th", "num": num,
                             "class": a.get("class", "")}
            elif tag == "b" and self.cell is not None:
                self.cell["bold"] = True
            elif tag == "title":
                self.in_title = True
            elif tag == "style":
                self.in_style = True

        def handle_endtag(self, tag):
            if tag in ("td", "th") and self.cell is not None:
                c = self.cell
                if c["num"] is not None:
                    c["t"] = "n"
                    c["text"] = c["v"]
                    c["v"] = float(c["num"])
                elif c["v"] == "" and c["fmt"] == "General":
                    c = None
                elif c["v"] == "":
                    c["t"], c["v"] = "blank", None
                self.rows[-1].append(c)
                self.cell = None
            elif tag == "title":
                self.in_title = False
            elif tag == "style":
                self.in_style = False
                # ".name{mso-number-format:"code"}": the format Excel gives cells of the class
                for name, code in re.findall(r'\.(\w+)\{mso-number-format:"((?:\\.|[^"\\])*)"\}',
                                             self.style):
                    self.class_formats[name] = re.sub(r"\\(.)", r"\1", code)

        def handle_data(self, data):
            if self.cell is not None:
                self.cell["v"] += data
            elif self.in_title:
                self.title = (self.title or "") + data
            elif self.in_style:
                self.style += data

    p = P()
    with open(path, encoding="utf-8") as f:
        p.feed(f.read())
    sticky = "position:sticky" in p.style
    has_head = bool(p.rows) and bool(p.rows[0]) and all(c is not None and c["bold"] for c in p.rows[0])
    return {"sheet": p.title, "rows": p.rows, "freeze": "A2" if sticky and has_head else None,
            "selection": None, "widths": []}


def read_csv(path):
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")
    rows = []
    for rec in csv.reader(io.StringIO(text, newline="")):
        rows.append([{"t": "s", "v": v, "fmt": "General", "bold": False} if v != "" else None
                     for v in rec])
    lines_crlf = raw.count(b"\n") == raw.count(b"\r\n") + _bare_lf_inside_quotes(text)
    return {"sheet": None, "rows": rows, "freeze": None, "selection": None, "widths": [],
            "crlf": lines_crlf, "bom": raw.startswith(b"\xef\xbb\xbf")}


def _bare_lf_inside_quotes(text):
    n, quoted, prev = 0, False, ""
    for ch in text:
        if ch == '"':
            quoted = not quoted
        elif ch == "\n" and quoted and prev != "\r":
            n += 1
        prev = ch
    return n


def main():
    fmt, path = sys.argv[1], sys.argv[2]
    reader = {"xlsx": read_xlsx, "xls": read_xls, "xml": read_xml, "html": read_html,
              "csv": read_csv}[fmt]
    json.dump(reader(path), sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
