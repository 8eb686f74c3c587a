#!/usr/bin/python3
"""Makes the Lotus and Quattro test files of this directory from the published record layouts.

No Debian tool writes these formats, so each file is written record by record here:

- trial.wk1: a Lotus 1-2-3 worksheet (BOF version 0x0406) with a row of names carrying
  suffixes, integers, doubles, labels, formulas with stored results, an empty cell, a text in
  a numeric column and a label longer than 91 characters; numbers.wk1, whose first row holds
  numbers; trial.wq1, the same sheet as a Quattro WQ1 file.
- book.wb1 and book.wb2: notebooks of three pages (two of them named), named ranges (one over
  two pages, which is left out) and the notebook cell layout; book.wb3, a notebook of version
  0x1006 inside a compound document (stream "PerfectOffice_MAIN"); protected.wb2.
- Quattro Pro for Windows notebooks in the layout fixed in src/spreadsheet/vxs_qpw.h:
  book.qpw (compound document, stream "NativeContent_MAIN"), bare.qpw (the stream alone),
  letters.qpw (three pages without names, in a container), protected.qpw.
- damaged/: lying copies (huge ranges, over-long records, codes out of range, cells before
  the RANGE, page records in a WQ1 file, lying string counts).

The compound documents are laid out here too (512-byte sectors; streams under 4096 bytes in
the mini stream) and checked with python3-olefile. tests/spreadsheet/lotus_test.cpp compares
what gnumeric's ssconvert reads from the WK1 and WB files with the conversions.

Run with Debian's python:  /usr/bin/python3 make_lotus.py
"""
import os
import struct

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
DAMAGED = os.path.join(HERE, "damaged")


