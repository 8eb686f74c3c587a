#!/usr/bin/python3
# Systat files from the published layout, and .expect files: names (strings keep their "$"), then a line per
# case (tabs, NA for missing). Run from this directory: /usr/bin/python3 make_systat.py
import struct


def record(data):
    """One record as blocks: marker, up to 128 bytes, marker; 129 marks a continued block."""
    out = b""
    while len(data) > 128:
        out, data = out + b"\x81" + data[:128] + b"\x81", data[128:]
    return out + bytes([len(data)]) + data + bytes([len(data)])


def properties(labels):
    """Property area in the first comments: 4 zero bytes and its size, then entries of type, length (index
    and label), variable number from 1 and the label."""
    body = b"".join(struct.pack("<III", 4, 4 + len(label), i) + label.encode() for i, label in labels.items())
    area = struct.pack("<II", 0, 8 + len(body)) + body
    area += b" " * (-len(area) % 72)
    return [area[i:i + 72] for i in range(0, len(area), 72)]


def systat(name, variables, cases, double=False, labels=None):
    # The last comment record starts with "$"; a string name keeps its "$" in column 9, as Systat writes it.
    out = b"\x4b" + record(b"\x1e\0\0\0\0\0") + b"".join(
        record((c if isinstance(c, bytes) else c.encode()).ljust(72)[:72])
        for c in (properties(labels) if labels else []) + ["made by make_systat.py", "$"])
    out += record(struct.pack("<3h", len(variables), 1, 2 if double else 1))  # rectangular
    out += b"".join(record((v[:-1].ljust(8) + "$" if "$" in v else v).encode().ljust(12)) for v in variables)
    numeric, strings = [i for i, v in enumerate(variables) if "$" not in v], [i for i, v in enumerate(variables) if "$" in v]
    code = "<d" if double else "<f"
    for case in cases:
        data = b"".join(struct.pack(code, -1e36 if case[i] is None else case[i]) for i in numeric)
        out += record(data + b"".join(case[i].encode().ljust(12)[:12] for i in strings))
    open(name + ".sys", "wb").write(out + b"\x82")
    with open(name + ".expect", "w") as f:
        f.write("\t".join(variables) + "\n")
        f.writelines("\t".join("NA" if v is None else v.rstrip() if isinstance(v, str)
                               else repr(float(struct.unpack(code, struct.pack(code, v))[0])) for v in case) + "\n"
                     for case in cases)


VARS = ["ID", "NAME$", "HEIGHT", "TOWN$", "WEIGHT"]
CASES = [[1, "ann", 170.5, "Leeds", 61.25], [2, "bob smith", None, "York", -9e35], [3, "", 181.0, "  Hull", 1e30],
         [4, "cy", 0.1, "", None]]
systat("single", VARS, CASES)
systat("double", VARS, CASES, double=True, labels={1: "Identity", 3: "Height in cm\x01x", 5: "W" * 50})
WIDE = ["X%d" % i for i in range(1, 41)]
systat("wide_single", WIDE, [[r * 100 + i for i in range(40)] for r in range(3)])
systat("wide_double", WIDE, [[r * 100 + i + 0.5 for i in range(40)] for r in range(3)], double=True)
systat("exact128", WIDE[:32], [[r + i for i in range(32)] for r in range(2)])
