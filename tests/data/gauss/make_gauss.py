#!/usr/bin/python3
"""Builds the Gauss test files from the published layouts with struct.pack, and an .expect
file per data set: one line per row, cells separated by tabs, NA for missing.

Run from this directory: /usr/bin/python3 make_gauss.py
"""
import math
import struct

MISSING = b"\xff\xff\xff\x7f\x00\x00\x00\x00"  # Gauss's missing value as PC Gauss writes it
NAN_BE = b"\x7f\xff\xff\xff\xff\xff\xff\xff"


def cell(v):
    if v is None or (isinstance(v, float) and (math.isnan(v) or math.isinf(v))):
        return "NA"
    if isinstance(v, str):
        return v
    return repr(float(v))


def expect(name, rows):
    with open(name + ".expect", "w") as f:
        for r in rows:
            f.write("\t".join(cell(v) for v in r) + "\n")


def num(v, order="<", size=8):
    if v is None and size == 4:
        return struct.pack(order + "f", math.nan)
    if v is None:
        return MISSING if order == "<" else NAN_BE
    code = {8: "d", 4: "f", 2: "h"}[size]
    return struct.pack(order + code, v)


MATRIX = [[1.5, -2.0, 1e300], [0.25, None, 3.0], [-7.0, 8.0, 12345.678], [1e-5, 2.0, -1e305]]

# Matrix, small header: rows, columns, data size, type 0x86.
def small_matrix(name, rows):
    r, c = len(rows), len(rows[0])
    out = struct.pack("<8H", 0xDDDD, r, c, r * c * 8, 0x86, 0, 0, 0)
    out += b"".join(num(v) for row in rows for v in row)
    open(name, "wb").write(out)
    expect(name.rsplit(".", 1)[0], rows)


def large_matrix(name, rows):
    r, c = len(rows), len(rows[0])
    out = struct.pack("<4I", 0x0086EEDD, r, c, r * c * 8)
    out += b"".join(num(v) for row in rows for v in row)
    open(name, "wb").write(out)
    expect(name.rsplit(".", 1)[0], rows)


# 1996 header: FF FF FF FF, a zero word, 12 bytes, a word, the byte-order mark, 16 bytes,
# element size, rows, columns, zero fill to 128; data sets add names and type bytes.
def v96(name, rows, order, dataset=None):
    r, c = len(rows), len(rows[0])
    mark = 0xABCDEF02 if dataset else 0xABCDEF01
    head = b"\xff\xff\xff\xff" + b"\0" * 4 + b"\0" * 12 + struct.pack(order + "I", 128)
    head += struct.pack(order + "I", mark) + b"\0" * 16 + struct.pack(order + "3I", 8, r, c)
    head += b"\0" * (128 - len(head))
    body = b""
    if dataset:
        body += b"".join(n.encode().ljust(8, b"\0") for n, _ in dataset)
        body += bytes(0 if t == "c" else 1 for _, t in dataset)
    for row in rows:
        for v in row:
            body += v.encode().ljust(8, b"\0") if isinstance(v, str) else num(v, order)
    open(name, "wb").write(head + body)
    expect(name.rsplit(".", 1)[0], rows)


DATASET = [["ann", 1.0, 170.5], ["bob", 2.0, None], ["cy", 3.0, 181.25]]
VARS = [("name", "c"), ("ID", "n"), ("HEIGHT", "n")]


# 1989 header (.dht, small): DA DA, 4 bytes, variables, 4 bytes, element size, 8 bytes, flags,
# zero fill to 128, then 8-byte names; the data in the .dat file beside it.
def v89(base, vars_, rows, size=8, large=False, flags=0):
    if large:
        head = struct.pack("<HH", 0xEEDA, size) + b"\0" * 4 + struct.pack("<I", len(vars_))
        head += b"\0" * 16 + struct.pack("<H", flags)
    else:
        head = struct.pack("<H", 0xDADA) + b"\0" * 4 + struct.pack("<H", len(vars_))
        head += b"\0" * 4 + struct.pack("<H", size) + b"\0" * 8 + struct.pack("<H", flags)
    head += b"\0" * (128 - len(head))
    head += b"".join(n.encode().ljust(8, b"\0") for n in vars_)
    open(base + ".dht", "wb").write(head)
    body = b""
    for row in rows:
        for v in row:
            body += v.encode().ljust(size, b"\0") if isinstance(v, str) else num(v, "<", size)
    open(base + ".dat", "wb").write(body)
    expect(base, rows)


# 1992 data set: 00 00 00 00, the mark EECACACA, 12 bytes, rows, columns, zero, element size,
# zero fill to 128, names, one type byte per variable (0 character, 1 numeric), data.
def v92(name, vars_, rows):
    head = b"\0" * 4 + struct.pack("<I", 0xEECACACA) + b"\0" * 12
    head += struct.pack("<4I", len(rows), len(vars_), 0, 8)
    head += b"\0" * (128 - len(head))
    head += b"".join(n.encode().ljust(8, b"\0") for n, _ in vars_)
    head += bytes(0 if t == "c" else 1 for _, t in vars_)
    body = b""
    for row in rows:
        for v in row:
            body += v.encode().ljust(8, b"\0") if isinstance(v, str) else num(v)
    open(name, "wb").write(head + body)
    expect(name.rsplit(".", 1)[0], rows)


small_matrix("matrix_small.fmt", MATRIX)
large_matrix("matrix_large.fmt", MATRIX)
v96("matrix_v96_le.fmt", MATRIX, "<")
v96("matrix_v96_be.fmt", MATRIX, ">")
v96("dataset_v96.dat", DATASET, "<", VARS)
v89("trial89", ["name", "ID", "HEIGHT"], DATASET)
v89("ints89", ["A", "B"], [[1, -2], [300, 0], [-32000, 7]], size=2)
v89("large89", ["X", "Y"], [[0.5, 1.5], [2.5, None]], size=4, large=True)
v92("dataset_v92.dat", VARS, DATASET)
