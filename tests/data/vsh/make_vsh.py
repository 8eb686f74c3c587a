#!/usr/bin/python3
"""Package spreadsheet files in the other byte order, and hand-built files of the structure
kinds the CSV reader never makes. Every 32-bit word and double is swapped by walking the
layout; texts stay as they are.

Run from this directory: /usr/bin/python3 make_vsh.py
"""
import struct

MAGIC = {53315331: 1, 53325332: 2, 54415441: 3}
MISSING = -1e307


class Walk:
    """Copies a little-endian file to big-endian, field by field."""

    def __init__(self, data):
        self.d, self.p, self.out = data, 0, b""

    def i32(self):
        (v,) = struct.unpack_from("<i", self.d, self.p)
        self.p += 4
        self.out += struct.pack(">i", v)
        return v

    def f64(self):
        (v,) = struct.unpack_from("<d", self.d, self.p)
        self.p += 8
        self.out += struct.pack(">d", v)
        return v

    def raw(self, n):
        self.out += self.d[self.p:self.p + n]
        self.p += n

    def str(self):
        self.raw(self.i32())


def swap(data):
    w = Walk(data)
    version = MAGIC.get(struct.unpack_from("<i", data, 0)[0], 0)
    if version:
        w.i32()
    kind, ncols, nrows = w.i32(), w.i32(), w.i32()
    w.f64()
    if version >= 2:
        w.i32()
    if version >= 3:
        w.i32(), w.i32(), w.i32()
        w.raw(w.i32())
    dims = form = 0
    if kind in (2, 3):
        w.str()
        w.i32()
    elif kind == 5:
        dims = w.i32()
        if version >= 3:
            w.i32()
            if dims == 2:
                w.i32()
        if dims == 2 or version < 3:
            w.str()
            form = w.i32()
            w.str()
    for _ in range(ncols):
        t, count = w.i32(), w.i32()
        if t == 21:
            for _ in range(count):
                w.i32()
            continue
        w.str()
        if version >= 3:
            w.str()
        w.i32(), w.i32()
        if version >= 2:
            w.i32()
        if version >= 3:
            w.i32(), w.i32()
            w.raw(w.i32())
        if t in (3, -3):
            w.i32()
            for _ in range(count):
                w.str()
            continue
        if t == 2:
            n, vp, bp = w.i32(), w.i32(), w.i32()
            if version >= 2:
                w.i32()
            if vp:
                w.i32()
            if bp:
                w.i32()
            for _ in range(vp):
                w.f64()
            for _ in range(bp):
                w.str()
        else:
            if t == 8 and kind == 5 and dims == 2 and form == 3:
                w.f64()
            w.i32()
        for _ in range(count):
            w.f64()
    w.raw(len(data) - w.p)  # the trailer is not read; its words stay as they are
    return w.out


def i32(v): return struct.pack("<i", v)
def f64(v): return struct.pack("<d", v)
def sstr(s): return i32(len(s)) + s.encode()


def numeric_column(version, t, name, values, decimals=-1):
    out = i32(t) + i32(len(values)) + sstr(name)
    if version >= 3:
        out += sstr("")
    out += i32(1) + i32(8)
    if version >= 2:
        out += i32(0)
    if version >= 3:
        out += i32(1) + i32(0) + i32(0)
    out += i32(decimals) + b"".join(f64(v) for v in values)
    return out


def header(version, kind, ncols, nrows):
    magic = {1: 53315331, 2: 53325332, 3: 54415441}
    out = (i32(magic[version]) if version else b"") + i32(kind) + i32(ncols) + i32(nrows) + f64(MISSING)
    if version >= 2:
        out += i32(0)
    if version >= 3:
        out += i32(0) * 4
    return out


def oneway_table(version):
    """A one-way table: the factor that classifies it and the body. Versions 1 and 2 carry a
    name part that version 3 leaves out."""
    out = header(version, 5, 2, 3) + i32(1)
    if version >= 3:
        out += i32(0)
    else:
        out += sstr("Counts") + i32(0) + sstr("Second")
    fac = i32(2) + i32(3) + sstr("Colour")
    if version >= 3:
        fac += sstr("")
    fac += i32(4) + i32(8)
    if version >= 2:
        fac += i32(0)
    if version >= 3:
        fac += i32(1) + i32(0) + i32(0)
    fac += i32(3) + i32(0) + i32(3)
    if version >= 2:
        fac += i32(2)
    fac += i32(5) + sstr("red") + sstr("green") + sstr("blue")
    fac += f64(1) + f64(2) + f64(3)
    return out + fac + numeric_column(version, 8, "Counts", [4.0, 0.0, 7.5], 1)


def symmetric_headerless():
    """Version 0: no magic, a symmetric matrix of 2 rows stored as full columns."""
    out = header(0, 3, 2, 2) + sstr("S") + i32(0)
    return out + numeric_column(0, 7, "A", [1.0, 2.0]) + numeric_column(0, 7, "B", [2.0, 5.0])


if __name__ == "__main__":
    for v in (1, 2, 3):
        with open("../csv/kinds_v%d.vsh" % v, "rb") as f:
            data = f.read()
        with open("kinds_v%d_be.vsh" % v, "wb") as f:
            f.write(swap(data))
        with open("oneway_v%d.vsh" % v, "wb") as f:
            f.write(oneway_table(v))
        with open("oneway_v%d_be.vsh" % v, "wb") as f:
            f.write(swap(oneway_table(v)))
    with open("symmetric_v0.vsh", "wb") as f:
        f.write(symmetric_headerless())
