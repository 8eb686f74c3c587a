#!/usr/bin/python3
# Paradox tables of the older header layout, one of the newer with an unknown version byte, and damaged
# copies, built from the layout; pxlib reads them (./make_pdx dump). Run from here.
import struct

BLOCK = 1024


def enc_int(v, size):
    b = struct.pack({2: ">h", 4: ">i"}[size], v)
    return bytes([b[0] ^ 0x80]) + b[1:]


def enc_double(v):
    b = struct.pack(">d", v)
    return bytes([b[0] | 0x80]) + b[1:] if v >= 0 else bytes(x ^ 0xFF for x in b)


def table(fields, rows, version=3, newer=False, chain=None, nrecords=None):
    """fields: (name, type, size); rows: lists of encoded field bytes."""
    recsize = sum(s for _, _, s in fields)
    per_block = (BLOCK - 6) // recsize
    groups = [rows[i : i + per_block] for i in range(0, len(rows), per_block)] or [[]]
    h, first = bytearray(2048), 120 if newer else 88
    struct.pack_into("<HHBB", h, 0, recsize, len(h), 2, BLOCK // 1024)
    struct.pack_into("<IHHHH", h, 6, len(rows) if nrecords is None else nrecords, len(groups) + 1, len(groups), 1, len(groups))
    h[33], h[57] = len(fields), version
    # A BCD field's size byte holds its digits.
    h[first:first + 2 * len(fields)] = b"".join(bytes([t, 2 if t == 23 else s]) for _, t, s in fields)
    names = b"".join(name.encode() + b"\0" for name, _, _ in fields)
    pos = first + 6 * len(fields) + 4 + 79
    h[pos:pos + len(names)] = names
    return bytes(h) + b"".join(
        (struct.pack("<HHh", chain[k] if chain else (k + 2 if k + 1 < len(groups) else 0), k, (len(g) - 1) * recsize)
         + b"".join(b"".join(r) for r in g)).ljust(BLOCK, b"\0") for k, g in enumerate(groups))


# A memo (Notes) makes no column and the fields after it keep their places; BCD (Digits) is passed over.
fields = [("Name", 1, 10), ("Price", 5, 8), ("SixteenCharsName", 3, 2), ("Count", 4, 4), ("Ratio", 6, 8),
          ("Notes", 12, 11), ("Digits", 23, 17), ("Day", 2, 4), ("Seen", 9, 1), ("Clock", 20, 4), ("Id", 22, 4)]
rows = [[("item %d" % i).encode().ljust(10, b"\0"), enc_double(12345.67 if i == 0 else -0.5 * i), enc_int(1 + i % 9, 2),
         enc_int(-2 if i == 0 else 300 if i == 1 else i, 4), b"\0" * 8 if i == 0 else enc_double(i / 8), b"\x01" * 11,
         b"\x02" * 17, enc_int(730000 + i, 4), bytes([0x81 if i % 2 else 0x80]), enc_int(3723000, 4), enc_int(i + 1, 4)]
        for i in range(60)]  # 60 records of 73 bytes: 13 to a block, 5 blocks
open("old_layout.db", "wb").write(table(fields, rows))
open("new_layout_unknown_version.db", "wb").write(table(fields[:2], [r[:2] for r in rows[:3]], version=0, newer=True))
# Damaged copies: a block chain that loops back, and a record count past the file.
open("chain_loop.db", "wb").write(table(fields, rows, chain=[2, 3, 1, 5, 0]))
open("count_lies.db", "wb").write(table(fields, rows, nrecords=0x7FFFFFFF))
