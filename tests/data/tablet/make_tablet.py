#!/usr/bin/python3
# Tablet files built from the layout with struct (big-endian throughout), for the reader's tests and as
# the expected bytes of the writer. Run from this directory.
import struct

REAL, TEXT, INT = 0, 1, 2
DMISSING = b"\xff" * 8
IMISSING = -2147483647  # 0x80000001


def i32(*vs): return struct.pack(">%di" % len(vs), *vs)
def text(s): return i32(-1) if s is None else i32((len(s) // 4 + 1) * 4) + s.encode().ljust((len(s) // 4 + 1) * 4, b"\0")


def values(dtype, vals):
    item = {REAL: lambda v: v if isinstance(v, bytes) else struct.pack(">d", v), INT: i32, TEXT: text}[dtype]
    return i32(len(vals)) + b"".join(item(v) for v in vals)


def attr_structs(attrs, ptrs):
    return b"".join(i32(len(v)) + text(None) + text(n) + i32(t, t, p) for (n, t, v), p in zip(attrs, ptrs))


def tablet(pages, source="in.csv", bump=0):
    """pages: (kind, name, columns, page_attrs); a column is (name, kind, dtype, values, attrs); an
    attribute is (name, dtype, values). bump shifts every pointer number."""
    out = b"#!/usr/explorer/bin/explorer cxTablet binary 5.0\n\f\f\n"
    out += i32(len(pages), 0) + text("Vantrix") + text(source) + i32(0, 0) + text(None) + i32(0, -1, len(pages))
    # Pointer numbers in the order the structures come: the pages', each page's columns' (values,
    # attributes) and page attributes', then the column attributes'.
    ptr = iter(range(bump + 1, 1 << 20))
    page_ptrs = [(next(ptr), next(ptr)) for _ in pages]
    col_ptrs = [([(next(ptr), next(ptr)) for _ in cols], [next(ptr) for _ in pattrs]) for _, _, cols, pattrs in pages]
    cattr_ptrs = [[[next(ptr) for _ in c[4]] for c in cols] for _, _, cols, _ in pages]
    for (kind, name, cols, pattrs), (cp, ap) in zip(pages, page_ptrs):
        out += i32(len(cols), cp) + text(kind) + text(name) + i32(0, len(pattrs), ap)
    # Column and page attribute structures, then page by page the values, then column attributes.
    for (_, _, cols, pattrs), (cps, pps) in zip(pages, col_ptrs):
        out += i32(len(cols)) + b"".join(i32(len(vals)) + text(cname) + text(ckind) + i32(dtype, 0, dtype, v, len(attrs), a)
                                         for (cname, ckind, dtype, vals, attrs), (v, a) in zip(cols, cps))
        out += i32(len(pattrs)) + attr_structs(pattrs, pps)
    for (_, _, cols, pattrs), caps in zip(pages, cattr_ptrs):
        out += b"".join(values(dtype, vals) + i32(len(attrs)) + attr_structs(attrs, ps)
                        for (_, _, dtype, vals, attrs), ps in zip(cols, caps))
        out += b"".join(values(t, v) for _, t, v in pattrs)
    return out + b"".join(values(t, v) for _, _, cols, _ in pages for c in cols for _, t, v in c[4])


PAGE_ATTRS = [("A_MVREAL", REAL, [DMISSING]), ("A_MVINT", INT, [IMISSING]), ("A_MVTEXT", TEXT, ["(null)"])]


def plain_attrs(n, *more):
    return [("A_NVAL", INT, [n]), ("A_PREM", INT, [1]), ("A_POSTM", INT, [1]), *more, ("A_NDIM", INT, [1]),
            ("A_SHAPE", TEXT, ["1d"])]


# One variate of three values, the middle one missing: what the writer must produce.
open("one_variate.ktb", "wb").write(
    tablet([("datamatrix", None, [("x", "variate", REAL, [1.5, DMISSING, 3.0], plain_attrs(3))], PAGE_ATTRS)]))
# Two pages: a data page and a column matrix with a column factor name.
factor_attrs = plain_attrs(4, ("A_NLEVEL", INT, [2]), ("A_LEVELS", REAL, [5.0, 10.0]), ("A_LABELS", TEXT, ["low", "high"]))
page1 = ("datamatrix", "First", [("dose", "factor", INT, [1, 2, IMISSING, 2], factor_attrs),
                                 ("who", "text", TEXT, ["ann", "(null)", None, "a longer text"], plain_attrs(4)),
                                 ("count", None, INT, [3, IMISSING, 5, 7], plain_attrs(4))], PAGE_ATTRS)
page2 = ("colmatrix", "Second", [("c1", "variate", REAL, [1.0, 2.0], plain_attrs(2)),
                                 ("c2", "variate", REAL, [3.0, 1e308], plain_attrs(2))],
         [("A_NDIM", INT, [2])] + PAGE_ATTRS + [("A_COLFACTORNAME", TEXT, ["Treatment"])])
open("two_pages.ktb", "wb").write(tablet([page1, page2]))
open("pointers_off.ktb", "wb").write(tablet([page1], bump=1))  # every pointer number one off: mismatch messages
