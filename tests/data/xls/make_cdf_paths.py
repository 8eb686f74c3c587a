#!/usr/bin/python3
"""Compound documents laid out by hand around mini_biff8.xls's workbook stream (olefile reads each back):
two_paths_biff8.xls holds it in regular sectors 3, 9, 5, 11, 7 (Height 1.5, 3, 4.5) and a copy with
2.5, 3, 5.5 in mini sectors 3, 35, 34, ... 0, both from sector 3, both starting with a workbook's
first record; the cutoff is the stream's size, 2262, so a cutoff moved above it picks the copy.
mini_scrambled_biff8.xls: mini sectors reversed, the mini stream's sectors 5, 3, 7, 4, 6: only the
mini FAT gives the workbook back. Run: /usr/bin/python3 make_cdf_paths.py"""
import os
import struct

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
SECTOR, MINI = 512, 64
FREE, END, FATSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD
P = struct.pack


def entry(name, kind, child, start, size):
    n = (name + "\0").encode("utf-16-le")  # then class id, state bits and times, all zero
    return n.ljust(64, b"\0") + P("<HBBIII", len(n), kind, 1, FREE, FREE, child) + bytes(36) + P("<III", start, size, 0)


def chain(fat, sectors):
    for a, b in zip(sectors, sectors[1:] + [END]):
        fat[a] = b


def pieces(data, size, count):
    data = data.ljust(size * count, b"\0")
    return [data[i * size:(i + 1) * size] for i in range(count)]


def build(cutoff, stream_sectors, stream_data, mini_container, mini_data, stream_start, mini_order, nsectors):
    fat, minifat = [FATSECT, END, END] + [FREE] * (SECTOR // 4 - 3), [FREE] * (SECTOR // 4)
    body = {}
    if stream_sectors:
        chain(fat, stream_sectors)
        body.update(zip(stream_sectors, pieces(stream_data, SECTOR, len(stream_sectors))))
    nmini = (len(mini_data) + MINI - 1) // MINI
    mini_stream = [bytes(MINI)] * max(nmini, len(mini_order))
    for k, piece in zip(mini_order, pieces(mini_data, MINI, nmini)):
        mini_stream[k] = piece
    mini_bytes = b"".join(mini_stream)
    chain(fat, mini_container)
    body.update(zip(mini_container, pieces(mini_bytes, SECTOR, len(mini_container))))
    chain(minifat, mini_order[:nmini])
    body[0], body[2] = P("<%dI" % len(fat), *fat), P("<%dI" % len(minifat), *minifat)
    empty = bytes(64) + P("<HBBIII", 0, 0, 0, FREE, FREE, FREE) + bytes(48)
    body[1] = (entry("Root Entry", 5, 1, mini_container[0], len(mini_bytes))
               + entry("Workbook", 2, FREE, stream_start, len(stream_data or mini_data)) + empty * 2)
    # The header: one FAT sector (sector 0), the directory at 1, the mini FAT at 2, no DIFAT.
    h = bytes.fromhex("D0CF11E0A1B11AE1") + bytes(16) + P("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + bytes(6)
    h += P("<IIIIIIIIII", 0, 1, 1, 0, cutoff, 2, 1, END, 0, 0) + P("<I", FREE) * 108
    return h + b"".join(body.get(s) or bytes(SECTOR) for s in range(nsectors))


def read_back(data):
    """The stream as olefile reads it (its cutoff is 4096: from the mini stream), and the chain
    from the stream's first sector in regular sectors."""
    ole = olefile.OleFileIO(data)
    return ole.openstream("Workbook").read(), ole._open(ole.direntries[1].isectStart, ole.get_size("Workbook"),
                                                        force_FAT=True).read()


def main():
    w = olefile.OleFileIO(os.path.join(HERE, "mini_biff8.xls")).openstream("Workbook").read()
    one_and_half, four_and_half = P("<d", 1.5), P("<d", 4.5)
    assert w.count(one_and_half) == 1 and w.count(four_and_half) == 1
    other = w.replace(one_and_half, P("<d", 2.5)).replace(four_and_half, P("<d", 5.5))
    nmini = (len(w) + MINI - 1) // MINI
    order = [3] + [k for k in range(nmini) if k != 3][::-1]
    two = build(len(w), [3, 9, 5, 11, 7], w, [4, 10, 6, 8, 12], other, 3, order, 13)
    assert read_back(two) == (other, w)
    scrambled = build(4096, [], b"", [5, 3, 7, 4, 6], w, 3, order, 8)
    assert read_back(scrambled)[0] == w
    for name, data in (("two_paths_biff8.xls", two), ("mini_scrambled_biff8.xls", scrambled)):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
