#!/usr/bin/env bash
# Excel reading speed: makes a 65,000-row by 20-column Excel 97 workbook with gnumeric, then
# times converting it to CSV with morvalen and with ssconvert, and reading it with python3-xlrd.
# Prints the timing table of bench/lib.sh.
# Usage: bench/xls.sh [path to morvalen]   (default: build/morvalen; BENCH_XLS_ROWS for fewer rows)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/bench/lib.sh"
morvalen="${1:-${MORVALEN:-$here/build/morvalen}}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

rows=${BENCH_XLS_ROWS:-65000}
cols=20
/usr/bin/python3 - "$rows" "$cols" <<'PY'
import random, sys
rows, cols = int(sys.argv[1]), int(sys.argv[2])
random.seed(7)
with open("big.csv", "w") as f:
    f.write(",".join("V%d" % (j + 1) for j in range(cols)) + "\n")
    for i in range(rows):
        cells = []
        for j in range(cols):
            if j == 0:
                cells.append(str(i + 1))
            elif j % 5 == 4:
                cells.append("t%d" % random.randint(1, 500))
            elif j % 3 == 0:
                cells.append(str(random.randint(0, 1000)))
            else:
                cells.append("%.4f" % random.uniform(-100, 100))
        f.write(",".join(cells) + "\n")
PY
ssconvert -T Gnumeric_Excel:excel_biff8 big.csv big.xls >/dev/null 2>&1

bench_workload xls "$(stat -c %s big.xls)" $(sheet_bytes "$rows" "$cols")
bench_run morvalen "$morvalen" big.xls out_m.csv
bench_run ssconvert ssconvert big.xls out_s.csv
bench_run xlrd /usr/bin/python3 -c "
import xlrd
b = xlrd.open_workbook('big.xls')
s = b.sheet_by_index(0)
n = sum(len(s.row_values(r)) for r in range(s.nrows))
"
bench_finish
