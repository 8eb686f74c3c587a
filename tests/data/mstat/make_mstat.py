#!/usr/bin/python3
# MStat data sets built from the layout: a header file (record length, record and variable
# counts, version, description, one 71-byte description per variable) and the data file beside
# it, numbers as 4-byte Microsoft binary format reals (encoded here with frexp). Run from here.
import math
import struct


def mbf(x):
    """4-byte Microsoft binary format, bytes low first: mantissa (sign in the top bit of the
    third byte), then the exponent with bias 129 (a mantissa of 0.5..1 scaled by 2**(e+128-129))."""
    if x == 0:
        return b"\0\0\0\0"
    m, e = math.frexp(abs(x))
    mant = int(round(m * (1 << 24)))
    if mant == 1 << 24:
        mant >>= 1
        e += 1
    mant &= 0x7FFFFF
    sign = 0x80 if x < 0 else 0
    return bytes([mant & 0xFF, (mant >> 8) & 0xFF, ((mant >> 16) & 0x7F) | sign, e + 128])


def header(variables, nrec, version=b"4.00/EM", description=b"Field trial 1987"):
    reclen = sum(4 if t == 4 else -t for _, t, _, _ in variables)
    out = struct.pack("<HHH", reclen, nrec, len(variables))
    out += version.ljust(65, b"\0") + description.ljust(65, b"\0") + b"\0" * 6
    for name, t, width, dec in variables:
        out += name.ljust(65, b"\0") + struct.pack("<hhh", t, width, dec)
    return out


variables = [(b"yield", 4, 8, 2), (b"plot name", -12, 12, 0), (b"_", 4, 6, 0)]
records = [
    (b"*", [mbf(3.25), b"north field ", mbf(-2)]),
    (b" ", [mbf(99), b"dropped     ", mbf(99)]),  # not in use: no row
    (b"*", [b"    ", b"  padded    ", mbf(0)]),
    (b"*", [mbf(0.001), b"x" * 12, bytes([0x12, 0x34, 0x56, 0x01])]),  # exponent byte 1: zero
    (b"*", [mbf(-123456.5), b"            ", mbf(1e30)]),
]
open("trial.hdr", "wb").write(header(variables, len(records)))
with open("trial.dat", "wb") as f:
    for status, fields in records:
        f.write(status + b"".join(fields))
