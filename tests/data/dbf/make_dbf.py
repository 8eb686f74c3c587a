#!/usr/bin/python3
# dBase tables no tool writes (dBase II; headers that cut, lie or break the layout), built from the layouts.
# Run from this directory: /usr/bin/python3 make_dbf.py
import struct


def field_bytes(fields, rec):  # texts at the left of their field, numbers at the right
    return b"".join(t.encode("latin-1").ljust(n)[:n] if ft == "C" else t.encode().rjust(n)[:n]
                    for (_, ft, n, _), t in zip(fields, rec))


def dbase3(fields, records, version=3, date=(126, 12, 7), nrecords=None, header_length=None,
           record_length=None, terminator=b"\r", deleted=()):
    """fields: (name, type, length, decimals); records: tuples of field texts."""
    out = struct.pack("<BBBBIHH20x", version, *date, len(records) if nrecords is None else nrecords,
                      32 * (len(fields) + 1) + 1 if header_length is None else header_length,
                      1 + sum(f[2] for f in fields) if record_length is None else record_length)
    out += b"".join(name.encode().ljust(11, b"\0") + ftype.encode() + b"\0" * 4 + bytes([length, dec]) + b"\0" * 14
                    for name, ftype, length, dec in fields)
    return out + terminator + b"".join((b"*" if i in deleted else b" ") + field_bytes(fields, rec)
                                       for i, rec in enumerate(records))


def dbase2(fields, records, terminator=b"\r"):
    out = struct.pack("<BHBBBH", 2, len(records), 12, 7, 86, 1 + sum(f[2] for f in fields))
    addr = 1
    for name, ftype, length, dec in fields:
        out += name.encode().ljust(11, b"\0") + ftype.encode() + struct.pack("<BHB", length, addr, dec)
        addr += length
    out = (out + b"\r").ljust(520, b"\0") + terminator  # 0x0D ends the descriptor list
    return out + b"".join(b" " + field_bytes(fields, rec) for rec in records)


SIMPLE = [("NAME", "C", 8, 0), ("VALUE", "N", 8, 2), ("OK", "L", 1, 0), ("WHEN", "D", 8, 0)]
ROWS = [("alpha", "1.50", "T", "20261207"), ("beta", "-2.25", "?", "19000101"),
        ("gamma", "", "X", "20230229"), ("  two  words", "abc", "n", "        ")]

FILES = {
    # dBase II: 16-byte descriptors ended by 0x0D, terminator at 520, records at 521.
    "dbase2.dbf": dbase2([("NAME", "C", 6, 0), ("QTY", "N", 5, 0), ("FLAG", "L", 1, 0)],
                         [("pen", "12", "Y"), ("ink", "-3", "F"), ("nib", "", "?")]),
    # Every value kind, a year byte of 2026, deleted second record.
    "kinds.dbf": dbase3(SIMPLE, ROWS + [("delta", "1e3", "y", "20000131")], deleted=(1,)),
    # Cut and lying headers.
    "empty.dbf": dbase3(SIMPLE, []),
    "bad_month.dbf": dbase3(SIMPLE, ROWS, date=(99, 13, 1)),
    "bad_terminator.dbf": dbase3(SIMPLE, ROWS, terminator=b"\x1a"),
    "bad_type.dbf": dbase3([("X", "Q", 4, 0)], [("abcd",)]),
    "huge_count.dbf": dbase3(SIMPLE, ROWS, nrecords=0xFFFFFFFF),
    "huge_header.dbf": dbase3(SIMPLE, ROWS, header_length=0xFFFF),
    "short_record.dbf": dbase3(SIMPLE, ROWS, record_length=10),
    "zero_record.dbf": dbase3(SIMPLE, ROWS, record_length=0),
    "cut_header.dbf": dbase3(SIMPLE, ROWS)[:100],
    "cut_data.dbf": dbase3(SIMPLE, ROWS)[:32 * 5 + 1 + 26 * 2 + 7],
    "dbase2_bad_terminator.dbf": dbase2([("A", "N", 3, 0)], [("1",)], terminator=b"\x07"),
    # More fields than the column limit of a .vsh output (250): the terminator is still found.
    "wide.dbf": dbase3([("F%d" % i, "N", 3, 0) for i in range(300)],
                       [tuple(str(i % 100) for i in range(300)), tuple(str((i + 1) % 100) for i in range(300))]),
}

for name, data in FILES.items():
    open(name, "wb").write(data)