def out(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def rec(code, body=b""):
    return struct.pack("<HH", code, len(body)) + body


FMT = 0xFF  # Lotus format byte: the program's default format

# ---------------------------------------------------------------- the trial sheet

LONG = "Long label " + "x" * 89  # 100 characters


def trial_cells():
    """(row, col, kind, value) of the trial sheet; kinds: i integer, n double, l label,
    f formula with a stored result."""
    names = ["Plot", "Variety!", "Yield:2", "Sown:D", "Note$", "Code#", "Score"]
    cells = [(0, c, "l", n) for c, n in enumerate(names)]
    varieties = ["Alpha", "beta", "Gamma"]
    for i in range(10):
        r = i + 1
        cells.append((r, 0, "i", i + 1))
        cells.append((r, 1, "l", "*" if i == 3 else varieties[i % 3]))
        if i != 7:
            cells.append((r, 2, "n", 3.25 + 0.5 * i))
        cells.append((r, 3, "n", 36982.0 + i))
        if i == 9:
            cells.append((r, 4, "l", LONG))
        elif i % 4 == 2:
            cells.append((r, 4, "i", 100 + i))
        else:
            cells.append((r, 4, "l", f"note {i + 1}"))
        cells.append((r, 5, "l", "n/a" if i == 5 else str(12 * (i + 1))))
        cells.append((r, 6, "f", 2.5 * i))
    return cells


def lotus_formula(value):
    # A constant and the end token, so that a program that evaluates it gets the stored result.
    code = b"\x00" + struct.pack("<d", value) + b"\x03"
    return struct.pack("<H", len(code)) + code


def wk1_cell(row, col, kind, value):
    head = struct.pack("<BHH", FMT, col, row)
    if kind == "i":
        return rec(0x0D, head + struct.pack("<h", value))
    if kind == "n":
        return rec(0x0E, head + struct.pack("<d", value))
    if kind == "f":
        return rec(0x10, head + struct.pack("<d", value) + lotus_formula(value))
    return rec(0x0F, head + b"'" + value.encode("latin-1") + b"\0")


def extent(cells):
    rows = [c[0] for c in cells]
    cols = [c[1] for c in cells]
    return min(cols), min(rows), max(cols), max(rows)


def lotus_file(version, cells, range_=None, extra=b""):
    fc, fr, lc, lr = range_ or extent(cells)
    body = rec(0x00, struct.pack("<H", version)) + rec(0x06, struct.pack("<HHHH", fc, fr, lc, lr))
    body += extra
    for c in cells:
        body += wk1_cell(*c)
    return body + rec(0x01)


def numbers_cells():
    return [(r, c, "n", float(r * 10 + c + 0.5)) for r in range(4) for c in range(3)]


# ---------------------------------------------------------------- notebooks

def page_cells(page):
    """Cells of the three notebook pages."""
    if page == 0:
        return [c for c in trial_cells() if c[2] != "f"] + [(r, 6, "n", 2.5 * (r - 1)) for r in range(1, 11)] + \
               [(0, 6, "l", "Score")]
    if page == 1:
        return [(0, 0, "l", "Dose"), (0, 1, "l", "Response")] + \
               [(r, c, "n", float(r * 100 + c)) if c else (r, c, "i", r) for r in range(1, 6) for c in range(2)]
    return [(r, c, "n", r + c / 10.0) for r in range(2, 5) for c in range(1, 4)]


def wb_cell(page, row, col, kind, value, fmt=0):
    head = struct.pack("<BBHH", col, page, row, fmt)
    if kind == "i":
        return rec(0x0D, head + struct.pack("<h", value))
    if kind == "n":
        return rec(0x0E, head + struct.pack("<d", value))
    return rec(0x0F, head + b"'" + value.encode("latin-1") + b"\0")


def wb_name(name, first, last):
    """A named range: first and last are (page, col, row)."""
    b = struct.pack("<HBB", 0, 1, len(name)) + name.encode() + struct.pack("<H", 0x1000)
    b += struct.pack("<BBH", first[1], first[0], first[2]) + struct.pack("<BBH", last[1], last[0], last[2])
    return rec(0x0B, b)


PAGE_NAMES = {0: "Trial", 2: "Summary"}


def notebook(version, protected=False):
    pages = [page_cells(p) for p in range(3)]
    last_col = max(c[1] for cells in pages for c in cells)
    last_row = max(c[0] for cells in pages for c in cells)
    body = rec(0x00, struct.pack("<H", version))
    body += rec(0x06, struct.pack("<HHHH", 0, 0, (2 << 8) | last_col, last_row))
    if protected:
        body += rec(0x4B, b"\x01\x00")
    body += wb_name("Doses", (1, 0, 0), (1, 1, 3))
    body += wb_name("Across", (0, 0, 0), (2, 1, 3))
    body += wb_name("Block", (2, 1, 2), (2, 2, 3))
    for p, cells in enumerate(pages):
        body += rec(0xCA, bytes([p]))
        if p in PAGE_NAMES:
            body += rec(0xCC, PAGE_NAMES[p].encode() + b"\0")
        for c in cells:
            body += wb_cell(p, *c)
        body += rec(0xCB)
    return body + rec(0x01)


# ---------------------------------------------------------------- Quattro Pro for Windows

def qpw_strings(texts):
    body = struct.pack("<III", len(texts), sum(len(t) for t in texts), 0) + b"\0" * 6
    for t in texts:
        body += struct.pack("<H", len(t)) + t.encode("latin-1")
    return rec(0x0407, body)


def qpw_page(index, name=None, wide=False):
    body = struct.pack("<HHHII", index, 0, 0, 0, 0) + b"\0" * 4
    if name is not None:
        chars = name.encode("utf-16-le") if wide else name.encode("latin-1")
        body += struct.pack("<HB", len(name), 1 if wide else 0) + chars
    return rec(0x0601, body)


def rk_int(v):
    return ((v << 2) | 2) & 0xFFFFFFFF


def qpw_notebook(named=True, protected=False, flag=0):
    texts = ["Plot", "Variety!", "Yield", "Alpha", "beta", "Gamma", "n/a", "Dose", "Response"]
    idx = {t: i for i, t in enumerate(texts)}
    b = rec(0x0001, b"QPW\0" + struct.pack("<H", flag) + b"\0" * 6 + struct.pack("<H", 3))
    if protected:
        b += rec(0x0004, b"\x01\x00\x00\x00")
    b += rec(0x0101, b"\0" * 4) + qpw_strings(texts) + rec(0x0408, b"\0" * 2)
    if named:
        nm = b"Doses"
        b += rec(0x0C02, struct.pack("<HB", len(nm), 0) + nm + struct.pack("<HHIHHI", 1, 0, 0, 1, 1, 3))
        nm = b"Across"
        b += rec(0x0C02, struct.pack("<HB", len(nm), 0) + nm + struct.pack("<HHIHHI", 0, 0, 0, 2, 1, 3))

    def cell(code, col, row, value=b""):
        return rec(code, struct.pack("<HIH", col, row, 0) + value)

    # Page A: names, RK integers, doubles, labels, a formula result and an empty cell.
    b += qpw_page(0, "Trial" if named else None)
    b += rec(0x0A02, b"\0" * 6)
    for c, t in enumerate(["Plot", "Variety!", "Yield"]):
        b += cell(0x0C73, c, 0, struct.pack("<I", idx[t]))
    for i in range(6):
        r = i + 1
        b += cell(0x0C74, 0, r, struct.pack("<I", rk_int(i + 1)))
        b += cell(0x0C73, 1, r, struct.pack("<I", idx[["Alpha", "beta", "Gamma"][i % 3]]))
        if i == 2:
            b += cell(0x0C73, 2, r, struct.pack("<I", idx["n/a"]))
        elif i == 4:
            b += cell(0x0C72, 2, r)
        elif i == 5:
            b += cell(0x0C76, 2, r, struct.pack("<d", 9.5) + b"\x03\x00\x00")
        else:
            b += cell(0x0C75, 2, r, struct.pack("<d", 1.5 * r))
    b += rec(0x0602)
    # Page B: numbers only below two names.
    b += qpw_page(1, "Doses" if named else None, wide=True)
    b += cell(0x0C73, 0, 0, struct.pack("<I", idx["Dose"])) + cell(0x0C73, 1, 0, struct.pack("<I", idx["Response"]))
    for r in range(1, 5):
        b += cell(0x0C74, 0, r, struct.pack("<I", rk_int(r)))
        b += cell(0x0C75, 1, r, struct.pack("<d", r * 100 + 0.25))
    b += rec(0x0602)
    # Page C: no names row.
    b += qpw_page(2)
    for r in range(3):
        for c in range(2):
            b += cell(0x0C75, c, r, struct.pack("<d", r + c / 4.0))
    return b + rec(0x0602)


# ---------------------------------------------------------------- compound documents

ENDOFCHAIN, FREESECT, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def compound(name, data):
    """A compound document holding one stream; small streams go to the mini stream."""
    small = len(data) < 4096
    sectors = []  # payload sectors after the FAT, each (bytes, next index or None)
    chains = {}

    def add_chain(key, payload):
        start = len(sectors)
        pieces = [payload[i:i + 512] for i in range(0, len(payload), 512)] or [b""]
        for k, p in enumerate(pieces):
            sectors.append([p.ljust(512, b"\0"), start + k + 1 if k + 1 < len(pieces) else None])
        chains[key] = start

    if small:
        mini = data.ljust((len(data) + 63) // 64 * 64, b"\0")
        nmini = len(mini) // 64
        minifat = b"".join(struct.pack("<I", k + 1 if k + 1 < nmini else ENDOFCHAIN) for k in range(nmini))
        minifat = minifat.ljust(512, b"\xff")
        add_chain("ministream", mini)
        add_chain("minifat", minifat)
    else:
        add_chain("stream", data)

    def entry(ename, etype, start, size, child=FREESECT):
        n = ename.encode("utf-16-le") + b"\0\0"
        e = n.ljust(64, b"\0") + struct.pack("<HBB", len(n), etype, 1)
        e += struct.pack("<III", FREESECT, FREESECT, child) + b"\0" * 16 + b"\0" * 4 + b"\0" * 16
        e += struct.pack("<IIHH", start, size, 0, 0)
        return e

    add_chain("dir", b"")  # filled in below, once sector numbers are known
    nfat = 1
    while (len(sectors) + nfat) > nfat * 128:
        nfat += 1
    root_start = nfat + chains["ministream"] if small else ENDOFCHAIN
    root_size = (len(data) + 63) // 64 * 64 if small else 0
    stream_start = 0 if small else nfat + chains["stream"]
    directory = entry("Root Entry", 5, root_start, root_size, child=1) + entry(name, 2, stream_start, len(data))
    sectors[chains["dir"]][0] = directory.ljust(512, b"\0")

    fat = [FATSECT] * nfat
    for s in sectors:
        fat.append(nfat + s[1] if s[1] is not None else ENDOFCHAIN)
    fat += [FREESECT] * (nfat * 128 - len(fat))
    fat_bytes = b"".join(struct.pack("<I", v) for v in fat)

    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6)
    header += b"\0" * 6 + struct.pack("<II", 0, nfat) + struct.pack("<II", nfat + chains["dir"], 0)
    header += struct.pack("<I", 4096)
    header += struct.pack("<II", nfat + chains["minifat"] if small else ENDOFCHAIN, 1 if small else 0)
    header += struct.pack("<II", ENDOFCHAIN, 0)
    difat = [k for k in range(nfat)] + [FREESECT] * (109 - nfat)
    header += b"".join(struct.pack("<I", v) for v in difat)
    assert len(header) == 512
    return header + fat_bytes + b"".join(s[0] for s in sectors)


def check_compound(path, name, data):
    ole = olefile.OleFileIO(path)
    assert ole.exists(name), name
    assert ole.openstream(name).read() == data
    ole.close()


# ---------------------------------------------------------------- damaged copies

def damaged():
    trial = trial_cells()
    # A RANGE of 65536 x 65536 cells: far above the store limit.
    out("damaged/huge_range.wk1", lotus_file(0x0406, trial, (0, 0, 0xFFFF, 0xFFFF)))
    out("damaged/huge_range.wq1", lotus_file(0x5120, trial, (0, 0, 0xFFFF, 0xFFFF)))
    # A label record of 600 bytes.
    out("damaged/long_record.wk1", lotus_file(0x0406, trial, extra=rec(0x0F, struct.pack("<BHH", FMT, 0, 0) + b"'" + b"y" * 594)))
    out("damaged/code_above_255.wk1", lotus_file(0x0406, trial, extra=rec(0x0123, b"\0\0")))
    bof = rec(0x00, struct.pack("<H", 0x0406))
    out("damaged/cell_before_range.wk1", bof + wk1_cell(0, 0, "n", 1.0) + rec(0x06, struct.pack("<HHHH", 0, 0, 3, 3)) + rec(0x01))
    # A RANGE of columns 0..2: a cell in column 5 must be dropped, not wrapped into the next row.
    out("damaged/outside_range.wk1", lotus_file(0x0406, numbers_cells() + [(1, 5, "n", 99.0), (9, 1, "n", 77.0)], (0, 0, 2, 3)))
    out("damaged/nan_cells.wk1", lotus_file(0x0406, [(0, 0, "l", "A"), (1, 0, "n", float("nan")), (2, 0, "n", float("inf")),
                                                     (3, 0, "n", -2e307), (4, 0, "n", 1.5)]))
    out("damaged/page_in_wq1.wq1", lotus_file(0x5120, trial, extra=rec(0xCA, b"\0")))
    wb = notebook(0x1002)
    out("damaged/long_record.wb2", wb[:-4] + rec(0x0F, b"\0" * 8200) + rec(0x01))
    out("damaged/code_above_1200.wb2", wb[:-4] + rec(0x04B1, b"") + rec(0x01))
    # The largest RANGE a notebook can state: 256 columns by 65536 rows, still within the limit.
    out("damaged/huge_range.wb2", wb[:6] + rec(0x06, struct.pack("<HHHH", 0, 0, 0x02FF, 0xFFFF)) + wb[18:])
    out("damaged/other_version.wb2", notebook(0x1005))
    q = qpw_notebook()
    at = q.index(b"\x07\x04")
    out("damaged/lying_strings.qpw", q[:at + 4] + struct.pack("<I", 0x7FFFFFFF) + q[at + 8:])
    # A cell at the far corner of the grid: an extent of 18 billion cells.
    far = rec(0x0C75, struct.pack("<HIH", 18000, 999990, 0) + struct.pack("<d", 1.0))
    # And one beyond the grid, which is not read.
    beyond = rec(0x0C75, struct.pack("<HIH", 3, 0x7FFFFFF0, 0) + struct.pack("<d", 1.0))
    at = q.index(rec(0x0602))
    out("damaged/far_cell.qpw", q[:at] + far + q[at:])
    out("damaged/beyond_grid.qpw", q[:at] + beyond + q[at:])
    out("damaged/bad_bof.qpw", b"\x01\x00\x0E\x00QPX\0" + q[8:])


def main():
    out("trial.wk1", lotus_file(0x0406, trial_cells()))
    out("numbers.wk1", lotus_file(0x0406, numbers_cells()))
    out("trial.wq1", lotus_file(0x5120, trial_cells()))
    out("book.wb1", notebook(0x1001))
    out("book.wb2", notebook(0x1002))
    out("protected.wb2", notebook(0x1002, protected=True))
    wb3 = notebook(0x1006)
    check_compound(out("book.wb3", compound("PerfectOffice_MAIN", wb3)), "PerfectOffice_MAIN", wb3)
    q = qpw_notebook()
    check_compound(out("book.qpw", compound("NativeContent_MAIN", q)), "NativeContent_MAIN", q)
    out("bare.qpw", q)
    q = qpw_notebook(named=False, flag=1)
    check_compound(out("letters.qpw", compound("NativeContent_MAIN", q)), "NativeContent_MAIN", q)
    q = qpw_notebook(protected=True)
    check_compound(out("protected.qpw", compound("NativeContent_MAIN", q)), "NativeContent_MAIN", q)
    # A stream above the mini-stream cutoff, laid out in regular sectors.
    big = notebook(0x1006)
    big = big[:-4] + b"".join(rec(0x0E9, b"\0" * 100) for _ in range(60)) + rec(0x01)
    check_compound(out("big.wb3", compound("PerfectOffice_MAIN", big)), "PerfectOffice_MAIN", big)
    damaged()


if __name__ == "__main__":
    main()
