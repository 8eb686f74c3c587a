#!/usr/bin/env bash
# Lotus and Quattro reading speed: makes an 8,192-row by 256-column WK1 worksheet and WB2
# notebook with the test-file generator's record writers, then times converting each to CSV
# with morvalen and with ssconvert (gnumeric). Prints the timing table of bench/lib.sh.
# Usage: bench/sheets.sh [path to morvalen]   (default: build/morvalen; BENCH_SHEET_ROWS for fewer rows)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/lib.sh"
morvalen="${1:-${MORVALEN:-$here/build/morvalen}}"
rows=${BENCH_SHEET_ROWS:-8192}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 - "$here/tests/data/lotus" "$rows" <<'PY'
import random, struct, sys
sys.path.insert(0, sys.argv[1])
from make_lotus import rec, value_rec, wk1_cell
# A Quattro Pro for DOS cell: column, page, row, format, then the value as in Lotus.
wb_cell = lambda page, row, col, kind, value: value_rec(struct.pack("<BBHH", col, page, row, 0), kind, value)
rows, cols = int(sys.argv[2]), 256
random.seed(7)
cells = [(0, c, "l", "V%d" % (c + 1)) for c in range(cols)]
for r in range(1, rows):
    for c in range(cols):
        if c % 8 == 7:
            cells.append((r, c, "l", "t%d" % random.randint(1, 500)))
        elif c % 3 == 0:
            cells.append((r, c, "i", random.randint(0, 1000)))
        else:
            cells.append((r, c, "n", random.uniform(-100, 100)))
head = rec(0x06, struct.pack("<HHHH", 0, 0, cols - 1, rows - 1))
with open("big.wk1", "wb") as f:
    f.write(rec(0x00, struct.pack("<H", 0x0406)) + head + b"".join(wk1_cell(*c) for c in cells) + rec(0x01))
with open("big.wb2", "wb") as f:
    f.write(rec(0x00, struct.pack("<H", 0x1002)) + head + rec(0xCA, b"\0"))
    f.write(b"".join(wb_cell(0, *c) for c in cells) + rec(0xCB) + rec(0x01))
PY

for f in big.wk1 big.wb2; do
  bench_workload "${f#big.}" "$(stat -c %s "$f")" $(sheet_bytes "$rows" 256)
  bench_run morvalen "$morvalen" "$f" out_m.csv
  bench_run ssconvert ssconvert "$f" out_s.csv
done
bench_finish
