#!/usr/bin/python3
"""Makes the Lotus and Quattro test files here from the published record layouts (no Debian tool
writes them): WK1/WQ1 sheets, WB1-WB3 notebooks, Quattro Pro for Windows notebooks (layout of
src/spreadsheet/vxs_qpw.h), compound documents checked by python3-olefile, damaged/ copies.
Run: /usr/bin/python3 make_lotus.py"""
import os
import struct

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
P = struct.pack


def out(name, data):
    os.makedirs(os.path.dirname(path := os.path.join(HERE, name)), exist_ok=True)
    open(path, "wb").write(data)
    return path


def rec(code, body=b""):
    return P("<HH", code, len(body)) + body


FMT = 0xFF  # Lotus format byte: the program's default format
LONG = "Long label " + "x" * 89  # 100 characters
VARIETIES = ["Alpha", "beta", "Gamma"]


def trial_cells():
    """(row, col, kind, value): i integer, n double, l label, f formula with a stored result."""
    cells = [(0, c, "l", n) for c, n in enumerate(["Plot", "Variety!", "Yield:2", "Sown:D", "Note$", "Code#", "Score"])]
    for i, r in enumerate(range(1, 11)):
        cells += [(r, 0, "i", r), (r, 1, "l", "*" if i == 3 else VARIETIES[i % 3])]
        cells += ([(r, 2, "n", 3.25 + 0.5 * i)] if i != 7 else []) + [(r, 3, "n", 36982.0 + i)]
        note = (r, 4, "l", LONG) if i == 9 else (r, 4, "i", 100 + i) if i % 4 == 2 else (r, 4, "l", f"note {i + 1}")
        cells += [note, (r, 5, "l", "n/a" if i == 5 else str(12 * (i + 1))), (r, 6, "f", 2.5 * i)]
    return cells


def value_rec(head, kind, value):
    """INTEGER, NUMBER, LABEL or FORMULA record (a constant and the end token: evaluated, the stored result)."""
    if kind == "f":
        return rec(0x10, head + P("<dH", value, 10) + b"\x00" + P("<d", value) + b"\x03")
    body = P("<h", value) if kind == "i" else P("<d", value) if kind == "n" else b"'" + value.encode("latin-1") + b"\0"
    return rec({"i": 0x0D, "n": 0x0E, "l": 0x0F}[kind], head + body)


def wk1_cell(row, col, kind, value):
    return value_rec(P("<BHH", FMT, col, row), kind, value)


def lotus_file(version, cells, range_=None, extra=b""):
    rows, cols = [c[0] for c in cells], [c[1] for c in cells]
    fc, fr, lc, lr = range_ or (min(cols), min(rows), max(cols), max(rows))
    body = rec(0x00, P("<H", version)) + rec(0x06, P("<HHHH", fc, fr, lc, lr)) + extra
    return body + b"".join(wk1_cell(*c) for c in cells) + rec(0x01)


numbers_cells = lambda: [(r, c, "n", float(r * 10 + c + 0.5)) for r in range(4) for c in range(3)]


def page_cells(page):
    if page == 0:
        return [c for c in trial_cells() if c[2] != "f"] + [(r, 6, "n", 2.5 * (r - 1)) for r in range(1, 11)] + \
               [(0, 6, "l", "Score")]
    if page == 1:
        return [(0, 0, "l", "Dose"), (0, 1, "l", "Response")] + \
               [(r, c, "n", float(r * 100 + c)) if c else (r, c, "i", r) for r in range(1, 6) for c in range(2)]
    return [(r, c, "n", r + c / 10.0) for r in range(2, 5) for c in range(1, 4)]


def wb_name(name, first, last):  # first and last: (page, col, row)
    ends = b"".join(P("<BBH", c, p, r) for p, c, r in (first, last))
    return rec(0x0B, P("<HBB", 0, 1, len(name)) + name.encode() + P("<H", 0x1000) + ends)


def notebook(version, protected=False):
    pages = [page_cells(p) for p in range(3)]
    last_col, last_row = (max(c[k] for cells in pages for c in cells) for k in (1, 0))
    body = rec(0x00, P("<H", version)) + rec(0x06, P("<HHHH", 0, 0, (2 << 8) | last_col, last_row))
    body += (rec(0x4B, b"\x01\x00") if protected else b"") + wb_name("Doses", (1, 0, 0), (1, 1, 3))
    body += wb_name("Across", (0, 0, 0), (2, 1, 3)) + wb_name("Block", (2, 1, 2), (2, 2, 3))
    for p, cells in enumerate(pages):
        body += rec(0xCA, bytes([p])) + {0: rec(0xCC, b"Trial\0"), 2: rec(0xCC, b"Summary\0")}.get(p, b"")
        # Notebook cells: column and page, row, a 16-bit format; no leading format byte.
        body += b"".join(value_rec(P("<BBHH", col, p, row, 0), kind, v) for row, col, kind, v in cells) + rec(0xCB)
    return body + rec(0x01)



