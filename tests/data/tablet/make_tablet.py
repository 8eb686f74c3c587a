#!/usr/bin/python3
# Tablet files built from the layout with struct (big-endian throughout), for the reader's
# tests and as the expected bytes of the writer. Run from this directory.
import struct

REAL, TEXT, INT = 0, 1, 2
DMISSING = b"\xff" * 8
IMISSING = -2147483647  # 0x80000001


def i32(v):
    return struct.pack(">i", v)


def text(s):
    if s is None:
        return i32(-1)
    b = s.encode()
    n = (len(b) // 4 + 1) * 4
    return i32(n) + b + b"\0" * (n - len(b))


def values(dtype, vals):
    out = i32(len(vals))
    for v in vals:
        if dtype == REAL:
            out += v if isinstance(v, bytes) else struct.pack(">d", v)
        elif dtype == INT:
            out += i32(v)
        else:
            out += text(v)
    return out


def attr_struct(name, dtype, n, ptr):
    return i32(n) + text(None) + text(name) + i32(dtype) + i32(dtype) + i32(ptr)


def tablet(pages, source="in.csv", bump=0):
    """pages: list of (kind, name, columns, page_attrs); a column is (name, kind, dtype, values,
    attrs); an attribute is (name, dtype, values). bump shifts every pointer number."""
    out = b"#!/usr/explorer/bin/explorer cxTablet binary 5.0\n\f\f\n"
    out += i32(len(pages)) + i32(0) + text("Vantrix") + text(source) + i32(0) + i32(0) + text(None)
    out += i32(0) + i32(-1) + i32(len(pages))
    # Pointer numbers in the order the structures come.
    ptr = bump
    numbers = []
    for kind, name, cols, pattrs in pages:
        ptr += 1
        colp = ptr
        ptr += 1
        numbers.append([colp, ptr])
    for p, (kind, name, cols, pattrs) in enumerate(pages):
        out += i32(len(cols)) + i32(numbers[p][0]) + text(kind) + text(name) + i32(0) + i32(len(pattrs))
        out += i32(numbers[p][1])
    # Column values and attribute structures, then page attribute values, then column
    # attribute values.
    col_ptrs, pattr_ptrs, cattr_ptrs = [], [], []
    for kind, name, cols, pattrs in pages:
        cp = []
        for c in cols:
            ptr += 1
            v = ptr
            ptr += 1
            cp.append((v, ptr))
        col_ptrs.append(cp)
        pattr_ptrs.append([])
        for a in pattrs:
            ptr += 1
            pattr_ptrs[-1].append(ptr)
    for kind, name, cols, pattrs in pages:
        cap = []
        for c in cols:
            cap.append([])
            for a in c[4]:
                ptr += 1
                cap[-1].append(ptr)
        cattr_ptrs.append(cap)
    for p, (kind, name, cols, pattrs) in enumerate(pages):
        if not cols:
            continue
        out += i32(len(cols))
        for k, (cname, ckind, dtype, vals, attrs) in enumerate(cols):
            v, a = col_ptrs[p][k]
            out += i32(len(vals)) + text(cname) + text(ckind) + i32(dtype) + i32(0) + i32(dtype) + i32(v)
            out += i32(len(attrs)) + i32(a)
        out += i32(len(pattrs))
        for k, (aname, dtype, vals) in enumerate(pattrs):
            out += attr_struct(aname, dtype, len(vals), pattr_ptrs[p][k])
    for p, (kind, name, cols, pattrs) in enumerate(pages):
        if not cols:
            continue
        for k, (cname, ckind, dtype, vals, attrs) in enumerate(cols):
            out += values(dtype, vals)
            out += i32(len(attrs))
            for j, (aname, adtype, avals) in enumerate(attrs):
                out += attr_struct(aname, adtype, len(avals), cattr_ptrs[p][k][j])
        for aname, dtype, vals in pattrs:
            out += values(dtype, vals)
    for p, (kind, name, cols, pattrs) in enumerate(pages):
        for cname, ckind, dtype, vals, attrs in cols:
            for aname, adtype, avals in attrs:
                out += values(adtype, avals)
    return out


PAGE_ATTRS = [("A_MVREAL", REAL, [DMISSING]), ("A_MVINT", INT, [IMISSING]), ("A_MVTEXT", TEXT, ["(null)"])]


def plain_attrs(n):
    return [("A_NVAL", INT, [n]), ("A_PREM", INT, [1]), ("A_POSTM", INT, [1]), ("A_NDIM", INT, [1]),
            ("A_SHAPE", TEXT, ["1d"])]


# One variate of three values, the middle one missing: what the writer must produce.
one = tablet([("datamatrix", None, [("x", "variate", REAL, [1.5, DMISSING, 3.0], plain_attrs(3))], PAGE_ATTRS)])
open("one_variate.ktb", "wb").write(one)

# Two pages: a data page and a column matrix with a column factor name.
factor_attrs = [("A_NVAL", INT, [4]), ("A_PREM", INT, [1]), ("A_POSTM", INT, [1]), ("A_NLEVEL", INT, [2]),
                ("A_LEVELS", REAL, [5.0, 10.0]), ("A_LABELS", TEXT, ["low", "high"]), ("A_NDIM", INT, [1]),
                ("A_SHAPE", TEXT, ["1d"])]
page1 = ("datamatrix", "First", [
    ("dose", "factor", INT, [1, 2, IMISSING, 2], factor_attrs),
    ("who", "text", TEXT, ["ann", "(null)", None, "a longer text"], plain_attrs(4)),
    ("count", None, INT, [3, IMISSING, 5, 7], plain_attrs(4)),
], PAGE_ATTRS)
page2 = ("colmatrix", "Second", [
    ("c1", "variate", REAL, [1.0, 2.0], plain_attrs(2)),
    ("c2", "variate", REAL, [3.0, 1e308], plain_attrs(2)),
], [("A_NDIM", INT, [2])] + PAGE_ATTRS + [("A_COLFACTORNAME", TEXT, ["Treatment"])])
open("two_pages.ktb", "wb").write(tablet([page1, page2]))
# The same with every pointer number one off: read with the mismatch messages.
open("pointers_off.ktb", "wb").write(tablet([page1], bump=1))
