#!/usr/bin/python3
# An Epi-Info .REC file from the layout: count line, field lines, records cut into lines of 78 ended by "!" ("?" at
# the end of a deleted record). R's foreign::read.epiinfo reads it (check_epi.R). Run from here.


def rec_file(path, fields, records):
    lines = ["%d 1 0 0" % len(fields)] + ["%-11s %3d %3d %3d %3d %3d %3d %3d %3d" % (n, 1, 1, 3, 12, 1, t, w, 14)
                                           for n, t, w in fields]
    total = sum(f[2] for f in fields)
    for values, deleted in records:
        text = "".join(v.ljust(f[2])[: f[2]] for v, f in zip(values, fields))
        assert len(text) == total
        parts = [text[i : i + 78] for i in range(0, total, 78)]
        lines += [p + ("?" if deleted and k == len(parts) - 1 else "!") for k, p in enumerate(parts)]
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


# One field of each kind; 98 characters a record, so two lines each.
rec_file("types.rec", [("#NAME", 1, 10), ("#BORN", 2, 8), ("#EURO", 11, 10), ("#SMOKER", 5, 1), ("#WEIGHT", 102, 6),
                       ("#AGE", 0, 3), ("#SKIP", 1, 0), ("#NOTE", 1, 60)], [
    (["Ann", "12/31/95", "31/12/1995", "y", "  3.25", " 41", "", "first of two lines"], False),
    (["Bob", "01/02/05", "02/01/2005", "N", "12.5  ", "  7", "", "deleted record"], True),
    (["Cy", "        ", "          ", " ", "      ", "   ", "", "x" * 60], False),
    (["Di", "07/04/76", "04/07/1976", "N", "-1    ", "100", "", "long note"], False),
])
