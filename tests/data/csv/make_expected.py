#!/usr/bin/python3
# Expected outputs for kinds.csv, built from a hand-written description of the sheet that
# the file must give (not from the converter's output): the package spreadsheet file in its
# three versions with struct.pack, the comma-, tab-separated and aligned text layouts, and the
# command file, directive by directive through a model of the command file's line-keeping buffer.
#
# Run from this directory: /usr/bin/python3 make_expected.py

import struct

MISSING = -1e307
MAGIC = {1: 53315331, 2: 53325332, 3: 54415441}
ORDER = "<"  # the byte order of the package spreadsheet files built; make_vsh.py builds ">" too

# kinds.csv read with default options:
# - Site: text (blanks around " East " stripped)
# - Plot: variate 1..4
# - Treatment!: factor from text, labels sorted without regard to case, origin 2
# - Dose: variate with a "*" (missing) and 1e10
# - Score!: factor from numbers 3, 1, 3, 2: the values are 1..3, so no level list, origin 0
# - Comment: text; quoted comma, doubled double quotes, an empty field, single-quoted O''Brien
COLUMNS = [
    dict(name="Site", type=3, texts=["North", "South", "North", "East"]),
    dict(name="Plot", type=4, values=[1.0, 2.0, 3.0, 4.0]),
    dict(name="Treatment", type=2, origin=2, labels=["Control", "High N", "low n"], cells=[1, 2, 1, 3]),
    dict(name="Dose", type=4, values=[0.5, 1.25, MISSING, 1e10]),
    dict(name="Score", type=2, origin=0, nlevels=3, cells=[3, 1, 3, 2]),
    dict(name="Comment", type=3, texts=["fine, dry", 'said "ok"', "", "O'Brien"]),
]


def g(v): return "*" if v <= MISSING else "%g" % v
def i32(*vs): return struct.pack(ORDER + "i" * len(vs), *vs)
def f64(*vs): return struct.pack(ORDER + "d" * len(vs), *vs)
def sstr(*ss): return b"".join(i32(len(s)) + s.encode("latin-1") for s in ss)
def labelled(c): return c["type"] == 3 or (c["type"] == 2 and c["origin"] == 2)


def vsh(v):
    # Header; version 2 adds a flag, version 3 a header word, content flags, 0 and a further length.
    out = i32(MAGIC[v], 1, len(COLUMNS), 4) + f64(MISSING) + i32(*[0] * ((v >= 2) + 4 * (v >= 3)))
    for c in COLUMNS:
        t = c["type"]
        # Every column of a sheet made from text starts 6 wide; version 3 adds the extra text, the
        # date word, flags and a reserved word, version 2 the justification.
        out += i32(t, 4) + sstr(c["name"], *[""] * (v >= 3)) + i32(4 if labelled(c) else 1, 6)
        out += i32(*[0] * (v >= 2)) + i32(*[1, 0, 0] * (v >= 3))
        if t == 3:
            out += i32(max(len(s) for s in c["texts"])) + sstr(*c["texts"])
        elif t == 4:
            out += i32(-1) + f64(*c["values"])
        else:
            labels = c.get("labels", [])
            out += i32(len(labels) or c["nlevels"], 0, len(labels), *[c["origin"]] * (v >= 2))
            if labels:
                out += i32(max(len(s) for s in labels)) + sstr(*labels)
            out += f64(*map(float, c["cells"]))
    return out


def cell_texts(c, quote):
    # Cells of one column as the text writer shows them, and whether they stand to the right.
    if labelled(c):
        texts = c["texts"] if c["type"] == 3 else [c["labels"][k - 1] for k in c["cells"]]
        return (["'" + s.replace("'", "''") + "'" for s in texts] if quote else texts), False
    return [g(float(v)) for v in c.get("values", c.get("cells"))], True


def padded(csv):
    fields = []
    for c in COLUMNS:
        cells, right = cell_texts(c, csv)
        shown = c["name"] + ("!" if c["type"] == 2 else "")
        w = max(1 + max(len(s) for s in cells), len(shown) + 1)
        fields.append((w, cells, right, shown, not labelled(c)))

    def put(text, w, right):
        return (text.rjust(w - 1) if right else text.ljust(w - 1)) + ("," if csv else " ")

    lines = ["".join(put(f[3], f[0], f[4]) for f in fields)]
    lines += ["".join(put(f[1][r], f[0], f[2]) for f in fields) for r in range(4)]
    return "".join((l[:-1] if csv else l) + "\n" for l in lines)


