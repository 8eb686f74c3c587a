#!/usr/bin/env bash
# Runs the benchmark scripts and prints ONE table for all their workloads: each tool's median
# wall time and peak memory, its ratio to the fastest peer, and Morvalen's ratio and memory
# marked against the targets (time at most 0.2 of the fastest peer; memory at most the larger
# of 1.5 times the input and the sheet plus 32 MB).
# Usage: bench/all.sh [script ...]   e.g. bench/all.sh csv stat   (default: every script)
#   BENCH_ROWS=200000 bench/all.sh   smaller files for a quick run (BENCH_XLS_ROWS,
#   BENCH_XLSX_ROWS and BENCH_SHEET_ROWS for the spreadsheet workloads); BENCH_RUNS repetitions.
# MORVALEN=path times another build of morvalen. Build first: cmake --preset default &&
# cmake --build --preset default
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=("$@")
[ ${#scripts[@]} -gt 0 ] || scripts=(csv stat stat2 stat3 today xls dbf shape sheets)
export BENCH_RESULTS
BENCH_RESULTS=$(mktemp)
trap 'rm -f "$BENCH_RESULTS"' EXIT
. "$here/lib.sh"
for s in "${scripts[@]}"; do
  echo "== $s" >&2
  bash "$here/${s%.sh}.sh" >&2 || echo "   ($s.sh failed; its rows may be missing)" >&2
done
echo "rows: ${BENCH_ROWS:-1000000} (xls ${BENCH_XLS_ROWS:-65000}, xlsx ${BENCH_XLSX_ROWS:-200000}, wk1/wb2 ${BENCH_SHEET_ROWS:-8192}); runs: $BENCH_RUNS; $(nproc) cores"
bench_report
