#!/usr/bin/python3
"""Makes the Excel test workbooks here: gnumeric (ssconvert) writes trial_biff8/5.xls (sheets, named
ranges, dates, formulas, a header comment, an empty and a logbook sheet) and mini_biff8/5.xls (in
the mini stream); python3-xlwt strings_biff8.xls (shared strings across CONTINUE records, 16-bit
and over-long texts), wide_biff8.xls (256 columns) and tiny_biff8.xls; the bare Excel 2, 3 and 4
sheets, which no tool at hand writes, are written record by record from the published layouts.
Run with python3-xlwt, python3-xlrd and gnumeric:  /usr/bin/python3 make_xls.py"""
import os
import struct
import subprocess
import tempfile

import xlrd
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
P = struct.pack
out = lambda name: os.path.join(HERE, name)


def cell(row, col, value, vtype=None, fmt=None):
    attrs = f'Row="{row}" Col="{col}"' + (f' ValueType="{vtype}"' if vtype is not None else "")
    attrs += f' ValueFormat="{fmt}"' if fmt else ""
    text = str(value).replace("&", "&amp;").replace("<", "&lt;").replace('"', "&quot;")
    return f"<gnm:Cell {attrs}>{text}</gnm:Cell>"


num = lambda row, col, v, fmt=None: cell(row, col, repr(v) if isinstance(v, float) else v, 40, fmt)
txt = lambda row, col, s: cell(row, col, s, 60)


def sheet_xml(name, cells, comments=()):
    objs = "<gnm:Objects>" + "".join(
        f'<gnm:CellComment Author="maker" Text="{t}" ObjectBound="{ref}" '
        'ObjectOffset="0 0 0 0" ObjectAnchorType="16 16 16 16" Direction="17"/>'
        for ref, t in comments) + "</gnm:Objects>" if comments else ""
    return f"<gnm:Sheet><gnm:Name>{name}</gnm:Name>{objs}<gnm:Cells>" + "".join(cells) + "</gnm:Cells></gnm:Sheet>"


VARIETIES = ["Alpha", "beta", "Gamma"]


def trial_cells():
    c = [txt(0, j, h) for j, h in enumerate(["Plot", "Variety!", "Yield:2#", "Sown:d", "Double", "Label", "Check", "Note$"])]
    for i, r in enumerate(range(1, 13)):
        c += [num(r, 0, r), txt(r, 1, "*" if i == 3 else VARIETIES[i % 3])]
        c += [txt(r, 2, "n/a")] if i == 5 else [] if i == 7 else [num(r, 2, 3.25 + 0.5 * i)]
        c += [num(r, 3, 36982 + i, "yyyy-mm-dd"), cell(r, 4, f"=C{r + 1}*2"), cell(r, 5, f'=B{r + 1}&"-"&A{r + 1}'),
              cell(r, 6, f"=C{r + 1}>5"), num(r, 7, 10 * (i + 1))]
    return c


