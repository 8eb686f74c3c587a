#!/usr/bin/python3
"""Package spreadsheet files in the other byte order, and hand-built files of the structure
kinds the CSV reader never makes. Every 32-bit word and double is swapped by walking the
layout; texts stay as they are.

Run from this directory: /usr/bin/python3 make_vsh.py
"""
import struct

MAGIC = {1: 53315331, 2: 53325332, 3: 54415441}


class Walk:
    """Copies a little-endian file to big-endian, field by field."""

    def __init__(self, data):
        self.d, self.p, self.out = data, 0, b""

    def take(self, fmt, n=1):
        for _ in range(n):
            (v,) = struct.unpack_from("<" + fmt, self.d, self.p)
            self.p += struct.calcsize(fmt)
            self.out += struct.pack(">" + fmt, v)
        return v if n else None

    def i32(self, n=1): return self.take("i", n)
    def f64(self, n=1): return self.take("d", n)

    def raw(self, n):
        self.out += self.d[self.p:self.p + n]
        self.p += n

    def str(self, n=1):
        for _ in range(n):
            self.raw(self.i32())


def swap(data):
    w = Walk(data)
    version = {v: k for k, v in MAGIC.items()}.get(struct.unpack_from("<i", data, 0)[0], 0)
    if version:
        w.i32()
    kind, ncols, nrows = w.i32(), w.i32(), w.i32()
    w.f64()
    w.i32((version >= 2) + 3 * (version >= 3))
    if version >= 3:
        w.raw(w.i32())
    dims = form = 0
    if kind in (2, 3):
        w.str()
        w.i32()
    elif kind == 5:
        dims = w.i32()
        if version >= 3:
            w.i32(1 + (dims == 2))
        if dims == 2 or version < 3:
            w.str()
            form = w.i32()
            w.str()
    for _ in range(ncols):
        t, count = w.i32(), w.i32()
        if t == 21:
            w.i32(count)
            continue
        w.str(1 + (version >= 3))
        w.i32(2 + (version >= 2) + 2 * (version >= 3))
        if version >= 3:
            w.raw(w.i32())
        if t in (3, -3):
            w.i32()
            w.str(count)
            continue
        if t == 2:
            n, vp, bp = w.i32(), w.i32(), w.i32()
            w.i32((version >= 2) + bool(vp) + bool(bp))
            w.f64(vp)
            w.str(bp)
        else:
            w.f64(t == 8 and kind == 5 and dims == 2 and form == 3)
            w.i32()
        w.f64(count)
    w.raw(len(data) - w.p)  # the trailer is not read; its words stay as they are
    return w.out


def i32(*vs): return b"".join(struct.pack("<i", v) for v in vs)
def f64(*vs): return b"".join(struct.pack("<d", v) for v in vs)
def sstr(*ss): return b"".join(i32(len(s)) + s.encode() for s in ss)


def header(version, kind, ncols, nrows):
    out = (i32(MAGIC[version]) if version else b"") + i32(kind, ncols, nrows) + f64(-1e307)
    return out + i32(*[0] * ((version >= 2) + 4 * (version >= 3)))


def column_head(version, t, count, name, rep):
    """Type, count, name, an empty description (version 3), representation, width 8,
    justification (version 2), date word, flags and no further bytes (version 3)."""
    out = i32(t, count) + sstr(name) + (sstr("") if version >= 3 else b"") + i32(rep, 8)
    return out + (i32(0) if version >= 2 else b"") + (i32(1, 0, 0) if version >= 3 else b"")


def numeric_column(version, t, name, values, decimals=-1):
    return column_head(version, t, len(values), name, 1) + i32(decimals) + f64(*values)


def oneway_table(version):
    """A one-way table: the factor that classifies it and the body. Versions 1 and 2 carry a
    name part that version 3 leaves out."""
    out = header(version, 5, 2, 3) + i32(1)
    out += i32(0) if version >= 3 else sstr("Counts") + i32(0) + sstr("Second")
    fac = column_head(version, 2, 3, "Colour", 4) + i32(3, 0, 3) + (i32(2) if version >= 2 else b"")
    fac += i32(5) + sstr("red", "green", "blue") + f64(1, 2, 3)
    return out + fac + numeric_column(version, 8, "Counts", [4.0, 0.0, 7.5], 1)


def symmetric_headerless():
    """Version 0: no magic, a symmetric matrix of 2 rows stored as full columns."""
    out = header(0, 3, 2, 2) + sstr("S") + i32(0)
    return out + numeric_column(0, 7, "A", [1.0, 2.0]) + numeric_column(0, 7, "B", [2.0, 5.0])


if __name__ == "__main__":
    files = {"symmetric_v0.vsh": symmetric_headerless()}
    for v in (1, 2, 3):
        with open("../csv/kinds_v%d.vsh" % v, "rb") as f:
            files["kinds_v%d_be.vsh" % v] = swap(f.read())
        files["oneway_v%d.vsh" % v] = oneway_table(v)
        files["oneway_v%d_be.vsh" % v] = swap(oneway_table(v))
    for name, data in files.items():
        with open(name, "wb") as f:
            f.write(data)
