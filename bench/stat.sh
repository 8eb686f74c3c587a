#!/usr/bin/env bash
# Benchmark of the SPSS and Stata readers: makes a 1,000,000-row by 20-variable .sav (pspp,
# bytecode compressed, and an uncompressed copy) and .dta (R foreign, release 110), then times
# morvalen against readstat and pspp-convert converting each to CSV, with peak memory.
# Usage: bench/stat.sh [morvalen binary] (default build/morvalen); work files in $BENCH_DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-$root/build/morvalen}")
dir=${BENCH_DIR:-/tmp/morvalen-bench-stat}
rows=${BENCH_ROWS:-1000000}
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
ls -l big.sav big_unc.sav big.dta

# Runs a command under /usr/bin/time -v; prints wall seconds and peak memory in MB.
measure() {
  local label=$1
  shift
  rm -f out.csv
  /usr/bin/time -v "$@" >/dev/null 2>time.txt || { cat time.txt; return 1; }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' time.txt)
  rss=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' time.txt)
  printf '  %-14s %8.2f s %8s MB\n' "$label" "$wall" "$rss"
  eval "t_${label//[^a-z]/_}=$wall"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "inf" }'; }

for f in big.sav big_unc.sav; do
  echo "== $f"
  measure morvalen "$bin" "$f" out.csv
  measure readstat readstat -f "$f" out.csv
  measure pspp_convert pspp-convert -O csv "$f" out.csv
  echo "  readstat / morvalen: $(ratio "$t_morvalen" "$t_readstat")   pspp-convert / morvalen: $(ratio "$t_morvalen" "$t_pspp_convert")"
done
echo "== big.dta"
measure morvalen "$bin" big.dta out.csv
measure readstat readstat -f big.dta out.csv
echo "  readstat / morvalen: $(ratio "$t_morvalen" "$t_readstat")"
