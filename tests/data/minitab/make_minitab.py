#!/usr/bin/python3
# Minitab worksheets of releases 10 and 11, a release 14 stream wrapped by `gsf createole` (libgsf-bin) and portable
# worksheets, from the published layouts; .expect: names, then rows (tabs, NA). Run here: /usr/bin/python3 make_minitab.py
import os
import shutil
import struct
import subprocess
import tempfile

MISSING = 1.23456e30


def expect(name, names, rows):
    open(name + ".expect", "w").write("".join("\t".join("NA" if v is None else v if isinstance(v, str) else repr(float(v))
                                                       for v in r) + "\n" for r in [names] + rows))


def digit_pairs(text):  # four characters in one integer, two decimal digits each (character code - 32)
    return struct.pack("<i", 0 if text.strip() == "" else int("".join("%02d" % (ord(c) - 32) for c in text.ljust(4)[:4])))


def single_image(text):  # four characters kept in the double that widens the single whose bytes they are
    return struct.pack("<d", struct.unpack("<f", text.ljust(4)[:4].encode())[0])


def old_worksheet(name, version):
    def column(number, colname, kind, data): return struct.pack("<IIIi", 3, number, len(data) // 4, kind) + colname + data

    def numeric(number, colname, values):
        return column(number, colname, 0, b"".join(struct.pack("<f" if version == 10 else "<d", MISSING if v is None else v)
                                                   for v in values))
    out = b"WORKSHEET made by make_minitab.py".ljust(79) + (b"0" if version == 10 else b"1")
    # Names: release 10 keeps one in digit pairs, others as plain characters.
    out += numeric(1, digit_pairs("ABCD") + digit_pairs("") if version == 10 else b"ABCD    ", [1.5, None, -2.0])
    out += numeric(2, b"Group!  ", [2, 1, 2, 2]) + numeric(3, b"        ", [0.25])
    # Text: type -5 gives values of 8 bytes (16 in release 11, four characters per double).
    texts = ["alpha", "be ta", "gamma"]
    data = b"".join(t.encode().ljust(8) if version == 10 else single_image(t[:4]) + single_image(t[4:].ljust(4)) for t in texts)
    out += column(4, b"Word    ", -5, data) + struct.pack("<I", 99)  # a record of another kind ends the columns
    open(name + ".mtw", "wb").write(out)
    expect(name, ["ABCD", "Group", "C3", "Word"], [[1.5, "2", 0.25, "alpha"], [None, "1", None, "be ta"],
                                                   [-2.0, "2", None, "gamma"], [None, "2", None, None]])


def record(kind, head, data): return struct.pack("<III", kind, 12 + len(head) + len(data), 12 + len(head)) + head + data
def sized(b): return struct.pack("<I", len(b)) + b


def column(number, text, colname, description, values):
    fields = struct.pack("<III", number, 2 if text else 1, len(values)) + b"\0" * 32
    return record(3, fields + sized(colname.encode()) + sized(description.encode()), b"".join(
        sized(v.encode()) if text else struct.pack("<d", MISSING if v is None else v) for v in values))


old_worksheet("old_v10", 10)
old_worksheet("old_v11", 11)
stream = record(1, b"", b"\0\0\0\0MTB14   WIN made by make_minitab.py")
stream += record(6, b"", sized(b"Field trial 2004") + sized(b"Site B")) + record(5, b"", b"\0" * 20)  # a kind passed over
stream += column(1, False, "Yield", "grain yield in t/ha, measured at harvest time", [5.5, None, 7.25, 1e300])
stream += column(2, True, "Sex!", "", ["m", "f", "f"]) + column(3, True, "Plot", "", ["a1", "  b2  ", ""])
open("stream14.bin", "wb").write(stream)
expect("stream14", ["Yield", "Sex", "Plot"], [[5.5, "m", "a1"], [None, "f", "b2"], [7.25, "f", ""], [1e300, None, None]])
if shutil.which("gsf"):
    with tempfile.TemporaryDirectory() as d:
        shutil.copy("stream14.bin", os.path.join(d, "Worksheet"))
        subprocess.run([shutil.which("gsf"), "createole", os.path.abspath("embedded14.mtw"), "Worksheet"], cwd=d, check=True)

head = "Minitab Portable Worksheet made by make_minitab.py\n%   3         1         4         0 Height\n"
open("portable.mtp", "w").write(head + """  1.5000000E+00  2.0000000E+00
  x  4.0000000E+00
%   3         2         3        -5 Word
alpha beta  gamma
%   3         3         3         0 .
 1 2 1
%   3         4         0         0 Empty
%   3         5         2         0 Dose!
 10 20
""")
expect("portable", ["Height", "Word", "C3", "Dose"],
       [[1.5, "alpha", 1.0, "10"], [2.0, "beta", 2.0, "20"], [None, "gamma", 1.0, None], [4.0, None, None, None]])
# Numbers only, which is what R foreign's read.mtp reads.
open("numeric.mtp", "w").write(head + "  1.5000000E+00  2.0000000E+00\n  3.2500000E+00  4.0000000E+00\n"
                               "%   3         3         3         0 C3\n 1 2 1\n")
expect("numeric", ["Height", "C3"], [[1.5, 1.0], [2.0, 2.0], [3.25, 1.0], [4.0, None]])
