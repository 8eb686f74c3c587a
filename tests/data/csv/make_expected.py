#!/usr/bin/python3
# Expected outputs for kinds.csv from a hand-written description of its sheet (not from the converter):
# the package spreadsheet file in its three versions, the comma-, tab-separated and aligned text layouts,
# and the command file through a model of its line-keeping buffer. Run from here: /usr/bin/python3 make_expected.py
import struct

MISSING = -1e307
MAGIC = {1: 53315331, 2: 53325332, 3: 54415441}
ORDER = "<"  # the byte order of the package spreadsheet files built; make_vsh.py builds ">" too

# kinds.csv with default options: " East " stripped; Treatment! a factor from text (labels sorted
# ignoring case, origin 2); Score! a factor from 3, 1, 3, 2 (values 1..3: no level list, origin 0);
# Comment has a quoted comma, doubled double quotes, an empty field and O''Brien.
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
def widest(ss): return i32(max(len(s) for s in ss)) + sstr(*ss)


def vsh(v):
    # Version 2 adds a flag (and each column's justification), version 3 a header word, content flags,
    # 0 and a further length (and each column's extra text, date word, flags and reserved word).
    out = i32(MAGIC[v], 1, len(COLUMNS), 4) + f64(MISSING) + i32(*[0] * ((v >= 2) + 4 * (v >= 3)))
    for c in COLUMNS:
        t, labels = c["type"], c.get("labels", [])
        out += i32(t, 4) + sstr(c["name"], *[""] * (v >= 3)) + i32(4 if labelled(c) else 1, 6)  # 6 wide
        out += i32(*[0] * (v >= 2)) + i32(*[1, 0, 0] * (v >= 3))
        if t == 3:
            out += widest(c["texts"])
        elif t == 4:
            out += i32(-1) + f64(*c["values"])
        else:
            out += i32(len(labels) or c["nlevels"], 0, len(labels), *[c["origin"]] * (v >= 2))
            out += (widest(labels) if labels else b"") + f64(*map(float, c["cells"]))
    return out


def cell_texts(c, quote):
    # Cells of one column as the text writer shows them, and whether they stand to the right.
    if not labelled(c):
        return [g(float(v)) for v in c.get("values", c.get("cells"))], True
    texts = c["texts"] if c["type"] == 3 else [c["labels"][k - 1] for k in c["cells"]]
    return (["'" + s.replace("'", "''") + "'" for s in texts] if quote else texts), False


def padded(csv):
    def put(text, w, right): return (text.rjust(w - 1) if right else text.ljust(w - 1)) + ("," if csv else " ")
    fields = []  # width, heading and cells, whether right-aligned
    for c in COLUMNS:
        cells, right = cell_texts(c, csv)
        shown = c["name"] + ("!" if c["type"] == 2 else "")
        fields.append((max(1 + max(len(s) for s in cells), len(shown) + 1), [shown] + cells, right))
    lines = ["".join(put(f[1][r], f[0], f[2]) for f in fields) for r in range(5)]
    return "".join((l[:-1] if csv else l) + "\n" for l in lines)


def tabbed():
    cols = [cell_texts(c, False)[0] for c in COLUMNS]
    return "".join("\t".join(l) + "\n" for l in [[c["name"] for c in COLUMNS]] + [[c[r] for c in cols] for r in range(4)])


class CommandBuffer:
    # Lines stay under 78 characters: directive text ("emit") that would reach the limit is continued
    # after a backslash; a data item ("put") moves to a new line unless it is one character or starts ":".
    written, held, line = "", "", 0  # held: bytes since the last flush

    def add(self, text, continue_mode, flush=False):
        n, k = len(text), len(text) + 1
        if n == 0:
            return
        self.line = self.line if self.held else 0
        if self.line + n >= 78 or continue_mode:
            self.line = 0 if self.held.endswith("\n") else self.line
            k = text.find("\n") + 1 or n + 1
            if self.line + k >= 78:
                self.held += "\\\n" if continue_mode else "\n" if n > 1 and not text.startswith(":") else ""
                self.line = 0
        self.held += text
        self.line = self.line + n if k > n else n - text.rfind("\n") - 1
        if flush:
            self.written, self.held = self.written + self.held, ""

    def emit(self, *texts): [self.add(t, 1) for t in texts]
    def put(self, *texts): [self.add(t, 0) for t in texts]


def quoted(s):  # a text inside a quoted package string: quotes, backslash and backquote doubled
    return "".join(ch * 2 if ch in "\"'\\`" else ch for ch in s[:90])


def number(v): return "*" if v <= MISSING else ("%.12e" if abs(v) > 1e9 else "%.12g") % v
def listed(head, names): return [("," if i else head) + n for i, n in enumerate(names)]


def vxc(source):
    # The command file written with default options; DELETE names the row-number column first.
    b = CommandBuffer()
    b.emit('"Data taken from File: %s"\n\n' % source, *listed("DELETE [redefine=yes] ", ["Row"] + [c["name"] for c in COLUMNS]))
    b.put("\n")
    for c in COLUMNS:
        t, name, labels = c["type"], c["name"], c.get("labels", [])
        if t in (3, 4):
            cells = ["'%s' " % quoted(s) for s in c["texts"]] if t == 3 else [number(v) + " " for v in c["values"]]
            b.emit("TEXT [nvalues=" if t == 3 else "VARIATE [nvalues=", "%d] %s" % (len(cells), name), "\nREAD %s\n" % name)
        else:  # no level values held: the levels are a count
            b.emit("FACTOR [modify=yes", ";nvalues=%d" % len(c["cells"]), ";levels=%d" % (len(labels) or c["nlevels"]))
            if labels:
                b.emit(";labels=!t(", *["'%s'" % quoted(s) + ("," if k + 1 < len(labels) else ")") for k, s in enumerate(labels)])
            b.emit("] %s" % name, "\n", "READ %s; frepresentation=ordinal\n" % name)
            cells = ["%d " % k for k in c["cells"]]
        b.put(*cells, ":\n")
    b.emit(*listed("RESTRICT ", [c["name"] for c in COLUMNS]), "\n")  # no rows restricted: no condition
    b.add("RETURN [CLOSE=yes]\n\n", 1, flush=True)
    return b.written


if __name__ == "__main__":
    files = {"kinds_v%d.vsh" % v: vsh(v) for v in (1, 2, 3)}
    files.update({"kinds_expected.csv": padded(csv=True), "kinds_expected.txt": padded(csv=False),
                  "kinds_expected.tab": tabbed(), "kinds_expected.vxc": vxc("kinds.csv")})
    for name, data in files.items():  # the .txt holds the lines after the heading line
        open(name, "wb").write(data if isinstance(data, bytes) else data.encode("latin-1"))
