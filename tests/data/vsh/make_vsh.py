#!/usr/bin/python3
# Package spreadsheet files big-endian (the kinds files of ../csv/make_expected.py again) and hand-built structure
# kinds the CSV reader never makes. Run from here: /usr/bin/python3 make_vsh.py
import sys

sys.dont_write_bytecode = True  # no cache beside the samples
sys.path.insert(0, "../csv")
import make_expected as kinds
from make_expected import MAGIC, f64, i32, sstr


def header(version, kind, ncols, nrows):
    out = (i32(MAGIC[version]) if version else b"") + i32(kind, ncols, nrows) + f64(-1e307)
    return out + i32(*[0] * ((version >= 2) + 4 * (version >= 3)))


def column_head(version, t, count, name, rep):
    # Type, count, name, an empty description (version 3), representation, width 8, justification
    # (version 2), date word, flags and no further bytes (version 3).
    out = i32(t, count) + sstr(name, *[""] * (version >= 3)) + i32(rep, 8)
    return out + i32(*[0] * (version >= 2)) + i32(*[1, 0, 0] * (version >= 3))


def numeric_column(version, t, name, values, decimals=-1):
    return column_head(version, t, len(values), name, 1) + i32(decimals) + f64(*values)


def oneway_table(v):
    # The factor that classifies it and the body; versions 1 and 2 carry a name part that 3 leaves out.
    out = header(v, 5, 2, 3) + i32(1) + (i32(0) if v >= 3 else sstr("Counts") + i32(0) + sstr("Second"))
    out += column_head(v, 2, 3, "Colour", 4) + i32(3, 0, 3, *[2] * (v >= 2), 5) + sstr("red", "green", "blue") + f64(1, 2, 3)
    return out + numeric_column(v, 8, "Counts", [4.0, 0.0, 7.5], 1)


# Version 0: no magic, a symmetric matrix of 2 rows stored as full columns.
files = {"symmetric_v0.vsh": header(0, 3, 2, 2) + sstr("S") + i32(0) + numeric_column(0, 7, "A", [1.0, 2.0])
         + numeric_column(0, 7, "B", [2.0, 5.0])}
for kinds.ORDER, suffix in (("<", ""), (">", "_be")):
    for v in (1, 2, 3):
        files["oneway_v%d%s.vsh" % (v, suffix)] = oneway_table(v)
        if suffix:
            files["kinds_v%d_be.vsh" % v] = kinds.vsh(v)
for name, data in files.items():
    open(name, "wb").write(data)