def qpw_page(index, name=None, wide=False):
    body = P("<HHHII", index, 0, 0, 0, 0) + b"\0" * 4
    if name is not None:
        body += P("<HB", len(name), wide) + name.encode("utf-16-le" if wide else "latin-1")
    return rec(0x0601, body)


def qpw_notebook(named=True, protected=False, flag=0):
    texts = ["Plot", "Variety!", "Yield", "Alpha", "beta", "Gamma", "n/a", "Dose", "Response"]
    b = rec(0x0001, b"QPW\0" + P("<H", flag) + b"\0" * 6 + P("<H", 3)) + (rec(0x0004, b"\x01\0\0\0") if protected else b"")
    strings = P("<III", len(texts), sum(len(t) for t in texts), 0) + b"\0" * 6
    strings += b"".join(P("<H", len(t)) + t.encode("latin-1") for t in texts)
    b += rec(0x0101, b"\0" * 4) + rec(0x0407, strings) + rec(0x0408, b"\0" * 2)
    if named:
        for nm, ref in ((b"Doses", (1, 0, 0, 1, 1, 3)), (b"Across", (0, 0, 0, 2, 1, 3))):
            b += rec(0x0C02, P("<HB", len(nm), 0) + nm + P("<HHIHHI", *ref))

    cell = lambda code, col, row, value=b"": rec(code, P("<HIH", col, row, 0) + value)
    label = lambda col, row, t: cell(0x0C73, col, row, P("<I", texts.index(t)))
    rk_int = lambda col, row, v: cell(0x0C74, col, row, P("<I", ((v << 2) | 2) & 0xFFFFFFFF))
    # Page A: names, RK integers, doubles, labels, a formula result and an empty cell.
    b += qpw_page(0, "Trial" if named else None) + rec(0x0A02, b"\0" * 6)
    b += b"".join(label(c, 0, t) for c, t in enumerate(["Plot", "Variety!", "Yield"]))
    for i, r in enumerate(range(1, 7)):
        b += rk_int(0, r, r) + label(1, r, VARIETIES[i % 3]) + (label(2, r, "n/a") if i == 2 else cell(0x0C72, 2, r) if i == 4
              else cell(0x0C76, 2, r, P("<d", 9.5) + b"\x03\0\0") if i == 5 else cell(0x0C75, 2, r, P("<d", 1.5 * r)))
    b += rec(0x0602)
    # Page B: numbers only below two names.
    b += qpw_page(1, "Doses" if named else None, wide=True) + label(0, 0, "Dose") + label(1, 0, "Response")
    b += b"".join(rk_int(0, r, r) + cell(0x0C75, 1, r, P("<d", r * 100 + 0.25)) for r in range(1, 5))
    b += rec(0x0602) + qpw_page(2)  # page C: no names row
    b += b"".join(cell(0x0C75, c, r, P("<d", r + c / 4.0)) for r in range(3) for c in range(2))
    return b + rec(0x0602)



