#!/usr/bin/env bash
# Benchmark (not a test): 1,000,000 points with attributes, written as a shapefile by ogr2ogr
# (gdal-bin), converted to CSV by morvalen and by `ogr2ogr -f CSV -lco GEOMETRY=AS_XY`. REC
# becomes a million-level factor on our side. Prints the timing table of bench/lib.sh.
# Usage: bench/shape.sh [points]   (or BENCH_ROWS; build first: cmake --preset default && cmake --build --preset default)
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
rnd = random.Random(5)
kinds = ["well", "spring", "bore", "tank"]
with open(path, "w") as f:
    f.write("WKT,id,kind,depth\n")
    for i in range(1, n + 1):
        f.write('"POINT (%.6f %.6f)",%d,%s,%.2f\n' % (rnd.uniform(-180, 180), rnd.uniform(-90, 90), i,
                rnd.choice(kinds), rnd.uniform(0, 300)))
PY
cd "$work"
ogr2ogr -f "ESRI Shapefile" big.shp src.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES
bench_workload shp $(( $(stat -c %s big.shp) + $(stat -c %s big.dbf) )) $(sheet_bytes "$rows" 6)
bench_run morvalen "$bin" big.shp big.csv
bench_run ogr2ogr ogr2ogr -f CSV ogr.csv big.shp -lco GEOMETRY=AS_XY
bench_finish
