#!/usr/bin/python3
# Instat worksheets from the published layout (5-byte numbers, structure table, areas), and .expect files:
# names, then a line per row (tabs, NA for missing, factor cells as labels). Run here: /usr/bin/python3 make_instat.py
import math
import struct


def five(x):
    """An integer with byte 4 zero, else a fraction in [0.5, 1) of 32 bits, most significant byte at 3
    (its top bit the sign), and byte 4 the exponent + 127."""
    if x == int(x) and -2**31 < x < 2**31 - 1:
        return struct.pack("<iB", int(x), 0)
    m, e = math.frexp(abs(x))  # abs(x) = m * 2**e, 0.5 <= m < 1
    b = bytearray(struct.pack("<IB", int(m * 2**32), 127 + e))
    b[3] &= 0x7F if x > 0 else 0xFF
    return bytes(b)


def fives(xs): return b"".join(five(x) for x in xs)
def text(s, length): return s.encode("latin-1").ljust(length, b" ")[:length] + b"\r"


def worksheet(name, title, codes, nmv, strings, label_sets, constants, columns, rows):
    """columns: (name, kind 'V' or 'F', values, label set index or None)."""
    N, R = 30, rows
    P, Q = len(label_sets) + 5, max([12] + [len(s) for s in label_sets])
    ap = [[5, 80, 0, 81, 81, 0], [P, Q, 0, 9 * Q, 9, P], [10, 1, 0, 5, 5, 0], [N, R, 0, 5 * R, 5, len(columns)],
          [0, R, 0, 5 * R, 5, 0]]
    lengths = [  # of the 25 flag strings, five per area
        (2 * n + 1 if a == 0 else n + 1) if g == 3 else
        (1 if a == 4 else n + 2 if a in (1, 2) else 2) if g == 4 else
        0 if a == 3 or (g == 2 and a == 2) else n + 1
        for g, n in enumerate(row[0] for row in ap) for a in range(5)]
    xs = [bytearray(b" " * n) for n in lengths]
    xs[0][:len(strings)] = bytes(ord("X" if s else " ") for s in strings)
    link1, link2, name_len = bytearray(b" " * 100), bytearray(b" " * 100), bytearray(b" " * N)
    for k, s in enumerate(label_sets):
        xs[5][k], xs[7][k] = len(s) + 32, ord("L")
    records = [bytearray(b"\x80")]
    for i, (cname, kind, values, lset) in enumerate(columns):
        xs[15][2 * i:2 * i + 2] = bytes([len(values) // 224 + 32, len(values) % 224 + 32])
        xs[17][i], name_len[i] = ord(kind), len(cname) + 32
        if len(records[-1]) + len(cname) + 1 > 255:
            records.append(bytearray(b"\x80"))
        records[-1] += cname.encode() + bytes([128 + i + 1])
        if lset is not None:
            link1[2 * lset:2 * lset + 2], link2[2 * lset:2 * lset + 2] = bytes([3, i + 33]), bytes([1, lset + 33])
    records += [bytearray(b"\x80")] * (4 - len(records))
    head_len = 115 + 70 + 15 + 150 + sum(n + 1 for n in lengths) + 2 * 101 + N + 1 + 4 * 256
    for g, size in enumerate([head_len, 5 * 81, 9 * P * Q, 50, N * R * 5]):
        ap[g][2] = size + (ap[g - 1][2] if g else 0)

    out = bytes([0x40, 0x0D, 0xC1, 0x02, 0x67, 0x0C, 0x70, 0x00, 0x70, 0x01, 0x70])
    out += title.encode() + b"\r" + b" " * (100 - len(title)) + b"\x03\0\0"
    out += fives([2, 0, 0, 1, 0, 100, P + 1, 3, 255, 1, N * R, len(title), 8, nmv] + codes)
    out += fives(v for g in ap for v in g) + b"".join(bytes(x) + b"\r" for x in xs + [link1, link2, name_len])
    out += b"".join(bytes(r).ljust(255, b" ") + b"\r" for r in records)
    assert len(out) == head_len
    out += b"".join(text(s, 80) for s in (strings + [""] * 5)[:5])
    out += b"".join(text(label_sets[k][j] if k < len(label_sets) and j < len(label_sets[k]) else "", 8)
                    for k in range(P) for j in range(Q))
    blank = [("", "", [], None)] * (N - len(columns))
    out += fives(constants) + b"".join(fives(c[2]) + b" " * (5 * (R - len(c[2]))) for c in columns + blank)
    open(name + ".wor", "wb").write(out)

    def cell(kind, values, lset, r):
        v = values[r] if r < len(values) else None
        if v is None or v == codes[0] or v < -1e35:
            return "NA"
        if kind == "F" and lset is not None and len(label_sets[lset]) >= max(values):
            return label_sets[lset][int(v) - 1].rstrip()
        return repr(float(v))
    open(name + ".expect", "w").write("\t".join(c[0] for c in columns) + "\n" +
                                      "".join("\t".join(cell(*c[1:], r) for c in columns) + "\n" for r in range(rows)))


worksheet("trial", "Barley trial 1997", [-9999, -8888, -7777], 2, ["Site: Rothamsted", "", "Observer's notes"],
          [["low", "medium", "high"], ["north", "south"], ["a", "b"]],
          [3.5, -9999, 12, 1e-3, -9999, -9999, -9999, -9999, -9999, -9999],
          [("Yield", "V", [5.25, -9999, 7.125, 1e20, -1e36, 0.1], None), ("Dose", "F", [1, 3, 2, 2, 1, 3], 0),
           ("Side", "F", [2, 1, 2], 1), ("Plots", "F", [1, 2, 3, 4], 2),  # more levels than labels
           ("Count", "V", [1, 2, -8888, -256, 300000, -7.5], None)], 6)
