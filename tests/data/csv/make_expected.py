#!/usr/bin/python3
"""Expected outputs for kinds.csv, built from a hand-written description of the sheet that
the file must give (not from the converter's output): the package spreadsheet file in its
three versions with struct.pack, the comma-, tab-separated and aligned text layouts, and the
command file, directive by directive through a model of the command file's line-keeping buffer.

Run from this directory: /usr/bin/python3 make_expected.py
"""
import struct

MISSING = -1e307
MAGIC = {1: 53315331, 2: 53325332, 3: 54415441}

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


def g(v):
    return "*" if v <= MISSING else "%g" % v


def i32(v):
    return struct.pack("<i", v)


def f64(v):
    return struct.pack("<d", v)


def sstr(s):
    b = s.encode("latin-1")
    return i32(len(b)) + b


def vsh(version):
    out = i32(MAGIC[version]) + i32(1) + i32(len(COLUMNS)) + i32(4) + f64(MISSING)
    if version >= 2:
        out += i32(0)  # header flag
    if version >= 3:
        out += i32(0) + i32(0) + i32(0) + i32(0)  # header word, content flags, 0, further length
    for c in COLUMNS:
        t = c["type"]
        rep = 4 if t == 3 or (t == 2 and c["origin"] == 2) else 1
        width = 6  # every column of a sheet made from text starts 6 wide
        width = min(width, {1: 40, 2: 60, 3: 90}[version])
        out += i32(t) + i32(4) + sstr(c["name"])
        if version >= 3:
            out += sstr("")  # extra text
        out += i32(rep) + i32(width)
        if version >= 2:
            out += i32(0)  # justification
        if version >= 3:
            out += i32(0 * 64 + 1) + i32(0) + i32(0)  # date word, flags word, reserved
        if t == 3:
            out += i32(max(len(s) for s in c["texts"]))
            for s in c["texts"]:
                out += sstr(s)
        elif t == 4:
            out += i32(-1)
            for v in c["values"]:
                out += f64(v)
        elif t == 2:
            labels = c.get("labels", [])
            nlevels = len(labels) if labels else c["nlevels"]
            out += i32(nlevels) + i32(0) + i32(len(labels))
            if version >= 2:
                out += i32(c["origin"])
            if labels:
                out += i32(max(len(s) for s in labels))
                for s in labels:
                    out += sstr(s)
            for k in c["cells"]:
                out += f64(float(k))
    return out


def cell_texts(c, quote):
    """Cells of one column as the text writer shows them."""
    t = c["type"]
    if t == 3 or (t == 2 and c["origin"] == 2):
        texts = c["texts"] if t == 3 else [c["labels"][k - 1] for k in c["cells"]]
        if quote:
            return ["'" + s.replace("'", "''") + "'" for s in texts], False
        return texts, False
    if t == 2:
        return [g(float(k)) for k in c["cells"]], True
    return [g(v) for v in c["values"]], True


def name_right(c):
    if c["type"] == 2:
        return c["origin"] != 2
    return c["type"] != 3


def padded(csv, plain_names=False):
    quote = csv
    fields = []
    for c in COLUMNS:
        cells, right = cell_texts(c, quote)
        shown = c["name"] + ("!" if c["type"] == 2 and not plain_names else "")
        w = max(1 + max(len(s) for s in cells), len(c["name"]) + (2 if c["type"] == 2 else 1))
        if csv:
            w = max(w, len(shown) + 1)
        fields.append((w, cells, right, shown, name_right(c)))

    def put(text, w, right):
        room = w - 1
        return (text.rjust(room) if right else text.ljust(room)) + ("," if csv else " ")

    lines = ["".join(put(f[3], f[0], f[4]) for f in fields)]
    for r in range(4):
        lines.append("".join(put(f[1][r], f[0], f[2]) for f in fields))
    if csv:
        lines = [l[:-1] for l in lines]
    return "".join(l + "\n" for l in lines)


