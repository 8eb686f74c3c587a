#!/usr/bin/env bash
# Benchmark of the Matlab and ARFF readers: makes a 1,000,000-row by 20-column matrix as a level
# 4 and a level 5 MAT-file (scipy) and as an ARFF file (liac-arff's writer), then times
# morvalen converting each to CSV against scipy loadmat + pandas to_csv, Weka's CSVSaver and
# liac-arff + pandas, with peak memory.
# Usage: bench/stat3.sh [morvalen binary] (default build/morvalen); work files in $BENCH_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-$root/build/morvalen}")
dir=${BENCH_DIR:-/tmp/morvalen-bench-stat3}
rows=${BENCH_ROWS:-1000000}
mkdir -p "$dir"
cd "$dir"

if [ ! -f big4.mat ] || [ ! -f big5.mat ] || [ ! -f big.arff ]; then
  /usr/bin/python3 - "$rows" <<'PY'
import sys
import numpy as np
import scipy.io as sio
rows = int(sys.argv[1])
rng = np.random.default_rng(1)
a = np.round(rng.normal(50, 10, (rows, 20)), 4)
a[rng.random((rows, 20)) < 0.01] = np.nan
sio.savemat("big4.mat", {"big": a}, format="4")
sio.savemat("big5.mat", {"big": a}, format="5")
with open("big.arff", "w") as f:
    f.write("@RELATION big\n\n")
    for k in range(20):
        f.write("@ATTRIBUTE x%d NUMERIC\n" % (k + 1))
    f.write("\n@DATA\n")
    for row in a:
        f.write(",".join("?" if np.isnan(v) else repr(float(v)) for v in row) + "\n")
PY
fi
ls -l big4.mat big5.mat big.arff

measure() {
  local label=$1
  shift
  rm -f out.csv
  /usr/bin/time -v "$@" >/dev/null 2>time.txt || { tail -5 time.txt; return 1; }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' time.txt)
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' time.txt)
  printf '  %-14s %8.2f s %8s MB\n' "$label" "$wall" "$rss"
  eval "t_${label//[^a-z]/_}=$wall"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "inf" }'; }

for f in big4.mat big5.mat; do
  echo "== $f"
  measure morvalen "$bin" "$f" out.csv
  measure scipy /usr/bin/python3 -c "import scipy.io as s, pandas as p; p.DataFrame(s.loadmat('$f')['big']).to_csv('out.csv', index=False)"
  echo "  scipy+pandas / morvalen: $(ratio "$t_morvalen" "$t_scipy")"
done
echo "== big.arff"
measure morvalen "$bin" big.arff out.csv
measure weka sh -c "java -Xmx4g -cp /usr/share/java/weka.jar weka.core.converters.CSVSaver -i big.arff > out.csv"
measure liac /usr/bin/python3 -c "import arff, pandas as p; d = arff.load(open('big.arff')); p.DataFrame(d['data']).to_csv('out.csv', index=False)"
echo "  weka / morvalen: $(ratio "$t_morvalen" "$t_weka")   liac+pandas / morvalen: $(ratio "$t_morvalen" "$t_liac")"
