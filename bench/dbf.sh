#!/usr/bin/env bash
# Benchmark (not a test): a 1,000,000-row dBase table made by ogr2ogr (gdal-bin) converted to
# CSV by morvalen and by `ogr2ogr -f CSV`, with times, peak memory and their ratio; then checks
# that CSV -> .vsh -> CSV gives the values of CSV -> CSV.
# Usage: bench/dbf.sh [rows]   (build first: cmake --preset default && cmake --build --preset default)
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
size=$(stat -c %s big.dbf)
echo "input: $rows rows, $(( size / 1048576 )) MiB .dbf"

measure() {
    local log="$work/time.log"
    /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log"; exit 1; }
    local secs kb
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$log")
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
    echo "$secs $kb"
}

read -r t_m m_m < <(measure "$bin" big.dbf big.csv)
read -r t_o m_o < <(measure ogr2ogr -f CSV ogr.csv big.dbf)
mib() { awk -v k="$1" 'BEGIN {printf "%.0f MiB", k / 1024}'; }
printf '%-34s %8.2f s   peak %s\n' "morvalen big.dbf big.csv" "$t_m" "$(mib "$m_m")"
printf '%-34s %8.2f s   peak %s\n' "ogr2ogr -f CSV" "$t_o" "$(mib "$m_o")"
awk -v a="$t_m" -v b="$t_o" -v m="$m_m" -v s="$size" 'BEGIN {
    printf "dBase to CSV: ogr2ogr / morvalen = %.2f (target above 1)\n", b / a
    printf "peak memory / input size: %.2f\n", m * 1024 / s
}'

# The package file keeps every value: CSV -> .vsh -> CSV equals CSV -> CSV.
"$bin" big.csv direct.csv >/dev/null
"$bin" big.csv via.vsh >/dev/null
"$bin" via.vsh via.csv >/dev/null
if cmp -s direct.csv via.csv; then echo "CSV -> .vsh -> CSV: same as CSV -> CSV"; else echo "CSV -> .vsh -> CSV DIFFERS"; exit 1; fi
