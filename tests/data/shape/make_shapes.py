# Shapefiles of all thirteen shape types written by pyshp, and for each an .expect file of the
# rows pyshp itself reads back: REC PART TYPE PNT X Y M Z (missing as *), then the attributes.
import shutil

import shapefile as T

ATTRS = [("alpha", 1, 0.5, True, "20240131"), ("beta  gamma", -20, 12.25, False, "19991231"),
         ("", None, None, None, None)]
SQUARE = [[0, 0], [0, 10], [10, 10], [10, 0], [0, 0]]
HOLE = [[2, 2], [4, 2], [4, 4], [2, 4], [2, 2]]
LINE1, LINE2 = [[1, 1], [2, 3], [4, 4]], [[5, 5], [6, 7]]
TRI = [[0, 0, 1], [1, 0, 2], [0, 1, 3], [1, 1, 4]]
WITH_Z = (T.POINTZ, T.MULTIPOINTZ, T.POLYLINEZ, T.POLYGONZ, T.MULTIPATCH)


with_m = lambda pts, base: [p + [base + i] for i, p in enumerate(pts)]
with_zm = lambda pts, base: [p + [100 + base + i, base + i] for i, p in enumerate(pts)]


def make(name, kind, shapes):
    w = T.Writer(name, shapeType=kind)
    for args in (("NAME", "C", 12), ("COUNT", "N", 6, 0), ("RATIO", "F", 10, 3), ("OK", "L", 1), ("WHEN", "D")):
        w.field(*args)
    for i, add in enumerate(shapes):
        add(w)
        w.record(*ATTRS[i % len(ATTRS)])
    w.close()


make("point", T.POINT, [lambda w: w.point(1.5, 2.5), lambda w: w.point(-3, 4e6), lambda w: w.point(0, 0)])
make("pointm", T.POINTM, [lambda w: w.pointm(1, 2, 3), lambda w: w.pointm(4, 5, 6)])
make("pointz", T.POINTZ, [lambda w: w.pointz(1, 2, 3, 4), lambda w: w.pointz(5, 6, 7, 8)])
make("multipoint", T.MULTIPOINT, [lambda w: w.multipoint([[1, 2], [3, 4], [5, 6]]), lambda w: w.multipoint([[7, 8]])])
make("multipointm", T.MULTIPOINTM, [lambda w: w.multipointm(with_m([[1, 2], [3, 4]], 10))])
make("multipointz", T.MULTIPOINTZ, [lambda w: w.multipointz(with_zm([[1, 2], [3, 4]], 10))])
make("polyline", T.POLYLINE, [lambda w: w.line([LINE1, LINE2]), lambda w: w.line([LINE2])])
make("polylinem", T.POLYLINEM, [lambda w: w.linem([with_m(LINE1, 1), with_m(LINE2, 5)])])
make("polylinez", T.POLYLINEZ, [lambda w: w.linez([with_zm(LINE1, 1)])])
make("polygon", T.POLYGON, [lambda w: w.poly([SQUARE, HOLE]), lambda w: w.poly([HOLE])])
make("polygonm", T.POLYGONM, [lambda w: w.polym([with_m(SQUARE, 1)])])
make("polygonz", T.POLYGONZ, [lambda w: w.polyz([with_zm(SQUARE, 1), with_zm(HOLE, 7)])])
make("multipatch", T.MULTIPATCH, [lambda w: w.multipatch([TRI, [p[:] for p in TRI]], partTypes=[T.TRIANGLE_STRIP, T.TRIANGLE_FAN])])


def dbf_layout(raw):
    """Header length, record length and record count of a dBase table."""
    return int.from_bytes(raw[8:10], "little"), int.from_bytes(raw[10:12], "little"), int.from_bytes(raw[4:8], "little")


# Every shape of the polygon file keeps its attributes when the second record is deleted.
for ext in ("shp", "shx", "dbf"):
    shutil.copy("polygon." + ext, "deleted_record." + ext)
with open("deleted_record.dbf", "r+b") as f:
    header_len, rec_len, _ = dbf_layout(f.read(12))
    f.seek(header_len + rec_len)
    f.write(b"*")


def expect(name):
    r = T.Reader(name)
    kind, raw, out = r.shapeType, open(name + ".dbf", "rb").read(), []
    has_m = kind in (T.POINTM, T.MULTIPOINTM, T.POLYLINEM, T.POLYGONM) + WITH_Z
    header_len, rec_len, nrec = dbf_layout(raw)
    deleted = {i for i in range(nrec) if raw[header_len + i * rec_len:header_len + i * rec_len + 1] == b"*"}
    fmt = lambda v: "*" if v is None else repr(float(v))
    # pyshp's own pairing passes over deleted records; here every shape keeps its row.
    for i, s in enumerate(r.shapes()):
        rec = None if i in deleted else r.record(i)
        parts, ptypes, part, pnt = list(getattr(s, "parts", [0])) or [0], list(getattr(s, "partTypes", [])), 0, 0
        for k, p in enumerate(s.points):
            if part < len(parts) and k == parts[part]:
                part, pnt = part + 1, 0
            pnt += 1
            partv, pntv = (("*", k + 1) if kind in (T.MULTIPOINT, T.MULTIPOINTM, T.MULTIPOINTZ)
                           else ("*", "*") if kind in (T.POINT, T.POINTM, T.POINTZ) else (part, pnt))
            m = s.m[k] if has_m and hasattr(s, "m") and s.m else None
            attrs = ["", "*", "*", "*", "*"] if i in deleted else [
                rec[0].rstrip(), fmt(rec[1]), fmt(rec[2]), "*" if rec[3] is None else ("1.0" if rec[3] else "0.0"),
                "*" if rec[4] is None else rec[4].isoformat()]
            row = [str(i + 1), str(partv), str(ptypes[part - 1] + 1 if ptypes else "*"), str(pntv), fmt(p[0]), fmt(p[1]),
                   fmt(m) if has_m else "*", fmt(s.z[k]) if kind in WITH_Z else "*"] + attrs
            out.append("|".join(row))
    open(name + ".expect", "w").write("\n".join(out) + "\n")


for n in ("point", "pointm", "pointz", "multipoint", "multipointm", "multipointz", "polyline", "polylinem",
          "polylinez", "polygon", "polygonm", "polygonz", "multipatch", "deleted_record"):
    expect(n)
