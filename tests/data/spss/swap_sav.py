#!/usr/bin/python3
# Rewrites a little-endian SPSS system file big-endian: integers and doubles reversed, texts kept; pspp reads
# the result back (make_spss.sh). Usage: swap_sav.py in.sav out.sav
import struct
import sys

src = open(sys.argv[1], "rb").read()
out = bytearray(src)


def i32(at): return struct.unpack_from("<i", src, at)[0]


def swap(at, width=4, count=1):
    for a in range(at, at + width * count, width):
        out[a:a + width] = out[a:a + width][::-1]


assert src[:4] == b"$FL2" and i32(64) == 2
swap(64, 4, 5)
swap(84, 8)
compressed, pos = i32(72) != 0, 176
slot_types, pending_labels = [], []  # per 8-byte slot: 0 numeric, else string; value positions of the last type 3
while True:
    rec, n = i32(pos), i32(pos + 4)  # every record starts with its type and one more integer
    swap(pos, 4, 2)
    pos += 8
    if rec == 2:
        has_label, nmiss = i32(pos), i32(pos + 4)
        swap(pos, 4, 4)
        slot_types.append(n)
        pos += 24
        if has_label:
            swap(pos)
            pos += 4 + (i32(pos) + 3) // 4 * 4
        swap(pos, 8, abs(nmiss) if n == 0 else 0)
        pos += 8 * abs(nmiss)
    elif rec == 3:
        pending_labels = []
        for _ in range(n):
            pending_labels.append(pos)
            pos += 8 + (src[pos + 8] + 8) // 8 * 8
    elif rec == 4:
        swap(pos, 4, n)
        for at in pending_labels if slot_types[i32(pos) - 1] == 0 else []:
            swap(at, 8)
        pos += 4 * n
    elif rec == 6:
        pos += 80 * n
    elif rec == 7:
        if n in (21, 22):
            raise SystemExit("long string labels or missing values are not handled")
        size, count = i32(pos), i32(pos + 4)
        swap(pos, 4, 2)
        swap(pos + 8, size, count if size in (4, 8) else 0)
        if n == 3:
            out[pos + 32:pos + 36] = struct.pack(">i", 1)  # machine endianness: big
        pos += 8 + size * count
    elif rec == 999:
        break
    else:
        raise SystemExit("unknown record %d at %d" % (rec, pos - 8))

nslots, slot = len(slot_types), 0
while not compressed and pos + 8 * nslots <= len(src):
    for t in slot_types:
        swap(pos, 8, int(t == 0))
        pos += 8
while compressed and pos + 8 <= len(src):
    commands = src[pos:pos + 8].split(b"\xfc")[0]  # up to the end command, 252
    pos += 8
    for c in commands:
        if c == 253:
            swap(pos, 8, int(slot_types[slot] == 0))
            pos += 8
        slot = (slot + 1) % nslots if c else slot
    if len(commands) < 8:
        break
open(sys.argv[2], "wb").write(bytes(out))