def tabbed():
    cols = [cell_texts(c, False)[0] for c in COLUMNS]
    lines = ["\t".join(c["name"] for c in COLUMNS)] + ["\t".join(col[r] for col in cols) for r in range(4)]
    return "".join(l + "\n" for l in lines)


class CommandBuffer:
    # The command file's output buffer: lines stay under 78 characters. Directive text
    # ("emit") that would reach the limit is continued after a backslash; a data item ("put")
    # moves to a new line instead, unless it is a single character or starts with ":".
    LIMIT = 78

    def __init__(self):
        self.written, self.held, self.line = "", "", 0  # held: bytes since the last flush

    def add(self, text, continue_mode, flush=False):
        n = len(text)
        if n == 0:
            return
        if not self.held:
            self.line = 0
        k = n + 1
        if self.line + n >= self.LIMIT or continue_mode:
            if self.held.endswith("\n"):
                self.line = 0
            nl = text.find("\n")
            k = nl + 1 if nl >= 0 else n + 1
            if self.line + k >= self.LIMIT:
                if continue_mode:
                    self.held += "\\\n"
                elif n > 1 and not text.startswith(":"):
                    self.held += "\n"
                self.line = 0
        self.held += text
        self.line = self.line + n if k > n else n - text.rfind("\n") - 1
        if flush:
            self.written, self.held = self.written + self.held, ""

    def emit(self, *texts):
        for t in texts:
            self.add(t, 1)

    def put(self, *texts):
        for t in texts:
            self.add(t, 0)


def quoted(s):
    # A text inside a quoted package string: quotes, backslash and backquote doubled.
    return "".join(ch * 2 if ch in "\"'\\`" else ch for ch in s[:90])


def number(v):
    return "*" if v <= MISSING else ("%.12e" if abs(v) > 1e9 else "%.12g") % v


def vxc(source):
    # The command file of the sheet, as written with default options.
    b = CommandBuffer()
    b.emit('"Data taken from File: %s"\n\n' % source)
    # The DELETE line names every column of the list, the row-number column first.
    b.emit(*[("," if i else "DELETE [redefine=yes] ") + n for i, n in enumerate(["Row"] + [c["name"] for c in COLUMNS])])
    b.put("\n")
    for c in COLUMNS:
        t, name = c["type"], c["name"]
        if t in (3, 4):
            cells = ["'%s' " % quoted(s) for s in c["texts"]] if t == 3 else [number(v) + " " for v in c["values"]]
            b.emit("TEXT [nvalues=" if t == 3 else "VARIATE [nvalues=", "%d] %s" % (len(cells), name), "\nREAD %s\n" % name)
        else:
            labels = c.get("labels", [])
            # No level values held: the levels are a count.
            b.emit("FACTOR [modify=yes", ";nvalues=%d" % len(c["cells"]), ";levels=%d" % (len(labels) or c["nlevels"]))
            if labels:
                b.emit(";labels=!t(", *["'%s'" % quoted(s) + ("," if k + 1 < len(labels) else ")") for k, s in enumerate(labels)])
            b.emit("] %s" % name, "\n", "READ %s; frepresentation=ordinal\n" % name)
            cells = ["%d " % k for k in c["cells"]]
        b.put(*cells, ":\n")
    # No rows are restricted: RESTRICT with every data column and no condition.
    b.emit(*[("," if i else "RESTRICT ") + c["name"] for i, c in enumerate(COLUMNS)], "\n")
    b.add("RETURN [CLOSE=yes]\n\n", 1, flush=True)
    return b.written


if __name__ == "__main__":
    files = {"kinds_v%d.vsh" % v: vsh(v) for v in (1, 2, 3)}
    files.update({"kinds_expected.csv": padded(csv=True), "kinds_expected.txt": padded(csv=False),
                  "kinds_expected.tab": tabbed(), "kinds_expected.vxc": vxc("kinds.csv")})
    for name, data in files.items():  # the .txt holds the lines after the heading line
        with open(name, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("latin-1"))