ENDOFCHAIN, FREESECT, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def compound(name, data):
    """A compound document holding one stream; small streams go to the mini stream."""
    small = len(data) < 4096
    sectors = []  # payload sectors after the FAT, each [bytes, next index or None]
    chains = {}

    def add_chain(key, payload):
        start = len(sectors)
        pieces = [payload[i:i + 512] for i in range(0, len(payload), 512)] or [b""]
        for k, p in enumerate(pieces):
            sectors.append([p.ljust(512, b"\0"), start + k + 1 if k + 1 < len(pieces) else None])
        chains[key] = start

    nmini = (len(data) + 63) // 64
    if small:
        add_chain("ministream", data.ljust(nmini * 64, b"\0"))
        add_chain("minifat", b"".join(P("<I", k + 1 if k + 1 < nmini else ENDOFCHAIN) for k in range(nmini)).ljust(512, b"\xff"))
    else:
        add_chain("stream", data)

    def entry(ename, etype, start, size, child=FREESECT):
        n = ename.encode("utf-16-le") + b"\0\0"
        return (n.ljust(64, b"\0") + P("<HBBIII", len(n), etype, 1, FREESECT, FREESECT, child) + bytes(36)
                + P("<IIHH", start, size, 0, 0))

    add_chain("dir", b"")  # filled in below, once sector numbers are known
    nfat = next(n for n in range(1, 999) if len(sectors) + n <= n * 128)
    directory = entry("Root Entry", 5, nfat + chains["ministream"] if small else ENDOFCHAIN, nmini * 64 * small, child=1)
    directory += entry(name, 2, 0 if small else nfat + chains["stream"], len(data))
    sectors[chains["dir"]][0] = directory.ljust(512, b"\0")
    fat = [FATSECT] * nfat + [nfat + s[1] if s[1] is not None else ENDOFCHAIN for s in sectors]
    fat += [FREESECT] * (nfat * 128 - len(fat))
    header = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 16 + P("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
    header += P("<IIIIIIIII", 0, nfat, nfat + chains["dir"], 0, 4096, nfat + chains["minifat"] if small else ENDOFCHAIN,
                small, ENDOFCHAIN, 0)
    header += b"".join(P("<I", v) for v in list(range(nfat)) + [FREESECT] * (109 - nfat))
    assert len(header) == 512
    return header + b"".join(P("<I", v) for v in fat) + b"".join(s[0] for s in sectors)


def contained(path, name, data):  # data as the one stream of a compound document, checked by olefile
    ole = olefile.OleFileIO(out(path, compound(name, data)))
    assert ole.exists(name) and ole.openstream(name).read() == data, name
    ole.close()



def damaged():
    trial = trial_cells()
    out("damaged/huge_range.wk1", lotus_file(0x0406, trial, (0, 0, 0xFFFF, 0xFFFF)))
    out("damaged/huge_range.wq1", lotus_file(0x5120, trial, (0, 0, 0xFFFF, 0xFFFF)))  # far above the store limit
    out("damaged/long_record.wk1", lotus_file(0x0406, trial, extra=rec(0x0F, P("<BHH", FMT, 0, 0) + b"'" + b"y" * 594)))
    out("damaged/code_above_255.wk1", lotus_file(0x0406, trial, extra=rec(0x0123, b"\0\0")))
    out("damaged/cell_before_range.wk1", rec(0x00, P("<H", 0x0406)) + wk1_cell(0, 0, "n", 1.0)
        + rec(0x06, P("<HHHH", 0, 0, 3, 3)) + rec(0x01))
    # A RANGE of columns 0..2: a cell in column 5 must be dropped, not wrapped into the next row.
    out("damaged/outside_range.wk1", lotus_file(0x0406, numbers_cells() + [(1, 5, "n", 99.0), (9, 1, "n", 77.0)], (0, 0, 2, 3)))
    out("damaged/nan_cells.wk1", lotus_file(0x0406, [(0, 0, "l", "A"), (1, 0, "n", float("nan")), (2, 0, "n", float("inf")),
                                                     (3, 0, "n", -2e307), (4, 0, "n", 1.5)]))
    out("damaged/page_in_wq1.wq1", lotus_file(0x5120, trial, extra=rec(0xCA, b"\0")))
    wb = notebook(0x1002)
    out("damaged/long_record.wb2", wb[:-4] + rec(0x0F, b"\0" * 8200) + rec(0x01))
    out("damaged/code_above_1200.wb2", wb[:-4] + rec(0x04B1, b"") + rec(0x01))
    # The largest RANGE a notebook can state, 256 columns by 65536 rows, is still within the limit.
    out("damaged/huge_range.wb2", wb[:6] + rec(0x06, P("<HHHH", 0, 0, 0x02FF, 0xFFFF)) + wb[18:])
    out("damaged/other_version.wb2", notebook(0x1005))
    q = qpw_notebook()
    out("damaged/lying_strings.qpw", q[:(at := q.index(b"\x07\x04")) + 4] + P("<I", 0x7FFFFFFF) + q[at + 8:])
    # A cell at the far corner of the grid (18 billion cells), and one beyond it, which is not read.
    at = q.index(rec(0x0602))
    for name, col, row in (("far_cell", 18000, 999990), ("beyond_grid", 3, 0x7FFFFFF0)):
        out(f"damaged/{name}.qpw", q[:at] + rec(0x0C75, P("<HIH", col, row, 0) + P("<d", 1.0)) + q[at:])
    out("damaged/bad_bof.qpw", b"\x01\x00\x0E\x00QPX\0" + q[8:])


def main():
    out("trial.wk1", lotus_file(0x0406, trial_cells()))
    out("numbers.wk1", lotus_file(0x0406, numbers_cells()))
    out("trial.wq1", lotus_file(0x5120, trial_cells()))
    out("book.wb1", notebook(0x1001))
    out("book.wb2", notebook(0x1002))
    out("protected.wb2", notebook(0x1002, protected=True))
    contained("book.wb3", "PerfectOffice_MAIN", notebook(0x1006))
    contained("book.qpw", "NativeContent_MAIN", qpw_notebook())
    out("bare.qpw", qpw_notebook())
    contained("letters.qpw", "NativeContent_MAIN", qpw_notebook(named=False, flag=1))
    contained("protected.qpw", "NativeContent_MAIN", qpw_notebook(protected=True))
    # A stream above the mini-stream cutoff, laid out in regular sectors.
    contained("big.wb3", "PerfectOffice_MAIN", notebook(0x1006)[:-4] + rec(0x0E9, bytes(100)) * 60 + rec(0x01))
    damaged()


if __name__ == "__main__":
    main()