def tabbed():
    lines = ["\t".join(c["name"] for c in COLUMNS)]
    cols = [cell_texts(c, False)[0] for c in COLUMNS]
    for r in range(4):
        lines.append("\t".join(col[r] for col in cols))
    return "".join(l + "\n" for l in lines)


class CommandBuffer:
    """The command file's output buffer: lines stay under 78 characters. Directive text
    ("emit") that would reach the limit is continued after a backslash; a data item ("put")
    moves to a new line instead, unless it is a single character or starts with ":"."""

    LIMIT = 78

    def __init__(self):
        self.written = ""
        self.held = ""  # bytes since the last flush
        self.line = 0

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
        if k > n:
            self.line += n
        else:
            self.line = n - text.rfind("\n") - 1
        if flush:
            self.flush()

    def flush(self):
        self.written += self.held
        self.held = ""

    def emit(self, text):
        self.add(text, 1)

    def put(self, text):
        self.add(text, 0)


def quoted(s):
    """A text inside a quoted package string: quotes, backslash and backquote doubled."""
    out = ""
    for ch in s[:90]:
        out += ch * 2 if ch in "\"'\\`" else ch
    return out


def number(v):
    if v <= MISSING:
        return "*"
    return ("%.12e" if abs(v) > 1e9 else "%.12g") % v


def vxc(source):
    """The command file of the sheet, as written with default options."""
    b = CommandBuffer()
    b.emit('"Data taken from File: %s"\n\n' % source)
    # The DELETE line names every column of the list, the row-number column first.
    names = ["Row"] + [c["name"] for c in COLUMNS]
    for i, name in enumerate(names):
        b.emit(("," if i else "DELETE [redefine=yes] ") + name)
    b.put("\n")
    for c in COLUMNS:
        t, name = c["type"], c["name"]
        if t == 3:
            b.emit("TEXT [nvalues=")
            b.emit("%d] %s" % (len(c["texts"]), name))
            b.emit("\nREAD %s\n" % name)
            for s in c["texts"]:
                b.put("'%s' " % quoted(s))
            b.put(":\n")
        elif t == 4:
            b.emit("VARIATE [nvalues=")
            b.emit("%d] %s" % (len(c["values"]), name))
            b.emit("\nREAD %s\n" % name)
            for v in c["values"]:
                b.put(number(v) + " ")
            b.put(":\n")
        elif t == 2:
            labels = c.get("labels", [])
            nlevels = len(labels) if labels else c["nlevels"]
            b.emit("FACTOR [modify=yes")
            b.emit(";nvalues=%d" % len(c["cells"]))
            b.emit(";levels=%d" % nlevels)  # no level values held: a count
            if labels:
                b.emit(";labels=!t(")
                for k, s in enumerate(labels):
                    b.emit("'%s'" % quoted(s) + ("," if k + 1 < len(labels) else ")"))
            b.emit("] %s" % name)
            b.emit("\n")
            b.emit("READ %s; frepresentation=ordinal\n" % name)
            for k in c["cells"]:
                b.put("%d " % k)
            b.put(":\n")
    # No rows are restricted: RESTRICT with every data column and no condition.
    for i, c in enumerate(COLUMNS):
        b.emit(("," if i else "RESTRICT ") + c["name"])
    b.emit("\n")
    b.add("RETURN [CLOSE=yes]\n\n", 1, flush=True)
    b.flush()
    return b.written


if __name__ == "__main__":
    for v in (1, 2, 3):
        with open("kinds_v%d.vsh" % v, "wb") as f:
            f.write(vsh(v))
    with open("kinds_expected.csv", "w", newline="") as f:
        f.write(padded(csv=True))
    with open("kinds_expected.txt", "w", newline="") as f:
        f.write(padded(csv=False))  # the lines after the heading line
    with open("kinds_expected.tab", "w", newline="") as f:
        f.write(tabbed())
    with open("kinds_expected.vxc", "w", newline="") as f:
        f.write(vxc("kinds.csv"))
