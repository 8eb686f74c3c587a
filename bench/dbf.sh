#!/usr/bin/env bash
# Benchmark (not a test): a 1,000,000-row dBase table made by ogr2ogr (gdal-bin) converted to
# CSV by morvalen and by `ogr2ogr -f CSV`; then checks that CSV -> .vsh -> CSV gives the values
# of CSV -> CSV. Prints the timing table of bench/lib.sh.
# Usage: bench/dbf.sh [rows]   (or BENCH_ROWS; build first: cmake --preset default && cmake --build --preset default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. "$root/bench/lib.sh"
bin="${MORVALEN:-$root/build/morvalen}"
rows=${1:-${BENCH_ROWS:-1000000}}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin" ] || { echo "build morvalen first"; exit 1; }
command -v ogr2ogr >/dev/null || { echo "ogr2ogr (gdal-bin) not installed"; exit 1; }

/usr/bin/python3 - "$work/src.csv" "$rows" <<'PY'
import random, sys
path, n = sys.argv[1], int(sys.argv[2])
rnd = random.Random(11)
sites = ["Ashby", "Brook Farm", "Coldharbour", "Dene", "Elm Row"]
with open(path, "w") as f:
    f.write("id,site,yield,height,count,visited\n")
    for i in range(1, n + 1):
        y = "" if rnd.random() < 0.02 else "%.2f" % rnd.uniform(4, 8)
        f.write("%d,%s,%s,%.1f,%d,%04d-%02d-%02d\n" % (i, rnd.choice(sites), y, rnd.uniform(60, 100),
                rnd.randint(0, 500), rnd.randint(1990, 2026), rnd.randint(1, 12), rnd.randint(1, 28)))
PY
cd "$work"
ogr2ogr -f "ESRI Shapefile" -oo AUTODETECT_TYPE=YES big.dbf src.csv
bench_workload dbf "$(stat -c %s big.dbf)" $(sheet_bytes "$rows" 6)
bench_run morvalen "$bin" big.dbf big.csv
bench_run ogr2ogr ogr2ogr -f CSV ogr.csv big.dbf
bench_finish

# The package file keeps every value: CSV -> .vsh -> CSV equals CSV -> CSV.
"$bin" big.csv direct.csv >/dev/null
"$bin" big.csv via.vsh >/dev/null
"$bin" via.vsh via.csv >/dev/null
if cmp -s direct.csv via.csv; then echo "CSV -> .vsh -> CSV: same as CSV -> CSV"; else echo "CSV -> .vsh -> CSV DIFFERS"; exit 1; fi
