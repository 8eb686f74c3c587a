#!/usr/bin/python3
# One data set as Stata files of releases 103 to 110 in both byte orders (no tool writes these), from the published
# layouts; make_stata.sh checks them with R's foreign and ReadStat. Usage: make_dta.py (writes s<release>_<le|be>.dta)
import struct

# Name, type byte (b i l f d, and 127 + width for strings), label, cells; the float and double missing
# values are 2**127 and 2**1023.
MISS_B, MISS_I, MISS_L, MISS_F, MISS_D = 127, 32767, 2147483647, 2.0 ** 127, 2.0 ** 1023
VARS = [
    ("tiny", ord("b"), "A byte", [1, -127, MISS_B, 100, 2]),
    ("small", ord("i"), "A 2-byte integer", [300, -32767, MISS_I, 32766, 0]),
    ("whole", ord("l"), "A 4-byte integer", [70000, -2147483647, MISS_L, 2147483646, 5]),
    ("single", ord("f"), "A float", [1.5, -0.25, MISS_F, 1.7e38, 3.0e38]),
    ("double", ord("d"), "A double", [2.125, -1e100, MISS_D, 1e101, 1e-300]),
    ("text", 127 + 10, "Ten characters", [b"hello", b"", b"0123456789", b"  pad  ", b"x"]),
    ("grade", ord("b"), "Grade with labels", [1, 2, 3, MISS_B, 1]),
    ("nolab", ord("b"), "Tied to a missing table", [4, 5, 4, 5, MISS_B]),
]
LABEL_NAMES = {"grade": "gradelab", "nolab": "absent"}
TABLE_NAME, VALUES, LABELS = "gradelab", [1, 2, 3], [b"Good", b"Fair", b"Poor"]


def pad(text, width): return (text.encode() if isinstance(text, str) else text)[:width].ljust(width, b"\0")


def write(release, order):
    e = "<" if order == "le" else ">"
    fmt = 3 if release in (103, 104) else 5 if release in (105, 106) else 6 if release == 108 else 7
    name_w, label_w, fmt_w, nobs = 33 if fmt == 7 else 9, 81 if fmt >= 6 else 32, 7 if fmt == 3 else 12, len(VARS[0][3])
    out = bytearray([release, 2 if order == "le" else 1, 1, 0]) + struct.pack(e + "hi", len(VARS), nobs)
    out += pad(b"Older Stata releases", label_w) + (pad(b"06 Dec 2026 12:00", 18) if fmt >= 5 else b"")
    out += bytes(t for _, t, _, _ in VARS)
    out += b"".join(pad(name, name_w) for name, _, _, _ in VARS) + b"\0\0" * (len(VARS) + 1)
    out += b"".join(pad("%10s" if t > 127 else "%9.0g", fmt_w) for _, t, _, _ in VARS)
    out += b"".join(pad(LABEL_NAMES.get(name, ""), name_w) for name, _, _, _ in VARS)
    out += b"".join(pad(label, label_w) for _, _, label, _ in VARS)
    if fmt >= 5:  # one expansion field (a characteristic) that the reader must skip, then the end
        body = b"_dta\0".ljust(name_w, b"\0") + b"note\0".ljust(name_w, b"\0") + b"skip me\0"
        out += bytes([1]) + struct.pack(e + ("i" if fmt == 7 else "h"), len(body)) + body
        out += bytes([0]) + (b"\0" * (4 if fmt == 7 else 2))
    for row in range(nobs):
        for _, t, _, cells in VARS:
            v = cells[row]
            out += pad(v, t - 127) if t > 127 else struct.pack(e + {98: "b", 105: "h", 108: "i", 102: "f", 100: "d"}[t], v)
    if fmt >= 6:
        text, n = b"".join(lab + b"\0" for lab in LABELS), len(VALUES)
        offsets = [sum(len(x) + 1 for x in LABELS[:k]) for k in range(n)]
        table = struct.pack(e + "ii%di%di" % (n, n), n, len(text), *offsets, *VALUES) + text
        out += struct.pack(e + "i", len(table)) + pad(TABLE_NAME, name_w) + b"\0" * 3 + table
    else:
        out += struct.pack(e + "h", len(VALUES)) + pad(TABLE_NAME, 10) + struct.pack(e + "%dh" % len(VALUES), *VALUES)
        out += b"".join(pad(lab, 8) for lab in LABELS)
    open("s%d_%s.dta" % (release, order), "wb").write(bytes(out))


for release in (103, 104, 105, 108, 110):
    for order in ("le", "be"):
        write(release, order)
