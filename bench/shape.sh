#!/usr/bin/env bash
# Benchmark (not a test): 1,000,000 points with attributes, written as a shapefile by ogr2ogr
# (gdal-bin), converted to CSV by morvalen and by `ogr2ogr -f CSV -lco GEOMETRY=AS_XY`, with
# times, peak memory and their ratio. REC becomes a million-level factor on our side.
# Usage: bench/shape.sh [points]   (build first: cmake --preset default && cmake --build --preset default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin="$root/build/morvalen"
rows=${1:-1000000}
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
size=$(( $(stat -c %s big.shp) + $(stat -c %s big.dbf) ))
echo "input: $rows points, $(( size / 1048576 )) MiB .shp + .dbf"

measure() {
    local log="$work/time.log"
    /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log"; exit 1; }
    local secs kb
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$log")
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
    echo "$secs $kb"
}

read -r t_m m_m < <(measure "$bin" big.shp big.csv)
read -r t_o m_o < <(measure ogr2ogr -f CSV ogr.csv big.shp -lco GEOMETRY=AS_XY)
mib() { awk -v k="$1" 'BEGIN {printf "%.0f MiB", k / 1024}'; }
printf '%-34s %8.2f s   peak %s\n' "morvalen big.shp big.csv" "$t_m" "$(mib "$m_m")"
printf '%-34s %8.2f s   peak %s\n' "ogr2ogr -f CSV -lco GEOMETRY=AS_XY" "$t_o" "$(mib "$m_o")"
awk -v a="$t_m" -v b="$t_o" -v m="$m_m" -v s="$size" 'BEGIN {
    printf "shapefile to CSV: ogr2ogr / morvalen = %.2f (target above 1)\n", b / a
    printf "peak memory / input size: %.2f\n", m * 1024 / s
}'
