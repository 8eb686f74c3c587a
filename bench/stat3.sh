#!/usr/bin/env bash
# Benchmark of the Matlab and ARFF readers: makes a 1,000,000-row by 20-column matrix as a level
# 4 and a level 5 MAT-file (scipy) and as an ARFF file (liac-arff's writer), then times
# morvalen converting each to CSV against scipy loadmat + pandas to_csv, Weka's CSVSaver and
# liac-arff + pandas. Prints the timing table of bench/lib.sh.
# Usage: bench/stat3.sh [morvalen binary] (default build/morvalen); BENCH_ROWS rows; work files
# in $BENCH_DIR (kept between runs, one directory per row count).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-${MORVALEN:-$root/build/morvalen}}")
rows=${BENCH_ROWS:-1000000}
dir=${BENCH_DIR:-/tmp/morvalen-bench-stat3-$rows}
. "$root/bench/lib.sh"
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
for f in big4.mat big5.mat; do
  bench_workload "${f#big}" "$(stat -c %s "$f")" $(sheet_bytes "$rows" 20)
  bench_run morvalen "$bin" "$f" out.csv
  bench_run scipy+pandas /usr/bin/python3 -c "import scipy.io as s, pandas as p; p.DataFrame(s.loadmat('$f')['big']).to_csv('out.csv', index=False)"
done
bench_workload .arff "$(stat -c %s big.arff)" $(sheet_bytes "$rows" 20)
bench_run morvalen "$bin" big.arff out.csv
bench_run weka sh -c "java -Xmx4g -cp /usr/share/java/weka.jar weka.core.converters.CSVSaver -i big.arff > out.csv"
bench_run liac+pandas /usr/bin/python3 -c "import arff, pandas as p; d = arff.load(open('big.arff')); p.DataFrame(d['data']).to_csv('out.csv', index=False)"
bench_finish
