#!/usr/bin/python3
"""Rewrite a little-endian SPSS system file in big-endian byte order.

Every integer and double of the header, dictionary and data is reversed; texts (names,
labels, string values, string data slots) are kept as they are. pspp reads the result back,
which is how the output is checked (see make_spss.sh).
Usage: swap_sav.py in.sav out.sav
"""
import struct
import sys

src = open(sys.argv[1], "rb").read()
out = bytearray(src)
pos = 0


def swap(at, width):
    out[at:at + width] = out[at:at + width][::-1]


def i32(at):
    return struct.unpack_from("<i", src, at)[0]


assert src[:4] == b"$FL2" and i32(64) == 2
for at in (64, 68, 72, 76, 80):
    swap(at, 4)
swap(84, 8)
compressed = i32(72) != 0
bias = struct.unpack_from("<d", src, 84)[0]
pos = 176
slot_types = []          # per 8-byte slot: 0 numeric, otherwise string
pending_labels = []      # value positions of the last type 3 record
while True:
    rec = i32(pos)
    swap(pos, 4)
    pos += 4
    if rec == 2:
        vtype, has_label, nmiss = i32(pos), i32(pos + 4), i32(pos + 8)
        for k in range(5):
            swap(pos + 4 * k, 4)
        pos += 20 + 8
        slot_types.append(vtype)
        if has_label:
            n = i32(pos)
            swap(pos, 4)
            pos += 4 + (n + 3) // 4 * 4
        for _ in range(abs(nmiss)):
            if vtype == 0:
                swap(pos, 8)
            pos += 8
    elif rec == 3:
        n = i32(pos)
        swap(pos, 4)
        pos += 4
        pending_labels = []
        for _ in range(n):
            pending_labels.append(pos)
            length = src[pos + 8]
            pos += 8 + (length + 1 + 7) // 8 * 8
    elif rec == 4:
        n = i32(pos)
        swap(pos, 4)
        first = i32(pos + 4)
        for k in range(n):
            swap(pos + 4 + 4 * k, 4)
        pos += 4 + 4 * n
        if slot_types[first - 1] == 0:
            for at in pending_labels:
                swap(at, 8)
    elif rec == 6:
        n = i32(pos)
        swap(pos, 4)
        pos += 4 + 80 * n
    elif rec == 7:
        sub, size, count = i32(pos), i32(pos + 4), i32(pos + 8)
        for k in range(3):
            swap(pos + 4 * k, 4)
        pos += 12
        if sub in (21, 22):
            raise SystemExit("long string labels or missing values are not handled")
        if size in (4, 8):
            for k in range(count):
                swap(pos + size * k, size)
        if sub == 3:
            out[pos + 24:pos + 28] = struct.pack(">i", 1)  # machine endianness: big
        pos += size * count
    elif rec == 999:
        swap(pos, 4)
        pos += 4
        break
    else:
        raise SystemExit("unknown record %d at %d" % (rec, pos - 4))

nslots = len(slot_types)
if not compressed:
    while pos + 8 * nslots <= len(src):
        for t in slot_types:
            if t == 0:
                swap(pos, 8)
            pos += 8
else:
    slot = 0
    while pos + 8 <= len(src):
        commands = src[pos:pos + 8]
        pos += 8
        for c in commands:
            if c == 0:
                continue
            if c == 252:
                break
            if c == 253:
                if slot_types[slot] == 0:
                    swap(pos, 8)
                pos += 8
            slot = (slot + 1) % nslots
        else:
            continue
        break
open(sys.argv[2], "wb").write(bytes(out))
