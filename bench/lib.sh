# Shared timing for the benchmark scripts (sourced, not run).
#
#   bench_workload NAME INPUT_BYTES SHEET_BYTES   start a workload (sizes for the memory target)
#   bench_run TOOL CMD...                         time CMD BENCH_RUNS times (median wall time,
#                                                 largest peak resident set); TOOL "morvalen"
#                                                 marks our row, every other tool is a peer
#   bench_again TOOL FROM                         repeat TOOL's row of workload FROM in this one
#                                                 (a peer timed once for two of our outputs)
#   bench_report                                  print the table of every workload recorded
#
# Results go to $BENCH_RESULTS (one line per run of bench_run), so bench/all.sh can collect
# every script's rows and print one table; a script run on its own prints its own table.
# BENCH_RUNS (default 3) sets the repetitions; each script takes BENCH_ROWS for its size.
# Targets: Morvalen's time at most 0.2 of the fastest peer's; its peak memory at most the larger
# of 1.5 times the input and the sheet plus 32 MB.

BENCH_RUNS=${BENCH_RUNS:-3}

# The sheet's own size for ROWS rows of CELLS cells and TEXT_BYTES bytes of text: 8 bytes a
# cell (a text cell's place in its column's store too), and per row the row number (8 bytes)
# and the row attributes (12 bytes) every sheet keeps.
sheet_bytes() {
  echo $(( $1 * ($2 * 8 + 20) + ${3:-0} ))
}
if [ -z "${BENCH_RESULTS:-}" ]; then
  BENCH_RESULTS=$(mktemp)
  bench_own_results=1
fi
bench_current=""

bench_workload() {
  bench_current=$1
  printf 'W\t%s\t%s\t%s\n' "$1" "$2" "$3" >> "$BENCH_RESULTS"
}

# Prints "seconds peak-KiB" of one run; the command's output is discarded. A failing command
# prints its error and makes the row read "fail".
bench_once() {
  local log
  log=$(mktemp)
  if /usr/bin/time -f '%e %M' -o "$log" "$@" >/dev/null 2>"$log.err"; then
    tail -n 1 "$log"
  else
    tail -n 3 "$log.err" >&2
    echo "fail fail"
  fi
  rm -f "$log" "$log.err"
}

bench_run() {
  local tool=$1 i t m times=() mems=()
  shift
  for ((i = 0; i < BENCH_RUNS; i++)); do
    read -r t m < <(bench_once "$@")
    [ "$t" = fail ] && { printf 'R\t%s\t%s\tfail\tfail\n' "$bench_current" "$tool" >> "$BENCH_RESULTS"; return 0; }
    times+=("$t")
    mems+=("$m")
  done
  t=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }')
  m=$(printf '%s\n' "${mems[@]}" | sort -g | tail -n 1)
  printf 'R\t%s\t%s\t%s\t%s\n' "$bench_current" "$tool" "$t" "$m" >> "$BENCH_RESULTS"
}

bench_again() {
  awk -F'\t' -v w="$2" -v t="$1" -v now="$bench_current" 'BEGIN { OFS = "\t" }
    $1 == "R" && $2 == w && $3 == t { $2 = now; line = $0 } END { if (line != "") print line }' \
    "$BENCH_RESULTS" >> "$BENCH_RESULTS.tmp"
  cat "$BENCH_RESULTS.tmp" >> "$BENCH_RESULTS"
  rm -f "$BENCH_RESULTS.tmp"
}

bench_report() {
  awk -F'\t' '
    $1 == "W" { if (!($2 in input)) order[++n] = $2; input[$2] = $3; sheet[$2] = $4; next }
    $1 == "R" { k = ++rows[$2]; tool[$2, k] = $3; secs[$2, k] = $4; kib[$2, k] = $5
                if ($3 != "morvalen" && $4 != "fail" && (!($2 in best) || $4 + 0 < best[$2])) best[$2] = $4 + 0 }
    END {
      printf "%-12s %-16s %9s %9s %9s  %s\n", "workload", "tool", "median s", "peak MiB", "ratio", "target (time <= 0.2 of fastest peer; memory)"
      for (i = 1; i <= n; i++) {
        w = order[i]
        mb_in = input[w] / 1048576
        limit = 1.5 * input[w]; alt = sheet[w] + 32 * 1048576
        if (alt > limit) limit = alt
        for (k = 1; k <= rows[w]; k++) {
          t = secs[w, k]; m = kib[w, k]
          if (t == "fail") { printf "%-12s %-16s %9s %9s %9s\n", w, tool[w, k], "fail", "-", "-"; continue }
          ratio = (w in best && best[w] > 0) ? sprintf("%.2f", t / best[w]) : "-"
          note = ""
          if (tool[w, k] == "morvalen") {
            tnote = (ratio == "-") ? "time: no peer" : (ratio + 0 <= 0.2 ? "time OK" : "time MISS")
            mnote = (m * 1024 <= limit) ? "memory OK" : "memory MISS"
            note = sprintf("%s, %s (limit %.0f MiB, input %.0f MiB)", tnote, mnote, limit / 1048576, mb_in)
          }
          printf "%-12s %-16s %9.2f %9.0f %9s  %s\n", w, tool[w, k], t, m / 1024, ratio, note
        }
      }
    }' "$BENCH_RESULTS"
}

# A script run on its own prints its table at the end and removes its results file.
bench_finish() {
  if [ -n "${bench_own_results:-}" ]; then
    bench_report
    rm -f "$BENCH_RESULTS"
  fi
}
