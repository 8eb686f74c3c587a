#!/usr/bin/python3
# Rewrites a little-endian SPSS system file in big-endian byte order: every integer and double
# of the header, dictionary and data is reversed; texts (names, labels, string values and slots)
# are kept. pspp reads the result back, which is how the output is checked (see make_spss.sh).
# Usage: swap_sav.py in.sav out.sav
import struct
import sys

src = open(sys.argv[1], "rb").read()
out = bytearray(src)


def i32(at):
    return struct.unpack_from("<i", src, at)[0]


def swap(at, width=4, count=1):
    for k in range(count):
        a = at + width * k
        out[a:a + width] = out[a:a + width][::-1]


assert src[:4] == b"$FL2" and i32(64) == 2
swap(64, 4, 5)
swap(84, 8)
compressed = i32(72) != 0
pos = 176
slot_types = []          # per 8-byte slot: 0 numeric, otherwise string
pending_labels = []      # value positions of the last type 3 record
while True:
    rec, n = i32(pos), i32(pos + 4)
    swap(pos)
    pos += 4
    if rec == 2:
        vtype, has_label, nmiss = n, i32(pos + 4), i32(pos + 8)
        swap(pos, 4, 5)
        pos += 28
        slot_types.append(vtype)
        if has_label:
            swap(pos)
            pos += 4 + (i32(pos) + 3) // 4 * 4
        for _ in range(abs(nmiss)):
            if vtype == 0:
                swap(pos, 8)
            pos += 8
    elif rec == 3:
        swap(pos)
        pos += 4
        pending_labels = []
        for _ in range(n):
            pending_labels.append(pos)
            pos += 8 + (src[pos + 8] + 8) // 8 * 8
    elif rec == 4:
        swap(pos, 4, n + 1)
        if slot_types[i32(pos + 4) - 1] == 0:
            for at in pending_labels:
                swap(at, 8)
        pos += 4 + 4 * n
    elif rec == 6:
        swap(pos)
        pos += 4 + 80 * n
    elif rec == 7:
        sub, size, count = n, i32(pos + 4), i32(pos + 8)
        swap(pos, 4, 3)
        pos += 12
        if sub in (21, 22):
            raise SystemExit("long string labels or missing values are not handled")
        if size in (4, 8):
            swap(pos, size, count)
        if sub == 3:
            out[pos + 24:pos + 28] = struct.pack(">i", 1)  # machine endianness: big
        pos += size * count
    elif rec == 999:
        swap(pos)
        pos += 4
        break
    else:
        raise SystemExit("unknown record %d at %d" % (rec, pos - 4))

nslots = len(slot_types)
slot = 0
while not compressed and pos + 8 * nslots <= len(src):
    for t in slot_types:
        if t == 0:
            swap(pos, 8)
        pos += 8
while pos + 8 <= len(src) and compressed:
    commands = src[pos:pos + 8]
    pos += 8
    if 252 in commands:
        commands = commands[:commands.index(252)]
    for c in commands:
        if c == 253 and slot_types[slot] == 0:
            swap(pos, 8)
        pos += 8 if c == 253 else 0
        slot = (slot + 1) % nslots if c else slot
    if len(commands) < 8:
        break
open(sys.argv[2], "wb").write(bytes(out))
