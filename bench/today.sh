#!/usr/bin/env bash
# Benchmark of the formats read through ReadStat and the xlsx reader: makes a 1,000,000 x 20
# .sas7bdat and .zsav (R haven) and a 200,000 x 20 .xlsx (from a CSV through morvalen's
# libxlsxwriter writer), then times morvalen against readstat, pandas and ssconvert converting each
# to CSV. Prints the timing table of bench/lib.sh.
# Usage: bench/today.sh [morvalen binary] (default build/morvalen); BENCH_ROWS and BENCH_XLSX_ROWS
# rows; work files in $BENCH_DIR (kept between runs, one directory per row count).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-${MORVALEN:-$root/build/morvalen}}")
rows=${BENCH_ROWS:-1000000}
xrows=${BENCH_XLSX_ROWS:-200000}
dir=${BENCH_DIR:-/tmp/morvalen-bench-today-$rows-$xrows}
. "$root/bench/lib.sh"
mkdir -p "$dir"
cd "$dir"

if [ ! -f big.sas7bdat ] || [ ! -f big.zsav ]; then
  Rscript -e "library(haven); set.seed(1); n <- $rows;
    d <- data.frame(id = seq_len(n));
    for (k in 1:14) d[[paste0('x', k)]] <- rnorm(n, 50, 10);
    d\$grade <- sample(1:5, n, TRUE); d\$year <- sample(1950:2019, n, TRUE);
    d\$born <- as.Date('1940-01-01') + sample(0:21900, n, TRUE);
    d\$name <- paste0('n', sample(0:999, n, TRUE));
    d\$town <- paste('Town number', sample(0:49, n, TRUE));
    write_sas(d, 'big.sas7bdat');
    d\$grade <- labelled(d\$grade, c(one = 1, two = 2, three = 3, four = 4, five = 5));
    write_sav(d, 'big.zsav', compress = 'zsav')"
fi
if [ ! -f big.xlsx ]; then
  /usr/bin/python3 - "$xrows" <<'PY'
import random, sys
random.seed(1)
n = int(sys.argv[1])
with open("big_x.csv", "w") as f:
    f.write(",".join(["id"] + [f"x{k}" for k in range(1, 17)] + ["grade", "name", "town"]) + "\n")
    for i in range(1, n + 1):
        xs = ",".join(f"{random.gauss(50, 10):.6f}" for _ in range(16))
        f.write(f"{i},{xs},{random.randint(1, 5)},n{random.randint(0, 999)},Town {random.randint(0, 49)}\n")
PY
  "$bin" big_x.csv big.xlsx >/dev/null
fi
# Texts a row: name and town, about 17.7 bytes here and 10.7 in the xlsx file.
bench_workload .sas7bdat "$(stat -c %s big.sas7bdat)" $(sheet_bytes "$rows" 20 $(( rows * 177 / 10 )))
bench_run morvalen "$bin" big.sas7bdat out.csv
bench_run readstat readstat -f big.sas7bdat out.csv
bench_run pandas /usr/bin/python3 -c "import pandas as pd; pd.read_sas('big.sas7bdat').to_csv('out.csv', index=False)"
bench_workload .zsav "$(stat -c %s big.zsav)" $(sheet_bytes "$rows" 20 $(( rows * 177 / 10 )))
bench_run morvalen "$bin" big.zsav out.csv
bench_run readstat readstat -f big.zsav out.csv
bench_workload .xlsx "$(stat -c %s big.xlsx)" $(sheet_bytes "$xrows" 20 $(( xrows * 107 / 10 )))
bench_run morvalen "$bin" big.xlsx out.csv
bench_run pandas+openpyxl /usr/bin/python3 -c "import pandas as pd; pd.read_excel('big.xlsx', engine='openpyxl').to_csv('out.csv', index=False)"
bench_run ssconvert ssconvert big.xlsx out.csv
bench_finish
