#!/usr/bin/env bash
# Benchmark (not a test): a 1,000,000-row by 10-column CSV (numbers, texts, a factor, missing
# values) converted to CSV and to a package spreadsheet file, against pandas read_csv + to_csv
# (Debian's python3-pandas). Prints the timing table of bench/lib.sh.
# Usage: bench/csv.sh [rows]   (or BENCH_ROWS; build first: cmake --preset default && cmake --build --preset default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/bench/lib.sh"
bin="${MORVALEN:-$root/build/morvalen}"
rows=${1:-${BENCH_ROWS:-1000000}}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin" ] || { echo "build morvalen first"; exit 1; }

/usr/bin/python3 - "$work/big.csv" "$rows" <<'EOF'
import random, sys
path, n = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7)
varieties = ["Avalon", "Brigadier", "Cadenza", "Dunston", "Equinox"]
notes = ["", "", "", "lodged", "bird damage, netted", "sample lost", "plot flooded"]
with open(path, "w") as f:
    f.write("Plot,Block,Variety!,Yield,Height,Protein,Moisture,Note,Score,Weight\n")
    for i in range(1, n + 1):
        y = "*" if rnd.random() < 0.02 else "%.2f" % rnd.uniform(4, 8)
        h = "" if rnd.random() < 0.02 else "%.1f" % rnd.uniform(60, 100)
        note = rnd.choice(notes)
        if "," in note:
            note = '"%s"' % note
        f.write("%d,%d,%s,%s,%s,%.3f,%.2f,%s,%d,%.4f\n" % (
            i, (i - 1) // 1000 + 1, rnd.choice(varieties), y, h,
            rnd.uniform(9, 14), rnd.uniform(10, 20), note, rnd.randint(1, 9), rnd.uniform(0, 1000)))
EOF
size=$(stat -c %s "$work/big.csv")
cd "$work"
# The notes average 48/7 bytes of text a row.
bench_workload csv "$size" $(sheet_bytes "$rows" 10 $(( rows * 48 / 7 )))
bench_run morvalen "$bin" big.csv out.csv
bench_run pandas /usr/bin/python3 -c "import pandas as pd; pd.read_csv('big.csv').to_csv('pd.csv', index=False)"
# The package file is binary: it should be written at least as fast as the CSV.
bench_workload csv-vsh "$size" $(sheet_bytes "$rows" 10 $(( rows * 48 / 7 )))
bench_run morvalen "$bin" big.csv big.vsh
bench_again pandas csv
bench_finish
