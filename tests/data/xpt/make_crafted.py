#!/usr/bin/python3
# Makes the transport files of this directory that no ready tool writes: 136-byte variable
# descriptors (as on VAX/VMS), numerics stored in fewer than 8 bytes, the exponent-overflow
# markers, and a library of two members. The XPORT layout and the IBM double encoding are
# written out here from the published format description, independently of the converter.
# Run from this directory: /usr/bin/python3 make_crafted.py
import math
import struct


def ibm(x, length=8):
    """IBM System/370 double (excess-64 power of 16, 56-bit fraction), first `length` bytes."""
    if x == 0:
        return bytes(length)
    sign = 0x80 if x < 0 else 0
    m, e = math.frexp(abs(x))          # abs(x) = m * 2**e, 0.5 <= m < 1
    E = -((-e) // 4)                   # ceil(e / 4): fraction in [1/16, 1)
    frac = int(abs(x) * 2 ** (56 - 4 * E))
    assert frac < 2 ** 56 and frac >= 2 ** 52
    return (bytes([sign | (E + 64)]) + frac.to_bytes(7, "big"))[:length]


def rec(text):
    b = text.encode("ascii") if isinstance(text, str) else text
    assert len(b) <= 80
    return b + b" " * (80 - len(b))


def pad80(b):
    return b + b" " * (-len(b) % 80)


def namestr(ntype, length, number, name, label, position, fmt="", fmt_w=0, fmt_d=0, size=140):
    b = struct.pack(">hhhh", ntype, 0, length, number)
    b += name.ljust(8).encode() + label.ljust(40).encode() + fmt.ljust(8).encode()
    b += struct.pack(">hhhh", fmt_w, fmt_d, 0, 0) + b" " * 8 + struct.pack(">hh", 0, 0)
    b += struct.pack(">i", position)
    b += b" " * (size - len(b))
    assert len(b) == size
    return b


STAMP = "01JAN24:00:00:00"


def library():
    return (rec("HEADER RECORD*******LIBRARY HEADER RECORD!!!!!!!000000000000000000000000000000  ")
            + rec("SAS     SAS     SASLIB  6.06    CRAFTED" + " " * 25 + STAMP) + rec(STAMP))


def member(name, variables, rows, size=140):
    """variables: (type, length, name, label, fmt, fmt_d); rows: tuples of encoded values."""
    out = rec("HEADER RECORD*******MEMBER  HEADER RECORD!!!!!!!00000000000000000160000000%04d  " % size)
    out += rec("HEADER RECORD*******DSCRPTR HEADER RECORD!!!!!!!000000000000000000000000000000  ")
    out += rec("SAS     " + name.ljust(8) + "SASDATA 6.06    CRAFTED" + " " * 25 + STAMP) + rec(STAMP)
    out += rec("HEADER RECORD*******NAMESTR HEADER RECORD!!!!!!!000000%04d00000000000000000000  " % len(variables))
    ns, pos = b"", 0
    for i, (t, length, vname, label, fmt, fmt_d) in enumerate(variables):
        ns += namestr(t, length, i + 1, vname, label, pos, fmt, 0, fmt_d, size)
        pos += length
    out += pad80(ns)
    out += rec("HEADER RECORD*******OBS     HEADER RECORD!!!!!!!000000000000000000000000000000  ")
    data = b"".join(b"".join(r) for r in rows)
    return out + pad80(data)


def text(s, length):
    return s.encode().ljust(length)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


# 12 variables, 136-byte descriptors: 11 numeric, one character, 3 rows.
vms_vars = [(1, 8, "V%d" % i, "Label %d" % i, "", 0) for i in range(1, 12)] + [(2, 6, "TXT", "Text", "", 0)]
vms_rows = [tuple(ibm(r * 100 + i) for i in range(1, 12)) + (text("row%d" % r, 6),) for r in range(1, 4)]
write("vms_136_descriptors.xpt", library() + member("VMS", vms_vars, vms_rows, size=136))
# The same data with the usual 140-byte descriptors, for comparison.
write("vms_140_descriptors.xpt", library() + member("VMS", vms_vars, vms_rows, size=140))

# Numerics stored in 3, 4, 5 and 8 bytes: the dropped fraction bytes read as zeros.
short_vars = [(1, 3, "L3", "", "", 0), (1, 4, "L4", "", "", 0), (1, 5, "L5", "", "", 0), (1, 8, "L8", "", "", 0)]
short_vals = [1.0, 100.5, 1.0 / 3.0, -2.75]
short_rows = [tuple(ibm(v, n) for v, n in zip((x, x, x, x), (3, 4, 5, 8))) for x in short_vals]
write("numeric_length_3.xpt", library() + member("SHORT", short_vars, short_rows))

# The four overflow markers between ordinary values.
markers = [bytes([0xFF] * 8), bytes([0x7F] + [0xFF] * 7), bytes([0x00, 0x10] + [0] * 6),
           bytes([0x80, 0x10] + [0] * 6)]
ov_rows = [(ibm(1.0),)] + [(m,) for m in markers] + [(ibm(-2.0),)]
write("overflow_markers.xpt", library() + member("OVERFLOW", [(1, 8, "X", "", "", 0)], ov_rows))

# Two members; only the first becomes the sheet.
first = member("FIRST", [(1, 8, "A", "", "", 0), (2, 3, "B", "", "", 0)],
               [(ibm(1.5), text("one", 3)), (ibm(2.5), text("two", 3))])
second = member("SECOND", [(1, 8, "Z", "", "", 0)], [(ibm(9.0),), (ibm(8.0),), (ibm(7.0),)])
write("two_members.xpt", library() + first + second)
