#!/usr/bin/python3
# Transport files no tool writes (136-byte descriptors, short numerics, overflow markers, two members), from the
# published layout and IBM double encoding. Run from this directory: /usr/bin/python3 make_crafted.py
import math
import struct

STAMP = "01JAN24:00:00:00"
HEAD = "HEADER RECORD*******%s HEADER RECORD!!!!!!!%s  "


def ibm(x, length=8):
    """IBM System/370 double (excess-64 power of 16, 56-bit fraction), first `length` bytes."""
    if x == 0:
        return bytes(length)
    E = -((-math.frexp(abs(x))[1]) // 4)  # ceil(e / 4) of abs(x) = m * 2**e: fraction in [1/16, 1)
    frac = int(abs(x) * 2 ** (56 - 4 * E))
    assert 2 ** 52 <= frac < 2 ** 56
    return (bytes([(0x80 if x < 0 else 0) | (E + 64)]) + frac.to_bytes(7, "big"))[:length]


def rec(text):  # one 80-byte record, or whole records blank padded
    b = text.encode("ascii") if isinstance(text, str) else text
    return b + b" " * (-len(b) % 80)


def library():
    return rec(HEAD % ("LIBRARY", "0" * 30)) + rec("SAS     SAS     SASLIB  6.06    CRAFTED" + " " * 25 + STAMP) + rec(STAMP)


def member(name, variables, rows, size=140):
    """variables: (type, length, name, label), no formats; rows: tuples of encoded values."""
    out = rec(HEAD % ("MEMBER ", "00000000000000000160000000%04d" % size)) + rec(HEAD % ("DSCRPTR", "0" * 30))
    out += rec("SAS     " + name.ljust(8) + "SASDATA 6.06    CRAFTED" + " " * 25 + STAMP) + rec(STAMP)
    out += rec(HEAD % ("NAMESTR", "000000%04d00000000000000000000" % len(variables)))
    ns, pos = b"", 0
    for i, (t, length, vname, label) in enumerate(variables):
        b = struct.pack(">hhhh", t, 0, length, i + 1) + (vname.ljust(8) + label.ljust(40) + " " * 8).encode()
        ns += (b + bytes(8) + b" " * 8 + struct.pack(">hhi", 0, 0, pos)).ljust(size)
        pos += length
    return out + rec(ns) + rec(HEAD % ("OBS    ", "0" * 30)) + rec(b"".join(b"".join(r) for r in rows))


def text(s, length): return s.encode().ljust(length)


# 12 variables, 136-byte descriptors: 11 numeric, one character, 3 rows; and with the usual 140 bytes.
vms_vars = [(1, 8, "V%d" % i, "Label %d" % i) for i in range(1, 12)] + [(2, 6, "TXT", "Text")]
vms_rows = [tuple(ibm(r * 100 + i) for i in range(1, 12)) + (text("row%d" % r, 6),) for r in range(1, 4)]
for size in (136, 140):
    open("vms_%d_descriptors.xpt" % size, "wb").write(library() + member("VMS", vms_vars, vms_rows, size=size))
# Numerics stored in 3, 4, 5 and 8 bytes: the dropped fraction bytes read as zeros.
short_rows = [tuple(ibm(x, n) for n in (3, 4, 5, 8)) for x in (1.0, 100.5, 1.0 / 3.0, -2.75)]
open("numeric_length_3.xpt", "wb").write(library() + member("SHORT", [(1, n, "L%d" % n, "") for n in (3, 4, 5, 8)], short_rows))
# The four overflow markers between ordinary values.
markers = [bytes([0xFF] * 8), bytes([0x7F] + [0xFF] * 7), bytes([0x00, 0x10] + [0] * 6), bytes([0x80, 0x10] + [0] * 6)]
ov_rows = [(ibm(1.0),)] + [(m,) for m in markers] + [(ibm(-2.0),)]
open("overflow_markers.xpt", "wb").write(library() + member("OVERFLOW", [(1, 8, "X", "")], ov_rows))
# Two members; only the first becomes the sheet.
first = member("FIRST", [(1, 8, "A", ""), (2, 3, "B", "")], [(ibm(1.5), text("one", 3)), (ibm(2.5), text("two", 3))])
second = member("SECOND", [(1, 8, "Z", "")], [(ibm(9.0),), (ibm(8.0),), (ibm(7.0),)])
open("two_members.xpt", "wb").write(library() + first + second)
