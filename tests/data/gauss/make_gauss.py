#!/usr/bin/python3
# Builds the Gauss test files from the published layouts with struct.pack, and an .expect file per data
# set: one line per row, cells separated by tabs, NA for missing. Run from here: /usr/bin/python3 make_gauss.py
import math
import struct

MISSING = b"\xff\xff\xff\x7f\x00\x00\x00\x00"  # Gauss's missing value as PC Gauss writes it
NAN_BE = b"\x7f\xff\xff\xff\xff\xff\xff\xff"


def num(v, order="<", size=8):
    if v is None:
        return struct.pack(order + "f", math.nan) if size == 4 else MISSING if order == "<" else NAN_BE
    return struct.pack(order + {8: "d", 4: "f", 2: "h"}[size], v)


def write(name, head, rows, order="<", size=8, data_name=None):  # texts padded to the element size
    body = b"".join(v.encode().ljust(size, b"\0") if isinstance(v, str) else num(v, order, size) for row in rows for v in row)
    if data_name:
        open(data_name, "wb").write(body)
    open(name, "wb").write(head + (b"" if data_name else body))
    with open(name.rsplit(".", 1)[0] + ".expect", "w") as f:
        f.writelines("\t".join("NA" if v is None else v if isinstance(v, str) else repr(float(v)) for v in r) + "\n"
                     for r in rows)


def names(vars_, types=False):
    return b"".join(n.encode().ljust(8, b"\0") for n, _ in vars_) + (bytes(t != "c" for _, t in vars_) if types else b"")


MATRIX = [[1.5, -2.0, 1e300], [0.25, None, 3.0], [-7.0, 8.0, 12345.678], [1e-5, 2.0, -1e305]]
DATASET = [["ann", 1.0, 170.5], ["bob", 2.0, None], ["cy", 3.0, 181.25]]
VARS = [("name", "c"), ("ID", "n"), ("HEIGHT", "n")]
R, C = len(MATRIX), len(MATRIX[0])

# Matrices: small header (rows, columns, data size, type 0x86) and large header.
write("matrix_small.fmt", struct.pack("<8H", 0xDDDD, R, C, R * C * 8, 0x86, 0, 0, 0), MATRIX)
write("matrix_large.fmt", struct.pack("<4I", 0x0086EEDD, R, C, R * C * 8), MATRIX)

# 1996 header: FF FF FF FF, a zero word, 12 bytes, a word, the byte-order mark, 16 bytes, element size,
# rows, columns, zero fill to 128; data sets add names and type bytes.
for name, rows, order, dataset in (("matrix_v96_le.fmt", MATRIX, "<", None), ("matrix_v96_be.fmt", MATRIX, ">", None),
                                   ("dataset_v96.dat", DATASET, "<", VARS)):
    head = b"\xff\xff\xff\xff" + b"\0" * 16 + struct.pack(order + "2I", 128, 0xABCDEF02 if dataset else 0xABCDEF01)
    head += b"\0" * 16 + struct.pack(order + "3I", 8, len(rows), len(rows[0]))
    write(name, head.ljust(128, b"\0") + (names(dataset, True) if dataset else b""), rows, order)

# 1989 header (.dht, small): DA DA, 4 bytes, variables, 4 bytes, element size, 8 bytes, flags, zero fill
# to 128, then 8-byte names; the data in the .dat file beside it.
for base, vars_, rows, size, large in (("trial89", ["name", "ID", "HEIGHT"], DATASET, 8, False),
                                       ("ints89", ["A", "B"], [[1, -2], [300, 0], [-32000, 7]], 2, False),
                                       ("large89", ["X", "Y"], [[0.5, 1.5], [2.5, None]], 4, True)):
    head = (struct.pack("<HH4xI16xH", 0xEEDA, size, len(vars_), 0) if large
            else struct.pack("<H4xH4xH8xH", 0xDADA, len(vars_), size, 0))
    write(base + ".dht", head.ljust(128, b"\0") + names([(v, "n") for v in vars_]), rows, "<", size, base + ".dat")

# 1992 data set: 00 00 00 00, the mark EECACACA, 12 bytes, rows, columns, zero, element size,
# zero fill to 128, names, one type byte per variable (0 character, 1 numeric), data.
head = struct.pack("<4xI12x4I", 0xEECACACA, len(DATASET), len(VARS), 0, 8)
write("dataset_v92.dat", head.ljust(128, b"\0") + names(VARS, True), DATASET)
