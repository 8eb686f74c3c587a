#!/usr/bin/python3
# An MStat data set from the layout: a header file (counts, version, description, 71 bytes per variable) and
# the data file beside it, numbers as 4-byte Microsoft binary format reals. Run from here.
import math
import struct


def mbf(x):
    """4-byte Microsoft binary format, bytes low first: mantissa (sign in the top bit of the third byte),
    then the exponent with bias 129 (a mantissa of 0.5..1 scaled by 2**(e+128-129))."""
    if x == 0:
        return b"\0\0\0\0"
    m, e = math.frexp(abs(x))
    mant = int(round(m * (1 << 24)))
    mant, e = (mant >> 1, e + 1) if mant == 1 << 24 else (mant, e)
    return struct.pack("<I", mant & 0x7FFFFF | (0x800000 if x < 0 else 0) | (e + 128) << 24)


variables = [(b"yield", 4, 8, 2), (b"plot name", -12, 12, 0), (b"_", 4, 6, 0)]
records = [
    (b"*", [mbf(3.25), b"north field ", mbf(-2)]),
    (b" ", [mbf(99), b"dropped     ", mbf(99)]),  # not in use: no row
    (b"*", [b"    ", b"  padded    ", mbf(0)]),
    (b"*", [mbf(0.001), b"x" * 12, bytes([0x12, 0x34, 0x56, 0x01])]),  # exponent byte 1: zero
    (b"*", [mbf(-123456.5), b"            ", mbf(1e30)]),
]
head = struct.pack("<HHH", sum(4 if t == 4 else -t for _, t, _, _ in variables), len(records), len(variables))
head += b"4.00/EM".ljust(65, b"\0") + b"Field trial 1987".ljust(65, b"\0") + b"\0" * 6
open("trial.hdr", "wb").write(head + b"".join(n.ljust(65, b"\0") + struct.pack("<hhh", t, w, d) for n, t, w, d in variables))
open("trial.dat", "wb").write(b"".join(status + b"".join(fields) for status, fields in records))
