#!/usr/bin/python3
"""Compound documents laid out by hand around one workbook stream, for the choice between a
stream in regular sectors and a stream in the mini stream.

The workbook stream is the one gnumeric wrote into mini_biff8.xls (taken out with olefile).

- two_paths_biff8.xls: the "Workbook" entry starts at sector 3 in both places. Regular sectors
  3, 9, 5, 11, 7 hold the stream as gnumeric wrote it (Height 1.5, 3, 4.5); mini sectors 3, 35,
  34, ... 4, 2, 1, 0 of the mini stream hold a copy whose numbers are 2.5, 3, 5.5. The header's
  mini-stream cutoff is the stream's size, 2262, so the stream lies in regular sectors; a test
  that moves the cutoff above the size sends the reader to the mini stream and sees the other
  numbers. Both copies start with a workbook's first record, so no recovery scan can hide a
  wrong choice.
- mini_scrambled_biff8.xls: the stream only in the mini stream, its mini sectors in reverse
  order and the mini stream's own sectors out of order (5, 3, 7, 4, 6): read in file order, the
  records come out scrambled, so only the mini FAT gives the workbook back.

olefile reads every file back as a check (both copies of the first). Run with Debian's python3-olefile:
    /usr/bin/python3 make_cdf_paths.py
"""
import os
import struct

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
SECTOR, MINI = 512, 64
FREE, END, FATSECT, NOSTREAM = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFF


def header(cutoff, minifat_start):
    h = bytes.fromhex("D0CF11E0A1B11AE1") + bytes(16) + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + bytes(6)
    h += struct.pack("<IIIIIIII", 0, 1, 1, 0, cutoff, minifat_start, 1, END)
    # No DIFAT sectors; the FAT is sector 0.
    return h + struct.pack("<II", 0, 0) + struct.pack("<I", FREE) * 108


def entry(name, kind, child, start, size):
    n = (name + "\0").encode("utf-16-le")
    # Then class id, state bits and times, all zero.
    return n.ljust(64, b"\0") + struct.pack("<HBBIII", len(n), kind, 1, NOSTREAM, NOSTREAM, child) + bytes(36) + \
        struct.pack("<III", start, size, 0)


EMPTY_ENTRY = bytes(64) + struct.pack("<HBBIII", 0, 0, 0, NOSTREAM, NOSTREAM, NOSTREAM) + bytes(48)


def chain(fat, sectors):
    for a, b in zip(sectors, sectors[1:]):
        fat[a] = b
    fat[sectors[-1]] = END


def pieces(data, size, count):
    data = data + bytes(size * count - len(data))
    return [data[i * size:(i + 1) * size] for i in range(count)]


def build(cutoff, stream_sectors, stream_data, mini_container, mini_data, stream_start, mini_order, nsectors):
    fat = [FATSECT, END, END] + [FREE] * (SECTOR // 4 - 3)  # the FAT, directory and mini FAT sectors
    body = {}
    if stream_sectors:
        chain(fat, stream_sectors)
        for s, piece in zip(stream_sectors, pieces(stream_data, SECTOR, len(stream_sectors))):
            body[s] = piece
    nmini = (len(mini_data) + MINI - 1) // MINI
    mini_stream = [bytes(MINI)] * max(nmini, len(mini_order))
    for k, piece in zip(mini_order, pieces(mini_data, MINI, nmini)):
        mini_stream[k] = piece
    mini_bytes = b"".join(mini_stream)
    chain(fat, mini_container)
    for s, piece in zip(mini_container, pieces(mini_bytes, SECTOR, len(mini_container))):
        body[s] = piece
    minifat = [FREE] * (SECTOR // 4)
    chain(minifat, mini_order[:nmini])
    body[0] = struct.pack("<%dI" % len(fat), *fat)
    body[1] = (entry("Root Entry", 5, 1, mini_container[0], len(mini_bytes))
               + entry("Workbook", 2, NOSTREAM, stream_start, len(stream_data or mini_data)) + EMPTY_ENTRY * 2)
    body[2] = struct.pack("<%dI" % len(minifat), *minifat)
    return header(cutoff, 2) + b"".join(body.get(s) or bytes(SECTOR) for s in range(nsectors))


def patched_numbers(w):
    one_and_half, four_and_half = struct.pack("<d", 1.5), struct.pack("<d", 4.5)
    assert w.count(one_and_half) == 1 and w.count(four_and_half) == 1
    return w.replace(one_and_half, struct.pack("<d", 2.5)).replace(four_and_half, struct.pack("<d", 5.5))


def read_back(data):
    """The stream as olefile reads it (olefile keeps the standard cutoff of 4096, so a stream of
    this size comes from the mini stream), and the chain from the stream's first sector in
    regular sectors."""
    ole = olefile.OleFileIO(data)
    size = ole.get_size("Workbook")
    start = ole.direntries[1].isectStart
    return ole.openstream("Workbook").read(), ole._open(start, size, force_FAT=True).read()


def main():
    w = olefile.OleFileIO(os.path.join(HERE, "mini_biff8.xls")).openstream("Workbook").read()
    other = patched_numbers(w)
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