def log_cells():
    c = [txt(0, 0, "Site"), txt(0, 1, "Rothamsted"), txt(1, 0, "Year"), num(1, 1, 2001)]
    for r, texts in ((3, ["variable_name", "Plot", "Treatment", "Block", "Yield"]),
                     (4, ["variable_title", "Plot number", "Nitrogen dose", "Field block", "Grain yield"])):
        c += [txt(r, j, t) for j, t in enumerate(texts)]
    c += [txt(5, 0, "variable_type"), txt(5, 2, "factor")]
    for k, r in enumerate([6, 7, 9, 10, 11, 12]):  # row 9 (0-based 8) is left empty
        c += [num(r, 1, 101 + k), txt(r, 2, ["N0", "N1", "N2"][k % 3]), num(r, 3, 1 + k // 3), num(r, 4, 5.5 + k)]
    return c


def gnumeric_workbook():
    sheets = [
        ("Trial", trial_cells(), [("B1", "!(Gamma,beta,Alpha) Variety of wheat")]),
        ("Numbers", [num(r, j, float(r * 10 + j) + 0.5) for r in range(5) for j in range(3)], []),
        ("Data2", [txt(0, 0, "X"), txt(0, 1, "Y")] + [x for r in range(1, 4) for x in (num(r, 0, r), num(r, 1, r * r))], []),
        ("Empty", [], []), ("Log", log_cells(), [])]
    xml = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd"><gnm:Names>']
    xml += [f"<gnm:Name><gnm:name>{n}</gnm:name><gnm:value>{v}</gnm:value><gnm:position>A1</gnm:position></gnm:Name>"
            for n, v in [("TrialBlock", "Trial!$B$1:$D$6"), ("column_row", "Log!$B$4:$D$6")]]
    xml += ["</gnm:Names><gnm:SheetNameIndex>"] + [f"<gnm:SheetName>{s[0]}</gnm:SheetName>" for s in sheets]
    xml += ["</gnm:SheetNameIndex><gnm:Sheets>"] + [sheet_xml(*s) for s in sheets] + ["</gnm:Sheets></gnm:Workbook>"]
    return "\n".join(xml)


def mini_workbook():
    # Small enough that Gnumeric puts the workbook stream into the mini stream.
    cells = [txt(0, 0, "Height"), txt(0, 1, "Kind")] + [x for r in range(1, 4) for x in (num(r, 0, 1.5 * r), txt(r, 1, "k%d" % r))]
    return ('<?xml version="1.0" encoding="UTF-8"?>'
            '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd"><gnm:SheetNameIndex>'
            "<gnm:SheetName>Small</gnm:SheetName></gnm:SheetNameIndex><gnm:Sheets>"
            + sheet_xml("Small", cells) + "</gnm:Sheets></gnm:Workbook>")


def make_gnumeric_files():
    with tempfile.TemporaryDirectory() as tmp:
        for xml, stem in ((gnumeric_workbook(), "trial"), (mini_workbook(), "mini")):
            src = os.path.join(tmp, stem + ".gnumeric")
            with open(src, "w") as f:
                f.write(xml)
            for exporter, suffix in (("Gnumeric_Excel:excel_biff8", "_biff8.xls"), ("Gnumeric_Excel:excel_biff7", "_biff5.xls")):
                subprocess.run(["ssconvert", "-T", exporter, src, out(stem + suffix)], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)



def long_string(i):  # plain, Latin-1 (8-bit in the file), non-Latin-1 (16-bit) and over-long texts
    return ("L%03d-" % i + "x" * 115 if i % 50 == 7 else "W%03d-\u0141\u00f3d\u017a" % i if i % 25 == 3
            else "  spaced   out %03d  " % i if i % 40 == 11 else "word-%04d-%s" % (i, "abcdefghij"[i % 10] * (10 + i % 20)))


def xlwt_book(name, sheet, cells):
    ws = (wb := xlwt.Workbook()).add_sheet(sheet)
    for r, c, v in cells:
        ws.write(r, c, v)
    wb.save(out(name))


def make_xlwt_files():
    xlwt_book("strings_biff8.xls", "Strings",
              [(0, 0, "Word"), (0, 1, "Index")] + [x for i in range(600) for x in ((i + 1, 0, long_string(i)), (i + 1, 1, i))])
    xlwt_book("wide_biff8.xls", "Wide",
              [x for j in range(256) for x in [(0, j, "V%d" % (j + 1))] + [(r, j, r * 1000 + j) for r in range(1, 4)]])
    # "*" is the missing-value text; B3 and B4 stay empty.
    xlwt_book("tiny_biff8.xls", "Tiny", [(0, 0, "Count"), (0, 1, "Name"), (1, 0, 1), (1, 1, "one"), (2, 0, "*"), (3, 0, 3),
                                         (3, 1, "three")])



def rec(code, body):
    return P("<HH", code, len(body)) + body


def bare_biff(version):
    """One worksheet: header row, numbers (NUMBER, INTEGER or RK), a boolean, and formulas
    with a numeric and a string result (the latter followed by its STRING record)."""
    b2 = version == 2
    attr = b"\x00\x00\x00" if b2 else b"\x00\x00"  # BIFF2 cell attributes, else XF index 0
    # One font and one cell format, which readers of these versions expect before the cells.
    if b2:
        # Version word 0x0507: the form by which input detection knows an Excel 2 file.
        b = rec(0x0009, P("<HH", 0x0507, 0x0010)) + rec(0x0031, P("<HHB", 200, 0, 5) + b"Arial")
        b += rec(0x0043, b"\x00" * 4) + rec(0x0000, P("<HHHH", 0, 4, 0, 3))
    else:
        b = rec(0x0209 if version == 3 else 0x0409, P("<HHH", 0, 0x0010, 0))
        b += rec(0x0231, P("<HHHB", 200, 0, 0x7FFF, 5) + b"Arial")
        b += rec(0x0243 if version == 3 else 0x0443, b"\x00" * (12 if version == 3 else 16))
        b += rec(0x0200, P("<HHHHH", 0, 4, 0, 3, 0))
    lenfmt = "<B" if b2 else "<H"  # text lengths

    def at(code, r, c, body):  # a cell record; Excel 3 and 4 codes carry 0x02 in the high byte
        return rec(code | (0 if b2 else 0x0200), P("<HH", r, c) + attr + body)

    label = lambda r, c, s: at(0x04, r, c, P(lenfmt, len(s)) + s.encode("latin-1"))
    whole = lambda r, c, v: at(0x02, r, c, P("<H", v)) if b2 else at(0x7E, r, c, P("<I", (v << 2) | 2))

    def formula(r, c, result, tokens):
        code = 0x0006 if b2 else (0x0206 if version == 3 else 0x0406)
        return rec(code, P("<HH", r, c) + attr + result + P("<BB" if b2 else "<HH", 0, len(tokens)) + tokens)

    b += label(0, 0, "Weight") + label(0, 1, "Count") + label(0, 2, "Tag")
    b += at(0x03, 1, 0, P("<d", 1.25)) + whole(1, 1, 7) + label(1, 2, "first")
    b += at(0x03, 2, 0, P("<d", 2.5)) + at(0x05, 2, 1, P("<BB", 1, 0))
    # =4.75, and ="made" whose result follows in a STRING record.
    b += formula(3, 0, P("<d", 4.75), b"\x1f" + P("<d", 4.75)) + whole(3, 1, 9)
    b += formula(3, 2, b"\x00" * 6 + b"\xff\xff", b"\x17\x04made") + rec(0x0007 if b2 else 0x0207, P(lenfmt, 4) + b"made")
    return b + rec(0x000A, b"")



def check():
    for name in sorted(n for n in os.listdir(HERE) if n.endswith(".xls")):
        if name.startswith("biff"):
            # xlrd wants formatting records in Excel 3 and 4 files; Gnumeric does not.
            csv = subprocess.run(["ssconvert", "-T", "Gnumeric_stf:stf_csv", out(name), "fd://1"],
                                 check=True, capture_output=True, text=True).stdout
            print("%-18s %s" % (name, csv.strip().replace("\n", " | ")))
            continue
        sheets = (book := xlrd.open_workbook(out(name))).sheets()
        print("%-18s BIFF %s, %d sheet(s); first sheet %d x %d" % (name, book.biff_version, len(sheets), sheets[0].nrows,
                                                                  sheets[0].ncols))


if __name__ == "__main__":
    make_gnumeric_files()
    make_xlwt_files()
    for v in (2, 3, 4):
        with open(out("biff%d.xls" % v), "wb") as f:
            f.write(bare_biff(v))
    check()
