#!/usr/bin/env bash
# Benchmark (not a test): a 1,000,000-row by 10-column CSV (numbers, texts, a factor, missing
# values) converted to a package spreadsheet file and to CSV, against pandas read_csv + to_csv
# (Debian's python3-pandas). Prints times, ratios and peak memory.
# Usage: bench/csv.sh [rows]   (build first: cmake --preset default && cmake --build --preset default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bin="$root/build/morvalen"
rows=${1:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin" ] || { echo "build morvalen first"; exit 1; }

/usr/bin/python3 - "$work/big.csv" "$rows" <<'EOF'
import random, sys
path, n = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7)
varieties = ["Avalon", "Brigadier", "Cadenza", "Dunston", "Equinox"]
notes = ["", "", "", "lodged", "bird damage, netted", "sample lost", "plot flooded"]
with open(path, "w") as f:
    f.write("Plot,Block,Variety!,Yield,Height,Protein,Moisture,Note,Score,Weight\n")
    for i in range(1, n + 1):
        y = "*" if rnd.random() < 0.02 else "%.2f" % rnd.uniform(4, 8)
        h = "" if rnd.random() < 0.02 else "%.1f" % rnd.uniform(60, 100)
        note = rnd.choice(notes)
        if "," in note:
            note = '"%s"' % note
        f.write("%d,%d,%s,%s,%s,%.3f,%.2f,%s,%d,%.4f\n" % (
            i, (i - 1) // 1000 + 1, rnd.choice(varieties), y, h,
            rnd.uniform(9, 14), rnd.uniform(10, 20), note, rnd.randint(1, 9), rnd.uniform(0, 1000)))
EOF
size=$(stat -c %s "$work/big.csv")
echo "input: $rows rows, $(( size / 1048576 )) MiB"

# Runs a command under /usr/bin/time -v; prints seconds and peak resident KiB.
measure() {
    local log="$work/time.log"
    /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log"; exit 1; }
    local secs kb
    secs=$(awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2,a,":"); s=0; for(i=1;i<=n;i++) s=s*60+a[i]; print s}' "$log")
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
    echo "$secs $kb"
}

cd "$work"
read -r t_vsh m_vsh < <(measure "$bin" big.csv big.vsh)
read -r t_csv m_csv < <(measure "$bin" big.csv out.csv)
read -r t_pd m_pd < <(measure /usr/bin/python3 -c "import pandas as pd; pd.read_csv('big.csv').to_csv('pd.csv', index=False)")

mib() { awk -v k="$1" 'BEGIN {printf "%.0f MiB", k / 1024}'; }
printf '%-34s %8.2f s   peak %s\n' "morvalen big.csv big.vsh" "$t_vsh" "$(mib "$m_vsh")"
printf '%-34s %8.2f s   peak %s\n' "morvalen big.csv out.csv" "$t_csv" "$(mib "$m_csv")"
printf '%-34s %8.2f s   peak %s\n' "pandas read_csv + to_csv" "$t_pd" "$(mib "$m_pd")"
awk -v a="$t_csv" -v b="$t_pd" -v c="$t_vsh" -v m1="$m_vsh" -v m2="$m_csv" -v s="$size" 'BEGIN {
    printf "CSV to CSV: pandas / morvalen = %.2f (target above 1)\n", b / a
    printf "CSV to VSH: pandas / morvalen = %.2f\n", b / c
    printf "peak memory / input size: .vsh %.2f, .csv %.2f (target below 3)\n", m1 * 1024 / s, m2 * 1024 / s
}'
