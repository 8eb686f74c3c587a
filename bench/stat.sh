#!/usr/bin/env bash
# Benchmark of the SPSS, Stata and SAS transport readers: makes a 1,000,000-row by 20-variable
# .sav (pspp, bytecode compressed, and an uncompressed copy), .dta (R foreign, release 110) and
# .xpt (R haven, version 5), then times morvalen against readstat, pspp-convert and pandas
# converting each to CSV. Prints the timing table of bench/lib.sh.
# Usage: bench/stat.sh [morvalen binary] (default build/morvalen); BENCH_ROWS rows; work files
# in $BENCH_DIR (kept between runs, one directory per row count).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-${MORVALEN:-$root/build/morvalen}}")
rows=${BENCH_ROWS:-1000000}
dir=${BENCH_DIR:-/tmp/morvalen-bench-stat-$rows}
. "$root/bench/lib.sh"
mkdir -p "$dir"
cd "$dir"

if [ ! -f big.sav ] || [ ! -f big_unc.sav ]; then
  cat > big.sps <<SPS
INPUT PROGRAM.
LOOP #i = 1 TO $rows.
COMPUTE id = #i.
DO REPEAT x = x1 TO x13.
COMPUTE x = RV.NORMAL(50, 10).
END REPEAT.
COMPUTE grade = TRUNC(UNIFORM(5)) + 1.
COMPUTE year = 1950 + TRUNC(UNIFORM(70)).
COMPUTE count = TRUNC(UNIFORM(100)).
COMPUTE born = DATE.DMY(1 + TRUNC(UNIFORM(28)), 1 + TRUNC(UNIFORM(12)), 1940 + TRUNC(UNIFORM(60))).
STRING name (A8) /town (A20).
COMPUTE name = CONCAT("n", STRING(TRUNC(UNIFORM(1000)), F3.0)).
COMPUTE town = CONCAT("Town number ", STRING(TRUNC(UNIFORM(50)), F2.0)).
END CASE.
END LOOP.
END FILE.
END INPUT PROGRAM.
FORMATS born (DATE11) grade year count (F4.0).
VALUE LABELS grade 1 'one' 2 'two' 3 'three' 4 'four' 5 'five'.
SAVE OUTFILE='big.sav' /COMPRESSED.
SAVE OUTFILE='big_unc.sav' /UNCOMPRESSED.
SPS
  pspp big.sps >/dev/null
fi
if [ ! -f big.dta ]; then
  Rscript -e "library(foreign); set.seed(1); n <- $rows;
    d <- data.frame(id = seq_len(n));
    for (k in 1:13) d[[paste0('x', k)]] <- rnorm(n, 50, 10);
    d\$grade <- factor(sample(c('one','two','three','four','five'), n, TRUE));
    d\$year <- sample(1950:2019, n, TRUE); d\$count <- sample(0:99, n, TRUE);
    d\$born <- as.Date('1940-01-01') + sample(0:21900, n, TRUE);
    d\$name <- paste0('n', sample(0:999, n, TRUE));
    d\$town <- paste('Town number', sample(0:49, n, TRUE));
    write.dta(d, 'big.dta', version = 7L)"
fi
if [ ! -f big.xpt ]; then
  Rscript -e "library(haven); set.seed(1); n <- $rows;
    d <- data.frame(id = seq_len(n));
    for (k in 1:16) d[[paste0('x', k)]] <- rnorm(n, 50, 10);
    d\$born <- as.Date('1940-01-01') + sample(0:21900, n, TRUE);
    d\$name <- paste0('n', sample(0:999, n, TRUE));
    d\$town <- paste('Town number', sample(0:49, n, TRUE));
    write_xpt(d, 'big.xpt', version = 5)"
fi

size() { stat -c %s "$1"; }
for f in big.sav big_unc.sav; do
  bench_workload "${f#big}" "$(size "$f")" $(sheet_bytes "$rows" 20)
  bench_run morvalen "$bin" "$f" out.csv
  bench_run readstat readstat -f "$f" out.csv
  bench_run pspp-convert pspp-convert -O csv "$f" out.csv
done
bench_workload .dta "$(size big.dta)" $(sheet_bytes "$rows" 20)
bench_run morvalen "$bin" big.dta out.csv
bench_run readstat readstat -f big.dta out.csv
bench_workload .xpt "$(size big.xpt)" $(sheet_bytes "$rows" 20)
bench_run morvalen "$bin" big.xpt out.csv
bench_run readstat readstat -f big.xpt out.csv
bench_run pandas /usr/bin/python3 -c "import pandas as pd; pd.read_sas('big.xpt', format='xport').to_csv('out.csv', index=False)"
bench_finish
